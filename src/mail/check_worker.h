#pragma once
// One check of one account, run as the whole body of a thread of its own: socket start-up,
// the owner-window test, the conversation with the server, the check time, and the two notifications.
#include <cstdint>
#include <functional>

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

    CheckEnvironment();
};

// Brings the account's sets in line with what a check found, under the account's lock: a
// listing is reconciled, an empty mailbox empties both sets, a failure changes nothing but
// the account's lastFailure, which a good check clears. True when seen UIDs were forgotten.
bool ApplyCheckOutcome(MailAccount& account, CheckOutcome outcome);

// Runs one check of the account; the account's `worker` mark must be set, and the worker
// clears it as its last access to the account. Returns 0.
int CheckWorker(MailAccount& account, const CheckEnvironment& environment);
