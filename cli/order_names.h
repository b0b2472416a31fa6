// The names by which the command line speaks of byte orders.
#pragma once

#include <string>

#include "core/byte_order.h"

// The name printed for an order: "big", "little", "v64", or "unknown" for None.
const char* orderName(ByteOrder order);

// The order that text names: "big" or "z64", "little" or "n64", "v64", in any letter case.
// Returns false, leaving order as it was, when text names none of them.
bool parseOrderName(const std::string& text, ByteOrder& order);
