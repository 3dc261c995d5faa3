#pragma once
// Window shapes and drawing shared by every window that shows one bitmap: a window is the
// square (0, 0)-(1200, 1200) minus its bitmap's key region, so only the drawn figure shows.
#include <windows.h>

// The side of the square a window shape is cut from; no bitmap is larger.
constexpr int kShapeSquareSize = 1200;

// Gives the window the square minus the key region (null: the whole square), with a redraw;
// nothing happens when the window has that shape already. Builds a fresh region each time; the
// key region is only read, so cached ones stay valid.
void ApplyWindowShape(HWND window, HRGN keyRegion);
// Resizes the window to the bitmap without moving, reordering or activating it, and copies the
// whole bitmap to (0, 0) of the target.
void DrawWindowBitmap(HWND window, HDC target, HBITMAP bitmap);
// Width and height of a bitmap; 0 x 0 for null.
SIZE BitmapSize(HBITMAP bitmap);
