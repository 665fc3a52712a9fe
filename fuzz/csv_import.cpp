// The channel list importer. Whatever the list says, nothing outside the group changes; a list
// without its required columns changes nothing at all; and the group exports to a list that
// imports back to the same channels and exports to the same text again.
#include "files/channelcsv.h"
#include "fuzz_support.h"
#include "model/ChannelView.h"
#include "model/document.h"
#include "model/memorymap.h"
#include "resources/factory/factory_images.h"

namespace {

// The bytes of the image that belong to channels first..last: their records, flag bytes and
// name-display bits.
bool outsideGroupEqual(const cmcEeprom& a, const cmcEeprom& b, int first, int last) {
  for (int address = 0; address < a.size(); ++address) {
    const bool record = address >= first * memmap::kChannelRecordSize &&
                        address < (last + 1) * memmap::kChannelRecordSize;
    const bool flag = address >= memmap::kFlagBytes + first && address <= memmap::kFlagBytes + last;
    if (record || flag) continue;
    uint8_t mask = 0xFF;
    if (address >= memmap::kNameDisplayBits + first / 8 &&
        address <= memmap::kNameDisplayBits + last / 8) {
      for (int bit = 0; bit < 8; ++bit) {
        const int index = (address - memmap::kNameDisplayBits) * 8 + bit;
        if (index >= first && index <= last) mask = uint8_t(mask & ~(1u << bit));
      }
    }
    if ((a.getByte(address) & mask) != (b.getByte(address) & mask)) return false;
  }
  return true;
}

std::vector<ChannelFields> channelsOf(cmcEeprom& image, const DestinationOptions& options,
                                      int first, int size) {
  std::vector<ChannelFields> out;
  ChannelView v(image, options);
  for (int i = first; i < first + size; ++i) {
    v.load(kKindConventional, i);
    out.push_back(v.fields());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  const auto group = static_cast<ChannelGroup>(choice & 3);
  const CsvSeparators separators = (choice & 4) ? CsvSeparators{',', ';'} : CsvSeparators{'.', ','};
  const int destination = (choice >> 3) & 15;
  const QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

  Document doc(factoryImage, &fuzz::mainText());
  doc.setDestination(destination);
  doc.newDocument();
  const ChannelGroupRange range = groupRange(group);
  const int first = range.first;
  const int last = range.first + range.size - 1;
  const cmcEeprom before = doc.working();

  ChannelCsv csv(doc.working(), doc.defaultImage(), doc.options(), separators);
  const CsvImportResult result = csv.importText(text, group);
  FUZZ_CHECK(outsideGroupEqual(doc.working(), before, first, last),
             "the import changed a channel outside the group");
  if (!result.headerOk) {
    FUZZ_CHECK(doc.working().equals(before), "a refused list changed the image");
    return 0;
  }
  FUZZ_CHECK(result.imported >= 0 && result.discarded >= 0 && result.corrected >= 0);

  const QByteArray exported = csv.exportText(group);
  cmcEeprom copy = doc.working();
  ChannelCsv again(copy, doc.defaultImage(), doc.options(), separators);
  const CsvImportResult second = again.importText(exported, group);
  FUZZ_CHECK(second.headerOk, "an exported list lacks its header");
  FUZZ_CHECK(channelsOf(copy, doc.options(), first, range.size) ==
                 channelsOf(doc.working(), doc.options(), first, range.size),
             "export and import changed the channels");
  FUZZ_CHECK(again.exportText(group) == exported, "export and import changed the exported list");
  return 0;
}
