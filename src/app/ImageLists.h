#pragma once

#include <QFont>
#include <QIcon>
#include <QList>
#include <QString>

struct CellFont;

// The main form's three image lists, filled from its picture holders (the program's icons,
// ":/icons/<picture>.svg"). An index that GTEX texts give in ImageIndex picks an entry; a
// picture that is missing gives an empty icon rather than a failure.
struct ImageLists {
  QList<QIcon> tree;     // 16 x 16
  QList<QIcon> toolbar;  // 16 x 16
  QList<QIcon> large;    // 32 x 32

  static ImageLists load();
  // The resource path of a picture holder's icon.
  static QString iconPath(const char* picture);
  // The icon at `index` of `list`, or an empty icon when there is none.
  static QIcon at(const QList<QIcon>& list, int index);
};

// The tree's overlay images: overlay 0 (error) is tree image 5, overlay 1 (warning) tree image 4.
constexpr int kOverlayError = 0;
constexpr int kOverlayWarning = 1;
constexpr int kTreeImageWarning = 4;
constexpr int kTreeImageError = 5;

// A cell's font on screen. Faces of the original platform that this one lacks give way to the
// desktop's own face; the height is in pixels (negative: character height, positive: cell
// height), scaled by `percent`.
QFont screenFont(const CellFont& font, const QFont& desktop, int percent = 100);
