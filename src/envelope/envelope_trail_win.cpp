#include "envelope/envelope_trail_win.h"

#include <cstdlib>
#include <utility>

EnvelopeTrail::EnvelopeTrail(const EnvelopeArt& art, const LayeredWindows& layered, std::string windowClass,
                             std::string caption)
    : art(art), layered(layered), windowClass(std::move(windowClass)), caption(std::move(caption))
{
}

void EnvelopeTrail::Refresh(const TrailAnchor& anchor, const std::vector<AccountMailCount>& counts)
{
    const std::vector<int32_t> wanted = WantedEnvelopeColors(counts);
    while (envelopes.size() < wanted.size())
        Add(anchor.window);
    while (envelopes.size() > wanted.size())
        RemoveLast(anchor);
    for (size_t i = 0; i < wanted.size(); ++i) {
        EnvelopeWnd& envelope = *envelopes[i];
        if (envelope.colorIndex == wanted[i])
            continue;
        envelope.colorIndex = wanted[i];
        // Otherwise it would show its old colour until something else made it repaint.
        if (envelope.Handle())
            InvalidateRect(envelope.Handle(), nullptr, FALSE);
    }
    Layout(anchor);
}

void EnvelopeTrail::Add(HWND character)
{
    // Each envelope is owned by the one before it, the first by the character. An envelope
    // whose window could not be made is passed over: an unowned one would get a taskbar button.
    HWND owner = character;
    for (auto it = envelopes.rbegin(); it != envelopes.rend(); ++it) {
        if ((*it)->Handle()) {
            owner = (*it)->Handle();
            break;
        }
    }
    auto envelope = std::make_unique<EnvelopeWnd>(art, layered);
    // Created hidden and, once layered, fully transparent: nothing shows before the first layout.
    // A failure still takes its place in the trail, so it is not retried every half second.
    envelope->Create(0, windowClass, caption, WS_POPUP | WS_CLIPCHILDREN, 0, 0, art.size.cx, art.size.cy, owner,
                     nullptr);
    envelopes.push_back(std::move(envelope));
}

void EnvelopeTrail::RemoveLast(const TrailAnchor& anchor)
{
    if (envelopes.empty())
        return;
    envelopes.back()->Destroy();
    envelopes.pop_back();
    InvalidateAll(anchor.window);
    Layout(anchor);
}

void EnvelopeTrail::Clear(const TrailAnchor& anchor)
{
    while (!envelopes.empty())
        RemoveLast(anchor);
}

void EnvelopeTrail::Layout(const TrailAnchor& anchor)
{
    const RECT& r = anchor.rect;
    TrailLayout layout({anchor.cursor.x, anchor.cursor.y}, {r.left, r.top, r.right, r.bottom}, art.size.cx,
                       art.size.cy, art.scale);
    HWND previous = anchor.window;
    for (const auto& envelope : envelopes) {
        if (!envelope->Handle())
            continue;
        const TrailPoint corner = layout.Next(std::rand);
        SetWindowPos(envelope->Handle(), previous, corner.x, corner.y, art.size.cx, art.size.cy,
                     SWP_NOACTIVATE | SWP_SHOWWINDOW);
        layered.Pulse(envelope->Handle(), envelope->phase);
        previous = envelope->Handle();
    }
}

void EnvelopeTrail::Show(bool visible)
{
    for (const auto& envelope : envelopes)
        if (envelope->Handle())
            ShowWindow(envelope->Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void EnvelopeTrail::Rescale(const TrailAnchor& anchor)
{
    InvalidateAll(anchor.window);  // each envelope takes its shape and size as it paints
    Layout(anchor);
}

void EnvelopeTrail::InvalidateAll(HWND character)
{
    InvalidateRect(character, nullptr, FALSE);
    for (const auto& envelope : envelopes) {
        if (envelope->Handle())
            InvalidateRect(envelope->Handle(), nullptr, FALSE);
    }
}
