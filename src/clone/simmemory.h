#pragma once

#include <QString>

#include "model/cmcEeprom.h"

// The simulator's memory on disk: a QEV clone file when the name ends in ".qev", otherwise the
// 6304 raw bytes of the clone range.
namespace simmemory {
// Fills `memory` (resized to the clone range) from `path`; on failure `memory` is unchanged and
// `error` says why. `warning`, when given, receives what is wrong with a file that still loads
// (a clone file whose check line does not fit its data).
bool load(const QString& path, cmcEeprom& memory, QString* error, QString* warning = nullptr);
// Writes `memory`; the file at `path` is replaced only when the whole file was written.
bool save(const QString& path, const cmcEeprom& memory, int destination, QString* error);
// EtcData as the settings pack it: destination code with its check bits, option flags 0.
int packEtcData(int destination);
}  // namespace simmemory
