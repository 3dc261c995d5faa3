#pragma once
// One configured mail account as the checks see it: its stored settings, its two UID sets and
// its scheduling state.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mail/session_memory.h"
#include "mail/uid_set.h"
#include "profile/account_settings.h"

// A window handle without <windows.h>: the Win32 layer casts its HWND to and from this.
using WindowHandle = void*;

// Values of an account's stopRequested. Any non-zero value ends every wait of its check.
constexpr int32_t kStopForExit = 1;
// The computer has resumed from sleep: the open connection is probably dead, so the worker
// drops it, checks again at once and clears the request. An exit overrides it.
constexpr int32_t kStopToReconnect = 2;

// How often an idling connection is refreshed by default, so that one that died without a word
// is found; the profile may ask for 30 s to 29 min (GLOBAL "IdleRefresh", in seconds).
constexpr uint32_t kDefaultIdleRefreshMs = 600000;

// The settings are written only while the account is created and loaded, before any check
// can run; the rest is shared with the check worker.
struct MailAccount : AccountSettings {
    explicit MailAccount(WindowHandle ownerWindow = nullptr) : ownerWnd(ownerWindow) {}
    MailAccount(const MailAccount&) = delete;
    MailAccount& operator=(const MailAccount&) = delete;

    // Every operation on the two sets holds uidLock for its whole length, so both threads
    // always see the sets consistent.
    UidSet newUids;   // on the server, not yet acknowledged
    UidSet seenUids;  // acknowledged, still on the server
    std::mutex uidLock;
    // Why the last check failed, in a few words; empty after a good one. Guarded by uidLock.
    std::string lastFailure;

    // The folder that keeps the seen UIDs between runs; empty when they are not kept. Set at
    // start-up, before any check.
    std::string seenFolder;
    // Held from the copy of the seen UIDs to the end of their write, so that the two threads'
    // writes land in the order of their copies and the newest set is the one kept.
    std::mutex seenFileLock;

    // Touched only by the running check.
    SessionMemory memory;
    // How often an idling connection of this account is refreshed. Set at start-up.
    uint32_t idleRefreshMs = kDefaultIdleRefreshMs;

    // Signing in with OAuth 2.0, touched only by the running check (the refresh token it
    // inherits, too): the access token lives in memory only.
    int profileIndex = -1;  // the account's section number, for storing a rotated refresh token
    std::string accessToken;
    uint32_t accessTokenTick = 0;      // when it was granted
    uint32_t accessTokenLifetimeMs = 0;
    bool signInExpired = false;  // the provider refused the refresh token: wait for a new sign-in

    uint32_t lastCheckTick = 0;  // written by the worker while `worker` is set
    bool checkedOnce = false;    // whether lastCheckTick holds a check's end; written with it
    WindowHandle ownerWnd = nullptr;
    // Set exactly while a check of this account runs; clearing it publishes the
    // worker's writes (release), and readers acquire.
    std::atomic<bool> worker{false};
    // Set, with `worker`, while the worker keeps the connection open to hear of changes (or
    // reconnects one that was lost): such an account is not polled, and does not count as a
    // running check. Cleared before `worker`.
    std::atomic<bool> idling{false};
    std::atomic<int32_t> stopRequested{0};
};

// Whether a check of the account is under way: its worker runs and is not merely idling.
inline bool CheckRunning(const MailAccount& account)
{
    return account.worker.load(std::memory_order_acquire) && !account.idling.load(std::memory_order_acquire);
}

// An ordered list that owns its accounts.
using AccountList = std::vector<std::unique_ptr<MailAccount>>;
