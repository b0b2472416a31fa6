#include "core/rom_update.h"

#include "core/conversion.h"

RomUpdate::~RomUpdate() {
    FileError ignored; // an update left behind: whatever it was to say has been said
    close(ignored);
}

bool RomUpdate::open(const std::string& path, FileError& error) {
    FileError ignored;
    close(ignored);
    backedUp_ = false;
    return openAndRead(path, rom_, image_, error);
}

ByteOrder RomUpdate::order() const {
    return image_.size > 0 ? orderFromFirstByte(image_.bytes[0]) : ByteOrder::None;
}

bool RomUpdate::backUp(FileError& error) {
    if (!writeBackup(rom_.path, image_, error)) return false;
    backedUp_ = true;
    return true;
}

bool RomUpdate::changes(ByteOrder from, ByteOrder to) const {
    const std::size_t group = conversionGroup(from, to);
    return group != 0 && static_cast<std::size_t>(image_.size) >= group;
}

bool RomUpdate::convert(ByteOrder from, ByteOrder to, FileError& error, const WriteProgress& progress) {
    if (!changes(from, to)) {
        if (progress) progress(image_.size, image_.size);
        return true;
    }
    convertOrder(image_.bytes, static_cast<std::size_t>(image_.size), from, to);
    if (writeBack(rom_, image_, error, progress)) return true;
    if (error.rom == RomState::Mixed) restore(from, to, error);
    return false;
}

// Only the part that may have been written is put back: the rest still holds the old bytes.
void RomUpdate::restore(ByteOrder from, ByteOrder to, FileError& error) {
    convertOrder(image_.bytes, static_cast<std::size_t>(image_.size), to, from);
    FileOps& ops = fileOps();
    const std::size_t reach = static_cast<std::size_t>(error.mixedBytes);
    std::string reason;
    if (ops.write(rom_.file, image_.bytes, reach, 0, reason) && ops.sync(rom_.file, reason)) {
        error.rom = RomState::Restored;
        error.mixedBytes = 0;
        return;
    }
    error.restoreReason = reason;
}

bool RomUpdate::close(FileError& error) {
    releaseImage(image_);
    return closeRom(rom_, error);
}
