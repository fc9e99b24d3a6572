#pragma once
// Stateless drawing functions shared by the toolbar and the popup menu: colour translation, colour
// ramps, gradients, two-colour frames, solid fills, text in a rectangle, and the outline of a
// rectangle with cut corners.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Types.h"

namespace quillane::gfx {

using platform::HDC;
using platform::HPALETTE;
using platform::OLE_COLOR;
using platform::POINT;

// Single to integer: nearest, ties to even (2.5 -> 2, 3.5 -> 4); clamped to the 32-bit range, NaN
// 0.
std::int32_t RoundHalfEven(double value);

// A plain BGR colour for a colour value (system colours through the fixed table), or -1 when the
// value cannot be translated.
std::int32_t TranslateColor(OLE_COLOR color, HPALETTE hpal = 0);

// Fills ramp[0..n] (n = ramp.size() - 1) from c1 towards c2: each entry is one step further, so
// ramp[0] is already one step away from c1 and ramp[n] is c2 plus one step, clamped. A system
// colour is translated before it is split. With n = 0 the single entry is c1. An empty ramp is
// left alone.
void BlendColors(OLE_COLOR c1, OLE_COLOR c2, std::vector<std::int32_t>& ramp);

// One line per column (direction 0, left to right) or row (direction 1, top to bottom) in the
// ramp from c1 to c2. Direction 1 with mirror goes c1 -> c2 -> c1, the bottom half drawn last.
// Lines leave out their end point. A span of more than 65,536 lines draws nothing.
void DrawGradient(HDC dc, int X1, int Y1, int X2, int Y2, OLE_COLOR c1, OLE_COLOR c2, int direction,
                  bool mirror);

// The W x H perimeter: top and left edges (and the top-right pixel) in cTopLeft, bottom and right
// edges (and the bottom-left pixel) in cBottomRight, each pixel once; the inside filled with cFill
// unless it is exactly -1.
void DrawFrame(HDC dc, int X, int Y, int W, int H, OLE_COLOR cTopLeft, OLE_COLOR cBottomRight,
               OLE_COLOR cFill);

// Fills the rectangle (X, Y)-(X + W - 1, Y + H - 1), right and bottom edges excluded.
void FillArea(HDC dc, int X, int Y, int W, int H, OLE_COLOR color);

// Draws the text (up to its first NUL) with the context's font and colours into the rectangle
// whose edges are X, Y, X + W, Y + H rounded half to even, with the given DrawText flags.
void DrawTextRect(HDC dc, std::string_view text, float X, float Y, float W, float H,
                  std::uint32_t flags);

// Empties the list and appends the 13 points that trace the rectangle clockwise from its top edge
// with each corner cut by two pixels, the last repeating the first. Returns the upper index, 12.
int RoundRectPoints(std::vector<POINT>& list, float X1, float Y1, float X2, float Y2);

// Appends (X, Y) rounded half to even.
void AddPoint(std::vector<POINT>& list, float X, float Y);

}  // namespace quillane::gfx
