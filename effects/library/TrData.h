#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace pugi {
class xml_node;
}

// The entry a tree node carries: an effect file of the library, or a cloud effect.
class TrData {
  public:
    virtual ~TrData() = default;
    virtual std::u16string GetName() const = 0;
    virtual void SetName(std::u16string_view name) = 0;
    virtual std::u16string GetPath() const = 0;
    virtual void SetPath(std::u16string_view path) = 0;
    virtual bool IsSamePath(const TrData& other) const = 0;
    virtual std::unique_ptr<TrData> Clone() const = 0;
    // Writes this entry's attributes into element.
    virtual void WriteXml(pugi::xml_node element) const = 0;
    virtual void ReadXml(pugi::xml_node element) = 0;
};
