#include "files/qevdocument.h"

#include <cstring>

#include "files/cmcQevFile.h"
#include "files/etcdata.h"
#include "model/memorymap.h"

int saveQevFile(const QString& path, const cmcEeprom& image, int destination, Prompter* prompter,
                cmcGTex* text) {
  cmcEeprom copy;
  copy.assign(image);
  cmcQevFile writer;
  writer.Configure(copy);
  writer.setMessages(prompter, text);
  writer.setFormatVersion(1);
  writer.setModelCode(kQevModelCode);
  writer.setSubCode(kQevSubCode);
  writer.setBytesPerLine(kQevBytesPerLine);
  writer.setDigestOn(true);
  writer.setSalt(kQevSalt);
  writer.setMapRev(kQevMapRevValue);
  writer.setEtcData(int(packEtcData(destination, false, false, false, false)));
  writer.setComment({});
  return writer.Write(path, qevCloneRanges());
}

QevOpenResult openQevFile(const QString& path, int imageSize, Prompter* prompter, cmcGTex* text) {
  QevOpenResult result;
  result.image.setSize(imageSize);
  cmcQevFile reader;
  reader.Configure(result.image);
  reader.setMessages(prompter, text);
  reader.setFormatVersion(1);
  reader.setModelCode(kQevModelCode);
  reader.setSubCode(kQevSubCode);
  reader.setMapRevHook([](int value) { return value == kQevMapRevValue; });
  reader.setEtcDataHook([](int value, int& destination) {
    const EtcData unpacked = unpackEtcData(uint32_t(value));
    destination = unpacked.code;
    return unpacked.valid && unpacked.code >= 0 && unpacked.code <= 16;
  });
  result.code = reader.Read(path);
  if (result.code == kQevOk) {
    // The image must be one of this model's: format byte 1 and the model code text.
    const cmcEeprom& img = result.image;
    const bool formatOk = img.isValid(memmap::kFormatByte) &&
                          img.getByte(memmap::kFormatByte) == memmap::kFormatValid;
    const bool modelOk = img.isValid(memmap::kModelCode + memmap::kModelCodeLength - 1) &&
                         std::memcmp(img.data() + memmap::kModelCode, memmap::kModelCodeText,
                                     memmap::kModelCodeLength) == 0;
    if (!formatOk || !modelOk) {
      result.code = kQevData;
      reader.ShowFileError(result.code);
    }
  }
  if (result.code == kQevOk) {
    result.code = reader.CheckCoverage(qevCloneRanges());
    reader.ShowFileError(result.code);
  }
  result.destination = reader.destination();
  if (result.code != kQevOk) result.image.fill(0);
  return result;
}
