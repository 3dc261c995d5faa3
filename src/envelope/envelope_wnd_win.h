#pragma once
// One envelope beside the character: a small layered popup that shows the envelope image in
// its account's colour. It takes no input; the character window creates, places and destroys it.
#include <windows.h>

#include <cstdint>

#include "platform/window_base_win.h"

class EnvelopeWnd : public WindowBase {
public:
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
};
