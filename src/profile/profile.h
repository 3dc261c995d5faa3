#pragma once
// The two profile operations the program uses, over the process-wide profile store.
// Only the user-interface thread reads or writes the profile.
#include <cstdint>
#include <string>

#include "platform/profile_store.h"

// The stored text, or empty text when absent. The result lives in one process-wide buffer:
// it is valid only until the next call, so callers copy or convert it at once.
const std::string& ReadProfileText(const std::string& section, const std::string& key);

void WriteProfileText(const std::string& section, const std::string& key, const std::string& text);

// Writes value as decimal text ("%d").
void WriteProfileNumber(const std::string& section, const std::string& key, int32_t value);

// Writes text only when it differs from its default or the key was stored before: a profile
// without the key stays as it was, and going back to the default is not lost.
void WriteUnlessDefault(const std::string& section, const std::string& key, const std::string& text,
                        bool isDefault);

// The C library's atoi rules: leading white space, an optional sign, the digits up to the
// first other character; no digits give 0. Values beyond 32 bits saturate instead of
// overflowing.
int32_t TextToInt(const std::string& text);

// GLOBAL "KeepSeen": acknowledgements survive a restart unless it holds "0". Absent means on:
// every OK in the settings restarts the notifier, and mail the user acknowledged must not come
// back as new for that.
bool ReadKeepSeen();
void WriteKeepSeen(bool keep);
