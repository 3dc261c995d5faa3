#include "setting/account_labels.h"

namespace {

std::string Other(int32_t value)
{
    return "Other (" + std::to_string(value) + ")";
}

}  // namespace

std::string ProtocolLabel(int32_t protocol)
{
    return protocol == kProtocolPop3 ? "POP3" : protocol == kProtocolImap ? "IMAP" : "Unknown";
}

std::string SecurityLabel(int32_t protocol, int32_t security)
{
    const char* const names[kSecurityCount] = {"None", protocol == kProtocolImap ? "STARTTLS" : "STLS", "TLS"};
    return security >= 0 && security < kSecurityCount ? names[security] : Other(security);
}
