#pragma once

#include "TrData.h"

// One effect file: its display name and the full path of the file. Library entries have
// kind 0; cloud entries kind 2 with their download state.
class EffectPrj : public TrData {
  public:
    // Field sizes in UTF-16 units, terminator included.
    static constexpr size_t kNameCapacity = 128;
    static constexpr size_t kPathCapacity = 260;
    static constexpr size_t kExtraCapacity = 128;
    static constexpr size_t kMaxName = kNameCapacity - 1;
    static constexpr size_t kMaxPath = kPathCapacity - 1;

    EffectPrj() = default;
    EffectPrj(std::u16string_view name, std::u16string_view path);

    std::u16string GetName() const override { return m_name; }
    void SetName(std::u16string_view name) override;  // shortened to kMaxName
    std::u16string GetPath() const override { return m_path; }
    void SetPath(std::u16string_view path) override;  // shortened to kMaxPath
    bool IsSamePath(const TrData& other) const override;
    std::unique_ptr<TrData> Clone() const override;
    void WriteXml(pugi::xml_node element) const override;
    // Takes "Name" and "Path" from an element named "Item" (any case); other elements
    // leave the entry as it is.
    void ReadXml(pugi::xml_node element) override;

    std::u16string extra;  // unused by the library, kept by Clone
    int kind = 0;
    int downloadState = 0;

  private:
    std::u16string m_name;
    std::u16string m_path;
};
