#include "patch/make_patch.h"

#include <new>

// A failed allocation anywhere in an encoder is told as such; nothing else can fail but IPS.
bool makePatch(PatchFormat format, const PatchSource& source, std::vector<unsigned char>& patch,
               std::string& reason) {
    patch.clear();
    try {
        switch (format) {
        case PatchFormat::Bps: makeBps(source, patch); return true;
        case PatchFormat::Ups: makeUps(source, patch); return true;
        case PatchFormat::Ips: return makeIps(source, patch, reason);
        case PatchFormat::Vcdiff: makeVcdiff(source, patch); return true;
        default: break;
        }
    } catch (const std::bad_alloc&) {
        patch.clear();
        reason = "no memory to make the patch";
        return false;
    }
    reason = std::string("patches in ") + patchFormatName(format) + " are not made here";
    return false;
}

const char* patchExtension(PatchFormat format) {
    switch (format) {
    case PatchFormat::Bps: return ".bps";
    case PatchFormat::Ups: return ".ups";
    case PatchFormat::Ips: return ".ips";
    case PatchFormat::Vcdiff: return ".xdelta";
    case PatchFormat::Aps: return ".aps";
    case PatchFormat::None: break;
    }
    return "";
}
