// libFuzzer target over the reading of what an IMAP server sends: the response reader fed in
// pieces of a size the first byte chooses, then every reading of a response's text (status
// and code, capabilities, SEARCH and ESEARCH with their ranges, folder changes) and the folder
// names' modified UTF-7 both ways.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/imap/folder_name.h"
#include "mail/imap/imap_data.h"
#include "mail/imap/imap_response.h"

namespace {

constexpr size_t kLimit = 4096;
constexpr size_t kMaxUids = 5000;

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void ReadText(const ImapResponse& response)
{
    const ImapCondition condition = ReadCondition(response.text);
    uint32_t number = 0;
    if (ReadCodeNumber(condition.code, "UIDVALIDITY", number))
        Require(number != 0);
    ReadCapabilities(response.text);
    IsFolderChange(response.text);
    std::vector<uint32_t> uids;
    ReadSearch(response.text, uids, kMaxUids);
    Require(uids.size() <= kMaxUids);
    ReadEsearch(response.text, "A5", uids, kMaxUids);
    Require(uids.size() <= kMaxUids);
    for (const uint32_t uid : uids)
        Require(uid != 0);
    // Two runs side by side decode, but encode as one: what survives the trip is the name.
    std::string decoded, again;
    if (DecodeFolderName(response.text, decoded))
        Require(DecodeFolderName(EncodeFolderName(decoded), again) && again == decoded);
    Require(DecodeFolderName(EncodeFolderName(response.text), decoded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = size_t(data[0] % 16) + 1;
    ImapResponseReader reader(kLimit);
    size_t bytes = 0;
    for (size_t at = 1; at < size; at += piece) {
        reader.Append(std::string(reinterpret_cast<const char*>(data) + at, std::min(piece, size - at)));
        ImapResponse response;
        ImapResponseReader::Progress progress;
        while ((progress = reader.Next(response)) == ImapResponseReader::Progress::Complete) {
            bytes = response.text.size();
            for (const std::string& literal : response.literals)
                bytes += literal.size();
            Require(bytes <= kLimit);
            ReadText(response);
        }
        if (progress == ImapResponseReader::Progress::Failed)
            break;
    }
    return 0;
}
