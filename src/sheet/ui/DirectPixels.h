#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QRegion>

class QPainter;

// Solid rectangles and kept images written straight into the 32-bit image a painter paints on,
// where that gives exactly the pixels the painter would: a raster painter on an RGB32 or
// premultiplied ARGB32 image (a window's backing store, an image being rendered) that only
// scales by a whole pixel ratio and moves by whole pixels, with nothing but the device's own clip
// set, at full opacity. Qt's fill loop reads every line of memory before writing it, and every
// call through the painter costs more than a small rectangle's pixels; a screen of cells at a high
// pixel density is mostly such rectangles. Where the conditions do not hold, everything goes
// through the painter as usual.
class DirectPixels {
 public:
  explicit DirectPixels(QPainter& painter);

  // Fills `rect` (in the painter's coordinates) with an opaque colour; any other colour goes
  // through the painter.
  void fill(const QRect& rect, const QColor& colour);
  // Copies the part of an opaque RGB32 `image` at the painter's pixel ratio whose top left device
  // pixel is `source` to `target` (in the painter's coordinates), as QPainter::drawImage would.
  void drawImage(const QRect& target, const QImage& image, const QPoint& source);

  // Off, every call goes through the painter. For checking that both give the same pixels.
  static void setEnabled(bool on);

 private:
  QRect toDevice(const QRect& rect) const;
  // Whether the next call may write the pixels itself: a clip the painter has been given since
  // (around a text wider than its cell) is left to the painter.
  bool writable() const;

  QPainter& painter_;
  QImage* image_ = nullptr;
  uchar* bits_ = nullptr;
  qsizetype stride_ = 0;
  int ratio_ = 0;
  int dx_ = 0;
  int dy_ = 0;
  QRegion clip_;  // device pixels that may be written
};
