// The one random change the fuzz loops make to the bytes of a file (a patch, an archive): a
// byte changed, inserted or removed, or the end cut.
#pragma once

#include <random>
#include <vector>

inline void mutate(std::vector<unsigned char>& bytes, std::mt19937& random) {
    const std::size_t at = bytes.empty() ? 0 : random() % bytes.size();
    switch (random() % 4) {
    case 0:
        if (!bytes.empty()) bytes[at] = static_cast<unsigned char>(random());
        break;
    case 1: bytes.insert(bytes.begin() + at, static_cast<unsigned char>(random())); break;
    case 2:
        if (!bytes.empty()) bytes.erase(bytes.begin() + at);
        break;
    default: bytes.resize(at); break;
    }
}
