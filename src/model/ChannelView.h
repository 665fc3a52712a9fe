#pragma once

#include <array>
#include <cstdint>

#include "model/DestinationOptions.h"

class cmcEeprom;

// Channel kinds. Category CT_Conv maps to kKindConventional, CT_Func to kKindFunction.
enum ChannelKind : int {
  kKindNone = 0,
  kKindConventional = 1,  // 0..199 memory, 200..205 scan edges, 206 call, 207..306 marine
  kKindFunction = 2,      // 0 = F-1, 1 = F-2
  kKindTemplate = 4,      // new-channel template for memory and marine channels (read only)
  kKindEdgeTemplate = 5,  // the same record for scan-edge and call channels, skip set (read only)
  kKindWeather = 7,       // built-in weather channels 0..9 (read only)
};

// The decoded values of one channel. A whole set can be copied from one view to another
// (row edits, templates); the view's kind, index and image are not part of it.
struct ChannelFields {
  bool inUse = true;
  uint32_t frequency = 0;  // Hz
  int duplex = 0;          // 0 OFF, 1 -DUP, 2 +DUP
  int reverse = 0;
  uint32_t offset = 0;  // Hz
  int txInhibit = 0;
  int power = 0;     // 0 High, 1 Low, 2 Mid (Mid-L), 3 Mid-H
  int toneMode = 0;  // 0 OFF, 1 TONE, 2 TSQL, 3 DTCS(T), 4 DTCS, 5 TSQL-R, 6 DTCS-R
  int bank = 0;      // 0..9 Bank-A..J, 10 none
  int scanSkip = 0;
  int mode = 0;         // 0 FM, 1 FM-N
  int tone = 0;         // CTCSS index 0..49
  int toneSquelch = 0;  // CTCSS index 0..49
  int dtcs = 0;         // DTCS code index 0..103
  int dtcsPolarity = 0;
  int dtmf = 0;
  int step = 0;  // tuning step index 0..8
  bool frequencyUnit6250 = false;
  bool offsetUnit6250 = false;
  int nameDisplay = 0;
  std::array<char, 6> name = {' ', ' ', ' ', ' ', ' ', ' '};
  uint8_t marine = 0;  // marine attribute of the flag byte

  static constexpr int kNoBank = 10;

  // Copies at most six bytes and pads with spaces.
  void setName(const char* bytes, int length);

  bool operator==(const ChannelFields&) const = default;
};

// One channel of any kind, decoded from and encoded into one memory image (not owned).
// Every edit ends with commit(), so the view always shows what the image holds.
class ChannelView : public ChannelFields {
 public:
  ChannelView() = default;
  explicit ChannelView(const DestinationOptions& options) : options_(options) {}
  ChannelView(cmcEeprom& image, const DestinationOptions& options);

  // The high-power option decides whether power 3 (Mid-H) survives decoding and encoding.
  void setOptions(const DestinationOptions& options) { options_ = options; }
  const DestinationOptions& options() const { return options_; }

  // Resets the fields and binds the image.
  void bind(cmcEeprom& image);
  // Resets the fields and decodes (kind, index). False, with the reset values, for an index
  // outside the kind's range, an unknown kind, or no (or a too short) image.
  bool load(int kind, int index);
  // Encodes into the image at the remembered kind and index; only kinds 1 and 2 are written,
  // and an index outside the kind's range writes nothing.
  void store();
  // store() then load(): the view shows the normalised units and any forced values.
  void commit();
  // Decodes (kind, index) of another image and takes over its field values; kind, index and
  // image of this view stay (templates from the default image).
  void loadFrom(const cmcEeprom& image, int kind, int index);

  int kind() const { return kind_; }
  int index() const { return index_; }
  cmcEeprom* image() const { return image_; }

  const ChannelFields& fields() const { return *this; }
  void setFields(const ChannelFields& f) { static_cast<ChannelFields&>(*this) = f; }
  void resetFields() { static_cast<ChannelFields&>(*this) = ChannelFields{}; }

  static bool indexInRange(int kind, int index);

  // State records (32 bytes) at any address: the function memories, the main state at 0x1520
  // and the template at 0x1500. In use and scan skip come from byte 27; bank is none.
  static void decodeStateRecord(const cmcEeprom& image, int address,
                                const DestinationOptions& options, ChannelFields& out);
  static void encodeStateRecord(cmcEeprom& image, int address, const ChannelFields& fields,
                                const DestinationOptions& options);

 private:
  static bool decode(const cmcEeprom& image, int kind, int index, const DestinationOptions& options,
                     ChannelFields& out);
  cmcEeprom* image_ = nullptr;
  int kind_ = kKindNone;
  int index_ = 0;
  DestinationOptions options_;
};

// Frequency of weather channel 0..9 in Hz; 0 for any other index.
uint32_t weatherFrequency(int index);

// The units a frequency and an offset are stored in: 5 kHz wherever both values allow it,
// else 6.25 kHz where both allow that, else each value on its own.
struct ChannelUnits {
  bool frequency6250;
  bool offset6250;
};
ChannelUnits chooseUnits(uint32_t frequency, uint32_t offset);
