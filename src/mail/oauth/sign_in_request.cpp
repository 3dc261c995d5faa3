#include "mail/oauth/sign_in_request.h"

#include "mail/oauth/base64.h"
#include "mail/oauth/sha256.h"
#include "platform/hex_digits.h"
#include "platform/random_bytes.h"

namespace {

constexpr size_t kRandomBytes = 32;
// The provider's words reach a message box; a longer text is cut.
constexpr size_t kMaxValue = 4096;

bool IsUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

// %XX and "+" decoded; a broken escape stays as it is. Control characters become blanks: the
// values reach a message box and the token request.
std::string FormDecode(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size() && decoded.size() < kMaxValue; ++i) {
        char c = text[i];
        if (c == '+') {
            c = ' ';
        } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 && HexDigitValue(text[i + 2]) >= 0) {
            c = char(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        }
        decoded += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? ' ' : c;
    }
    return decoded;
}

std::string Parameter(const char* name, const std::string& value)
{
    return std::string(name) + "=" + FormEncode(value);
}

std::string ClientParameters(const OAuthEndpoints& endpoints)
{
    std::string text = Parameter("client_id", endpoints.clientId);
    if (!endpoints.clientSecret.empty())
        text += "&" + Parameter("client_secret", endpoints.clientSecret);
    return text;
}

}  // namespace

bool NewSignInSecrets(SignInSecrets& secrets)
{
    std::string state, verifier;
    if (!RandomBytes(kRandomBytes, state) || !RandomBytes(kRandomBytes, verifier))
        return false;
    secrets.state = Base64Url(state);
    secrets.verifier = Base64Url(verifier);
    return true;
}

std::string PkceChallenge(const std::string& verifier)
{
    return Base64Url(Sha256(verifier));
}

std::string FormEncode(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        if (IsUnreserved(c)) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string AuthorizationUrl(const OAuthEndpoints& endpoints, const std::string& redirectUri,
                             const SignInSecrets& secrets, const std::string& loginHint)
{
    std::string url = endpoints.authorizeUrl;
    url += url.find('?') == std::string::npos ? "?" : "&";
    url += "response_type=code&" + Parameter("client_id", endpoints.clientId) + "&" +
           Parameter("redirect_uri", redirectUri) + "&" + Parameter("scope", endpoints.scope) + "&" +
           Parameter("state", secrets.state) + "&" + Parameter("code_challenge", PkceChallenge(secrets.verifier)) +
           "&code_challenge_method=S256";
    // Asked again for consent, so that a provider that already gave this client a refresh
    // token gives a new one instead of none.
    if (endpoints.askOfflineAccess)
        url += "&access_type=offline&prompt=consent";
    if (!loginHint.empty())
        url += "&" + Parameter("login_hint", loginHint);
    return url;
}

std::string CodeExchangeBody(const OAuthEndpoints& endpoints, const std::string& code, const std::string& redirectUri,
                             const std::string& verifier)
{
    return "grant_type=authorization_code&" + Parameter("code", code) + "&" + Parameter("redirect_uri", redirectUri) +
           "&" + Parameter("code_verifier", verifier) + "&" + ClientParameters(endpoints);
}

std::string RefreshBody(const OAuthEndpoints& endpoints, const std::string& refreshToken)
{
    return "grant_type=refresh_token&" + Parameter("refresh_token", refreshToken) + "&" + ClientParameters(endpoints);
}

bool ReadRedirectRequest(const std::string& requestLine, const std::string& path, RedirectQuery& query)
{
    const std::string start = "GET " + path;
    if (requestLine.compare(0, start.size(), start) != 0)
        return false;
    size_t at = start.size();
    if (at < requestLine.size() && requestLine[at] == ' ')
        return true;  // no query at all: nothing came back
    if (at >= requestLine.size() || requestLine[at] != '?')
        return false;
    const size_t end = requestLine.find(' ', at);
    const std::string text = requestLine.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    for (size_t begin = 0; begin <= text.size();) {  // bounded: each pass moves past one "&"
        size_t next = text.find('&', begin);
        if (next == std::string::npos)
            next = text.size();
        const std::string pair = text.substr(begin, next - begin);
        const size_t equals = pair.find('=');
        const std::string name = pair.substr(0, equals);
        const std::string value = equals == std::string::npos ? std::string() : FormDecode(pair.substr(equals + 1));
        if (name == "code")
            query.code = value;
        else if (name == "state")
            query.state = value;
        else if (name == "error")
            query.error = value;
        else if (name == "error_description")
            query.description = value;
        begin = next + 1;
    }
    return true;
}
