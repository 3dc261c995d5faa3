#include "platform/state_file.h"

// The program's own files are read like any other local file, without a deadline: they are
// on the user's own disk, and their bound is checked before the read.
StateFileRead ReadStateFile(const std::string& path, size_t maxBytes, std::string& bytes)
{
    switch (ReadLocalFile(path, maxBytes, INT64_MAX, nullptr, bytes)) {
    case LocalFileRead::Loaded: return StateFileRead::Loaded;
    case LocalFileRead::Missing: return StateFileRead::Missing;
    case LocalFileRead::TooLarge: return StateFileRead::TooLarge;
    default: return StateFileRead::Failed;
    }
}
