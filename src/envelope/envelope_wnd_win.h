#pragma once
// One envelope beside the character: a small layered popup that shows the envelope image in
// its account's colour. It takes no input; the trail creates, places and destroys it.
#include <windows.h>

#include <cstdint>

#include "platform/gdi_win.h"
#include "platform/layered_window_win.h"
#include "platform/window_base_win.h"

// The envelope image, its key region (the shape of every envelope, whatever its colour), its
// size and the screen pixels per pixel of the art it is drawn at; loaded at start-up, and
// scaled for the screen, by whoever creates the windows.
struct EnvelopeArt {
    Bitmap bitmap;
    Region keyRegion;
    SIZE size{0, 0};
    int32_t scale = 1;
};

class EnvelopeWnd : public WindowBase {
public:
    // Both stay the creator's and must outlive the window.
    EnvelopeWnd(const EnvelopeArt& art, const LayeredWindows& layered) : art(art), layered(layered) {}

    // Its offset in the transparency pulse, 0..511, drawn at creation so that envelopes pulse
    // out of step.
    int32_t phase = 0;
    // The account colour index it is painted in; read at every paint.
    int32_t colorIndex = 0;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnPaint();

    const EnvelopeArt& art;
    const LayeredWindows& layered;
};
