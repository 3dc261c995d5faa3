#pragma once
// The images every window draws with, loaded once at start-up by the application, which hands
// them to the windows it creates, and the key regions cut from their key-coloured pixels.
#include <windows.h>

#include <vector>

#include "character/key_region.h"
#include "envelope/envelope_wnd_win.h"
#include "platform/gdi_win.h"
#include "platform/window_shape_win.h"

// The character's size when there is no frame bitmap to show (none shipped, or a frame index
// out of range): that of the shipped frames, times the art's scale. The window is then an unshaped dark block of this
// size, so the notifier stays visible and clickable instead of vanishing or crashing.
constexpr SIZE kFallbackFrameSize = {33, 41};

// The resource name of both the envelope bitmap and the envelope icon.
constexpr char kEnvelopeResourceName[] = "ENVELOP_RED";

struct Artwork {
    std::vector<Bitmap> frameBitmaps;  // one per frame name, index = frame index
    std::vector<Region> frameRegions;  // same order; an entry may be empty
    EnvelopeArt envelope;              // "ENVELOP_RED", its key region, size and scale
    HICON envelopeIcon = nullptr;      // a shared resource icon: never destroyed
    // Screen pixels per pixel of the art, across and down: bitmaps, regions and sizes above are
    // all at this scale.
    int scale = 1;
    // The pixels as shipped, every scale's source; an entry is empty for a missing frame.
    std::vector<PixelImage> frameSources;
    PixelImage envelopeSource;
};

// Start-up, in this order: the catalogue from string AnimationStringId and the bitmap resources
// of the program, then the images, then their key regions (which keeps the images' pixels).
void LoadAnimationCatalog();
void LoadFrameImages(Artwork& art);
void ComputeKeyRegions(Artwork& art);

// Remakes every bitmap and key region with each pixel repeated scale times across and down, for
// a screen whose DPI asks for it (see ArtScaleForDpi). False when the art has that scale already.
bool ScaleArtwork(Artwork& art, int scale);
// The scale of the art for the screen the window is on.
int ArtScaleForWindow(HWND window);

// The character window's current frame, by its frame index: null when the index does not name
// a loaded frame.
HBITMAP CurrentFrameBitmap(const Artwork& art, int frameIndex);
HRGN CurrentFrameKeyRegion(const Artwork& art, int frameIndex);
// The frame bitmap's size, or the scaled kFallbackFrameSize when there is no bitmap.
SIZE CurrentFrameSize(const Artwork& art, int frameIndex);
// DrawWindowBitmap of the frame; without a frame bitmap the window takes the fallback size and
// the target is filled dark.
void DrawCurrentFrame(const Artwork& art, HWND window, HDC target, int frameIndex);
