#include "mail/mail_session.h"

#include "mail/imap/imap_session.h"
#include "mail/pop3/pop3_session.h"
#include "mail/scheduler.h"
#include "platform/debug_channel.h"

namespace {

// Stands in for the conversation with an account that must never be checked: whoever asks
// (the scheduler passes such accounts over, but a tool or a test button may not), no byte goes
// to any server, least of all the password in clear.
class RefusedSession : public MailSession {
public:
    explicit RefusedSession(const char* reason) : reason(reason) {}
    void UseTls(TlsFactory) override {}
    CheckOutcome RunCheck() override
    {
        DebugWrite("Account is never checked: " + reason + "\n");
        CheckOutcome outcome;
        outcome.reason = reason;
        return outcome;
    }

private:
    std::string reason;
};

}  // namespace

std::unique_ptr<MailSession> OpenMailSession(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                                             SessionMemory* memory, uint32_t connectTimeoutMs, uint32_t ioTimeoutMs)
{
    if (const char* reason = WhyNeverChecked(account))
        return std::make_unique<RefusedSession>(reason);
    if (account.Protocol == kProtocolImap)
        return std::make_unique<ImapSession>(account, stopFlag, memory, connectTimeoutMs, ioTimeoutMs);
    return std::make_unique<Pop3Session>(account, stopFlag, memory, connectTimeoutMs, ioTimeoutMs);
}
