#pragma once
// Runs real sessions against the scripted loopback server.
#include <memory>
#include <string>

#include "fake_pop3_server.h"
#include "mail/pop3_session.h"
#include "settings/mail_account.h"

// A session for account against server, as the check worker sets one up, with time limits
// short enough for tests.
inline std::unique_ptr<Pop3Session> SessionFor(MailAccount& account, const FakePop3Server& server,
                                               uint32_t ioTimeoutMs = 5000)
{
    auto session = std::make_unique<Pop3Session>(5000, ioTimeoutMs);
    session->SetPassword(account.Password);
    session->SetUser(account.Account);
    session->SetServer("127.0.0.1");
    session->SetPort(server.Port());
    session->SetSeenUids(&account.seenUids);
    session->SetNewUids(&account.newUids);
    session->SetUidLock(&account.uidLock);
    session->stopFlag = &account.stopRequested;
    return session;
}

inline int RunCheckAgainst(MailAccount& account, const FakePop3Server& server,
                           uint32_t ioTimeoutMs = 5000)
{
    return SessionFor(account, server, ioTimeoutMs)->RunCheck();
}
