#include "model/cmcClipCh.h"

#include <algorithm>

#include "model/cmcEeprom.h"

void cmcClipCh::clear() {
  kind_ = kKindNone;
  first_ = 0;
  views_.clear();
}

void cmcClipCh::capture(const cmcEeprom& image, const DestinationOptions& options, int kind,
                        int first, int count) {
  clear();
  if (count <= 0) return;
  ChannelView view(options);
  views_.reserve(count);
  for (int i = 0; i < count; ++i) {
    view.loadFrom(image, kind, first + i);
    views_.push_back(view.fields());
  }
  kind_ = kind;
  first_ = first;
}

void cmcClipCh::paste(cmcEeprom& image, const DestinationOptions& options, int kind, int first,
                      int count) const {
  if (!canPaste(kind)) return;
  ChannelView view(image, options);
  const int n = std::min(count, this->count());
  for (int i = 0; i < n; ++i) {
    if (!view.load(kind, first + i)) continue;
    view.setFields(views_[i]);
    view.store();
  }
}

void cmcClipCh::markNotInUse() {
  for (ChannelFields& f : views_) f.inUse = false;
}

bool cmcClipCh::holdsEmptyChannel() const {
  return std::any_of(views_.begin(), views_.end(), [](const ChannelFields& f) { return !f.inUse; });
}
