#pragma once
// Base64 of bytes: the standard alphabet with padding (SASL), and the URL-safe one without
// (PKCE, the state value).
#include <string>

std::string Base64(const std::string& bytes);
std::string Base64Url(const std::string& bytes);
