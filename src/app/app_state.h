#pragma once
// Process-wide state shared by the subsystems. Touched by the user-interface thread only.
#include <string>

class CharacterWnd;

// The class name of the character window and of every envelope window; empty until
// start-up registers the class.
extern std::string windowClassName;
// The one character window object, or null.
extern CharacterWnd* characterWnd;
