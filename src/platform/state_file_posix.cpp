#include "platform/state_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/tick_count.h"

namespace {

constexpr size_t kLocalReadChunk = 65536;

// Closes the descriptor it holds.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd; }
    bool Close()
    {
        const int closing = fd;
        fd = -1;
        return close(closing) == 0;
    }

private:
    int fd;
};

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += size_t(written);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

LocalFileRead ReadLocalFile(const std::string& path, size_t maxBytes, int64_t deadline,
                            const std::atomic<int32_t>* stopFlag, std::string& bytes)
{
    bytes.clear();
    // Without O_NONBLOCK, opening a pipe would wait for a writer that may never come.
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.Get() < 0)
        return errno == ENOENT || errno == ENOTDIR ? LocalFileRead::Missing : LocalFileRead::Unreadable;
    struct stat status {};
    if (fstat(file.Get(), &status) != 0)
        return LocalFileRead::Unreadable;
    if (!S_ISREG(status.st_mode))
        return LocalFileRead::NotAFile;
    if (uint64_t(status.st_size) > maxBytes)
        return LocalFileRead::TooLarge;
    char chunk[kLocalReadChunk];
    // Bounded by maxBytes: every pass adds bytes or ends.
    for (;;) {
        if (stopFlag && stopFlag->load() != 0)
            return LocalFileRead::Stopped;
        if (SteadyNowMs() >= deadline)
            return LocalFileRead::TimedOut;
        const ssize_t got = read(file.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return LocalFileRead::Unreadable;
        if (got == 0)
            return LocalFileRead::Loaded;
        if (bytes.size() + size_t(got) > maxBytes)
            return LocalFileRead::TooLarge;  // it grew while we read
        bytes.append(chunk, size_t(got));
    }
}

bool ReplaceStateFile(const std::string& path, const std::string& bytes)
{
    const std::string folder = FolderOf(path);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    const std::string temporary = path + ".tmp";
    FileDescriptor file(open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (file.Get() < 0)
        return false;
    const bool written = WriteAll(file.Get(), bytes) && fsync(file.Get()) == 0;
    if (!file.Close() || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    FileDescriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.Get() >= 0)
        fsync(directory.Get());
    return true;
}

std::string StateFolder()
{
    const char* data = getenv("XDG_DATA_HOME");
    if (data && *data)
        return std::string(data) + "/zantoli";
    const char* home = getenv("HOME");
    return std::string(home ? home : ".") + "/.local/share/zantoli";
}

std::string StatePath(const std::string& folder, const std::string& name)
{
    return folder + "/" + name;
}
