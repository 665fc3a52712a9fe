#include "clone/indCloneMan.h"

#include <QStringList>
#include <algorithm>

#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "clone/PortList.h"
#include "clone/cloneconfig.h"
#include "files/indEnviron.h"
#include "gtex/cmcGTex.h"

namespace {
constexpr char kHead[] = "GI_Mess_CloneErr_Head";
constexpr char kCheck[] = "GI_Mess_CloneErr_Check";
constexpr char kAppTitle[] = "GI_Sys_AppTitle";
constexpr int kLastStatus = kCloneShortWrite;
}  // namespace

indCloneMan::indCloneMan(indEnviron& settings, cmcGTex& text, Prompter& prompter, cmcEvMan* bus,
                         std::unique_ptr<cmcSerialDevice> device)
    : settings_(settings), text_(text), prompter_(prompter), bus_(bus), engine_(std::move(device)) {
  engine_.SetProgressCallback([this](int transferred, int) {
    if (progress_) progress_(progressBase_ + transferred, transferTotal_);
  });
}

indCloneMan::~indCloneMan() = default;

void indCloneMan::configure(int mode) {
  cloneconfig::Settings s;
  s.comPort = settings_.comPort();
  s.portName = EffectivePortName();
  s.transType = std::clamp(settings_.transType(), 0, cmcCloneDrv::kSpeedRows - 1);
  s.highSpeed = settings_.comSpeedHigh() != 0;
  cloneconfig::configure(engine_, mode, s);
}

QString indCloneMan::EffectivePortName() const {
  return portName_.isEmpty() ? settings_.comPortPath() : portName_;
}

bool indCloneMan::start(int mode, Completion completion) {
  mode_ = mode;
  quiet_ = false;
  readBackFollows_ = false;
  progressBase_ = 0;
  completion_ = std::move(completion);
  configure(mode);
  return true;
}

bool indCloneMan::Identify(Completion completion) {
  if (IsBusy()) return false;
  if (bus_) bus_->send(ev::kCloneStarted);
  transferTotal_ = 0;
  start(kCloneModeIdentify, std::move(completion));
  if (engine_.StartIdentify([this](void*, CloneResult& r) { finished(r); })) return true;
  completion_ = nullptr;
  return false;
}

bool indCloneMan::ReadClone(const AddressRanges& ranges, Completion completion) {
  if (IsBusy()) return false;
  transferTotal_ = rangeListBytes(ranges);
  start(kCloneModeRead, std::move(completion));
  if (engine_.StartRead(ranges, [this](void*, CloneResult& r) { finished(r); })) return true;
  completion_ = nullptr;
  return false;
}

bool indCloneMan::WriteClone(const cmcEeprom& image, const AddressRanges& ranges,
                             Completion completion, const AddressRanges* readBack) {
  if (IsBusy()) return false;
  transferTotal_ = rangeListBytes(ranges) + (readBack ? rangeListBytes(*readBack) : 0);
  start(kCloneModeWrite, std::move(completion));
  readBackFollows_ = readBack != nullptr;
  if (engine_.StartWrite(image, ranges, [this](void*, CloneResult& r) { finished(r); }))
    return true;
  completion_ = nullptr;
  readBackFollows_ = false;
  return false;
}

bool indCloneMan::ReadBack(const AddressRanges& ranges, Completion completion) {
  if (IsBusy()) return false;
  // The progress goes on from where the write left it.
  const int written = engine_.Transferred();
  const int total = transferTotal_;
  start(kCloneModeRead, std::move(completion));
  quiet_ = true;
  progressBase_ = written;
  transferTotal_ = std::max(total, written + rangeListBytes(ranges));
  if (engine_.StartRead(ranges, [this](void*, CloneResult& r) { finished(r); })) return true;
  completion_ = nullptr;
  quiet_ = false;
  // The write's end held the clone events back for the read-back; they come now.
  if (bus_) {
    bus_->send(ev::kCloneProgressClosed);
    bus_->send(ev::kCloneEnded, 1);
  }
  return false;
}

void indCloneMan::finished(CloneResult& result) {
  if (mode_ == kCloneModeIdentify) {
    // A speed search that found the transceiver at another row keeps that row for next time.
    if (result.status == kCloneOk && engine_.TransType() != settings_.transType())
      settings_.setTransType(engine_.TransType());
    if (identifyHandler_)
      identifyHandler_(result);
    else
      result.status = kCloneIllegalInfo;
  } else if (mode_ == kCloneModeRead && !quiet_) {
    if (readHandler_)
      readHandler_(result);
    else
      result.status = kCloneNotEnoughData;
  }

  if (result.status != kCloneOk && !quiet_)
    prompter_.inform(fromCp932(text_.getValue(kAppTitle)), MessageFor(result.status),
                     PromptIcon::Error);

  // A good write that is read back keeps the progress window and the disabled window for the
  // read-back.
  const bool continues = mode_ == kCloneModeWrite && readBackFollows_ && result.status == kCloneOk;
  if (bus_ && !continues) {
    bus_->send(ev::kCloneProgressClosed);
    bus_->send(ev::kCloneEnded, result.status == kCloneOk ? 1 : 0);
  }
  Completion completion = std::move(completion_);
  completion_ = nullptr;
  if (completion) completion(result);
}

QString indCloneMan::MessageFor(int status) const {
  if (status == kCloneOk) return {};
  // A status the program does not know still reaches the user, with the generic text.
  const int line = (status > 0 && status <= kLastStatus) ? status : kCloneStored;
  QString head = text_.lineText(kHead, line);
  if (line == kClonePortError) {
    const QString name = EffectivePortName();
    // The text reads "COM %d": a number, with the device it means where that is not "COM n".
    const QString port =
        name.isEmpty() ? portlist::comNumberText(settings_.comPort()).mid(4) : name;
    head.replace(QStringLiteral("%d"), port);
  }
  std::vector<int> checks;
  switch (line) {
    case kCloneWriteFailed:
      checks = {0, 2, 3};
      break;
    case kCloneIllegalInfo:
    case kCloneIllegalInfo2:
      checks = {0, 1, 2, 3, 4, 5};
      break;
    case kCloneVersionMismatch:
      checks = {6};
      break;
    case kCloneIncompatible:
      checks = {0, 4, 5};
      break;
    case kCloneUpdateNeeded:
      break;
    default:
      checks = {0, 1, 2, 3};
      break;
  }
  QStringList lines;
  for (int c : checks) lines << text_.lineText(kCheck, c);
  QString message = head + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
  // "Cannot access COM n." alone does not tell a missing cable from a missing permission.
  if (line == kClonePortError && !LastOpenError().isEmpty()) message += QStringLiteral("\n\n") + LastOpenError();
  // A transfer that began and then fell silent is not a missing transceiver: say how far it came.
  const bool transfer = mode_ == kCloneModeRead || mode_ == kCloneModeWrite;
  if (transfer && (line == kCloneNoAnswer || line == kCloneEchoError) && Transferred() > 0 &&
      TransferTotal() > 0) {
    message += QStringLiteral(
                   "\n\nThe transceiver stopped answering after %1 of %2 bytes of the transfer: "
                   "the cable was disconnected or the transceiver was switched off during it.")
                   .arg(Transferred())
                   .arg(TransferTotal());
  }
  return message;
}

int indCloneMan::LitCells(int transferred, int total) {
  if (total <= 0 || transferred <= 0) return 0;
  const long long lit = static_cast<long long>(transferred) * (kProgressCells + 1) / total;
  return static_cast<int>(std::min<long long>(lit, kProgressCells));
}
