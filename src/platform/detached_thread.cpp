#include "platform/detached_thread.h"

#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

#ifdef _WIN32

namespace {

DWORD WINAPI RunBody(void* parameter)
{
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

}  // namespace

// A thread of the system's own: under Wine a detached std::thread now and then never runs its
// body when it starts just as the previous one ends, which would leave a check marked running
// for good.
bool StartDetachedThread(std::function<void()> body)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const HANDLE thread = CreateThread(nullptr, 0, RunBody, owned.get(), 0, nullptr);
    if (!thread)
        return false;
    owned.release();  // the thread owns it now
    CloseHandle(thread);
    return true;
}

#else

bool StartDetachedThread(std::function<void()> body)
{
    try {
        std::thread(std::move(body)).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

#endif
