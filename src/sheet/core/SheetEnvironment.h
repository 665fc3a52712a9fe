#pragma once

#include "model/DestinationOptions.h"

class cmcEeprom;

// What a sheet asks of the document while it is built: the destination's tests for the
// conditional lines of the common-settings page and the marine columns, and whether a channel
// is in use for the printable test of the channel pages.
class SheetEnvironment {
 public:
  virtual ~SheetEnvironment() = default;
  virtual bool isUSA() const = 0;
  virtual bool marineAvailable() const = 0;
  // Channel index 0..206 (memory, scan edges, call channel).
  virtual bool channelInUse(int index) const = 0;
};

// The environment of no document: no destination chosen, no marine channels, no channel in use.
class EmptySheetEnvironment : public SheetEnvironment {
 public:
  bool isUSA() const override { return false; }
  bool marineAvailable() const override { return false; }
  bool channelInUse(int) const override { return false; }
};

// The environment of a document: its destination with options, and its working image (both
// owned by the caller and outliving this object). The in-use flag is the channel view's.
class DocumentSheetEnvironment : public SheetEnvironment {
 public:
  DocumentSheetEnvironment(const DestinationOptions& destination, cmcEeprom* image)
      : destination_(destination), image_(image) {}

  bool isUSA() const override { return destination_.isUSA(); }
  bool marineAvailable() const override { return destination_.marineAvailable(); }
  bool channelInUse(int index) const override;

 private:
  const DestinationOptions& destination_;
  cmcEeprom* image_;
};
