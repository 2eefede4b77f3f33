/*
** A rectangle in pixels as the generated dialogs lay their lines out, and
** the places one dialog line gives its controls.  Plain data so that the
** layout arithmetic can be checked without any window system.
*/
#ifndef PARAMRECT_H
#define PARAMRECT_H

/*
** A rectangle given by its edges; right and bottom are exclusive, as the
** window system of the dialogs counts them.
*/
struct ParamRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  /* Width of the rectangle in pixels. */
  int Width() const { return right - left; }
  /* Height of the rectangle in pixels. */
  int Height() const { return bottom - top; }
  /* True when all four edges agree. */
  bool operator==(const ParamRect& other) const = default;
};

/*
** Where one dialog line puts its controls.  A control the line does not
** have keeps an empty rectangle.
*/
struct ParamLinePlaces {
  ParamRect label;
  ParamRect input;
  ParamRect button;
};

#endif
