// library ...: the local effect library the panel shows, read and changed without a card.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "AppPaths.h"
#include "Commands.h"
#include "EffectLibrary.h"
#include "Json.h"
#include "LibraryText.h"

namespace {

namespace fs = std::filesystem;
using library_text::U16;
using library_text::U8;

std::string ExeDir() {
    char exe[PATH_MAX];
    const ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (len <= 0) return ".";
    return fs::path(std::string(exe, static_cast<size_t>(len))).parent_path().string();
}

// As the panel: the user's file when there is one, else the one installed beside the
// program. Changes always go to the user's file.
LibraryPaths Paths() {
    LibraryPaths paths;
    paths.exeDir = app_paths::ShippedDataDir(ExeDir());
    paths.userDir = app_paths::UserDir();
    const std::string userFile = paths.userDir.empty() ? "" : paths.userDir + "/EffectList.xml";
    std::error_code ec;
    paths.listFile =
        !userFile.empty() && fs::exists(userFile, ec) ? userFile : paths.exeDir + "/EffectList.xml";
    paths.saveFile = userFile.empty() ? paths.listFile : userFile;
    return paths;
}

int SaveOrFail(const CEffectLibrary& lib) {
    std::string reason;
    return lib.Save(&reason) ? kExitOk : Fail("cannot write the library: " + reason);
}

// Refuses a list name the panel's dialog would refuse.
bool CheckName(std::u16string& name, int maxLength, std::string& error) {
    switch (CheckListName(name, maxLength)) {
        case NameCheck::kOk:
            return true;
        case NameCheck::kEmpty:
            error = "the list name is empty";
            break;
        case NameCheck::kTooLong:
            error = "the list name has more than " + std::to_string(maxLength) + " characters";
            break;
        case NameCheck::kForbiddenChar:
            error = "the list name must not contain any of " + U8(kForbiddenNameChars);
            break;
    }
    return false;
}

int List(const CEffectLibrary& lib, const CliContext& ctx) {
    if (ctx.json) {
        Json::Value out;
        out["file"] = lib.Paths().listFile;
        Json::Value lists(Json::arrayValue);
        for (const CTreeData* list : lib.Root().Children()) {
            Json::Value l;
            l["name"] = U8(list->GetName());
            l["collapsed"] = list->collapsed;
            Json::Value items(Json::arrayValue);
            for (const CTreeData* leaf : list->Children()) {
                Json::Value item;
                item["name"] = U8(leaf->GetName());
                item["path"] = U8(leaf->GetPath());
                item["exists"] = library_text::FileExists(leaf->GetPath());
                items.append(item);
            }
            l["items"] = items;
            lists.append(l);
        }
        out["lists"] = lists;
        PrintJson(out);
        return kExitOk;
    }
    printf("%s\n", lib.Paths().listFile.c_str());
    for (const CTreeData* list : lib.Root().Children()) {
        printf("%s [%zu]\n", U8(list->GetName()).c_str(), list->Children().size());
        for (const CTreeData* leaf : list->Children())
            printf("  %s  %s%s\n", U8(leaf->GetName()).c_str(), U8(leaf->GetPath()).c_str(),
                   library_text::FileExists(leaf->GetPath()) ? "" : "  (missing)");
    }
    return kExitOk;
}

// The list named by --list, else the default list, else the first.
CTreeData* TargetList(const CEffectLibrary& lib, const std::string& name) {
    if (!name.empty()) return lib.FindList(U16(name));
    if (CTreeData* list = lib.FindList(CEffectLibrary::kDefaultList)) return list;
    return lib.Root().Children().empty() ? nullptr : lib.Root().Children().front();
}

int Report(const CTreeData& list, const ImportResult& result, const CliContext& ctx) {
    if (ctx.json) {
        Json::Value out;
        out["list"] = U8(list.GetName());
        Json::Value added(Json::arrayValue);
        for (const CTreeData* leaf : result.added) {
            Json::Value item;
            item["name"] = U8(leaf->GetName());
            item["path"] = U8(leaf->GetPath());
            added.append(item);
        }
        out["added"] = added;
        Json::Value duplicates(Json::arrayValue);
        for (const std::u16string& name : result.duplicates.names) duplicates.append(U8(name));
        out["duplicates"] = duplicates;
        Json::Value refused(Json::arrayValue);
        for (const std::u16string& path : result.refused) refused.append(U8(path));
        out["refused"] = refused;
        PrintJson(out);
        return kExitOk;
    }
    for (const CTreeData* leaf : result.added)
        printf("added     %s  %s\n", U8(leaf->GetName()).c_str(), U8(leaf->GetPath()).c_str());
    for (const std::u16string& name : result.duplicates.names)
        printf("in a list %s\n", U8(name).c_str());
    for (const std::u16string& path : result.refused) printf("too long  %s\n", U8(path).c_str());
    printf("%zu added to %s, %d already listed\n", result.added.size(), U8(list.GetName()).c_str(),
           result.duplicates.count);
    return kExitOk;
}

// Splits "--list NAME" off the arguments after the subcommand.
bool TakeListOption(const CliContext& ctx, std::vector<std::string>& rest, std::string& list) {
    for (size_t i = 1; i < ctx.args.size(); ++i) {
        if (ctx.args[i] != "--list") {
            rest.push_back(ctx.args[i]);
            continue;
        }
        if (i + 1 >= ctx.args.size()) return false;
        list = ctx.args[++i];
    }
    return true;
}

}  // namespace

int CmdLibrary(const CliContext& ctx) {
    const std::string sub = ctx.args.empty() ? "" : ctx.args[0];
    const size_t argc = ctx.args.size();
    CEffectLibrary lib(Paths());
    lib.Load();
    std::string error;

    if (sub == "list" && argc == 1) return List(lib, ctx);

    if (sub == "add-list" && argc == 2) {
        std::u16string name = U16(ctx.args[1]);
        if (!CheckName(name, kCreateListMaxLength, error)) return Fail(error);
        if (lib.CreateList(name, nullptr, nullptr) != ListResult::kOk)
            return Fail("a list named '" + U8(name) + "' exists already");
        return SaveOrFail(lib);
    }

    if (sub == "remove-list" && argc == 2) {
        CTreeData* list = lib.FindList(U16(ctx.args[1]));
        if (!list) return Fail("no list named '" + ctx.args[1] + "'");
        if (lib.RemoveList(list) == ListResult::kProtected)
            return Fail("the default list cannot be removed");
        return SaveOrFail(lib);
    }

    if (sub == "rename-list" && argc == 3) {
        CTreeData* list = lib.FindList(U16(ctx.args[1]));
        if (!list) return Fail("no list named '" + ctx.args[1] + "'");
        std::u16string name = U16(ctx.args[2]);
        if (!CheckName(name, kRenameListMaxLength, error)) return Fail(error);
        switch (lib.RenameList(list, name)) {
            case ListResult::kProtected:
                return Fail("the default list cannot be renamed");
            case ListResult::kExists:
                return Fail("a list named '" + U8(name) + "' exists already");
            case ListResult::kUnchanged:
                return kExitOk;
            default:
                return SaveOrFail(lib);
        }
    }

    if (sub == "import" || sub == "add") {
        std::vector<std::string> rest;
        std::string listName;
        if (!TakeListOption(ctx, rest, listName)) return UsageError("--list needs a name");
        if (rest.empty() || (sub == "import" && rest.size() != 1))
            return UsageError(sub == "import" ? "usage: library import FOLDER [--list NAME]"
                                              : "usage: library add FILE... [--list NAME]");
        CTreeData* list = TargetList(lib, listName);
        if (!list)
            return Fail(listName.empty() ? "the library has no list"
                                         : "no list named '" + listName + "'");
        std::error_code ec;
        ImportResult result;
        if (sub == "import") {
            if (!fs::is_directory(rest[0], ec)) return Fail("not a folder: " + rest[0]);
            const std::string folder = fs::absolute(rest[0], ec).lexically_normal().string();
            result = lib.ImportFolder(list, U16(folder.size() > 1 && folder.back() == '/'
                                                    ? folder.substr(0, folder.size() - 1)
                                                    : folder));
        } else {
            std::vector<std::u16string> paths;
            for (const std::string& file : rest) {
                if (!fs::is_regular_file(file, ec)) return Fail("no such file: " + file);
                paths.push_back(U16(fs::absolute(file, ec).lexically_normal().string()));
            }
            result = lib.AddFiles(list, paths);
        }
        if (!result.added.empty() && SaveOrFail(lib) != kExitOk) return kExitFailure;
        return Report(*list, result, ctx);
    }

    return UsageError(
        "usage: library list|add-list NAME|remove-list NAME|rename-list OLD NEW|"
        "import FOLDER [--list NAME]|add FILE... [--list NAME]");
}
