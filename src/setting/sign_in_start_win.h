#pragma once
// Starting the notifier when the user signs in: the value "Zantoli" under the current user's
// Run key, holding the quoted path of Zantoli.exe beside this program.

bool StartsAtSignIn();

// Adds or removes the value; false when the registry refused.
bool SetStartAtSignIn(bool start);
