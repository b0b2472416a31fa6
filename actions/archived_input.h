// The files an action reads whole (the ROM and the patch it applies) may be kept inside an
// archive, as collections and downloaded hacks are: the one entry of the kind wanted is read
// as a stream, never unpacked to the disk.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/byte_order.h"
#include "core/rom_file.h"
#include "identity/rom_image_reader.h"

// What an action looks for inside an archive.
enum class WantedEntry { Rom, Patch };

// Reads the whole file at path into bytes. When its first bytes say it is an archive, the
// entry of the kind wanted is read instead, and entry gets its name: the only one of that
// kind, or the first ROM when there are several (a patch must be alone, as which one is
// meant cannot be guessed). An archive without one is read as the file it is, for the
// caller to refuse as it refuses any file that is no ROM or no patch. False with error set
// (step Read, the path, the reason naming the entry) when nothing can be read.
bool readWholeInput(const std::string& path, WantedEntry wanted, RomImageBuffer& bytes, std::string& entry,
                    FileError& error);

// The order of the ROM at path, from its first byte, or of the first ROM in it when it is an
// archive (None when it holds none, or cannot be read).
ByteOrder romOrderOf(const std::string& path);

// The ROM entries of the archive at path, in its order, each with its order; empty when it
// holds none or cannot be read.
std::vector<std::pair<std::string, ByteOrder>> romEntriesOf(const std::string& path);

// Whether the file at path is an archive holding exactly one patch.
bool holdsPatch(const std::string& path);
