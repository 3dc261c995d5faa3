#pragma once
// The program's own small state files: read whole with a size bound, and replaced atomically,
// so that a crash or a power loss leaves either the old file or the new one, never a torn one.
// Paths are UTF-8.
#include <cstddef>
#include <string>

enum class StateFileRead { Loaded, Missing, TooLarge, Failed };

// Reads the file at path into bytes when it holds at most maxBytes.
StateFileRead ReadStateFile(const std::string& path, size_t maxBytes, std::string& bytes);

// Writes bytes to a temporary file beside path, flushes it to the disk and moves it over path.
// Creates path's folder (one level) when it is missing. False when any step failed; the old
// file is then untouched.
bool ReplaceStateFile(const std::string& path, const std::string& bytes);

// The folder of the program's state files for the signed-in user (not created here); empty
// when the system does not name one.
std::string StateFolder();

// folder + separator + name.
std::string StatePath(const std::string& folder, const std::string& name);
