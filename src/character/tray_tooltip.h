#pragma once
// The tray icon's tooltip: the program's name, and what stands in the user's way.
#include <cstddef>
#include <string>

// The tray keeps 63 characters of a tooltip.
constexpr size_t kMaxTrayTooltip = 63;

// "QUVA" while every account's last check went well; "QUVA - no account" without accounts;
// otherwise "QUVA - SERVER: REASON" for the first failing account, shortened to fit with the
// reason kept whole where it can be.
std::string TrayTooltipText(size_t accountCount, const std::string& failingServer, const std::string& reason);
