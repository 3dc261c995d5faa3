#include "platform/state_file.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "platform/tick_count.h"
#include "platform/wide_text_win.h"

namespace {

constexpr size_t kLocalReadChunk = 65536;

// Closes the handle it holds.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return handle; }
    bool Close()
    {
        const HANDLE closing = handle;
        handle = INVALID_HANDLE_VALUE;
        return CloseHandle(closing) != 0;
    }

private:
    HANDLE handle;
};

bool WriteAll(HANDLE file, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = DWORD(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

}  // namespace

LocalFileRead ReadLocalFile(const std::string& path, size_t maxBytes, int64_t deadline,
                            const std::atomic<int32_t>* stopFlag, std::string& bytes)
{
    bytes.clear();
    const std::wstring name = WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LocalFileRead::Missing
                                                                              : LocalFileRead::Unreadable;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return LocalFileRead::NotAFile;
    FileHandle file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LocalFileRead::Missing
                                                                              : LocalFileRead::Unreadable;
    }
    // A device or a pipe never ends on its own.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return LocalFileRead::NotAFile;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
        return LocalFileRead::Unreadable;
    if (uint64_t(size.QuadPart) > maxBytes)
        return LocalFileRead::TooLarge;
    std::vector<char> chunk(kLocalReadChunk);
    // Bounded by maxBytes: every pass adds bytes or ends.
    for (;;) {
        if (stopFlag && stopFlag->load() != 0)
            return LocalFileRead::Stopped;
        if (SteadyNowMs() >= deadline)
            return LocalFileRead::TimedOut;
        DWORD got = 0;
        if (!ReadFile(file.Get(), chunk.data(), DWORD(chunk.size()), &got, nullptr))
            return LocalFileRead::Unreadable;
        if (got == 0)
            return LocalFileRead::Loaded;
        if (bytes.size() + got > maxBytes)
            return LocalFileRead::TooLarge;  // it grew while we read
        bytes.append(chunk.data(), got);
    }
}

bool ReplaceStateFile(const std::string& path, const std::string& bytes)
{
    const std::wstring target = WideFromUtf8(path);
    if (!CreateDirectoryW(FolderOf(target).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    const std::wstring temporary = target + L".tmp";
    FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE)
        return false;
    const bool written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    if (!file.Close() || !written ||
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::string StateFolder()
{
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    return Utf8FromWide(folder) + "\\Zantoli";
}

std::string StatePath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + name;
}
