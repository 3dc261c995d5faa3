#pragma once
// The stored form of a password: each byte as two lowercase hexadecimal digits.
#include <string>

std::string EncodePassword(const std::string& password);

// Pieces of two characters (an odd last piece is one character); each piece gives the
// value of its leading hexadecimal digits (0 when it starts with none); the password ends
// before the first zero byte.
std::string DecodePassword(const std::string& text);
