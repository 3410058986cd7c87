#include "EmulatorTrace.h"

#include "CardStateJson.h"
#include "TickCount.h"

namespace lw52::emu {

CEmulatorTrace::CEmulatorTrace() : m_startMs(GetTickCountMs()) {}

CEmulatorTrace::~CEmulatorTrace() {
    Close();
}

bool CEmulatorTrace::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file) fclose(m_file);
    m_file = fopen(path.c_str(), "w");
    return m_file != nullptr;
}

void CEmulatorTrace::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file) fclose(m_file);
    m_file = nullptr;
}

void CEmulatorTrace::Frame(const char* direction, const uint8_t* data, size_t size,
                           const char* note) {
    char command[8] = "null";
    if (size > 0) snprintf(command, sizeof command, "\"0x%02X\"", data[0]);
    std::string body = std::string("\"dir\":\"") + direction + "\",\"cmd\":" + command +
                       ",\"frame\":\"" + HexBytes(data, size) + "\"";
    if (note) body += std::string(",\"note\":\"") + note + "\"";
    WriteLine(body);
}

void CEmulatorTrace::Event(const char* name, const std::string& detail) {
    std::string body = std::string("\"event\":\"") + name + "\"";
    if (!detail.empty()) body += ",\"detail\":" + JsonQuote(detail);
    WriteLine(body);
}

void CEmulatorTrace::WriteLine(const std::string& body) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_file) return;
    fprintf(m_file, "{\"t\":%llu,%s}\n",
            static_cast<unsigned long long>(GetTickCountMs() - m_startMs), body.c_str());
    fflush(m_file);
}

}  // namespace lw52::emu
