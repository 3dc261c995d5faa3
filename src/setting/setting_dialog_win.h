#pragma once
// The accounts dialog: lists the profile's accounts and lets the user add, edit and remove
// them, and offers the notifier's options. Nothing is written here; the caller saves the list
// and the options when the dialog ends with OK.
#include <windows.h>

#include "setting/account_settings.h"
#include "setting/dialog_win.h"
#include "setting/program_options.h"

class SettingDialog : public Dialog {
public:
    SettingDialog(AccountSettingsList accounts, const ProgramOptions& options);

    const AccountSettingsList& Accounts() const { return accounts; }
    const ProgramOptions& Options() const { return options; }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInitDialog();
    void SetIcons();
    void AddColumns();
    void FillList(int selected);
    void OnSelectionChanged();
    INT_PTR OnListNotify(const NMHDR& header);
    void OnAdd();
    void OnEdit();
    void OnRemove();
    int SelectedIndex() const;
    void ShowOptions() const;
    void ReadOptions();

    AccountSettingsList accounts;
    ProgramOptions options;
};
