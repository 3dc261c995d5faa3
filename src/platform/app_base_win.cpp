#include "platform/app_base_win.h"

#include "platform/registry_profile_store_win.h"
#include "platform/wide_text_win.h"

namespace {
AppBase* currentApp = nullptr;
constexpr UINT kAppNameStringId = 57344;

std::string LoadAppName(HINSTANCE instance)
{
    wchar_t text[256] = {};
    if (LoadStringW(instance, kAppNameStringId, text, 256) > 0)
        return Utf8FromWide(text);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(instance, path, MAX_PATH);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return Utf8FromWide(name.substr(0, name.rfind(L'.')));
}
}  // namespace

AppBase::AppBase() : instance(GetModuleHandleW(nullptr)), appName(LoadAppName(instance))
{
    currentApp = this;
}

AppBase::~AppBase()
{
    if (CurrentProfileStore() == profile.get())
        SetProfileStore(nullptr);
    if (currentApp == this)
        currentApp = nullptr;
}

AppBase* AppBase::Current()
{
    return currentApp;
}

void AppBase::SetRegistryKey(const char* company)
{
    profile = std::make_unique<RegistryProfileStore>(company, appName);
    SetProfileStore(profile.get());
}

void AppBase::OnWindowDestroyed(HWND window)
{
    if (window && window == mainWindow) {
        mainWindow = nullptr;
        PostQuitMessage(0);
    }
}

int AppBase::Run()
{
    InitInstance();
    if (mainWindow) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (msg.message == WM_QUIT)
            exitCode = int(msg.wParam);
    }
    return ExitInstance();
}
