#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <functional>

#include "model/DestinationOptions.h"
#include "model/frequency.h"

class cmcEeprom;

// Destinations (regional versions), the clone information a transceiver reports, and the
// rules that fit an image to the current destination.

// "USA_A_0000" .. "JPN_1111" for codes 0..15; an empty text for any other code.
const char* destinationName(int code);

// The 6304-byte factory image of a destination code (0..15), or nullptr. The images are built
// into the program by a separate library; whoever owns the default image hands the look-up in.
using FactoryImageLookup = const uint8_t* (*)(int code);

// Copies the factory image of `code` (16 or more: that of 0) into the clone range of `target`,
// which is given the application's image size when it is smaller.
void buildDefaultImage(cmcEeprom& target, int code, FactoryImageLookup factory);

// Format byte 1 and, when `checkModel`, the model code "32510001".
bool validateImage(const cmcEeprom& image, bool checkModel);

// Fits an image to the destination: reserved settings cleared, settings and display modes the
// destination cannot use taken from the default image, every frequency snapped onto the grid,
// format byte and model code from the default image. Run on open, on a destination change and
// before saving or writing.
void normaliseImage(cmcEeprom& image, const cmcEeprom& defaultImage,
                    const DestinationOptions& options);

// Replaces every in-use channel that the destination cannot transmit on (or that is FM-N without
// the option) by the default image's channel; memory and scan-edge channels become empty.
// Run before saving and before a clone write.
void repairChannels(cmcEeprom& image, const cmcEeprom& defaultImage,
                    const DestinationOptions& options);

// The 42-byte clone information of the transceiver's identification reply.
struct CloneInfo {
  static constexpr int kSize = 42;
  static constexpr int kFormat = 1;
  static constexpr int kComment = 2;
  static constexpr int kCommentLength = 16;
  static constexpr int kDestination = 18;
  static constexpr int kOptions = 19;
  static constexpr int kSerial = 28;  // 4 + 2 + 8 hexadecimal characters
  static constexpr int kSerialLength = 14;

  std::array<uint8_t, kSize> bytes{};

  int formatByte() const { return bytes[kFormat]; }
  int destination() const { return bytes[kDestination] & 0x0F; }
  uint8_t optionBits() const { return bytes[kOptions] & 0x0F; }
  // The destination code and the four options the transceiver reports.
  DestinationOptions options() const;
  QByteArray comment() const;  // 16 bytes as stored
};

// Display texts of the clone-information links.
QByteArray cloneInfoSerialText(const CloneInfo& info);       // CL_CloneInfo_Esn
QByteArray cloneInfoCommentText(const CloneInfo& info);      // CL_CloneInfo_Comment
QByteArray cloneInfoDestinationText(const CloneInfo& info);  // CL_CloneInfo_Destination
QByteArray cloneInfoOptionText(bool set);                    // "Expand" / "Inhibit"
// Any CL_CloneInfo_* link; an empty text for other links.
QByteArray cloneInfoText(int link, const CloneInfo& info);

// The application's destination state: the current code and options, the band table, and the
// default image built from the factory image of the code.
class DestinationModel {
 public:
  DestinationModel(cmcEeprom& defaultImage, FactoryImageLookup factory);

  int destination() const { return options_.destination; }
  const DestinationOptions& options() const { return options_; }
  const BandTable& bands() const { return bands_; }

  bool isUSA() const { return options_.isUSA(); }
  bool marineAvailable() const { return options_.marineAvailable(); }
  bool fmNarrowAllowed() const { return options_.fmNarrowAllowed(); }
  bool highPower() const { return options_.highPower; }

  // The four options in their clone-information bit positions; the destination stays.
  void setOptionBits(uint8_t bits) { options_.setOptionBits(bits); }

  // Remembers the code, rebuilds the band table, builds the default image and tells the
  // listener (which empties the channel clipboard).
  void setDestination(int code);
  void buildDefaultImage();
  void setDestinationChangedListener(std::function<void()> listener) {
    changed_ = std::move(listener);
  }

  void normaliseImage(cmcEeprom& image) const;
  void repairChannels(cmcEeprom& image) const;

 private:
  cmcEeprom& defaultImage_;
  FactoryImageLookup factory_;
  DestinationOptions options_;
  BandTable bands_;
  std::function<void()> changed_;
};
