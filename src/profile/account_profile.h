#pragma once
// Accounts in the profile: section "POP%d" per account, "GLOBAL" for the count.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/secret_seal.h"
#include "profile/account_settings.h"

// More sections than this are not loaded: an absurd count must not exhaust memory.
constexpr int32_t kMaxAccounts = 1000;

std::string AccountSection(int index);

// "POP_COUNT" by atoi rules, at most kMaxAccounts (a larger count is cut and traced).
int32_t ReadAccountCount();

// Fills every field from section POP<index>; a missing "Port" is the protection's default.
// Secrets are opened with seal.
void LoadAccount(int index, AccountSettings& account, const SecretSeal& seal = UserSecretSeal());

void SaveAccountCount(int32_t count);
// Secrets are stored sealed with seal, and the reversible password forms are removed.
void SaveAccount(int index, const AccountSettings& account, const SecretSeal& seal = UserSecretSeal());
// Writes the count and every account; sections beyond the count stay as they are.
int SaveSettings(const std::vector<AccountSettings>& accounts, const SecretSeal& seal = UserSecretSeal());
