// The real program with an account protected by TLS from the first byte, against the loopback
// mailbox of tests/support/tls_servers.py (one message), which runs around this test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "program_driver_win.h"

TEST(TlsProgramTest, ATlsAccountsNewMailShowsAnEnvelope)
{
    const char* port = std::getenv("ZANTOLI_TLS_GOOD");
    const char* trustFile = std::getenv("ZANTOLI_TLS_TRUST_PEM");
    ASSERT_TRUE(port && trustFile) << "run through tests/support/tls_servers.py";
    ClearProgramProfile();
    WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
    const std::pair<const char*, std::string> values[] = {
        {"Account", "me"}, {"Passward", "secret"}, {"Address", "localhost"}, {"Port", port},
        {"Security", "2"}, {"TrustFile", trustFile}, {"Duration", "0"}, {"COLOR", "1"}};
    for (const auto& value : values)
        WriteProgramProfile("POP0", value.first, value.second);
    ProgramProcess program;
    ASSERT_TRUE(program.Start());
    const HWND character = program.WaitForCharacterWindow(20000);
    ASSERT_NE(character, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return program.EnvelopeWindows(character).size() == 1; }, 20000));
    program.Kill();
    ClearProgramProfile();
}
