// Lines and rectangles drawn with the selected pen, one pixel wide.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/gdi/GdiObjects.h"

namespace {

constexpr int64_t kDashOn = 18;
constexpr int64_t kDashPeriod = 24;

// The pixels from (x0, y0) towards (x1, y1), the end left out, by the usual integer stepping
// along the longer axis. dashPhase counts the pixels of the pattern gone through and goes on
// counting.
void DrawLine(const DCObject& dc, int64_t& dashPhase, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  const PixelView& view = dc.Target();
  const uint32_t raw = view.ColorToRaw(dc.pen->color);
  const int64_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  const int64_t stepX = x0 < x1 ? 1 : -1, stepY = y0 < y1 ? 1 : -1;
  int64_t error = dx - dy;
  for (int64_t x = x0, y = y0; x != x1 || y != y1;) {
    const bool drawn = dc.pen->style == PS_SOLID || dashPhase % kDashPeriod < kDashOn;
    ++dashPhase;
    if (drawn && x >= 0 && y >= 0 && x < view.width && y < view.height)
      view.WriteRaw(static_cast<int32_t>(x), static_cast<int32_t>(y), raw);
    const int64_t twice = 2 * error;
    if (twice > -dy) {
      error -= dy;
      x += stepX;
    }
    if (twice < dx) {
      error += dx;
      y += stepY;
    }
  }
}

}  // namespace

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous) {
  DCObject* dc = LookupDC(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->position;
  dc->position = {x, y};
  dc->dashPhase = 0;
  return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
  DCObject* dc = LookupDC(handle);
  if (!dc) return FALSE;
  DrawLine(*dc, dc->dashPhase, dc->position.x, dc->position.y, x, y);
  dc->position = {x, y};
  return TRUE;
}

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
  DCObject* dc = LookupDC(handle);
  if (!dc) return FALSE;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (left == right || top == bottom) return TRUE;
  const RECT inside{left + 1, top + 1, right - 1, bottom - 1};
  FillRect(handle, &inside, dc->brush->handle);
  const int64_t lastX = int64_t{right} - 1, lastY = int64_t{bottom} - 1;
  int64_t dashPhase = 0;
  DrawLine(*dc, dashPhase, left, top, lastX, top);
  DrawLine(*dc, dashPhase, lastX, top, lastX, lastY);
  DrawLine(*dc, dashPhase, lastX, lastY, left, lastY);
  DrawLine(*dc, dashPhase, left, lastY, left, top);
  // The sides of a one-pixel rectangle have no length: its pixel is drawn on its own.
  if (lastX == left && lastY == top) DrawLine(*dc, dashPhase, left, top, left + 1, top);
  return TRUE;
}
