#include "setting/account_labels.h"

namespace {

std::string Other(int32_t value)
{
    return "Other (" + std::to_string(value) + ")";
}

}  // namespace

std::string ProtocolLabel(int32_t protocol)
{
    const char* const names[kProtocolCount] = {"POP3", "IMAP"};
    return protocol >= 0 && protocol < kProtocolCount ? names[protocol] : Other(protocol);
}

std::string SecurityLabel(int32_t protocol, int32_t security)
{
    const char* const names[kSecurityCount] = {"None", protocol == 1 ? "STARTTLS" : "STLS", "TLS"};
    return security >= 0 && security < kSecurityCount ? names[security] : Other(security);
}
