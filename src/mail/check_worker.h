#pragma once
// One check of one account, run as the whole body of a thread of its own: socket start-up,
// the owner-window test, the conversation with the server, the check time, and the two
// notifications. Where the server can tell of changes as they happen, the thread then keeps
// the connection and applies each change as a check does, until the exit (change_watch.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "mail/mail_account.h"
#include "mail/mail_session.h"
#include "platform/https_post.h"

// Commands the worker posts to the owner window (the wParam of WM_COMMAND); the lParam of
// both is the account's Color.
constexpr int ID_CHECK_FINISHED = 32780;
constexpr int ID_CHECK_STARTED = 32781;

// Where a check reports. The Windows layer fills it with the real window calls
// (WindowCheckTarget in check_worker_win.h); the default reports nowhere.
struct CheckTarget {
    // Whether the owner window still exists; a check for a closed window is skipped.
    std::function<bool(WindowHandle owner)> ownerExists = [](WindowHandle) { return true; };
    // Queues WM_COMMAND to the owner without waiting for it.
    std::function<void(WindowHandle owner, int command, int32_t color)> post =
        [](WindowHandle, int, int32_t) {};
    // Shows the text to the user and returns when it has been dismissed.
    std::function<void(const char* text)> showMessage = [](const char*) {};
};

// What a check needs from its surroundings, so that tests can put their own in place.
// A worker keeps its own copy for its whole run: whatever a hook captures must outlive it.
struct CheckEnvironment {
    // Milliseconds since system start, wrapping after 2^32.
    std::function<uint32_t()> tickCount;
    // Makes sockets usable on the calling thread; false when they cannot be.
    std::function<bool()> initSockets;
    // The TLS of protected accounts: the system's, where the build has one.
    TlsFactory tls;
    // The token endpoint of accounts that sign in with OAuth 2.0: the system's HTTPS.
    HttpsPoster https;
    // Stores a refresh token the provider rotated, at once; the default seals it into the
    // process-wide profile under the account's section.
    std::function<void(const MailAccount& account)> storeRefreshToken;
    CheckTarget target;
    // Opens a session for the account, with the account's stop flag and memory: the session
    // of its protocol (OpenMailSession) unless a test puts its own in place.
    std::function<std::unique_ptr<MailSession>(MailAccount& account)> openSession;
    // Waits ms milliseconds, or less when stopFlag turns non-zero; false when it did.
    std::function<bool(uint32_t ms, const std::atomic<int32_t>& stopFlag)> pause;

    CheckEnvironment();
};

// Brings the account's sets in line with what a check found, under the account's lock: a
// listing is reconciled, an empty mailbox empties both sets, a failure changes nothing but
// the account's lastFailure, which a good check clears. True when seen UIDs were forgotten.
bool ApplyCheckOutcome(MailAccount& account, CheckOutcome outcome);

// Opens a session and runs one check, applied as every check is: ID_CHECK_STARTED, the sets
// and lastFailure, the check time, the seen UIDs kept. A check ended by a stop request changes
// nothing. Returns the session, still open where it can wait for changes, when the check
// succeeded; null when it failed. The caller posts ID_CHECK_FINISHED.
std::unique_ptr<MailSession> RunOneCheck(MailAccount& account, const CheckEnvironment& environment);

// Applies a change the open connection told of, as a check's outcome, between the two
// notifications.
void ApplyChange(MailAccount& account, CheckOutcome outcome, const CheckEnvironment& environment);

// Writes the account's counts to the debug channel ("Mailbox changed: new=N seen=M"): each
// change applied from an open connection, and each connection replaced, says what it showed.
void TraceCounts(MailAccount& account);

// Takes back a request to reconnect (kStopToReconnect); true when there was one. A request to
// stop for the exit stays.
bool TakeReconnectRequest(MailAccount& account);

// Runs one check of the account, and stays connected for as long as the server tells of
// changes (change_watch.h); the account's `worker` mark must be set, and the worker clears it
// as its last access to the account. Returns 0.
int CheckWorker(MailAccount& account, const CheckEnvironment& environment);
