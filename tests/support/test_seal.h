#pragma once
// A stand-in for the user's data protection: a tag and the bytes reversed; opens only its own.
#include <algorithm>
#include <string>

#include "platform/secret_seal.h"

class TestSeal : public SecretSeal {
public:
    bool canSeal = true;

    bool Seal(const std::string& secret, std::string& sealed) const override
    {
        if (!canSeal)
            return false;
        sealed = kTag + std::string(secret.rbegin(), secret.rend());
        return true;
    }
    bool Open(const std::string& sealed, std::string& secret) const override
    {
        if (sealed.compare(0, kTag.size(), kTag) != 0)
            return false;
        secret.assign(sealed.rbegin(), sealed.rend() - long(kTag.size()));
        return true;
    }

private:
    const std::string kTag = "sealed:";
};
