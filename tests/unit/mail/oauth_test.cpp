// The portable pieces of OAuth 2.0: SASL responses, PKCE, the sign-in's texts, the token reply.
#include <gtest/gtest.h>

#include "mail/oauth/base64.h"
#include "mail/oauth/sasl_oauth.h"
#include "mail/oauth/sha256.h"
#include "mail/oauth/sign_in_request.h"
#include "mail/oauth/token_response.h"

namespace {

TEST(OAuthPieces, HashesEncodingsAndSaslResponsesMatchTheirPublishedExamples)
{
    EXPECT_EQ(Base64("") + Base64("f") + Base64("fo") + Base64("foo") + Base64("\xff\xfe"), "Zg==Zm8=Zm9v//4=");
    // The published digests (e3b0c442..., 248d6a61... over two blocks, 41edece4...), in Base64.
    EXPECT_EQ(Base64(Sha256("")), "47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=");
    EXPECT_EQ(Base64(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "JI1qYdIGOLjlwCaTDD5gOaM85Flk/yFn9uzt1BnbBsE=");
    EXPECT_EQ(Base64(Sha256(std::string(1000, 'a'))), "Qe3s5C1j6Nm/UVqbppMuHCDLyfWl0TRkWttdsblzfqM=");
    EXPECT_EQ(Base64Url("\xff\xfe\xfd"), "__79");
    // RFC 7636, appendix B.
    EXPECT_EQ(PkceChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"), "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    // RFC 7628, section 4.1.
    EXPECT_EQ(Base64(OAuthBearerResponse("user@example.com", "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==",
                                         "server.example.com", 143)),
              "bixhPXVzZXJAZXhhbXBsZS5jb20sAWhvc3Q9c2VydmVyLmV4YW1wbGUuY29tAXBvcnQ9MTQzAWF1dGg9QmVhcmVyI"
              "HZGOWRmdDRxbVRjMk52YjNSbGNrQmhiSFJoZG1semRHRXVZMjl0Q2c9PQEB");
    EXPECT_EQ(OAuthBearerResponse("a,b=c", "t", "h", 1).substr(0, 14), "n,a=a=2Cb=3Dc,");
    EXPECT_EQ(Base64(XOAuth2Response("someuser@example.com", "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg")),
              "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5LnZGOWRmdDRxbVRjMk52YjNSbGNrQmhkSFJoZG1semRHRXVZ"
              "Mjl0Q2cBAQ==");
}

TEST(OAuthPieces, SignInTextsCarryEveryValueEncodedWithFreshSecretsAndTheRedirectGivesOnlyItsCodeOrRefusal)
{
    SignInSecrets first, second;
    ASSERT_TRUE(NewSignInSecrets(first) && NewSignInSecrets(second));
    EXPECT_EQ(first.state.size(), 43u);
    EXPECT_EQ(first.verifier.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
              std::string::npos);
    EXPECT_TRUE(first.state != second.state && first.verifier != second.verifier && first.state != first.verifier);

    OAuthEndpoints endpoints;
    endpoints.authorizeUrl = "https://idp.test/auth?tenant=x";
    endpoints.scope = "offline_access mail";
    endpoints.clientId = "id&1";
    endpoints.askOfflineAccess = true;
    const SignInSecrets secrets{"st", "dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"};
    EXPECT_EQ(AuthorizationUrl(endpoints, "http://127.0.0.1:5000/", secrets, "me@x.test"),
              "https://idp.test/auth?tenant=x&response_type=code&client_id=id%261&redirect_uri=http%3A%2F%2F127.0.0.1%3A"
              "5000%2F&scope=offline_access%20mail&state=st&code_challenge=E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"
              "&code_challenge_method=S256&access_type=offline&prompt=consent&login_hint=me%40x.test");
    EXPECT_EQ(RefreshBody(endpoints, "r/1+"), "grant_type=refresh_token&refresh_token=r%2F1%2B&client_id=id%261");
    endpoints.clientSecret = "s";
    EXPECT_EQ(CodeExchangeBody(endpoints, "c", "http://x/", "v"),
              "grant_type=authorization_code&code=c&redirect_uri=http%3A%2F%2Fx%2F&code_verifier=v&client_id=id%261"
              "&client_secret=s");

    RedirectQuery query;
    ASSERT_TRUE(ReadRedirectRequest("GET /cb?state=a%2Bb&code=x+y%41%zz&extra=1 HTTP/1.1", "/cb", query));
    EXPECT_EQ(query.code + "|" + query.state, "x yA%zz|a+b");
    query = RedirectQuery();
    ASSERT_TRUE(ReadRedirectRequest("GET /cb?error=access_denied&error_description=The+user%0d%0adeclined HTTP/1.1",
                                    "/cb", query));
    EXPECT_EQ(query.error + "|" + query.description + "|" + query.code, "access_denied|The user  declined|");
    for (const char* other : {"GET /favicon.ico HTTP/1.1", "POST /cb?code=1 HTTP/1.1", "GET /cbx?code=1 HTTP/1.1", ""})
        EXPECT_FALSE(ReadRedirectRequest(other, "/cb", query)) << other;
}

TEST(OAuthPieces, TheTokenReplyIsBelievedOnlyWhenWhole)
{
    TokenResponse reply = ReadTokenResponse(
        R"({"access_token":"at.1-_~+/=","token_type":"bearer","expires_in":"3599","refresh_token":"M.R3!*$","x":[1,{}]})");
    EXPECT_EQ(reply.result, TokenResponse::Result::Granted);
    EXPECT_EQ(reply.accessToken + "|" + reply.refreshToken + "|" + std::to_string(reply.expiresInSeconds),
              "at.1-_~+/=|M.R3!*$|3599");
    EXPECT_EQ(ReadTokenResponse(R"({"access_token":"a","token_type":"Bearer","expires_in":1e12})").expiresInSeconds,
              365LL * 24 * 3600);
    EXPECT_EQ(ReadTokenResponse(R"({"access_token":"a","token_type":"Bearer","expires_in":-5})").expiresInSeconds, 0);

    reply = ReadTokenResponse(R"({"error":"invalid_grant","error_description":"Token\r\nrevoked","access_token":"a"})");
    EXPECT_EQ(reply.result, TokenResponse::Result::Refused);
    EXPECT_EQ(reply.error + "|" + reply.description + "|" + reply.accessToken, "invalid_grant|Token  revoked|");

    const std::string hostile[] = {
        "", "[]", "null", "\"text\"", "{", R"({"access_token":"a"})",                        // no bearer type
        R"({"access_token":"a b","token_type":"Bearer"})",                                   // a blank in the token
        R"({"access_token":"a\r\nQUIT","token_type":"Bearer"})",                             // a line break
        R"({"access_token":"a","token_type":"Bearer","refresh_token":"r\u0001"})",           // a SASL separator
        R"({"access_token":7,"token_type":"Bearer"})", R"({"access_token":"","token_type":"Bearer"})",
        R"({"error":5})", std::string(100000, '['), "{\"access_token\":\"" + std::string(70000, 'a') + "\"}"};
    for (const std::string& body : hostile) {
        reply = ReadTokenResponse(body);
        EXPECT_TRUE(reply.result == TokenResponse::Result::Malformed && reply.accessToken.empty() &&
                    reply.refreshToken.empty()) << body.substr(0, 60);
    }
}

}  // namespace
