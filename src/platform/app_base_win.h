#pragma once
// The application base: start-up, message loop, shut-down, and the profile location.
#include <windows.h>

#include <memory>
#include <string>

class RegistryProfileStore;

class AppBase {
public:
    // The application name comes from string resource 57344, or the program's file name.
    AppBase();
    virtual ~AppBase();
    AppBase(const AppBase&) = delete;
    AppBase& operator=(const AppBase&) = delete;

    static AppBase* Current();

    virtual bool InitInstance() { return true; }
    // The process exit code: the WM_QUIT code that ended the loop, 0 when there was no loop.
    virtual int ExitInstance() { return exitCode; }

    // InitInstance, then the message loop while there is a main window, then ExitInstance.
    int Run();

    // From now on the profile is HKCU\Software\<company>\<application name>.
    void SetRegistryKey(const char* company);

    const std::string& AppName() const { return appName; }
    HINSTANCE Instance() const { return instance; }

    HWND MainWindow() const { return mainWindow; }
    void SetMainWindow(HWND window) { mainWindow = window; }
    // The window base reports each window's end here: the loop ends with the main window.
    void OnWindowDestroyed(HWND window);

protected:
    // The exit code when no message loop runs (start-up ended without a main window).
    void SetExitCode(int code) { exitCode = code; }

private:
    HINSTANCE instance;
    std::string appName;
    std::unique_ptr<RegistryProfileStore> profile;
    HWND mainWindow = nullptr;
    int exitCode = 0;
};
