#include "mail/token_check.h"

#include "mail/oauth/token_client.h"
#include "platform/debug_channel.h"
#include "profile/account_profile.h"
#include "profile/protected_value.h"

namespace {

// A token that expires within this is not used: the check may take a while.
constexpr uint32_t kExpiryMarginMs = 60000;
// What a token lives when the provider does not say; a refused one is refreshed anyway.
constexpr uint32_t kAssumedLifetimeMs = 3600000;
// Longer lifetimes are cut so that the millisecond clock can time them.
constexpr uint32_t kMaxLifetimeMs = 24 * 3600000;

CheckOutcome Failed(std::string reason)
{
    CheckOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

bool HoldsGoodToken(const MailAccount& account, uint32_t now)
{
    return !account.accessToken.empty() && uint32_t(now - account.accessTokenTick) + kExpiryMarginMs <
                                               account.accessTokenLifetimeMs;
}

// A fresh access token into the account; false with the reason when none came.
bool Refresh(MailAccount& account, const CheckEnvironment& environment, std::string& reason)
{
    account.accessToken.clear();
    const OAuthEndpoints endpoints = EndpointsFor(account, account.Protocol == kProtocolImap);
    const TokenGrant grant = RefreshAccessToken(environment.https, endpoints, account.RefreshToken, account.TrustFile,
                                                &account.stopRequested);
    if (grant.result != TokenGrant::Result::Granted) {
        account.signInExpired = grant.result == TokenGrant::Result::SignInExpired;
        reason = grant.reason;
        return false;
    }
    account.accessToken = grant.accessToken;
    account.accessTokenTick = environment.tickCount();
    const int64_t lifetimeMs = grant.expiresInSeconds > 0 ? grant.expiresInSeconds * 1000 : kAssumedLifetimeMs;
    account.accessTokenLifetimeMs = lifetimeMs > kMaxLifetimeMs ? kMaxLifetimeMs : uint32_t(lifetimeMs);
    // The old refresh token may stop working the moment the new one is issued.
    if (!grant.refreshToken.empty() && grant.refreshToken != account.RefreshToken) {
        account.RefreshToken = grant.refreshToken;
        environment.storeRefreshToken(account);
    }
    return true;
}

}  // namespace

CheckOutcome RunTokenCheck(MailAccount& account, const CheckEnvironment& environment,
                           std::unique_ptr<MailSession>& session)
{
    // Asking again with a refused grant only annoys the provider; a new sign-in restarts the
    // notifier with a new refresh token.
    if (account.signInExpired)
        return Failed(kSignInExpired);
    std::string reason;
    bool fresh = false;
    if (!HoldsGoodToken(account, environment.tickCount())) {
        if (!Refresh(account, environment, reason))
            return Failed(reason);
        fresh = true;
    }
    session->UseAccessToken(account.accessToken);
    CheckOutcome outcome = session->RunCheck();
    if (outcome.result != CheckOutcome::Result::Failed || !outcome.tokenRefused || fresh)
        return outcome;
    DebugWrite("Access token refused: one refresh and one more try\n");
    if (!Refresh(account, environment, reason))
        return Failed(reason);
    session = environment.openSession(account);
    session->UseTls(environment.tls);
    session->UseAccessToken(account.accessToken);
    return session->RunCheck();
}

void StoreRotatedRefreshToken(const MailAccount& account)
{
    if (account.profileIndex < 0 ||
        !WriteProtectedValue(AccountSection(account.profileIndex), "RefreshToken", account.RefreshToken,
                             UserSecretSeal()))
        DebugWrite("The new refresh token could not be stored\n");
}
