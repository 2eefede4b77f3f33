/*
** WindowRect: the placement arithmetic for a main-window rectangle taken
** from a view-state file or the profile, kept free of any window so that it
** can be checked against any set of screens.  Rectangles are computed in 64
** bits, so no stored number can overflow them.
*/
#ifndef WINDOWRECT_H
#define WINDOWRECT_H

#include <cstdint>
#include <vector>

/* A rectangle in screen pixels; right and bottom lie just outside it. */
struct WindowRect {
  int64_t left = 0, top = 0, right = 0, bottom = 0;

  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
  bool operator==(const WindowRect&) const = default;
};

/* Smallest part of a window that must lie on one screen. */
inline constexpr int64_t kMinVisibleWidth = 100;
inline constexpr int64_t kMinVisibleHeight = 50;

/* Returns RECT made fit for the available SCREENS (their usable areas, the
** primary one first): no wider or higher than the screen it lands on, and
** with at least kMinVisibleWidth x kMinVisibleHeight of it (or all of a
** smaller rectangle) on that screen; a rectangle that shows less than that
** on every screen is centred on the screen that shows most of it, or on
** the first.  An empty or inverted RECT is centred at the screen's size.
** Without screens RECT is returned as it is. */
WindowRect ClampToScreens(const WindowRect& rect, const std::vector<WindowRect>& screens);

#endif
