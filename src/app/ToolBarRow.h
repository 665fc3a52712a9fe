#pragma once

#include <QToolBar>

// A row of the main window's toolbar.
//
// Qt's raster engine hands every fill of more than about a hundred spans to its thread pool in
// pieces and waits for them, and a line drawn with a pen is a span per pixel. The lines the
// Fusion style draws along the whole width of a main window's toolbar thus cost more in thread
// hand-overs (two threads started, dozens of tasks) than the rest of the first window's painting.
// The row draws that style's background and lines itself, the lines as one-pixel rectangles that
// the engine fills directly: the same pixels, without the threads. Any other style, a row that
// is expanded or floating, and painters at another pixel ratio get the style's own drawing.
class ToolBarRow : public QToolBar {
 public:
  using QToolBar::QToolBar;

  // Whether the last paint drew the background and lines itself.
  bool lastPaintOwn() const { return lastPaintOwn_; }
  // Off: always the style's own drawing (to compare the two).
  void setOwnPaintAllowed(bool allowed) { ownPaintAllowed_ = allowed; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool ownPaintAllowed_ = true;
  bool lastPaintOwn_ = false;
};
