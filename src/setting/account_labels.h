#pragma once
// What the dialogs show for an account's protocol and protection, in the order of their stored
// values; a value outside them (a newer or damaged profile) shows as itself.
#include <cstdint>
#include <string>

#include "profile/account_settings.h"

constexpr int32_t kProtocolCount = 2;  // kProtocolPop3, kProtocolImap
constexpr int32_t kSecurityCount = 3;  // none, STLS / STARTTLS, TLS

// "POP3", "IMAP", or "Unknown" (the profile keeps no other value than these).
std::string ProtocolLabel(int32_t protocol);

// "None", "STLS" (POP3's command; IMAP's is "STARTTLS"), "TLS", or "Other (7)".
std::string SecurityLabel(int32_t protocol, int32_t security);
