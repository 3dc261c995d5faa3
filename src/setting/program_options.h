#pragma once
// The notifier's options that the settings program offers beside the accounts.

struct ProgramOptions {
    bool startAtSignIn = false;  // the notifier is started when the user signs in
    bool keepSeen = false;       // acknowledged mail stays acknowledged across restarts
};

// GLOBAL "KeepSeen": on only when it holds "1", as the notifier reads it.
bool ReadKeepSeen();
void WriteKeepSeen(bool keep);
