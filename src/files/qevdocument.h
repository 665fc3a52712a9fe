#pragma once

#include <QString>

#include "model/cmcEeprom.h"

class cmcGTex;
class Prompter;

// The QEV side of File Save and File Open, configured as this program's File commands use it,
// for the GUI and the command-line tool alike. Messages go through `prompter` with texts from
// `text` when both are given; each failure is shown once.

// Writes the clone range of `image` (already conformed to the destination) to `path`: MD5 check
// line with the program's salt, 32 bytes a line, MapRev 1, EtcData packed from `destination`
// with the option flags clear. The file at `path` is replaced only when the whole file is
// written. Returns the file result code (0 on success).
int saveQevFile(const QString& path, const cmcEeprom& image, int destination,
                Prompter* prompter = nullptr, cmcGTex* text = nullptr);

struct QevOpenResult {
  int code = 0;         // file result code; 0 on success
  int destination = 0;  // the destination code stored in the file (0..16)
  cmcEeprom image;      // the file's image (imageSize bytes, zero outside the clone range)
};

// Reads `path` into a fresh zeroed image of `imageSize` bytes and checks it: the model line,
// MapRev 1, an EtcData with correct check bits and a destination code 0..16, the image's
// format byte and model code (else 8) and exact coverage of the clone range (7 or 8).
QevOpenResult openQevFile(const QString& path, int imageSize = 0x3000, Prompter* prompter = nullptr,
                          cmcGTex* text = nullptr);
