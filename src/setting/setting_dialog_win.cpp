#include "setting/setting_dialog_win.h"

#include <commctrl.h>

#include <iterator>
#include <string>
#include <utility>

#include "setting/account_dialog_win.h"
#include "setting/account_labels.h"
#include "setting/color_names.h"
#include "setting/setting_resource.h"
#include "platform/wide_text_win.h"

namespace {

struct Column {
    const wchar_t* title;
    int width;  // dialog units, so that the columns grow with the font
};

const Column kColumns[] = {
    {L"Login name", 62}, {L"Server", 70}, {L"Protocol", 34}, {L"Security", 36},
    {L"Port", 26}, {L"Every", 34}, {L"Colour", 36},
};

std::string IntervalText(int32_t minutes)
{
    return std::to_string(minutes) + " min";
}

}  // namespace

SettingDialog::SettingDialog(AccountSettingsList accounts, const ProgramOptions& options)
    : Dialog(IDD_SETTINGS), accounts(std::move(accounts)), options(options)
{
}

INT_PTR SettingDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            ReadOptions();
            EndDialog(Handle(), IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(Handle(), IDCANCEL);
            return TRUE;
        case IDC_ADD:
            OnAdd();
            return TRUE;
        case IDC_EDIT:
            OnEdit();
            return TRUE;
        case IDC_REMOVE:
            OnRemove();
            return TRUE;
        default:
            return FALSE;
        }
    case WM_NOTIFY:
        if (wParam != IDC_ACCOUNT_LIST)
            return FALSE;
        return OnListNotify(*reinterpret_cast<const NMHDR*>(lParam));
    default:
        return FALSE;
    }
}

void SettingDialog::OnInitDialog()
{
    SetIcons();
    HWND list = Item(IDC_ACCOUNT_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddColumns();
    FillList(0);
    ShowOptions();
}

void SettingDialog::ShowOptions() const
{
    CheckDlgButton(Handle(), IDC_START_AT_SIGN_IN, options.startAtSignIn ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Handle(), IDC_KEEP_SEEN, options.keepSeen ? BST_CHECKED : BST_UNCHECKED);
}

void SettingDialog::ReadOptions()
{
    options.startAtSignIn = IsDlgButtonChecked(Handle(), IDC_START_AT_SIGN_IN) == BST_CHECKED;
    options.keepSeen = IsDlgButtonChecked(Handle(), IDC_KEEP_SEEN) == BST_CHECKED;
}

// The caption and the taskbar show the notifier's icon; shared icons need no destroying.
void SettingDialog::SetIcons()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto load = [instance](int metricX, int metricY) {
        return LoadImageW(instance, MAKEINTRESOURCEW(IDI_SETTING), IMAGE_ICON, GetSystemMetrics(metricX),
                          GetSystemMetrics(metricY), LR_SHARED);
    };
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(load(SM_CXICON, SM_CYICON)));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(load(SM_CXSMICON, SM_CYSMICON)));
}

void SettingDialog::AddColumns()
{
    HWND list = Item(IDC_ACCOUNT_LIST);
    int index = 0;
    for (const Column& column : kColumns) {
        RECT units{0, 0, column.width, 0};
        MapDialogRect(Handle(), &units);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH;
        entry.pszText = const_cast<wchar_t*>(column.title);
        entry.cx = units.right;
        SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(index++), reinterpret_cast<LPARAM>(&entry));
    }
    // The last column takes what is left, so no empty stub of a header follows it.
    ListView_SetColumnWidth(list, index - 1, LVSCW_AUTOSIZE_USEHEADER);
}

// Rebuilds the rows from the accounts and selects row `selected` (clamped), so that Edit and
// Remove act on a visible row.
void SettingDialog::FillList(int selected)
{
    HWND list = Item(IDC_ACCOUNT_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t row = 0; row < accounts.size(); ++row) {
        const AccountSettings& account = accounts[row];
        const std::wstring cells[] = {
            WideFromUtf8(account.Account),
            WideFromUtf8(account.Address),
            WideFromUtf8(ProtocolLabel(account.Protocol)),
            WideFromUtf8(SecurityLabel(account.Protocol, account.Security)),
            std::to_wstring(account.Port),
            WideFromUtf8(IntervalText(account.Duration)),
            WideFromUtf8(ColorLabel(account.Color)),
        };
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = int(row);
        item.pszText = const_cast<wchar_t*>(cells[0].c_str());
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (int column = 1; column < int(std::size(cells)); ++column) {
            item.iSubItem = column;
            item.pszText = const_cast<wchar_t*>(cells[column].c_str());
            SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item));
        }
    }
    if (!accounts.empty()) {
        const int row = selected < 0 ? 0 : selected >= int(accounts.size()) ? int(accounts.size()) - 1 : selected;
        const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list, row, state, state);
        ListView_EnsureVisible(list, row, FALSE);
    }
    OnSelectionChanged();
}

void SettingDialog::OnSelectionChanged()
{
    const bool any = SelectedIndex() >= 0;
    EnableWindow(Item(IDC_EDIT), any);
    EnableWindow(Item(IDC_REMOVE), any);
}

INT_PTR SettingDialog::OnListNotify(const NMHDR& header)
{
    switch (header.code) {
    case LVN_ITEMCHANGED:
        OnSelectionChanged();
        return TRUE;
    case NM_DBLCLK:
        if (SelectedIndex() >= 0)
            OnEdit();
        return TRUE;
    case LVN_KEYDOWN:
        if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE && SelectedIndex() >= 0)
            OnRemove();
        return TRUE;
    default:
        return FALSE;
    }
}

void SettingDialog::OnAdd()
{
    AccountDialog dialog(NewAccountSettings(), true);
    if (dialog.RunModal(Handle()) != IDOK)
        return;
    accounts.push_back(dialog.Result());
    FillList(int(accounts.size()) - 1);
    FocusItem(IDC_ACCOUNT_LIST);
}

void SettingDialog::OnEdit()
{
    const int row = SelectedIndex();
    if (row < 0)
        return;
    AccountDialog dialog(accounts[size_t(row)], false);
    if (dialog.RunModal(Handle()) != IDOK)
        return;
    accounts[size_t(row)] = dialog.Result();
    FillList(row);
    FocusItem(IDC_ACCOUNT_LIST);
}

void SettingDialog::OnRemove()
{
    const int row = SelectedIndex();
    if (row < 0)
        return;
    const AccountSettings& account = accounts[size_t(row)];
    const std::wstring question = L"Remove the account " + WideFromUtf8(account.Account) + L" on " +
                                  WideFromUtf8(account.Address) +
                                  L"?\n\nIts saved password goes with it when you press OK in the settings.";
    if (MessageBoxW(Handle(), question.c_str(), L"Remove Account", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDYES)
        return;
    accounts.erase(accounts.begin() + row);
    FillList(row);
    // The Remove button may just have been disabled; the list keeps the focus for the keyboard.
    FocusItem(IDC_ACCOUNT_LIST);
}

int SettingDialog::SelectedIndex() const
{
    return int(SendMessageW(Item(IDC_ACCOUNT_LIST), LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}
