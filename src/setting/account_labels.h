#pragma once
// What the dialogs show for an account's protocol and protection, in the order of their stored
// values; a value outside them (a newer or damaged profile) shows as itself.
#include <cstdint>
#include <string>

constexpr int32_t kProtocolCount = 2;  // 0 POP3, 1 IMAP
constexpr int32_t kSecurityCount = 3;  // 0 none, 1 STLS / STARTTLS, 2 TLS

// "POP3", "IMAP", or "Other (5)".
std::string ProtocolLabel(int32_t protocol);

// "None", "STLS" (POP3's command; IMAP's is "STARTTLS"), "TLS", or "Other (7)".
std::string SecurityLabel(int32_t protocol, int32_t security);
