#include "platform/random_bytes.h"

#include <sys/random.h>

bool RandomBytes(size_t count, std::string& bytes)
{
    bytes.assign(count, '\0');
    size_t filled = 0;
    while (filled < count) {  // bounded: each pass fills some or gives up
        const ssize_t got = getrandom(&bytes[filled], count - filled, 0);
        if (got <= 0)
            return false;
        filled += size_t(got);
    }
    return true;
}
