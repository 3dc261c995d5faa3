#pragma once
// The notifier's options that the settings program offers beside the accounts; "KeepSeen" is
// read and written with the profile's own rules (profile/profile.h).

struct ProgramOptions {
    bool startAtSignIn = false;  // the notifier is started when the user signs in
    bool keepSeen = true;        // acknowledged mail stays acknowledged across restarts
};
