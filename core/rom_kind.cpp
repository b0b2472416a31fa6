#include "core/rom_kind.h"

bool refuseNonRom(RomUpdate& update, FileError& error) {
    unsigned char head[kSignatureBytes] = {};
    const std::size_t size = update.size() < static_cast<std::int64_t>(sizeof head)
                                 ? static_cast<std::size_t>(update.size())
                                 : sizeof head;
    if (size > 0 && !update.read(0, head, size, error)) return false;
    const FileKind kind = kindFromSignature(head, size);
    if (kind == FileKind::Unrecognised) return true;
    error.step = FileStep::NotRom;
    error.path = update.path();
    error.reason = notARomText(kind);
    error.kind = kind;
    return false;
}
