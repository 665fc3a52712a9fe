#pragma once

#include <QRect>
#include <memory>

class QIcon;
class QPainter;

// The pictures of the caution and error marks (images 4 and 5 of the grid's image list). The
// painter only asks for a size and draws into a rectangle, so the icon set can replace the
// built-in shapes without touching it.
class MarkImages {
 public:
  virtual ~MarkImages() = default;
  virtual int imageHeight() const = 0;
  virtual int imageWidth() const = 0;
  // Draws image `index` (kCautionImage or kErrorImage) into `rect`.
  virtual void draw(QPainter& painter, int index, const QRect& rect) const = 0;
};

// Shapes drawn with the painter: a red disc with a white cross (error), a yellow triangle with
// an exclamation mark (caution). In `printLook` the marks are plain black outlines, as a page
// shows them.
class VectorMarkImages : public MarkImages {
 public:
  explicit VectorMarkImages(int size = 16, bool printLook = false)
      : size_(size), printLook_(printLook) {}
  int imageHeight() const override { return size_; }
  int imageWidth() const override { return size_; }
  void draw(QPainter& painter, int index, const QRect& rect) const override;

 private:
  int size_;
  bool printLook_;
};

// Images from the program's icon resources (the tree's warning and error pictures) when the
// program carries them, else the vector shapes.
std::shared_ptr<const MarkImages> defaultMarkImages();

// Where defaultMarkImages() takes the icons of those pictures from, by picture name
// ("imgIcon_Tree_Warn_W_RB"). The program installs the source it uses for all its icons, which
// spares reading the SVG at each sheet; unset, the SVG resource is read.
void setMarkIconSource(QIcon (*source)(const char* picture));
