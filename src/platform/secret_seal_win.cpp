#include "platform/secret_seal.h"

#include <windows.h>
#include <dpapi.h>

namespace {

// Our own entropy: another program of the same user cannot open our values just by calling
// the system with none.
const char kEntropy[] = "Zantoli profile secret 1";

DATA_BLOB EntropyBlob()
{
    DATA_BLOB blob;
    blob.cbData = DWORD(sizeof kEntropy - 1);
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy));
    return blob;
}

DATA_BLOB BlobOf(const std::string& bytes)
{
    DATA_BLOB blob;
    blob.cbData = DWORD(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

// The system's output buffer, copied out and freed.
std::string TakeBlob(DATA_BLOB& blob)
{
    std::string bytes(reinterpret_cast<const char*>(blob.pbData), blob.cbData);
    SecureZeroMemory(blob.pbData, blob.cbData);
    LocalFree(blob.pbData);
    return bytes;
}

class UserDataProtection : public SecretSeal {
public:
    bool Seal(const std::string& secret, std::string& sealed) const override
    {
        DATA_BLOB in = BlobOf(secret);
        DATA_BLOB entropy = EntropyBlob();
        DATA_BLOB out = {};
        if (!CryptProtectData(&in, L"Zantoli", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
            return false;
        sealed = TakeBlob(out);
        return true;
    }

    bool Open(const std::string& sealed, std::string& secret) const override
    {
        DATA_BLOB in = BlobOf(sealed);
        DATA_BLOB entropy = EntropyBlob();
        DATA_BLOB out = {};
        if (sealed.empty() ||
            !CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
            return false;
        secret = TakeBlob(out);
        return true;
    }
};

}  // namespace

const SecretSeal& UserSecretSeal()
{
    static const UserDataProtection seal;
    return seal;
}
