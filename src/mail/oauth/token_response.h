#pragma once
// The token endpoint's reply: a JSON object that grants tokens, or names an error.
#include <cstdint>
#include <string>

// Replies longer than this are not read: a real one is a few kilobytes.
constexpr size_t kMaxTokenResponseBytes = 65536;

struct TokenResponse {
    enum class Result {
        Granted,    // an access token of the bearer kind
        Refused,    // the provider's error, in error and description
        Malformed,  // no usable JSON object: nothing in it is believed
    };
    Result result = Result::Malformed;
    std::string accessToken;
    std::string refreshToken;  // empty when the provider keeps the old one
    int64_t expiresInSeconds = 0;  // 0: not said
    std::string error;        // "invalid_grant", ...
    std::string description;  // the provider's own words, when it gave some
};

// Reads the body of a token endpoint's reply. Tokens must be printable ASCII without blanks:
// they go into mail commands and HTTP headers as they are.
TokenResponse ReadTokenResponse(const std::string& body);
