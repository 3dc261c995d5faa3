#pragma once
// Unpredictable bytes from the system's generator, for the sign-in's state value and PKCE.
#include <cstddef>
#include <string>

// False when the system gave none; nothing may then be signed in.
bool RandomBytes(size_t count, std::string& bytes);
