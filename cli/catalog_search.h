// Where info finds the mupen64plus catalogue that names ROMs.
#pragma once

#include <string>

// The catalogue to read: given (from --catalog) when not empty, else the file named by the
// environment variable DORNAVEL_CATALOG when it is set and not empty, else the first of the
// usual places that exists (mupen64plus.ini beside the program on Windows; Debian's
// mupen64plus-data file, then /usr/share/mupen64plus/ and /usr/local/share/mupen64plus/
// elsewhere). Empty when there is none: then nothing is named, and that is no failure.
std::string findCatalog(const std::string& given);
