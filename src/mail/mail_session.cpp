#include "mail/mail_session.h"

#include "mail/imap/imap_session.h"
#include "mail/pop3/pop3_session.h"

std::unique_ptr<MailSession> OpenMailSession(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                                             SessionMemory* memory, uint32_t connectTimeoutMs, uint32_t ioTimeoutMs)
{
    if (account.Protocol == kProtocolImap)
        return std::make_unique<ImapSession>(account, stopFlag, memory, connectTimeoutMs, ioTimeoutMs);
    return std::make_unique<Pop3Session>(account, stopFlag, connectTimeoutMs, ioTimeoutMs);
}
