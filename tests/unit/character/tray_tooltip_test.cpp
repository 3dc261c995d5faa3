#include <gtest/gtest.h>

#include "character/tray_tooltip.h"

TEST(TrayTooltip, CountsNewMailAndNamesTheFailingAccountWithinWhatTheTrayKeeps)
{
    const std::string longHost(80, 'h');
    const struct { size_t accounts, fresh; std::string server, reason, expected; } cases[] = {
        {0, 0, "", "", "QUVA - no account"}, {2, 0, "", "", "QUVA"}, {2, 61, "", "", "QUVA - 61 new"},
        {1, 0, "pop.example.com", "login refused", "QUVA - pop.example.com: login refused"},
        {2, 61, "pop.example.com", "login refused", "QUVA - 61 new - pop.example.com: login refused"},
        // A long host name gives way to the reason; a multi-byte character is never cut in two.
        {1, 0, longHost, "server unreachable", "QUVA - " + longHost.substr(0, 33) + "...: server unreachable"},
        {1, 0, std::string(32, 'h') + "\xc3\xa9xxxxx", "server unreachable",
         "QUVA - " + std::string(32, 'h') + "...: server unreachable"},
        {1, 7, std::string(24, 'h') + "\xc3\xa9xxxxx", "server unreachable",
         "QUVA - 7 new - " + std::string(24, 'h') + "...: server unreachable"},
        {1, 0, "pop", std::string(70, 'r'), "QUVA - pop: " + std::string(48, 'r') + "..."},
        {1, 1234, "pop", std::string(70, 'r'), "QUVA - 1234 new - pop: " + std::string(37, 'r') + "..."},
    };
    for (const auto& c : cases) {
        const std::string text = TrayTooltipText(c.accounts, c.fresh, c.server, c.reason);
        EXPECT_TRUE(text == c.expected && text.size() <= kMaxTrayTooltip) << text;
    }
}
