// libFuzzer target over the request line a browser sends to the sign-in's loopback listener:
// whatever reaches the port is read, and nothing read may carry a control character.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_rules.h"
#include "mail/oauth/sign_in_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RedirectQuery query;
    if (ReadRedirectRequest(std::string(reinterpret_cast<const char*>(data), size), "/", query))
        Check(!HasControl(query.code) && !HasControl(query.state) && !HasControl(query.error) &&
              !HasControl(query.description));
    return 0;
}
