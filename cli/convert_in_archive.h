// convert on an archive: its ROMs converted into a new archive that takes the old one's name
// (actions/convert_archive.h), told entry by entry as ARCHIVE/ENTRY.
#pragma once

#include <string>

#include "actions/convert_archive.h"
#include "cli/summary.h"

// The outcomes convert counts, by their indexes in its summary.
struct ConvertOutcomes {
    std::size_t converted, alreadyInOrder, failed;
};

// When file is an archive holding ROMs, converts them as request says (its path set here)
// and returns true with one outcome for each ROM. An archive without a ROM that a walk found
// is left out quietly (true); false for any other file and a named archive without a ROM,
// which convert takes as it takes every file.
bool convertInArchive(const std::string& file, bool named, ArchiveConvertRequest request,
                      const ConvertOutcomes& kinds, Outcomes& outcomes);
