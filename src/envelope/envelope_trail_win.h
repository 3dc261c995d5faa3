#pragma once
// The envelope trail beside the character: one envelope window per new message (at most five
// per account) in the account's colour, laid out diagonally away from the cursor. Each envelope
// is owned by the one before it, the first by the character; the trail owns the objects.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "envelope/envelope_layout.h"
#include "envelope/envelope_wnd_win.h"
#include "platform/layered_window_win.h"

// What the trail needs of the character at one moment: its window (the first envelope's
// owner, placed in front of the trail), its rectangle and the cursor, in screen coordinates.
struct TrailAnchor {
    HWND window = nullptr;
    RECT rect{};
    POINT cursor{};
};

class EnvelopeTrail {
public:
    // The art and the layered windows stay the creator's and must outlive the trail. The
    // envelopes are windows of the given class and caption.
    EnvelopeTrail(const EnvelopeArt& art, const LayeredWindows& layered, std::string windowClass,
                  std::string caption);
    EnvelopeTrail(const EnvelopeTrail&) = delete;
    EnvelopeTrail& operator=(const EnvelopeTrail&) = delete;

    // Makes the trail match the accounts' new mail (in account order), colours and lays it out.
    // Only the end of the trail changes: surviving envelopes keep their windows.
    void Refresh(const TrailAnchor& anchor, const std::vector<AccountMailCount>& counts);
    // Places, shows and pulses every envelope; the trail follows the character with this.
    void Layout(const TrailAnchor& anchor);
    // Shows or hides every envelope with the character.
    void Show(bool visible);
    // After the art took a new scale: every envelope takes its new size and shape.
    void Rescale(const TrailAnchor& anchor);
    // Destroys every envelope, the last first.
    void Clear(const TrailAnchor& anchor);

    // Envelopes whose window could not be made count too: there is new mail all the same.
    size_t Size() const { return envelopes.size(); }

private:
    void Add(HWND character);
    void RemoveLast(const TrailAnchor& anchor);
    void InvalidateAll(HWND character);

    const EnvelopeArt& art;
    const LayeredWindows& layered;
    std::string windowClass;
    std::string caption;
    // Nearest the character first.
    std::vector<std::unique_ptr<EnvelopeWnd>> envelopes;
};
