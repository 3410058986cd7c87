#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "FrameDefs.h"
#include "HidEnum.h"

int CmdDevices(const CliContext& ctx) {
    if (!ctx.args.empty()) return UsageError("devices takes no arguments");
    struct Found {
        std::string path;
        uint16_t product;
    };
    std::vector<Found> found;
    for (uint16_t product : {lw52::kProductId61, lw52::kProductId7B}) {
        DevicePathList paths;
        const int count = EnumDevices(&paths, lw52::kVendorId, product);
        for (int i = 0; i < count && i < kMaxFoundDevices; ++i)
            found.push_back({paths[i], product});
    }
    if (ctx.json) {
        std::string out = "[";
        for (size_t i = 0; i < found.size(); ++i) {
            char ids[64];
            snprintf(ids, sizeof ids, ",\"vendor\":\"0x%04X\",\"product\":\"0x%04X\"}",
                     lw52::kVendorId, found[i].product);
            out += (i ? "," : "") + std::string("{\"path\":") + JsonString(found[i].path) + ids;
        }
        printf("%s]\n", out.c_str());
        return kExitOk;
    }
    if (found.empty()) printf("no LW52 card found\n");
    for (const Found& f : found)
        printf("%s  vendor 0x%04X  product 0x%04X\n", f.path.c_str(), lw52::kVendorId, f.product);
    return kExitOk;
}
