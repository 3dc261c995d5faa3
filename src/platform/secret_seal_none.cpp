#include "platform/secret_seal.h"

namespace {

// No system protection here: nothing is sealed, so no secret is ever stored in a form that
// only looks protected.
class NoSeal : public SecretSeal {
public:
    bool Seal(const std::string&, std::string&) const override { return false; }
    bool Open(const std::string&, std::string&) const override { return false; }
};

}  // namespace

const SecretSeal& UserSecretSeal()
{
    static const NoSeal seal;
    return seal;
}
