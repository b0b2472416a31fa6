// One update of one ROM file, from the read to the close: the road every conversion takes,
// in the window as in the command line. The steps are separate calls, so that a front end
// can ask its questions between them; whatever is still held when the update ends is
// closed and freed quietly.
#pragma once

#include <cstdint>
#include <string>

#include "core/byte_order.h"
#include "core/rom_file.h"

class RomUpdate {
public:
    RomUpdate() = default;
    ~RomUpdate();
    RomUpdate(const RomUpdate&) = delete;
    RomUpdate& operator=(const RomUpdate&) = delete;

    // Opens the regular file at path for update and reads it whole.
    bool open(const std::string& path, FileError& error);

    // The order the image read is in, from its first byte (None: empty or not recognised).
    ByteOrder order() const;
    std::int64_t size() const { return image_.size; }
    const std::string& path() const { return rom_.path; }

    // Writes the backup (FILE.bak) of the image read, before anything is converted.
    bool backUp(FileError& error);
    bool backedUp() const { return backedUp_; }
    std::string backupName() const { return backupPath(rom_.path); }

    // Whether converting from one order to the other would change any byte of this image.
    bool changes(ByteOrder from, ByteOrder to) const;

    // Converts the image from one order to the other, writes it back over the file and makes
    // it durable, telling progress after each slice. A file that nothing would change is not
    // written. When the write-back fails, the bytes already written are put back in the old
    // order from memory; error.rom says whether that worked.
    bool convert(ByteOrder from, ByteOrder to, FileError& error, const WriteProgress& progress = WriteProgress());

    // Closes the file; reports a close that fails. The image is released.
    bool close(FileError& error);

private:
    // Puts the first error.mixedBytes bytes of the file back in order `from` and makes them
    // durable; records in error what the file holds afterwards.
    void restore(ByteOrder from, ByteOrder to, FileError& error);

    RomStream rom_;
    RomImage image_;
    bool backedUp_ = false;
};
