#include "gtex/cmcCellObj.h"

cmcCellObj::cmcCellObj(const cmcCellObj& other)
    : base(other.base),
      variables(other.variables),
      category(other.category),
      link(other.link),
      index(other.index),
      argument(other.argument),
      imageIndex(other.imageIndex),
      layoutFlags(other.layoutFlags),
      behaviourFlags(other.behaviourFlags),
      spareFlags(other.spareFlags),
      colour(other.colour),
      font(other.font ? std::make_unique<CellFont>(*other.font) : nullptr),
      popupMenu(other.popupMenu),
      colCutPopupMenu(other.colCutPopupMenu),
      text(other.text) {}

cmcCellObj& cmcCellObj::operator=(const cmcCellObj& other) {
  if (this != &other) {
    cmcCellObj copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void cmcCellObj::resetFrom(const cmcCellObj* from) {
  const cmcCellObj fresh;
  const cmcCellObj& src = from ? *from : fresh;
  base = from;
  category = src.category;
  link = src.link;
  index = src.index;
  argument = src.argument;
  imageIndex = src.imageIndex;
  layoutFlags = src.layoutFlags;
  behaviourFlags = src.behaviourFlags;
  spareFlags = src.spareFlags;
  colour = src.colour;
  font.reset();
  popupMenu.reset();
  colCutPopupMenu.reset();
  text.reset();
}

bool cmcCellObj::flag(int n) const {
  if (n >= 0 && n <= 2) return behaviourFlags & (0x20 << n);
  if (n >= 3 && n <= 7) return spareFlags & (1 << (n - 3));
  return false;
}

void cmcCellObj::setFlag(int n, bool on) {
  uint8_t* bits = nullptr;
  uint8_t mask = 0;
  if (n >= 0 && n <= 2) {
    bits = &behaviourFlags;
    mask = static_cast<uint8_t>(0x20 << n);
  } else if (n >= 3 && n <= 7) {
    bits = &spareFlags;
    mask = static_cast<uint8_t>(1 << (n - 3));
  } else {
    return;
  }
  *bits = on ? (*bits | mask) : (*bits & ~mask);
}

const CellFont* cmcCellObj::effectiveFont() const {
  for (const cmcCellObj* s = this; s; s = s->base)
    if (s->font) return s->font.get();
  return nullptr;
}

QByteArray cmcCellObj::popupMenuOf(bool header) const {
  for (const cmcCellObj* s = this; s; s = s->base) {
    const std::optional<QByteArray>& name = header ? s->colCutPopupMenu : s->popupMenu;
    if (name && !name->isEmpty()) return *name;
  }
  return {};
}
