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

// Signing in with OAuth 2.0: the account dialog's button, the sign-in dialog, the wait.
#define IDD_OAUTH 103
#define IDD_SIGN_IN_WAIT 104
#define IDC_SIGN_IN_OPTIONS 1120
#define IDC_OAUTH_ON 1201
#define IDC_OAUTH_PROVIDER 1202
#define IDC_CLIENT_ID 1203
#define IDC_CLIENT_SECRET 1204
#define IDC_AUTHORIZE_URL 1205
#define IDC_TOKEN_URL 1206
#define IDC_SCOPE 1207
#define IDC_SIGN_IN 1208
#define IDC_SIGN_IN_STATE 1209
#define IDC_OAUTH_PROBLEM 1210
#define IDC_WAIT_TEXT 1211
