#pragma once
// The images every window draws with, loaded once at start-up, and the window shapes cut from
// their key-coloured pixels: a window is the square (0, 0)-(1200, 1200) minus its bitmap's key
// region, so only the drawn figure shows on the desktop.
#include <windows.h>

#include "platform/gdi_win.h"

class MailCheckApp;

// The side of the square a window shape is cut from; no bitmap is larger.
constexpr int kShapeSquareSize = 1200;

// The character's size when there is no frame bitmap to show (none shipped, or a frame index
// out of range): that of the shipped frames. The window is then an unshaped dark block of this
// size, so the notifier stays visible and clickable instead of vanishing or crashing.
constexpr SIZE kFallbackFrameSize = {33, 41};

// The resource name of both the envelope bitmap and the envelope icon.
constexpr char kEnvelopeResourceName[] = "ENVELOP_RED";

// Width and height of the envelope bitmap; set by LoadFrameImages.
extern SIZE EnvelopeBitmapSize;

// Start-up, in this order: the catalogue from string AnimationStringId and the bitmap resources
// of the program, then the images, then their key regions.
void LoadAnimationCatalog();
void LoadFrameImages(MailCheckApp& app);
void ComputeKeyRegions(MailCheckApp& app);

// The key region of a bitmap, or an empty holder when it has no key-coloured pixel. The memory
// context only serves to read the pixels, in one call.
Region KeyRegionFromBitmap(HBITMAP bitmap, HDC memoryDC);

// Gives the window the square minus the key region (null: the whole square), with a redraw;
// nothing happens when the window has that shape already. Builds a fresh region each time; the
// key region is only read, so cached ones stay valid.
void ApplyWindowShape(HWND window, HRGN keyRegion);
// Resizes the window to the bitmap without moving, reordering or activating it, and copies the
// whole bitmap to (0, 0) of the target.
void DrawWindowBitmap(HWND window, HDC target, HBITMAP bitmap);
// Width and height of a bitmap; 0 x 0 for null.
SIZE BitmapSize(HBITMAP bitmap);

// The character window's current frame, by its frame index: null when the index does not name
// a loaded frame.
HBITMAP CurrentFrameBitmap(int frameIndex);
HRGN CurrentFrameKeyRegion(int frameIndex);
// The frame bitmap's size, or kFallbackFrameSize when there is no bitmap.
SIZE CurrentFrameSize(int frameIndex);
// DrawWindowBitmap of the frame; without a frame bitmap the window takes the fallback size and
// the target is filled dark.
void DrawCurrentFrame(HWND window, HDC target, int frameIndex);
