// Stand-ins for the envelope trail of the character window. They let the window run on its
// own until the trail exists: no envelopes. Each is replaced by the real operation.
#include "character/character_wnd_win.h"

#include "envelope/envelope_wnd_win.h"

void CharacterWnd::RefreshEnvelopes()
{
    UpdateCharacterVisibility();
}

void CharacterWnd::LayoutEnvelopes()
{
}

void CharacterWnd::AddEnvelope()
{
}

void CharacterWnd::RemoveLastEnvelope()
{
    if (!envelopes.empty())
        envelopes.pop_back();
}

void CharacterWnd::InvalidateAll()
{
    if (Handle())
        InvalidateRect(Handle(), nullptr, FALSE);
}

void CharacterWnd::UpdateCharacterVisibility()
{
    if (!Handle())
        return;
    const bool show = !showOnlyMailExist || !envelopes.empty();
    ShowWindow(Handle(), show ? SW_SHOWNOACTIVATE : SW_HIDE);
}
