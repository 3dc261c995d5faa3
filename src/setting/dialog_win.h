#pragma once
// A modal dialog from a resource template, shown in the system's message font. Each dialog
// class handles its messages in one virtual procedure.
#include <windows.h>

#include <string>

class Dialog {
public:
    virtual ~Dialog() = default;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Shows the dialog until it ends; returns the id it ended with (IDOK, IDCANCEL), or -1
    // when it could not be created.
    INT_PTR RunModal(HWND owner);

protected:
    explicit Dialog(int templateId) : templateId(templateId) {}

    HWND Handle() const { return window; }
    HWND Item(int id) const { return GetDlgItem(window, id); }
    // Moves the focus the way Tab does, so that the default button follows it.
    void FocusItem(int id) const;

    // Returns what the dialog procedure returns: TRUE for a message handled, FALSE otherwise.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Texts of controls, UTF-8 in the program.
    std::string ItemText(int id) const;
    void SetItemText(int id, const std::string& text) const;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    int templateId;
    HWND window = nullptr;
};
