#include "IniFile.h"

#include <cstdio>
#include <mutex>
#include <optional>
#include <utility>

#include "IniDocument.h"
#include "IniValue.h"
#include "Log.h"
#include "SafeFile.h"

namespace {
// Read-modify-write cycles of the whole process take turns, as the Windows functions do.
std::mutex g_writeMutex;

std::optional<std::string> Lookup(const std::string& path, std::string_view section,
                                  std::string_view key) {
    CIniDocument file;
    file.Read(path);  // unreadable: empty
    return file.Find(section, key);
}

// One read-modify-write: edit(CIniDocument&) changes the text in memory, and the file is
// replaced only when its bytes changed.
template <class Edit>
bool Rewrite(const std::string& path, std::string& error, Edit&& edit) {
    std::lock_guard<std::mutex> lock(g_writeMutex);
    CIniDocument file;
    if (!file.Read(path, &error)) return false;
    edit(file);
    return file.Write(&error);
}
}  // namespace

std::string CIniFile::GetString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    if (auto value = Lookup(path_, section, key)) return *std::move(value);
    while (defaultValue.size() > 1 && defaultValue.back() == ' ') defaultValue.remove_suffix(1);
    return std::string(defaultValue);
}

int CIniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    return ini::ParseInt(Lookup(path_, section, key), defaultValue);
}

bool CIniFile::GetStruct(std::string_view section, std::string_view key, void* data,
                         size_t size) const {
    const auto value = Lookup(path_, section, key);
    return value && ini::ParseStruct(*value, data, size);
}

std::vector<std::string> CIniFile::SectionNames() const {
    CIniDocument file;
    file.Read(path_);
    return file.SectionNames();
}

std::vector<std::string> CIniFile::KeyNames(std::string_view section) const {
    CIniDocument file;
    file.Read(path_);
    return file.KeyNames(section);
}

bool CIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    // Refused before the file is read.
    if (const char* problem = CIniDocument::WriteProblem(section, key, value)) {
        lastError_ = problem;
        return false;
    }
    const bool ok =
        Rewrite(path_, lastError_, [&](CIniDocument& file) { file.SetValue(section, key, value); });
    if (!ok)
        QV_LOG("writing [%.*s] %.*s failed: %s", static_cast<int>(section.size()), section.data(),
               static_cast<int>(key.size()), key.data(), lastError_.c_str());
    return ok;
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, long value) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%ld", value);
    return WriteString(section, key, digits);
}

bool CIniFile::WriteStruct(std::string_view section, std::string_view key, const void* data,
                           size_t size) {
    return WriteString(section, key, ini::FormatStruct(data, size));
}

bool CIniFile::DeleteKey(std::string_view section, std::string_view key) {
    return Rewrite(path_, lastError_, [&](CIniDocument& file) { file.DeleteKey(section, key); });
}

bool CIniFile::DeleteSection(std::string_view section) {
    return Rewrite(path_, lastError_, [&](CIniDocument& file) { file.DeleteSection(section); });
}

bool CIniFile::CreateUtf16File(const std::string& path, std::string* reason) {
    std::lock_guard<std::mutex> lock(g_writeMutex);
    return fileio::ReplaceFileContents(path, CIniDocument::kUtf16Mark, reason);
}
