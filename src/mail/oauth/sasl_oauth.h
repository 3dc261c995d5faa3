#pragma once
// The SASL initial responses that carry an OAuth 2.0 bearer token, before base64: XOAUTH2 (the
// mail providers' own) and OAUTHBEARER (RFC 7628).
#include <cstdint>
#include <string>

std::string XOAuth2Response(const std::string& user, const std::string& accessToken);

// host and port name the server the client connects to, as RFC 7628 asks.
std::string OAuthBearerResponse(const std::string& user, const std::string& accessToken, const std::string& host,
                                int32_t port);

// A server that refuses an OAUTHBEARER or XOAUTH2 token first sends a challenge: a base64 JSON
// text with the reason. The client answers it with this, a single ^A, and then gets the
// failure reply (RFC 7628 section 3.2.3).
constexpr char kSaslErrorAcknowledgement[] = "AQ==";
