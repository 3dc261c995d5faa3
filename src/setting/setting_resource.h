// Resource identifiers of Setting.exe, shared by setting.rc and the program.
#pragma once

// The notifier's own icon, so the settings program is recognised as belonging to it.
#define IDI_SETTING 1

#define IDD_SETTINGS 101
#define IDD_ACCOUNT 102

// The accounts dialog.
#define IDC_ACCOUNT_LIST 1001
#define IDC_ADD 1002
#define IDC_EDIT 1003
#define IDC_REMOVE 1004
#define IDC_START_AT_SIGN_IN 1005
#define IDC_KEEP_SEEN 1006

// The account dialog.
#define IDC_LOGIN 1101
#define IDC_SERVER 1102
#define IDC_PORT 1103
#define IDC_INTERVAL 1104
#define IDC_PASSWORD 1105
#define IDC_PASSWORD_HINT 1106
#define IDC_COLOR 1107
#define IDC_PROBLEM 1108
#define IDC_SECURITY 1109
#define IDC_TRUST_FILE 1110
#define IDC_FINGERPRINT 1111
#define IDC_PROTOCOL 1112
#define IDC_FOLDER_LABEL 1113
#define IDC_FOLDER 1114
#define IDC_BROWSE_TRUST 1115
#define IDC_TEST 1116
#define IDC_TEST_RESULT 1117
#define IDC_CERTIFICATE 1118
#define IDC_TRUST_CERTIFICATE 1119
