#pragma once
// Real checks against the scripted loopback server, applied to the account as the worker does.
#include "fake_pop3_server.h"
#include "mail/check_worker.h"
#include "mail/pop3/pop3_session.h"

// Connects to the server (or the port given) with the account's memory, as the worker does.
inline CheckOutcome CheckAgainst(MailAccount& account, const FakePop3Server& server, uint32_t ioTimeoutMs = 5000,
                                 const char* host = "127.0.0.1", int port = 0)
{
    AccountSettings settings = account;
    settings.Address = host;
    settings.Port = port ? port : server.Port();
    CheckOutcome outcome = Pop3Session(settings, &account.stopRequested, &account.memory, 5000, ioTimeoutMs).RunCheck();
    ApplyCheckOutcome(account, outcome);
    return outcome;
}
