#pragma once
// The check of an account that signs in with OAuth 2.0: an access token first (the one held
// while it is good for more than a minute, else a fresh one from the refresh token), and when
// the server refuses it, one refresh and one more try.
#include <memory>

#include "mail/check_worker.h"

// session is the check's own; a retry replaces it with a new one.
CheckOutcome RunTokenCheck(MailAccount& account, const CheckEnvironment& environment,
                           std::unique_ptr<MailSession>& session);

// The default of CheckEnvironment::storeRefreshToken: sealed into the process-wide profile.
void StoreRotatedRefreshToken(const MailAccount& account);
