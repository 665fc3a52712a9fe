#pragma once

#include <QImage>
#include <QPainter>
#include <QScrollBar>

class QStyleOptionSlider;

// The scroll bar of a grid. It looks exactly as the style draws a scroll bar, but keeps the
// groove, the slider and the arrow buttons as finished pixels and puts them together, so that
// scrolling a page repaints it by copying three images instead of having the style draw it
// again. The raster engine hands the fills of tall, narrow shapes (a scroll bar on a
// high-density screen is a couple of thousand pixel rows) to other threads in pieces of 64 rows,
// and on a busy machine waiting for those pieces costs more than the whole page of cells. The
// pieces are shared by every grid's bars: the sheets of a window have bars of the same size.
//
// The kept pixels are used only while the bar is at rest (not under the pointer, not pressed,
// no fading bars) and only for a style whose drawing of the bar is checked once to come out
// the same as the pieces put together at several slider positions; otherwise the style draws
// the bar as usual.
class GridScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit GridScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

  // Whether the last paint put kept pixels together (for tests).
  bool lastPaintKept() const { return lastPaintKept_; }
  // Forgets the kept pieces and the checks of styles (for tests).
  static void forgetPieces();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  // The bar as the style draws it at rest.
  QStyleOptionSlider restOption() const;
  // Paints the bar for `option` from its pieces drawn at `ratio` device pixels per pixel with
  // `hints`.
  void putTogether(QPainter& painter, const QStyleOptionSlider& option, int ratio,
                   QPainter::RenderHints hints) const;
  // Whether this style draws the bar as its pieces put together; checked once per style,
  // orientation and ratio.
  bool styleAllowsPieces(const QStyleOptionSlider& option, int ratio,
                         QPainter::RenderHints hints) const;

  bool pressed_ = false;
  bool lastPaintKept_ = false;
};
