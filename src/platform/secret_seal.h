#pragma once
// Secrets at rest (passwords, client secrets, refresh tokens): sealed so that only the same
// user on the same machine can open them again. The profile keeps the sealed bytes only.
#include <string>

class SecretSeal {
public:
    virtual ~SecretSeal() = default;
    // False when the system cannot seal; nothing should then be stored.
    virtual bool Seal(const std::string& secret, std::string& sealed) const = 0;
    // False for bytes sealed by another user or machine, or damaged.
    virtual bool Open(const std::string& sealed, std::string& secret) const = 0;
};

// The current user's seal: the system's data protection on Windows. Elsewhere there is none,
// and both operations fail.
const SecretSeal& UserSecretSeal();
