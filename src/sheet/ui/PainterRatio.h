#pragma once

#include <QPainter>
#include <QTransform>
#include <cmath>

// The painter's device pixels per pixel when they are a whole number (1 to 4) and the painter only
// scales and moves by whole pixels, where pixels kept in an image come out exactly as drawn ones;
// else 0.
inline int wholePixelRatio(const QPainter& p) {
  const QTransform t = p.deviceTransform();
  if (t.type() > QTransform::TxScale) return 0;
  const int ratio = static_cast<int>(t.m11());
  if (ratio < 1 || ratio > 4 || t.m11() != ratio || t.m22() != ratio ||
      t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy())) {
    return 0;
  }
  return ratio;
}
