#pragma once

#include <string>

#include "profile/account_settings.h"

inline AccountSettings Account(std::string login, std::string password, int32_t duration, int32_t color, int32_t port,
                               int32_t security = kSecurityNone)
{
    AccountSettings account;
    account.Account = std::move(login);
    account.Address = "host";
    account.Password = std::move(password);
    account.Duration = duration;
    account.Color = color;
    account.Port = port;
    account.Security = security;
    return account;
}
