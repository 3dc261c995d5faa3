#pragma once
// The accounts dialog: lists the profile's accounts and lets the user add, edit and remove
// them. Nothing is written here; the caller saves the list when the dialog ends with OK.
#include <windows.h>

#include "setting/account_settings.h"
#include "setting/dialog_win.h"

class SettingDialog : public Dialog {
public:
    explicit SettingDialog(AccountSettingsList accounts);

    const AccountSettingsList& Accounts() const { return accounts; }

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

    AccountSettingsList accounts;
};
