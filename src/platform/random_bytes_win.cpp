#include "platform/random_bytes.h"

#include <windows.h>
#include <bcrypt.h>

bool RandomBytes(size_t count, std::string& bytes)
{
    bytes.assign(count, '\0');
    return BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&bytes[0]), ULONG(count),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}
