#pragma once

#include <QString>

// Whether `path` names a regular file (through symbolic links). Every file the program reads is
// checked first, without opening it: opening a FIFO waits for a writer, which would freeze the
// window, and a device may never end.
bool isRegularFile(const QString& path);
