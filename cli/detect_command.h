// The detect command: prints the byte order of each file.
#pragma once

#include <string>
#include <vector>

// Prints "FILE: ORDER" for each file that can be read and an error for each that cannot.
// Returns the exit status: success when every file could be read, whatever its order.
int runDetect(const std::vector<std::string>& files);
