#include <gtest/gtest.h>

#include "character/tray_tooltip.h"

TEST(TrayTooltip, NamesTheFailingAccountWithinWhatTheTrayKeeps)
{
    const std::string longHost(80, 'h');
    const struct { size_t accounts; std::string server, reason, expected; } cases[] = {
        {0, "", "", "QUVA - no account"},
        {2, "", "", "QUVA"},
        {1, "pop.example.com", "login refused", "QUVA - pop.example.com: login refused"},
        // A long host name gives way to the reason; a multi-byte character is never cut in two.
        {1, longHost, "server unreachable", "QUVA - " + longHost.substr(0, 33) + "...: server unreachable"},
        {1, std::string(32, 'h') + "\xc3\xa9xxxxx", "server unreachable",
         "QUVA - " + std::string(32, 'h') + "...: server unreachable"},
        {1, "pop", std::string(70, 'r'), "QUVA - pop: " + std::string(48, 'r') + "..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TrayTooltipText(c.accounts, c.server, c.reason), c.expected);
}
