#pragma once
// Secrets in the profile: binary values sealed for the current user (platform/secret_seal.h).
#include <string>

#include "platform/secret_seal.h"

enum class ProtectedRead {
    Absent,      // no protected value under this name
    Read,        // opened
    Unreadable,  // stored, but sealed by another user or machine, or damaged
};

ProtectedRead ReadProtectedValue(const std::string& section, const std::string& key, const SecretSeal& seal,
                                 std::string& secret);

// Seals and stores the secret; an empty one removes the value. False, with the profile
// unchanged, when the secret could not be sealed.
bool WriteProtectedValue(const std::string& section, const std::string& key, const std::string& secret,
                         const SecretSeal& seal);

void RemoveProfileValue(const std::string& section, const std::string& key);
