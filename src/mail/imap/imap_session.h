#pragma once
// One IMAP conversation for one account: greeting, capabilities, STARTTLS where the account
// asks for it, LOGIN, the folder opened read-only (EXAMINE), the UIDs of its unread messages,
// LOGOUT. It changes nothing on the server: no flag, no message. Where the server offers IDLE
// the connection stays open after the check, to wait for the folder's changes. On the way it
// traces every command as sent (never the password) and every status reply on the debug
// channel.
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "mail/imap/imap_data.h"
#include "mail/imap/imap_response.h"
#include "mail/mail_session.h"

// A folder with more unread messages than this is not listed: the check fails.
constexpr size_t kMaxImapUids = 1000000;
// How long the server has to end an IDLE that we end with DONE.
constexpr uint32_t kIdleAnswerMs = 30000;

class ImapSession : public MailSession {
public:
    ImapSession(const AccountSettings& account, const std::atomic<int32_t>* stopFlag, SessionMemory* memory,
                uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs, uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
    ~ImapSession() override;
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    void UseTls(TlsFactory factory) override { tlsFactory = std::move(factory); }
    void UseAccessToken(const std::string& token) override { accessToken = token; }
    CheckOutcome RunCheck() override;
    bool CanWaitForChanges() const override;
    CheckOutcome WaitForChange(uint32_t refreshMs) override;
    void Close() override;

    // For the account dialog's Test only: the check leaves the connection open, so that
    // ListFolders can follow it (Close ends it).
    void StayConnectedAfterCheck() { stayConnected = true; }
    // After a good check: the names of the folders that can be opened (LIST "" "*"), decoded
    // to UTF-8, as the server gives them (with its prefix, "INBOX.Drafts"). False, with nothing
    // added, when the server refused or broke the conversation.
    bool ListFolders(std::vector<std::string>& folders);

private:
    // The steps of a check, in order; each is true on success and records why it failed.
    bool Connect();
    bool Greet();
    bool AskCapabilities();
    bool UpgradeToTls();
    bool StartTls();
    // LOGIN and its answer, then the capabilities that hold after it.
    bool LogInAndRelearnCapabilities();
    // LOGIN under tag.
    bool Login(const std::string& tag);
    // AUTHENTICATE with the access token (imap_token_login.cpp), for an account that signs in
    // with one.
    bool LoginWithToken(const std::string& tag);
    bool AwaitAuthentication(const std::string& tag, const std::string& challengeAnswer);
    // EXAMINE (SELECT once the folder's UIDVALIDITY moved) and its answer; reopen tells that
    // it moved just now, so the folder must be opened again read-write.
    std::string OpenCommand(std::string& tag);
    // The folder opened and searched, both in one write.
    bool ListUnread(CheckOutcome& outcome);
    bool AwaitOpen(const std::string& tag, bool readWrite, bool& reopen);
    std::string SearchCommand(std::string& tag);
    bool SearchUnseen(CheckOutcome& outcome);
    bool AwaitSearch(const std::string& tag, CheckOutcome& outcome);
    void LogOut();

    // One IDLE: until the folder changes or the refresh is due, then DONE and its answer.
    // True when the IDLE ended in step; folderChanged tells whether something happened.
    bool IdleUntilChange(uint32_t refreshMs);
    bool EndIdle();

    // Sends command lines as they stand, tracing them as sent.
    bool SendCommand(const std::string& command);
    std::string NextTag();
    // Reads the next whole response. False, with the reason, when the connection broke, went
    // silent, or sent what is not IMAP; with quiet given, a silence is only reported there.
    bool ReadResponse(ImapResponse& response, bool* quiet = nullptr);
    // Reads up to the completion of the command tagged tag, giving every untagged response to
    // onData (which may end the wait with false). A BYE ends it as a failure with its words,
    // unless the command is LOGOUT.
    template <typename OnData>
    bool AwaitCompletion(const std::string& tag, ImapCondition& done, OnData onData);
    bool AwaitCompletion(const std::string& tag, ImapCondition& done);
    // Reads up to the server's go-ahead ("+") for a literal or IDLE; a completion instead is
    // refusal with the server's words, and sets refused.
    bool AwaitContinuation(const std::string& tag, const char* refusal, bool* refused);
    // Untagged data seen on the way: capabilities, changes of the folder, BYE. False on a BYE.
    bool TakeUntagged(const ImapResponse& response);

    bool StopRequested() const;
    // Records the first reason the check failed; always false.
    bool Fail(const std::string& reason);
    // The conversation can no longer stay in step: the connection goes.
    bool OutOfStep(const std::string& traced, const char* reason);

    const AccountSettings account;
    const std::atomic<int32_t>* const stopFlag;
    SessionMemory* const memory;
    SessionMemory localMemory;  // when the caller keeps none
    TcpClient socket;
    TlsFactory tlsFactory;
    std::unique_ptr<TlsLayer> tls;
    LineStream* stream = &socket;
    ImapResponseReader reader;
    std::set<std::string> capabilities;
    bool preauthenticated = false;
    bool loggedIn = false;
    bool capabilitiesStale = false;  // the login's answer named none
    bool loggingOut = false;
    bool stayConnected = false;
    std::string accessToken;
    bool tokenRefused = false;  // the server refused accessToken
    bool idling = false;        // IDLE sent and not yet ended
    bool checked = false;       // the last check or wait listed the folder
    bool folderChanged = false; // EXISTS, EXPUNGE, FETCH or VANISHED since the last search
    std::string idleTag;
    const uint32_t ioTimeoutMs;
    uint32_t uidValidity = 0;
    uint32_t tagNumber = 0;
    std::string failure;
};
