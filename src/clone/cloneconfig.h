#pragma once

#include <QByteArray>
#include <QString>

#include "clone/clonetypes.h"

class cmcCloneDrv;

// What the application's clone commands use: codes, address ranges, engine set-up and the check
// of an identification reply.
namespace cloneconfig {
inline constexpr int kModelCode = 0x3251;
inline constexpr int kRequestSubCode = 0x0000;      // sub code put in requests
inline constexpr int kTransceiverSubCode = 0x0004;  // sub code the transceiver answers with
inline constexpr int kCloneInfoSize = 42;
inline constexpr int kCloneInfoRevision = 1;      // byte holding the format revision
inline constexpr int kAcceptedRevision = 1;
inline constexpr int kCloneInfoDestination = 18;  // low four bits: destination code
inline constexpr int kNoDestination = 16;

inline constexpr int kRequestPreamble = 12;
inline constexpr int kScriptDelayMs = 200;
inline constexpr int kBlockSize = 32;
inline constexpr int kWriteResultTimeoutMs = 10000;
inline constexpr char kHighSpeed[] = "38400,N,8,1";
inline constexpr char kNormalSpeed[] = "9600,N,8,1";

// Clone read: the whole clone range. Clone write: 24 ranges, 6265 bytes, skipping three gaps.
const AddressRanges& readRanges();
const AddressRanges& writeRanges();

// The settings a clone operation is configured from.
struct Settings {
  int comPort = 1;
  QString portName;  // when not empty, used instead of the COM number (a device path)
  int transType = 0; // speed row, 0..4
  bool highSpeed = true;
};

// The speed-change script: reopen at the row's speed, 20 preamble bytes, the speed-change frame.
QByteArray speedChangeScript(const QByteArray& rowSettings, int model, int sub, bool highSpeed);

// Configures the engine for an identification, read or write (mode 1, 2, 3) as the clone
// commands do before every start.
void configure(cmcCloneDrv& engine, int mode, const Settings& settings);

// The application's check of a good identification: model 3251 (else 5), sub code 0004 (else
// 14), 42 bytes of clone information (else 11), revision 1 (else 14) and, when `secondPass` (the
// second identification of a command while the main window is shown), the destination against
// `currentDestination` (else 13). Returns the status.
int checkIdentification(const CloneResult& result, bool secondPass, int currentDestination);

// The destination code in a clone information block; kNoDestination when it is too short.
int destinationOf(const QByteArray& cloneInfo);
}  // namespace cloneconfig
