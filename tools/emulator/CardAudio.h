#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct pa_context;
struct pa_module_info;
struct pa_mainloop;
struct pa_operation;

namespace lw52::emu {

// The virtual card's sound device on the running sound server (PulseAudio's protocol): a null
// sink as the card's output and its monitor remapped into a real source as the card's line
// input, so whatever plays into the card comes back on its line in. A real card shows up as a
// USB sound device named after the card; these carry "LW52" in their descriptions likewise.
class CCardAudio {
  public:
    static constexpr const char* kSinkName = "lw52_virtual_card";
    static constexpr const char* kSourceName = "lw52_virtual_card_line";

    CCardAudio() = default;
    ~CCardAudio();
    CCardAudio(const CCardAudio&) = delete;
    CCardAudio& operator=(const CCardAudio&) = delete;

    // Connects to the server ($PULSE_SERVER or the default one, never autospawned) and loads
    // the two modules, all within timeoutMs. Modules of the same names that an emulator killed
    // earlier left behind are replaced. False with error set when that fails.
    bool Open(std::string& error, int timeoutMs = 5000);
    // Unloads the modules and disconnects; nothing to do when not open.
    void Close();

  private:
    bool Connect(std::string& error);
    // Unloads the modules match picks, sources before sinks, until none is listed any more.
    bool RemoveModules(const std::function<bool(const pa_module_info&)>& match);
    uint32_t LoadModule(const char* name, const std::string& args);
    void Unload(uint32_t index);
    // Runs the loop until the operation is done (then unrefs it); false on timeout or when the
    // connection fails.
    bool Finish(pa_operation* op);
    bool Iterate();
    std::string ServerError() const;

    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    uint32_t m_sinkModule = UINT32_MAX;  // PA_INVALID_INDEX: not loaded
    uint32_t m_sourceModule = UINT32_MAX;
    uint64_t m_deadlineMs = 0;
};

}  // namespace lw52::emu
