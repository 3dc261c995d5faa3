#pragma once
// The tray icon's tooltip: the program's name, how much mail is new, and what stands in the
// user's way.
#include <cstddef>
#include <string>

// The tray keeps 63 characters of a tooltip.
constexpr size_t kMaxTrayTooltip = 63;

// "QUVA" with nothing to say; "QUVA - no account" without accounts; "QUVA - 61 new" while
// mail is new; and after that "SERVER: REASON" for the first failing account, as in
// "QUVA - 61 new - SERVER: REASON" or "QUVA - SERVER: REASON", shortened to fit with the reason
// kept whole where it can be.
std::string TrayTooltipText(size_t accountCount, size_t newCount, const std::string& failingServer,
                            const std::string& reason);
