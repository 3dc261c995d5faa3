#pragma once
// Rules the fuzz targets check beside crashes, leaks and hangs: a broken one aborts.
#include <cstdlib>
#include <string>

inline void Check(bool rule)
{
    if (!rule)
        std::abort();
}

inline bool HasControl(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}
