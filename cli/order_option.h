// The option of a command that names a byte order (--to, --from, --patch-order).
#pragma once

#include <string>

#include "core/byte_order.h"

namespace CLI {
class App;
class Option;
}

// Adds an option that names a byte order (big, little, v64, z64, n64, in any letter case)
// to a command's parser; an unknown name is a usage error; given twice, the last one counts.
CLI::Option* addOrderOption(CLI::App& parser, const std::string& name, ByteOrder& order,
                            const std::string& description);
