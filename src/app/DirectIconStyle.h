#pragma once

#include <QProxyStyle>

// The program's style on systems where Qt's own Fusion style draws the window: Fusion itself,
// except that the pictures of the toolbar and menu bar extension buttons (the chevron shown when
// a bar is too narrow for its items) are read as the PNG images they are, and only once shown.
//
// Every menu bar and toolbar asks for that picture as it is made. Fusion names the image files
// and leaves the reading to Qt, whose image reader, not told the format, first loads every image
// format plug-in and the libraries behind them (SVG, JPEG, GIF, ICO) to ask whether it reads PNG:
// a few milliseconds of every start, for a picture that is rarely shown. Read directly, the
// images still cost their decoding, so that waits until a bar first draws or measures the picture.
class DirectIconStyle : public QProxyStyle {
  Q_OBJECT

 public:
  // Takes `base` over (a Fusion style).
  explicit DirectIconStyle(QStyle* base);

  // The style to give the application in place of `current`: a DirectIconStyle over a fresh
  // Fusion when `current` is Fusion, otherwise nothing (the platform's own style is left alone).
  static DirectIconStyle* replacing(const QStyle* current);

  // Whether `style` draws as Fusion: Fusion itself, or this style over it.
  static bool drawsAsFusion(const QStyle* style);

  QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                     const QWidget* widget = nullptr) const override;
};
