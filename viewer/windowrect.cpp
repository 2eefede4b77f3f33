/*
** Fitting a stored window rectangle onto the available screens.
*/
#include "windowrect.h"

#include <algorithm>

namespace {

/* Return the width and the height of the part of A that lies on B (0 when
** none). */
int64_t OverlapWidth(const WindowRect& a, const WindowRect& b) {
  return std::max<int64_t>(0, std::min(a.right, b.right) - std::max(a.left, b.left));
}

int64_t OverlapHeight(const WindowRect& a, const WindowRect& b) {
  return std::max<int64_t>(0, std::min(a.bottom, b.bottom) - std::max(a.top, b.top));
}

/* Returns START moved so that LENGTH from it stays within LOW..HIGH when
** it fits, else LOW. */
int64_t KeepInside(int64_t start, int64_t length, int64_t low, int64_t high) {
  return std::max(low, std::min(start, high - length));
}

}  // namespace

WindowRect ClampToScreens(const WindowRect& rect, const std::vector<WindowRect>& screens) {
  if (screens.empty()) return rect;
  // Values from a file may be anything; halving keeps every sum below in range.
  WindowRect r = rect;
  for (int64_t* v : {&r.left, &r.top, &r.right, &r.bottom})
    *v = std::clamp<int64_t>(*v, INT64_MIN / 4, INT64_MAX / 4);

  const WindowRect* best = &screens.front();
  int64_t bestArea = -1;
  bool visible = false;
  for (const WindowRect& screen : screens) {
    int64_t w = OverlapWidth(r, screen), h = OverlapHeight(r, screen);
    bool enough = r.Width() > 0 && r.Height() > 0 && w >= std::min(kMinVisibleWidth, r.Width()) &&
                  h >= std::min(kMinVisibleHeight, r.Height());
    if ((enough && !visible) || (enough == visible && w * h > bestArea)) {
      best = &screen;
      bestArea = w * h;
      visible = enough;
    }
  }
  const WindowRect& screen = *best;
  int64_t width = r.Width() > 0 ? std::min(r.Width(), screen.Width()) : screen.Width();
  int64_t height = r.Height() > 0 ? std::min(r.Height(), screen.Height()) : screen.Height();
  WindowRect out;
  if (!visible) {
    out.left = screen.left + (screen.Width() - width) / 2;
    out.top = screen.top + (screen.Height() - height) / 2;
  } else {
    // A rectangle cut down to the screen moves onto it in that direction.
    out.left = width < r.Width() ? KeepInside(r.left, width, screen.left, screen.right) : r.left;
    out.top = height < r.Height() ? KeepInside(r.top, height, screen.top, screen.bottom) : r.top;
  }
  out.right = out.left + width;
  out.bottom = out.top + height;
  return out;
}
