// Files that hold an update stopped halfway: what the commands say of them.
#pragma once

#include <string>

#include "core/recovery_record.h"

// What an interrupted update was: "a conversion from little to big", "a change of 8 bytes
// at 0x10".
std::string interruptedUpdateText(const PendingUpdate& pending);

// For the commands that only read a ROM: when a recovery record beside file says an update
// of it was stopped halfway, the problem to report: that it holds an interrupted update and
// what brings it to its end (the file must then not be taken for what it seems). Empty when
// there is none.
std::string interruptedProblem(const std::string& file);
