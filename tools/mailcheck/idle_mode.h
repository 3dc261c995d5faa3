#pragma once
// mailcheck --idle: after the checks, stays connected for a while and prints each change.
#include <memory>

#include "mail/check_worker.h"

// For the given seconds: waits for changes on the open session where the server can tell of
// them (with the notifier's own reconnecting), and checks every 5 s where it cannot. Prints
// "change N: new=A seen=B" whenever the account's sets change; with ack, acknowledges the
// new mail after each. beforeLine is called before each line, to end a pending trace line.
void StayConnected(MailAccount& account, std::unique_ptr<MailSession> session, long seconds, bool ack,
                   void (*beforeLine)());
