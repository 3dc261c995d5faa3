// The envelope trail of the real program, driven from outside: a loopback server holds the
// mail, and the test watches the windows appear, follow one another and go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "character/command_ids.h"
#include "envelope/envelope_palette.h"
#include "envelope/recolor.h"
#include "fake_pop3_server.h"
#include "platform/gdi_win.h"
#include "program_driver_win.h"

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kTrailTimeoutMs = 20000;
constexpr int kExitTimeoutMs = 20000;
constexpr int kPollMs = 50;
constexpr int kEnvelopeWidth = 26;
constexpr int kEnvelopeHeight = 21;

std::vector<std::string> Uids(int count)
{
    std::vector<std::string> uids;
    for (int i = 0; i < count; ++i)
        uids.push_back("uid-" + std::to_string(i));
    return uids;
}

bool IsJitter(int offset)
{
    return offset == -2 || offset == 0 || offset == 2;
}

// The screen's pixels inside one rectangle, as colour references.
std::vector<ColorRef> ScreenPixels(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    std::vector<ColorRef> colors;
    WindowDC screen(nullptr);
    uint32_t* bits = nullptr;
    Bitmap buffer = CreatePixelBuffer(screen.Get(), width, height, &bits);
    MemoryDC memory(screen.Get());
    if (!buffer || !memory.Get())
        return colors;
    {
        SelectGuard select(memory.Get(), buffer.Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
        GdiFlush();
    }
    for (int i = 0; i < width * height; ++i)
        colors.push_back(ColorRefFromPixel(bits[i]));
    return colors;
}

class EnvelopeTrailTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramProfile();
        ASSERT_TRUE(FindProgramWindows().empty()) << "a program window is left from elsewhere";
        // Up and to the left of where the character starts, inside the screen.
        SetCursorPos(300, 300);
    }

    void TearDown() override
    {
        DWORD code = 0;
        if (program.PostCommand(ID_APP_EXIT, 2000))
            program.WaitForExit(kExitTimeoutMs, code);
        program.Kill();
        ClearProgramProfile();
    }

    // An account checked every time the scheduler runs.
    void WriteAccount(int index, const FakePop3Server& server, int color)
    {
        const std::string section = "POP" + std::to_string(index);
        WriteProgramProfile(section, "Account", "user" + std::to_string(index));
        WriteProgramProfile(section, "Passward", "secret");
        WriteProgramProfile(section, "Address", "127.0.0.1");
        WriteProgramProfile(section, "Port", std::to_string(server.Port()));
        WriteProgramProfile(section, "Duration", "0");
        WriteProgramProfile(section, "COLOR", std::to_string(color));
    }

    HWND Start(int accountCount)
    {
        WriteProgramProfile("GLOBAL", "POP_COUNT", std::to_string(accountCount));
        if (!program.Start())
            return nullptr;
        return program.WaitForCharacterWindow(kStartTimeoutMs);
    }

    // Waits until the trail holds count envelopes; the trail as it then stands.
    std::vector<HWND> WaitForTrail(HWND character, size_t count)
    {
        const Stopwatch watch;
        std::vector<HWND> trail = program.EnvelopeWindows(character);
        while (trail.size() != count && watch.ElapsedMs() < kTrailTimeoutMs) {
            Sleep(kPollMs);
            trail = program.EnvelopeWindows(character);
        }
        return trail;
    }

    // Waits until the character has come to rest (same place for half a second).
    RECT WaitUntilSettled(HWND character)
    {
        const Stopwatch watch;
        RECT last = ReadWindowState(character).rect;
        int stillMs = 0;
        while (stillMs < 500 && watch.ElapsedMs() < kTrailTimeoutMs) {
            Sleep(kPollMs);
            const RECT now = ReadWindowState(character).rect;
            stillMs = EqualRect(&now, &last) ? stillMs + kPollMs : 0;
            last = now;
        }
        return last;
    }

    bool WaitForVisibility(HWND window, bool visible)
    {
        const Stopwatch watch;
        while ((IsWindowVisible(window) != FALSE) != visible && watch.ElapsedMs() < kTrailTimeoutMs)
            Sleep(kPollMs);
        return (IsWindowVisible(window) != FALSE) == visible;
    }

    ProgramProcess program;
};

TEST_F(EnvelopeTrailTest, NewMailMakesAChainedTrailAwayFromTheCursor)
{
    FakePop3Server blue(Uids(8));
    FakePop3Server green(Uids(1));
    ASSERT_TRUE(blue.Listening() && green.Listening());
    WriteAccount(0, blue, 1);
    WriteAccount(1, green, 4);
    const HWND character = Start(2);
    ASSERT_NE(character, nullptr);

    // Five for the first account (it has eight), one for the second.
    std::vector<HWND> trail = WaitForTrail(character, 6);
    ASSERT_EQ(trail.size(), 6u);
    EXPECT_TRUE(WaitForVisibility(character, true));

    const RECT rect = WaitUntilSettled(character);
    POINT cursor{};
    GetCursorPos(&cursor);
    // The trail leaves the character on the side away from the cursor; a centre line counts
    // as right or below.
    const bool toRight = cursor.x < (rect.left + rect.right) / 2;
    const bool down = cursor.y < (rect.top + rect.bottom) / 2;
    int x = toRight ? rect.right - 3 : rect.left - kEnvelopeWidth + 3;
    int y = down ? rect.bottom - 3 : rect.top - kEnvelopeHeight + 3;
    const int dx = toRight ? kEnvelopeWidth / 2 : -(kEnvelopeWidth / 2);
    const int dy = down ? kEnvelopeHeight / 2 : -(kEnvelopeHeight / 2);

    HWND owner = character;
    for (size_t i = 0; i < trail.size(); ++i) {
        const WindowState envelope = ReadWindowState(trail[i]);
        EXPECT_EQ(envelope.owner, owner) << "envelope " << i;
        EXPECT_TRUE(envelope.visible) << "envelope " << i;
        EXPECT_EQ(envelope.caption, "Tindrel");
        EXPECT_EQ(envelope.rect.right - envelope.rect.left, kEnvelopeWidth);
        EXPECT_EQ(envelope.rect.bottom - envelope.rect.top, kEnvelopeHeight);
        EXPECT_TRUE(IsJitter(envelope.rect.left - x)) << "envelope " << i << " at x " << envelope.rect.left
                                                      << ", expected " << x << " +-2";
        EXPECT_TRUE(IsJitter(envelope.rect.top - y)) << "envelope " << i << " at y " << envelope.rect.top
                                                     << ", expected " << y << " +-2";
        owner = trail[i];
        x += dx;
        y += dy;
    }
    // Nothing took the focus from whoever had it.
    EXPECT_NE(GetForegroundWindow(), character);

    // What a person sees: the body in the account's colour, no red left. Each envelope is
    // partly covered by the next, but enough of it shows.
    for (size_t i = 0; i < trail.size(); ++i) {
        const ColorRef expected = EnvelopePalette[i < 5 ? 1 : 4];
        int own = 0;
        int red = 0;
        for (ColorRef color : ScreenPixels(ReadWindowState(trail[i]).rect)) {
            own += color == expected;
            red += color == kEnvelopeBodyColor;
        }
        EXPECT_GE(own, 40) << "envelope " << i;
        EXPECT_EQ(red, 0) << "envelope " << i;
    }
}

TEST_F(EnvelopeTrailTest, TrailShrinksFromTheEndAndTheCharacterHidesWithoutMail)
{
    FakePop3Server server(Uids(3));
    ASSERT_TRUE(server.Listening());
    WriteAccount(0, server, 7);
    const HWND character = Start(1);
    ASSERT_NE(character, nullptr);
    EXPECT_FALSE(IsWindowVisible(character));

    const std::vector<HWND> three = WaitForTrail(character, 3);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_TRUE(WaitForVisibility(character, true));

    // Two messages leave the server: the last two envelopes go, the first keeps its window.
    server.SetUids(Uids(1));
    const std::vector<HWND> one = WaitForTrail(character, 1);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], three[0]);
    EXPECT_FALSE(IsWindow(three[1]));
    EXPECT_FALSE(IsWindow(three[2]));
    EXPECT_TRUE(IsWindowVisible(character));

    // The mailbox empties: no envelope, and the character hides again.
    server.SetUids({});
    EXPECT_TRUE(WaitForTrail(character, 0).empty());
    EXPECT_FALSE(IsWindow(one[0]));
    EXPECT_TRUE(WaitForVisibility(character, false));
}

}  // namespace
