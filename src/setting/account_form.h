#pragma once
// The account dialog's fields as the user typed them, and the checks they must pass before
// they become an account's settings.
#include <cstddef>
#include <cstdint>
#include <string>

#include "setting/account_settings.h"

// The longest interval offered, a week: well inside the 49 days after which the notifier's
// millisecond clock turns over. 0 is accepted: the notifier then checks about every second.
constexpr int32_t kMaxIntervalMinutes = 10080;

// The notifier sends the login name and the password on 512-byte command lines ("USER ",
// the text, CR LF and a terminating zero): longer ones are never sent, so they are refused here.
constexpr size_t kMaxCredentialBytes = 504;

struct AccountForm {
    std::string login;
    std::string server;
    std::string port;
    std::string interval;  // minutes
    std::string password;  // empty: keep the account's password
    int32_t color = 0;
    int32_t security = kSecurityNone;
    std::string trustFile;    // empty: the system's trusted roots
    std::string fingerprint;  // empty: the certificate's chain and name are verified
    int32_t protocol = kProtocolPop3;
    std::string folder{};     // IMAP only; empty: INBOX
};

enum class FormField { None, Login, Server, Port, Interval, Password, Security, TrustFile, Fingerprint, Folder };

// The first field that is not acceptable, with a sentence saying why.
struct FormProblem {
    FormField field = FormField::None;
    std::string message;
    explicit operator bool() const { return field != FormField::None; }
};

// The port field after the protocol or the security choice changed, from a choice whose usual
// port is `from` to one whose usual port is `to`: `to`, unless the field holds a port the user
// chose (anything but empty or `from`).
std::string PortForChoice(const std::string& port, int32_t from, int32_t to);

// The fields for editing settings; the password field starts empty, so that it is never shown.
AccountForm FormFromSettings(const AccountSettings& settings);

// Also reads the trust file, if one is named, as a check would: it must exist and hold a
// certificate. A trust file or a fingerprint is refused without STLS or TLS, where it would
// do nothing, and a protection that is none of the three (a damaged profile) must be chosen.
FormProblem CheckForm(const AccountForm& form);

// The settings the form describes, for a form that CheckForm accepted. An empty password
// field keeps the password of the account being edited.
AccountSettings SettingsFromForm(const AccountForm& form, const AccountSettings& edited);
