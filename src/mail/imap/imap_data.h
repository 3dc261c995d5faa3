#pragma once
// What the check reads out of a response's text: the condition of a status response, the
// capability list, the UIDs of a search, and whether untagged data tells of a changed mailbox.
// Words are compared in any letter case, as the protocol allows.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

enum class ImapStatus { None, Ok, No, Bad, Bye, Preauth };

struct ImapCondition {
    ImapStatus status = ImapStatus::None;
    std::string code;  // inside the brackets of a response code, "UIDVALIDITY 7"; or empty
    std::string text;  // the words for a human after the code
};

// "OK [CAPABILITY IMAP4rev1] ready" and the like; status None when the text is other data.
ImapCondition ReadCondition(const std::string& text);

// The first word of text in capitals; for "12 EXISTS", the word after the number.
std::string DataName(const std::string& text);

// The capability names that follow the first word ("CAPABILITY IMAP4rev1 IDLE"), in capitals.
std::set<std::string> ReadCapabilities(const std::string& text);

// The number after the first word of a response code ("UIDVALIDITY 7"); false when code is
// not that word with a number from 1 to 2^32-1.
bool ReadCodeNumber(const std::string& code, const char* word, uint32_t& number);

// Why a search answer could not be taken in.
enum class SearchRead { Ok, Malformed, TooMany };

// The UIDs of "SEARCH 4 9 12", added to uids; no more than maxUids in all.
SearchRead ReadSearch(const std::string& text, std::vector<uint32_t>& uids, size_t maxUids);
// The UIDs of "ESEARCH (TAG "A5") UID ALL 2,4:5" (ranges either way round), added to uids; no
// more than maxUids in all. An answer that names another command's tag adds nothing.
SearchRead ReadEsearch(const std::string& text, const std::string& tag, std::vector<uint32_t>& uids,
                       size_t maxUids);

// True for untagged data that says the folder changed: EXISTS, EXPUNGE, FETCH or VANISHED.
bool IsFolderChange(const std::string& text);
