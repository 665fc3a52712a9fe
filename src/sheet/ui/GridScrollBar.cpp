#include "sheet/ui/GridScrollBar.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QStyleOptionSlider>
#include <list>
#include <vector>

#include "sheet/ui/PainterRatio.h"

namespace {

// Pixels kept around the slider: styles draw its outline a pixel beyond its rectangle.
constexpr int kSliderMargin = 2;
// Pieces kept for all bars: a window shows two bars of a size at a time, and a few sizes in a
// session of resizing are worth keeping.
constexpr size_t kMaxPieces = 12;

QImage blankImage(const QSize& size, int ratio, const QColor& fill) {
  QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(fill);
  return image;
}

// The style draws the groove, then the slider, then the arrow buttons over both ends.
constexpr QStyle::SubControls kButtons = QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine |
                                         QStyle::SC_ScrollBarFirst | QStyle::SC_ScrollBarLast;
enum class Piece { Groove, Slider, Buttons };

// What a piece was drawn for; the slider's position is not part of it.
struct PieceKey {
  Piece piece;
  const QStyle* style;
  const QMetaObject* styleClass;  // a style made later at the same address is another style
  QSize size;                     // of the bar, or of the slider
  int ratio;
  QPainter::RenderHints hints;
  QStyle::State state;
  Qt::LayoutDirection direction;
  QPalette palette;
  bool operator==(const PieceKey& o) const {
    return piece == o.piece && style == o.style && styleClass == o.styleClass && size == o.size &&
           ratio == o.ratio && hints == o.hints && state == o.state && direction == o.direction &&
           palette == o.palette;
  }
};

std::list<std::pair<PieceKey, QImage>>& keptPieces() {
  static std::list<std::pair<PieceKey, QImage>> pieces;
  return pieces;
}

// Styles already checked for drawing a bar as its pieces put together.
struct StyleCheck {
  const QStyle* style;
  const QMetaObject* styleClass;
  Qt::Orientation orientation;
  int ratio;
  bool allows;
};
std::vector<StyleCheck>& styleChecks() {
  static std::vector<StyleCheck> checks;
  return checks;
}

QRect sliderRect(const QWidget* bar, const QStyleOptionSlider& option) {
  return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                      bar);
}

// The piece of the bar drawn for `option`, whose slider is at `slider`, with a painter of `ratio`
// and `hints`, kept or drawn now.
QImage piece(const QWidget* bar, Piece which, const QStyleOptionSlider& option, const QRect& slider,
             int ratio, QPainter::RenderHints hints) {
  const PieceKey key{which,
                     bar->style(),
                     bar->style()->metaObject(),
                     which == Piece::Slider ? slider.size() : option.rect.size(),
                     ratio,
                     hints,
                     option.state,
                     option.direction,
                     option.palette};
  auto& pieces = keptPieces();
  for (auto it = pieces.begin(); it != pieces.end(); ++it) {
    if (it->first == key) {
      pieces.splice(pieces.begin(), pieces, it);
      return pieces.front().second;
    }
  }
  QStyleOptionSlider some = option;
  QRect rect = option.rect;
  switch (which) {
    case Piece::Groove:
      some.subControls = QStyle::SC_All & ~(kButtons | QStyle::SC_ScrollBarSlider);
      break;
    case Piece::Slider:
      some.subControls = QStyle::SC_ScrollBarSlider;
      rect = slider.adjusted(-kSliderMargin, -kSliderMargin, kSliderMargin, kSliderMargin);
      break;
    case Piece::Buttons:
      some.subControls = kButtons;
      break;
  }
  QImage image;
  if (!rect.isEmpty() && !(which == Piece::Slider && slider.isEmpty())) {
    image = blankImage(rect.size(), ratio, Qt::transparent);
    QPainter p(&image);
    p.setRenderHints(hints);
    p.translate(-rect.topLeft());
    bar->style()->drawComplexControl(QStyle::CC_ScrollBar, &some, &p, bar);
  }
  if (pieces.size() >= kMaxPieces) pieces.pop_back();
  pieces.emplace_front(key, image);
  return pieces.front().second;
}

}  // namespace

GridScrollBar::GridScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void GridScrollBar::forgetPieces() {
  keptPieces().clear();
  styleChecks().clear();
}

QStyleOptionSlider GridScrollBar::restOption() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls = QStyle::SC_All;
  option.activeSubControls = QStyle::SC_None;
  return option;
}

void GridScrollBar::putTogether(QPainter& p, const QStyleOptionSlider& option, int ratio,
                                QPainter::RenderHints hints) const {
  const QRect slider = sliderRect(this, option);
  p.drawImage(option.rect.topLeft(), piece(this, Piece::Groove, option, slider, ratio, hints));
  const QImage sliderPiece = piece(this, Piece::Slider, option, slider, ratio, hints);
  if (!sliderPiece.isNull())
    p.drawImage(slider.topLeft() - QPoint(kSliderMargin, kSliderMargin), sliderPiece);
  p.drawImage(option.rect.topLeft(), piece(this, Piece::Buttons, option, slider, ratio, hints));
}

bool GridScrollBar::styleAllowsPieces(const QStyleOptionSlider& option, int ratio,
                                      QPainter::RenderHints hints) const {
  const QStyle* s = style();
  const QMetaObject* styleClass = s->metaObject();
  auto& checks = styleChecks();
  for (const StyleCheck& c : checks) {
    if (c.style == s && c.styleClass == styleClass && c.orientation == orientation() &&
        c.ratio == ratio) {
      return c.allows;
    }
  }
  // A bar that cannot move says nothing about the style yet.
  if (option.maximum <= option.minimum || option.rect.isEmpty()) return false;
  // Styles that fade their bars in and out draw them differently from moment to moment.
  bool allows = !s->styleHint(QStyle::SH_ScrollBar_Transient, &option, this);
  // The pieces put together at both ends, in the middle and where the slider is now, against
  // the style's own drawing at each place, on the window's colour.
  const int positions[] = {option.sliderPosition, option.minimum, option.maximum,
                           option.minimum + (option.maximum - option.minimum) / 2};
  const QColor base = palette().color(QPalette::Window);
  for (int position : positions) {
    if (!allows) break;
    QStyleOptionSlider at = option;
    at.sliderPosition = position;
    at.sliderValue = position;
    QImage drawn = blankImage(option.rect.size(), ratio, base);
    QImage together = drawn;
    {
      QPainter p(&drawn);
      p.setRenderHints(hints);
      p.translate(-option.rect.topLeft());
      s->drawComplexControl(QStyle::CC_ScrollBar, &at, &p, this);
    }
    {
      QPainter p(&together);
      p.setRenderHints(hints);
      p.translate(-option.rect.topLeft());
      putTogether(p, at, ratio, hints);
    }
    allows = drawn == together;
  }
  checks.push_back({s, styleClass, orientation(), ratio, allows});
  return allows;
}

void GridScrollBar::paintEvent(QPaintEvent* event) {
  lastPaintKept_ = false;
  const bool atRest = !pressed_ && !isSliderDown() && !underMouse();
  if (atRest) {
    QPainter p(this);
    // Styles keep pixmaps of their own at the widget's pixel ratio: a painter of another one
    // (drawing the bar into an image, say) gets them scaled, as the pieces would not.
    const int ratio = wholePixelRatio(p);
    if (ratio > 0 && ratio == devicePixelRatio() && p.paintEngine() &&
        p.paintEngine()->type() == QPaintEngine::Raster) {
      const QStyleOptionSlider option = restOption();
      if (styleAllowsPieces(option, ratio, p.renderHints())) {
        putTogether(p, option, ratio, p.renderHints());
        lastPaintKept_ = true;
        return;
      }
    }
  }
  // The style draws it with a painter of its own.
  QScrollBar::paintEvent(event);
}

void GridScrollBar::mousePressEvent(QMouseEvent* event) {
  pressed_ = true;
  QScrollBar::mousePressEvent(event);
}

void GridScrollBar::mouseReleaseEvent(QMouseEvent* event) {
  pressed_ = false;
  QScrollBar::mouseReleaseEvent(event);
}
