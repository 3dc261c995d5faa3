#include "profile/profile.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "platform/profile_store.h"

namespace {
std::unique_ptr<std::string> readBuffer;  // created on the first read, freed at process end
}  // namespace

const std::string& ReadProfileText(const std::string& section, const std::string& key)
{
    if (!readBuffer)
        readBuffer = std::make_unique<std::string>();
    ProfileStore* store = CurrentProfileStore();
    *readBuffer = store ? store->Read(section, key) : std::string();
    return *readBuffer;
}

void WriteProfileText(const std::string& section, const std::string& key, const std::string& text)
{
    if (ProfileStore* store = CurrentProfileStore())
        store->Write(section, key, text);
}

void WriteProfileNumber(const std::string& section, const std::string& key, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(value));
    WriteProfileText(section, key, text);
}

void WriteUnlessDefault(const std::string& section, const std::string& key, const std::string& text,
                        bool isDefault)
{
    if (!isDefault || !ReadProfileText(section, key).empty())
        WriteProfileText(section, key, text);
}

int32_t TextToInt(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT64_C(0x80000000))
            value = INT64_C(0x80000000);
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    return int32_t(value);
}

bool ReadKeepSeen()
{
    return ReadProfileText("GLOBAL", "KeepSeen") != "0";
}

void WriteKeepSeen(bool keep)
{
    WriteProfileText("GLOBAL", "KeepSeen", keep ? "1" : "0");
}
