#pragma once
// The account dialog's fields as the user typed them, and the checks they must pass before
// they become an account's settings.
#include <cstdint>
#include <string>

#include "setting/account_settings.h"

// The longest interval offered, a week: well inside the 49 days after which the notifier's
// millisecond clock turns over.
constexpr int32_t kMaxIntervalMinutes = 10080;

struct AccountForm {
    std::string login;
    std::string server;
    std::string port;
    std::string interval;  // minutes
    std::string password;  // empty: keep the account's password
    int32_t color = 0;
};

enum class FormField { None, Login, Server, Port, Interval, Password };

// The first field that is not acceptable, with a sentence saying why.
struct FormProblem {
    FormField field = FormField::None;
    std::string message;
    explicit operator bool() const { return field != FormField::None; }
};

// The fields for editing settings; the password field starts empty, so that it is never shown.
AccountForm FormFromSettings(const AccountSettings& settings);

FormProblem CheckForm(const AccountForm& form);

// The settings the form describes, for a form that CheckForm accepted. An empty password
// field keeps the password of the account being edited.
AccountSettings SettingsFromForm(const AccountForm& form, const AccountSettings& edited);
