#include "core/rom_kind.h"

bool refuseNonRom(RomUpdate& update, FileError& error) {
    unsigned char head[kSignatureBytes] = {};
    const std::size_t size = update.size() < static_cast<std::int64_t>(sizeof head)
                                 ? static_cast<std::size_t>(update.size())
                                 : sizeof head;
    if (size > 0 && !update.read(0, head, size, error)) return false;
    const FileKind kind = kindFromSignature(head, size);
    if (kind == FileKind::Unrecognised) return true;
    error.kind = kind;
    return failFileStep(error, FileStep::NotRom, notARomText(kind), update.path());
}
