#pragma once

#include <vector>

#include "model/ChannelView.h"
#include "model/DestinationOptions.h"

class cmcEeprom;

// The channel clipboard: decoded channels (field values only, not image bytes) of one kind,
// kept from one row edit to the next. The application owns one and empties it whenever the
// destination changes; the row edits use temporary ones of their own.
class cmcClipCh {
 public:
  // Release the channels: kind 0, nothing to paste.
  void clear();
  // Replaces the contents with channels first..first + count - 1 of `kind`, decoded from `image`.
  void capture(const cmcEeprom& image, const DestinationOptions& options, int kind, int first,
               int count);
  // True when the clipboard holds channels of `kind`.
  bool canPaste(int kind) const { return kind_ != kKindNone && kind_ == kind && !views_.empty(); }
  // Stores channel i into channel first + i of `image` for i < min(count, held count).
  void paste(cmcEeprom& image, const DestinationOptions& options, int kind, int first,
             int count) const;

  // Marks every held channel as not in use (blank channels for Clear, Delete and Insert).
  void markNotInUse();
  // True when some held channel is not in use.
  bool holdsEmptyChannel() const;

  int kind() const { return kind_; }
  int first() const { return first_; }
  int count() const { return static_cast<int>(views_.size()); }
  const std::vector<ChannelFields>& views() const { return views_; }

 private:
  int kind_ = kKindNone;
  int first_ = 0;
  std::vector<ChannelFields> views_;
};
