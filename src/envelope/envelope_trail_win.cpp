// The character window's envelope trail: one envelope per new message (at most five per
// account) in the account's colour, laid out beside the character away from the cursor.
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "character/character_wnd_win.h"
#include "character/shapes_win.h"
#include "envelope/envelope_layout.h"
#include "envelope/envelope_wnd_win.h"
#include "mail/scheduler.h"
#include "mail/uid_reconcile.h"

namespace {

// Each account's colour and new-mail count, in account order. The count is read under the
// account's lock: a check may be changing the set right now.
std::vector<AccountMailCount> CountNewMail(const AccountList& accounts)
{
    std::vector<AccountMailCount> counts;
    counts.reserve(accounts.size());
    for (const auto& account : accounts)
        counts.push_back({account->Color, NewUidCount(*account)});
    return counts;
}

}  // namespace

void CharacterWnd::RefreshEnvelopes()
{
    if (!Handle())
        return;
    const std::vector<int32_t> wanted = WantedEnvelopeColors(CountNewMail(scheduler.Accounts()));
    // Only the end of the trail changes: surviving envelopes keep their windows.
    while (envelopes.size() < wanted.size())
        AddEnvelope();
    while (envelopes.size() > wanted.size())
        RemoveLastEnvelope();
    for (size_t i = 0; i < wanted.size(); ++i) {
        EnvelopeWnd& envelope = *envelopes[i];
        if (envelope.colorIndex == wanted[i])
            continue;
        envelope.colorIndex = wanted[i];
        // Otherwise it would show its old colour until something else made it repaint.
        if (envelope.Handle())
            InvalidateRect(envelope.Handle(), nullptr, FALSE);
    }
    LayoutEnvelopes();
    UpdateCharacterVisibility();
}

void CharacterWnd::AddEnvelope()
{
    // Each envelope is owned by the one before it, the first by the character. An envelope
    // whose window could not be made is passed over: an unowned one would get a taskbar button.
    HWND owner = Handle();
    for (auto it = envelopes.rbegin(); it != envelopes.rend(); ++it) {
        if ((*it)->Handle()) {
            owner = (*it)->Handle();
            break;
        }
    }
    auto envelope = std::make_unique<EnvelopeWnd>();
    // Created hidden and, once layered, fully transparent: nothing shows before the first layout.
    // A failure still takes its place in the trail, so it is not retried every half second.
    envelope->Create(0, windowClassName, kCharacterCaption, WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                     EnvelopeBitmapSize.cx, EnvelopeBitmapSize.cy, owner, nullptr);
    envelopes.push_back(std::move(envelope));
}

void CharacterWnd::RemoveLastEnvelope()
{
    if (envelopes.empty())
        return;
    envelopes.back()->Destroy();
    envelopes.pop_back();
    InvalidateAll();
    LayoutEnvelopes();
}

void CharacterWnd::LayoutEnvelopes()
{
    if (!Handle())
        return;
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT character{};
    GetWindowRect(Handle(), &character);
    const int width = EnvelopeBitmapSize.cx;
    const int height = EnvelopeBitmapSize.cy;
    TrailLayout layout({cursor.x, cursor.y}, {character.left, character.top, character.right, character.bottom},
                       width, height);
    HWND previous = Handle();
    for (const auto& envelope : envelopes) {
        if (!envelope->Handle())
            continue;
        const TrailPoint corner = layout.Next(std::rand);
        SetWindowPos(envelope->Handle(), previous, corner.x, corner.y, width, height,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
        PulseAlpha(envelope->Handle(), envelope->phase);
        previous = envelope->Handle();
    }
}

void CharacterWnd::InvalidateAll()
{
    if (!Handle())
        return;
    InvalidateRect(Handle(), nullptr, FALSE);
    for (const auto& envelope : envelopes) {
        if (envelope->Handle())
            InvalidateRect(envelope->Handle(), nullptr, FALSE);
    }
}

void CharacterWnd::UpdateCharacterVisibility()
{
    if (!Handle())
        return;
    // An envelope whose window failed still counts: there is new mail all the same.
    const bool visible = !showOnlyMailExist || !envelopes.empty();
    ShowWindow(Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}
