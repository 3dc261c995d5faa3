#include "setting/oauth_form.h"

#include "profile/oauth_provider.h"

namespace {

bool HasControlCharacter(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

bool IsHttpsAddress(const std::string& text)
{
    return text.compare(0, 8, "https://") == 0 && text.size() > 8 && text.find(' ') == std::string::npos;
}

}  // namespace

OAuthForm OAuthFormFromSettings(const AccountSettings& settings)
{
    OAuthForm form;
    form.on = settings.Auth == kAuthOAuth;
    form.provider = settings.OAuthProvider.empty() ? "microsoft" : settings.OAuthProvider;
    form.clientId = settings.ClientId;
    form.authorizeUrl = settings.AuthorizeUrl;
    form.tokenUrl = settings.TokenUrl;
    form.scope = settings.Scope;
    return form;
}

std::string CheckOAuthForm(const OAuthForm& form)
{
    if (!form.on)
        return std::string();
    for (const std::string* text : {&form.clientId, &form.clientSecret, &form.authorizeUrl, &form.tokenUrl, &form.scope})
        if (HasControlCharacter(*text))
            return "The sign-in values cannot contain control characters.";
    AccountSettings settings;
    ApplyOAuthForm(form, settings);
    const OAuthEndpoints endpoints = EndpointsFor(settings, settings.Protocol == kProtocolImap);
    if (endpoints.clientId.empty())
        return "Enter the client ID you registered with the provider (the README says how).";
    // The token endpoint receives the secrets: never in plain text.
    if (!IsHttpsAddress(endpoints.authorizeUrl) || !IsHttpsAddress(endpoints.tokenUrl))
        return "The authorize and token addresses must both start with https://.";
    if (endpoints.scope.empty())
        return "Enter the scope the provider asks for mail access.";
    return std::string();
}

void ApplyOAuthForm(const OAuthForm& form, AccountSettings& settings)
{
    const AccountSettings before = settings;
    settings.Auth = form.on ? kAuthOAuth : kAuthPassword;
    settings.OAuthProvider = form.provider;
    settings.ClientId = form.clientId;
    if (!form.clientSecret.empty()) {
        settings.ClientSecret = form.clientSecret;
        settings.UnreadableSecrets &= ~kSecretClientSecret;
    }
    const bool custom = form.provider != "microsoft" && form.provider != "google";
    settings.AuthorizeUrl = custom ? form.authorizeUrl : std::string();
    settings.TokenUrl = custom ? form.tokenUrl : std::string();
    settings.Scope = custom ? form.scope : std::string();
    if (settings.OAuthProvider != before.OAuthProvider || settings.ClientId != before.ClientId ||
        settings.TokenUrl != before.TokenUrl) {
        settings.RefreshToken.clear();
        settings.UnreadableSecrets &= ~kSecretRefreshToken;
    }
}

void CopySignIn(const AccountSettings& from, AccountSettings& to)
{
    to.Auth = from.Auth;
    to.OAuthProvider = from.OAuthProvider;
    to.ClientId = from.ClientId;
    to.ClientSecret = from.ClientSecret;
    to.AuthorizeUrl = from.AuthorizeUrl;
    to.TokenUrl = from.TokenUrl;
    to.Scope = from.Scope;
    to.RefreshToken = from.RefreshToken;
    const uint32_t signInSecrets = kSecretClientSecret | kSecretRefreshToken;
    to.UnreadableSecrets = (to.UnreadableSecrets & ~signInSecrets) | (from.UnreadableSecrets & signInSecrets);
}
