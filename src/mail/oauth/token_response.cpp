#include "mail/oauth/token_response.h"

#include <cstdlib>

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

// A year: a longer lifetime is a provider's mistake, and the token is refreshed earlier anyway.
constexpr int64_t kMaxLifetimeSeconds = 365LL * 24 * 3600;
// The provider's words are shown to the user; a longer text is cut.
constexpr size_t kMaxDescription = 512;

bool IsTokenText(const std::string& text)
{
    for (const char c : text) {
        if (c < 0x21 || c > 0x7E)
            return false;
    }
    return !text.empty();
}

// The member as text; empty when absent or of another kind.
std::string TextMember(const Json& object, const char* name)
{
    const auto found = object.find(name);
    return found != object.end() && found->is_string() ? found->get_ref<const std::string&>() : std::string();
}

// Seconds as a number, or as text holding one (some providers quote it).
int64_t LifetimeMember(const Json& object)
{
    const auto found = object.find("expires_in");
    if (found == object.end())
        return 0;
    double seconds = 0;
    if (found->is_number()) {
        seconds = found->get<double>();
    } else if (found->is_string()) {
        const std::string& text = found->get_ref<const std::string&>();
        if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        seconds = std::strtod(text.c_str(), nullptr);
    }
    if (!(seconds > 0))  // also NaN
        return 0;
    return seconds > double(kMaxLifetimeSeconds) ? kMaxLifetimeSeconds : int64_t(seconds);
}

std::string CaseFolded(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

// Control characters would reach a message box or the trace as they are.
std::string Printable(std::string text)
{
    if (text.size() > kMaxDescription)
        text.resize(kMaxDescription);
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return text;
}

}  // namespace

TokenResponse ReadTokenResponse(const std::string& body)
{
    TokenResponse response;
    if (body.size() > kMaxTokenResponseBytes)
        return response;
    // Without exceptions: a broken reply gives a discarded value.
    const Json object = Json::parse(body, nullptr, false);
    if (!object.is_object())
        return response;
    response.error = Printable(TextMember(object, "error"));
    if (!response.error.empty()) {
        response.result = TokenResponse::Result::Refused;
        response.description = Printable(TextMember(object, "error_description"));
        return response;
    }
    const std::string type = TextMember(object, "token_type");
    response.accessToken = TextMember(object, "access_token");
    response.refreshToken = TextMember(object, "refresh_token");
    if (!IsTokenText(response.accessToken) || CaseFolded(type) != "bearer" ||
        (!response.refreshToken.empty() && !IsTokenText(response.refreshToken))) {
        response.accessToken.clear();
        response.refreshToken.clear();
        return response;
    }
    response.expiresInSeconds = LifetimeMember(object);
    response.result = TokenResponse::Result::Granted;
    return response;
}
