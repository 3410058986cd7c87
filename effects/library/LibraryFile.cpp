#include "LibraryFile.h"

#include <filesystem>
#include <pugixml.hpp>
#include <system_error>

#include "LibraryText.h"
#include "SafeFile.h"

using library_text::U16;
using library_text::U8;

namespace library_file {
namespace {
bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

std::u16string LowerAscii(std::u16string s) {
    for (char16_t& c : s)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    return s;
}

// The file read whole (at most kMaxFileBytes) and parsed; false when either fails.
bool LoadDocument(const std::string& path, pugi::xml_document& doc) {
    std::string bytes;
    if (fileio::ReadWholeFile(path, bytes, nullptr, kMaxFileBytes) != fileio::ReadStatus::kOk)
        return false;
    return doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
}

struct StringWriter : pugi::xml_writer {
    std::string bytes;
    void write(const void* data, size_t size) override {
        bytes.append(static_cast<const char*>(data), size);
    }
};

// exeDir-or-userDir + "/Effect" + sub + "/" + file.
std::u16string Relocated(const std::string& base, const std::u16string& sub,
                         const std::u16string& file) {
    std::u16string out = U16(base) + u"/Effect";
    if (!sub.empty()) out += u"/" + sub;
    return out + u"/" + file;
}
}  // namespace

std::optional<std::u16string> ResolveLoadedPath(const std::u16string& path,
                                                const std::string& exeDir,
                                                const std::string& userDir,
                                                const ExistsFn& exists) {
    if (exists(path)) return path;
    const size_t dot = path.rfind(u'.');
    const std::u16string ext = dot == std::u16string::npos ? u"" : LowerAscii(path.substr(dot + 1));
    if (ext != u"dteff") return std::nullopt;

    size_t cut = path.size();
    while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
    const std::u16string file = path.substr(cut);
    std::u16string sub;
    if (cut > 0) {
        const size_t folderEnd = cut - 1;
        size_t start = folderEnd;
        while (start > 0 && !IsSeparator(path[start - 1])) --start;
        sub = path.substr(start, folderEnd - start);
    }
    if (library_text::EqualsIgnoreCase(sub, u"Effect")) sub.clear();

    const std::u16string inExeDir = Relocated(exeDir, sub, file);
    if (exists(inExeDir)) return inExeDir;
    return Relocated(userDir, sub, file);  // listed even when missing: reported when used
}

bool Load(const std::string& path, CLibraryRoot& root, const std::string& exeDir,
          const std::string& userDir, const ExistsFn& exists) {
    pugi::xml_document doc;
    if (!LoadDocument(path, doc)) return false;
    const pugi::xml_node library = doc.child("AudioRack").child(U8(root.rootName).c_str());
    if (!library) return false;
    root.DeleteChildren();
    root.ReadChildren(library, [&](TrData& entry) {
        const auto resolved = ResolveLoadedPath(entry.GetPath(), exeDir, userDir, exists);
        if (!resolved) return false;
        entry.SetPath(*resolved);
        return true;
    });
    return true;
}

bool Save(const std::string& basePath, const std::string& outPath, const CLibraryRoot& root,
          std::string* reason) {
    pugi::xml_document doc;
    if (!LoadDocument(basePath, doc)) doc.load_string("<AudioRack></AudioRack>");
    pugi::xml_node rack = doc.child("AudioRack");
    if (!rack) rack = doc.append_child("AudioRack");
    const std::string name = U8(root.rootName);
    // Every element of that name goes: Load reads the first, and one left behind would be
    // read next time in place of what is saved now.
    while (rack.remove_child(name.c_str())) {
    }
    const pugi::xml_node library = rack.append_child(name.c_str());
    for (const CTreeData* list : root.Children()) list->WriteXml(library);

    std::error_code ec;
    const std::filesystem::path out(outPath);
    if (out.has_parent_path()) std::filesystem::create_directories(out.parent_path(), ec);
    // The whole text is made first and replaces the file in one go: a crash or a full disk
    // leaves the old library, never a cut-off one.
    StringWriter text;
    doc.save(text, "\t", pugi::format_default, pugi::encoding_utf8);
    return fileio::ReplaceFileContents(outPath, text.bytes, reason);
}

}  // namespace library_file
