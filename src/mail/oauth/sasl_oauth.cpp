#include "mail/oauth/sasl_oauth.h"

#include "mail/oauth/base64.h"

namespace {

// The GS2 header's authorization identity: "," and "=" are written as "=2C" and "=3D".
std::string SaslName(const std::string& user)
{
    std::string name;
    for (const char c : user) {
        if (c == ',')
            name += "=2C";
        else if (c == '=')
            name += "=3D";
        else
            name += c;
    }
    return name;
}

}  // namespace

std::string XOAuth2Response(const std::string& user, const std::string& accessToken)
{
    return "user=" + user + "\x01" "auth=Bearer " + accessToken + "\x01\x01";
}

std::string OAuthBearerResponse(const std::string& user, const std::string& accessToken, const std::string& host,
                                int32_t port)
{
    return "n,a=" + SaslName(user) + ",\x01" "host=" + host + "\x01" "port=" + std::to_string(port) +
           "\x01" "auth=Bearer " + accessToken + "\x01\x01";
}

TokenLogin ChooseTokenLogin(bool offersXOAuth2, bool offersOAuthBearer, const std::string& user,
                            const std::string& accessToken, const std::string& host, int32_t port)
{
    if (offersOAuthBearer && !offersXOAuth2)
        return {"OAUTHBEARER", Base64(OAuthBearerResponse(user, accessToken, host, port)), "AQ=="};
    return {"XOAUTH2", Base64(XOAuth2Response(user, accessToken)), ""};
}
