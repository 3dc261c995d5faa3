#pragma once
// The SASL initial responses that carry an OAuth 2.0 bearer token, before base64: XOAUTH2 (the
// mail providers' own) and OAUTHBEARER (RFC 7628).
#include <cstdint>
#include <string>

std::string XOAuth2Response(const std::string& user, const std::string& accessToken);

// host and port name the server the client connects to, as RFC 7628 asks.
std::string OAuthBearerResponse(const std::string& user, const std::string& accessToken, const std::string& host,
                                int32_t port);

// How an account signs in with its token, the same for POP3's AUTH and IMAP's AUTHENTICATE:
// XOAUTH2, or OAUTHBEARER where the server offers only that.
struct TokenLogin {
    std::string mechanism;        // "XOAUTH2" or "OAUTHBEARER"
    std::string initialResponse;  // base64
    // A server that refuses the token may first send a challenge, a base64 JSON text with the
    // reason; the client answers it with this (OAUTHBEARER: a single ^A, RFC 7628 section
    // 3.2.3; XOAUTH2: nothing) and then gets the failure reply.
    std::string challengeAnswer;
};
TokenLogin ChooseTokenLogin(bool offersXOAuth2, bool offersOAuthBearer, const std::string& user,
                            const std::string& accessToken, const std::string& host, int32_t port);
