#pragma once
// The program's own small state files: read whole with a size bound, and replaced atomically,
// so that a crash or a power loss leaves either the old file or the new one, never a torn one.
// Paths are UTF-8.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

enum class StateFileRead { Loaded, Missing, TooLarge, Failed };

// Reads the file at path into bytes when it holds at most maxBytes.
StateFileRead ReadStateFile(const std::string& path, size_t maxBytes, std::string& bytes);

// Any local file the user names (a trust file): it may be a folder, a device, a pipe, a file
// on a slow share or far larger than it should be, so the read is bounded in bytes and time.
enum class LocalFileRead { Loaded, Missing, NotAFile, TooLarge, Unreadable, TimedOut, Stopped };

// Reads the regular file at path into bytes when it holds at most maxBytes. Anything but a
// regular file is refused before a byte is read (without waiting for a pipe's writer), a size
// above maxBytes before the read, and a file that grows past it during the read. Between
// reads of at most 64 KiB the deadline (steady-clock milliseconds, as SteadyNowMs gives them)
// and the flag behind stopFlag (if any; non-zero means stop) end the read.
LocalFileRead ReadLocalFile(const std::string& path, size_t maxBytes, int64_t deadline,
                            const std::atomic<int32_t>* stopFlag, std::string& bytes);

// Writes bytes to a temporary file beside path, flushes it to the disk and moves it over path.
// Creates path's folder (one level) when it is missing. False when any step failed; the old
// file is then untouched.
bool ReplaceStateFile(const std::string& path, const std::string& bytes);

// The folder of the program's state files for the signed-in user (not created here); empty
// when the system does not name one.
std::string StateFolder();

// folder + separator + name.
std::string StatePath(const std::string& folder, const std::string& name);
