/*
** Window geometry of the generated parameter dialogs: the size and place
** of the window from the screen and style metrics, the rectangle of the
** lines and the strip of buttons along the bottom.  Pure arithmetic so
** that it can be checked without a display; the Qt dialogs fill in the
** metrics from their style and screen.
*/
#ifndef PARAMSDIALOGLAYOUT_H
#define PARAMSDIALOGLAYOUT_H

#include "paramrect.h"

/*
** The window-system measures the dialog geometry depends on, in pixels.
** The names follow the metrics of the system the layout was designed for;
** the Qt dialogs say in ParamsDialog::CurrentMetrics() where each comes
** from.
*/
struct ParamMetrics {
  int frameWidth = 4;         /* width of a sizing frame */
  int frameHeight = 4;        /* height of a sizing frame */
  int minWindowHeight = 36;   /* smallest height of a window */
  int iconHeight = 32;        /* height of a large icon */
  int scrollArrowHeight = 17; /* height of the arrow of a vertical scroll bar */
  int maximizedWidth = 1024;  /* width of the maximised window area */
  int maximizedHeight = 768;  /* height of the maximised window area */
};

class ParamsDialogLayout {
 public:
  /* Remembers the metrics and the number of lines the dialog shows. */
  ParamsDialogLayout(const ParamMetrics& metrics, int lineCount);

  /* Margin around the button strip: the larger frame measure. */
  int Margin() const;
  /*
  ** Returns the client height the lines need: room for a line of space,
  ** the lines, the button strip and three margins, but never less than a
  ** window with an icon and four scroll arrows needs.
  */
  int ContentHeight() const;
  /*
  ** Returns the client height of the window: ContentHeight(), but never
  ** more than leaves the whole window (frame and caption) on the maximised
  ** area; the lines then scroll.
  */
  int ClientHeight() const;
  /* True when the lines do not fit the window and scroll. */
  bool Scrolls() const { return ClientHeight() < ContentHeight(); }
  /* Returns the height of the lines' canvas: the lines' rectangle for the
  ** content height, so that every line has its place. */
  int CanvasHeight() const;
  /* Returns the client width, a quarter of the maximised area. */
  int ClientWidth() const;
  /*
  ** Returns the window rectangle: the client height plus one frame and a
  ** caption of one line height, centred in the maximised area.
  */
  ParamRect WindowRect() const;

  /*
  ** Rectangle of the lines in a client area of the given size.  With
  ** narrowed set the rectangle keeps the margin free left and right (the
  ** row editor's form).
  */
  ParamRect LinesRect(int clientWidth, int clientHeight, bool narrowed) const;
  /*
  ** The quarter of the button strip with the given index (0 to 3) in a
  ** client area of the given size.  The strip is one line high, ends one
  ** margin above the bottom and keeps one margin free on both sides.
  */
  ParamRect ButtonRect(int quarter, int clientWidth, int clientHeight) const;

 private:
  ParamMetrics m_metrics;
  int m_lineCount;
};

#endif
