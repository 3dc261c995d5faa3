#include "mail/seen_store.h"

#include <algorithm>
#include <utility>

#include "platform/state_file.h"

// The file: a header line, the account's three values, the UIDs in byte order and an end
// line. Every byte string is written as its decimal length, a blank, the bytes themselves and
// a line feed, so a UID keeps any byte, its CR LF included.
//
//   Zantoli seen UIDs 1
//   server 16 pop.example.com
//   port 110
//   login 2 me
//   imap folder 5 INBOX       (IMAP accounts only)
//   uids 2
//   7 1a2b3c
//   ...
//   end

namespace {

const char kHeader[] = "Zantoli seen UIDs 1\n";
const char kEnd[] = "end\n";
constexpr size_t kMaxReadableName = 48;
constexpr size_t kMaxDigits = 10;

struct AccountKey {
    std::string server;
    int32_t port;
    std::string login;
    std::string imapFolder;  // empty for POP3
};

void AppendString(std::string& out, const std::string& bytes)
{
    out += std::to_string(bytes.size());
    out += ' ';
    out += bytes;
    out += '\n';
}

std::string EncodeKey(const AccountKey& key)
{
    std::string out = "server ";
    AppendString(out, key.server);
    out += "port " + std::to_string(uint32_t(key.port)) + "\n";
    out += "login ";
    AppendString(out, key.login);
    if (!key.imapFolder.empty()) {
        out += "imap folder ";
        AppendString(out, key.imapFolder);
    }
    return out;
}

std::string Encode(const AccountKey& key, const UidSet& uids)
{
    std::string out = kHeader + EncodeKey(key) + "uids " + std::to_string(uids.size()) + "\n";
    for (const std::string& uid : uids)
        AppendString(out, uid);
    return out + kEnd;
}

// Reads the file front to back; the first mismatch ends it.
class Reader {
public:
    explicit Reader(const std::string& bytes) : bytes(bytes) {}

    bool Literal(const std::string& text)
    {
        if (bytes.compare(at, text.size(), text) != 0)
            return false;
        at += text.size();
        return true;
    }

    // Decimal digits up to the given terminator.
    bool Number(char terminator, uint64_t& value)
    {
        value = 0;
        size_t digits = 0;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && digits < kMaxDigits) {
            value = value * 10 + uint64_t(bytes[at++] - '0');
            ++digits;
        }
        return digits > 0 && at < bytes.size() && bytes[at++] == terminator;
    }

    bool String(size_t maxLength, std::string& value)
    {
        uint64_t length = 0;
        if (!Number(' ', length) || length > maxLength || bytes.size() - at < length + 1 ||
            bytes[at + length] != '\n')
            return false;
        value.assign(bytes, at, size_t(length));
        at += length + 1;
        return true;
    }

    bool AtEnd() const { return at == bytes.size(); }

private:
    const std::string& bytes;
    size_t at = 0;
};

// The file's account and UIDs, or the reason it cannot be used.
std::string Decode(const std::string& bytes, const AccountKey& expected, UidSet& uids)
{
    Reader reader(bytes);
    if (!reader.Literal(kHeader))
        return "not a seen-UID file";
    AccountKey key;
    uint64_t port = 0;
    if (!reader.Literal("server ") || !reader.String(bytes.size(), key.server) || !reader.Literal("port ") ||
        !reader.Number('\n', port) || !reader.Literal("login ") || !reader.String(bytes.size(), key.login))
        return "corrupt account values";
    if (reader.Literal("imap folder ") && !reader.String(bytes.size(), key.imapFolder))
        return "corrupt account values";
    if (key.server != expected.server || port != uint32_t(expected.port) || key.login != expected.login ||
        key.imapFolder != expected.imapFolder)
        return "the file belongs to another account";
    uint64_t count = 0;
    if (!reader.Literal("uids ") || !reader.Number('\n', count))
        return "corrupt UID count";
    if (count > kMaxKeptUids)
        return "too many UIDs";
    for (uint64_t index = 0; index < count; ++index) {
        std::string uid;
        if (!reader.String(kMaxKeptUidLength, uid))
            return "corrupt UID " + std::to_string(index + 1);
        uids.insert(uids.end(), std::move(uid));
    }
    if (!reader.Literal(kEnd) || !reader.AtEnd())
        return "corrupt end";
    return std::string();
}

char ReadableByte(char byte)
{
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                       byte == '.' || byte == '-' || byte == '@';
    return plain ? byte : '_';
}

// FNV-1a, 64 bits: a stable name for the same values on every build.
uint64_t Hash(const std::string& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash ^= uint8_t(byte);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string FileName(const AccountKey& key)
{
    std::string readable;
    for (const char byte : key.server + "_" + std::to_string(key.port) + "_" + key.login)
        readable += ReadableByte(byte);
    readable.resize(std::min(readable.size(), kMaxReadableName));
    static const char kHex[] = "0123456789abcdef";
    std::string hash(16, '0');
    uint64_t value = Hash(EncodeKey(key));
    for (size_t digit = 16; digit-- > 0; value >>= 4)
        hash[digit] = kHex[value & 15];
    return readable + "-" + hash + ".seen";
}

std::string ReadProblem(StateFileRead result)
{
    switch (result) {
    case StateFileRead::Missing:
        return "no file yet";
    case StateFileRead::TooLarge:
        return "file too large";
    default:
        return "file not readable";
    }
}

}  // namespace

SeenStore::SeenStore(std::string folder) : folder(std::move(folder)) {}

std::string SeenStore::PathFor(const std::string& server, int32_t port, const std::string& login,
                               const std::string& imapFolder) const
{
    return StatePath(folder, FileName({server, port, login, imapFolder}));
}

LoadedSeen SeenStore::Load(const std::string& server, int32_t port, const std::string& login,
                           const std::string& imapFolder) const
{
    const AccountKey key{server, port, login, imapFolder};
    const size_t bound = Encode(key, {}).size() + kMaxKeptUids * (kMaxKeptUidLength + 5);
    LoadedSeen loaded;
    std::string bytes;
    const StateFileRead result = ReadStateFile(PathFor(server, port, login, imapFolder), bound, bytes);
    if (result != StateFileRead::Loaded) {
        loaded.problem = ReadProblem(result);
        return loaded;
    }
    loaded.problem = Decode(bytes, key, loaded.uids);
    if (!loaded.problem.empty())
        loaded.uids.clear();
    return loaded;
}

bool SeenStore::Save(const std::string& server, int32_t port, const std::string& login, const UidSet& uids,
                     const std::string& imapFolder) const
{
    if (uids.size() > kMaxKeptUids)
        return false;
    for (const std::string& uid : uids) {
        if (uid.size() > kMaxKeptUidLength)
            return false;
    }
    return ReplaceStateFile(PathFor(server, port, login, imapFolder), Encode({server, port, login, imapFolder}, uids));
}
