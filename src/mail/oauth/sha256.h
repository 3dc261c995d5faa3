#pragma once
// SHA-256 of bytes, for the PKCE challenge: a few hashes per sign-in, so plain portable code
// serves better than a system call with its handles.
#include <string>

// The 32-byte digest.
std::string Sha256(const std::string& bytes);
