#pragma once
// Text is UTF-8 inside the program and UTF-16 at the Windows calls that take wide strings.
#include <string>

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
