#include "clone/cmcCloneDrv.h"

#include <QThread>

#include "base/cmcTask.h"

using namespace cloneframe;

const cmcCloneDrv::SpeedRow cmcCloneDrv::kSpeedTable[kSpeedRows] = {
    {"19200,N,8,1", true}, {"9600,N,8,1", true},  {"4800,N,8,1", true},
    {"9600,N,8,1", false}, {"4800,N,8,1", false},
};

cmcCloneDrv::cmcCloneDrv(std::unique_ptr<cmcSerialDevice> device) : port_(std::move(device)) {
  task_ = new cmcTask();
  task_->SetCallback([this](void*, cmcTask*) { Tick(); });
  drainWait_ = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
}

cmcCloneDrv::~cmcCloneDrv() {
  cmcTask::Dispose(task_);
  port_.Close();
}

bool cmcCloneDrv::begin(int mode, Completion callback, void* context) {
  if (IsBusy()) return false;
  result_ = std::make_unique<CloneResult>();
  result_->mode = mode;
  result_->status = kClonePortError;
  result_->modelCode = model_;
  result_->subCode = sub_;
  result_->image.setSize(imageSize_);
  clearQueues();
  counters_ = CloneReadState{};
  counters_.result = result_.get();
  counters_.imageSize = imageSize_;
  counters_.countInEndFrame = countInEndFrame_;
  reportedTransferred_ = -1;
  transferTotal_ = 0;
  haveRanges_ = false;
  ranges_.clear();
  completion_ = std::move(callback);
  context_ = context;
  mode_ = mode;
  state_ = kBegin;
  speedSearch_ = false;
  timeout_.Start(static_cast<uint32_t>(timeoutGeneral_));
  // The first step comes at once (the shortest interval); the task then keeps the 10 ms pace.
  task_->SetInterval(0);
  return true;
}

bool cmcCloneDrv::StartIdentify(Completion callback, void* context) {
  if (!begin(kCloneModeIdentify, std::move(callback), context)) return false;
  speedSearch_ = true;
  speedIndex_ = speedStart_ = transType_;
  searchStatus_ = kCloneOk;
  return true;
}

bool cmcCloneDrv::StartRead(const AddressRanges& ranges, Completion callback, void* context) {
  if (!begin(kCloneModeRead, std::move(callback), context)) return false;
  ranges_ = ranges;
  haveRanges_ = true;
  transferTotal_ = rangeListBytes(ranges_);
  maxReadFrames_ = MaxReadFrames(ranges_);
  return true;
}

int cmcCloneDrv::MaxReadFrames(const AddressRanges& ranges) {
  return 2 * rangeListBytes(ranges) + 64;
}

bool cmcCloneDrv::StartWrite(const cmcEeprom& image, const AddressRanges& ranges,
                             Completion callback, void* context) {
  if (IsBusy()) return false;
  const int n = rangeListCount(ranges);
  for (int i = 0; i < n; ++i) {
    const AddressRange& r = ranges[static_cast<size_t>(i)];
    if (r.first < 0 || r.last >= image.size()) return false;
  }
  if (!begin(kCloneModeWrite, std::move(callback), context)) return false;
  result_->image.assign(image);
  ranges_ = ranges;
  haveRanges_ = true;
  rangeIndex_ = 0;
  address_ = n > 0 ? ranges_[0].first : 0;
  transferTotal_ = rangeListBytes(ranges_);
  return true;
}

void cmcCloneDrv::clearQueues() {
  receive_.Clear();
  echoQueue_.Clear();
  assembler_.Reset();
  waiting_.clear();
}

bool cmcCloneDrv::openPort(const QByteArray& settings) {
  port_.Close();
  if (!portName_.isEmpty()) return port_.Open(portName_, settings);
  return port_.Open(portNumber_, settings);
}

void cmcCloneDrv::drainInput() {
  if (drainWait_) drainWait_(kDrainWaitMs);
  uint8_t b;
  for (int i = 0; i < kMaxDrainBytes; ++i)
    if (port_.Read(&b, 1) == 0) break;
}

int cmcCloneDrv::readPort() {
  uint8_t chunk[kReadChunk];
  const int n = port_.Read(chunk, kReadChunk);
  if (n > 0) receive_.Append(chunk, n);
  return n;
}

void cmcCloneDrv::send(const QByteArray& bytes) {
  port_.Send(bytes);
  echoQueue_.Append(reinterpret_cast<const uint8_t*>(bytes.constData()),
                    static_cast<int>(bytes.size()));
}

int cmcCloneDrv::receiveReply(QByteArray& frame) {
  readPort();
  assembler_.setMaxLength(kMaxReplyFrame);
  while (receive_.Length() > 0) {
    const auto r = assembler_.Feed(static_cast<uint8_t>(receive_.PopFront()));
    if (r == FrameAssembler::kOverflow) return -1;
    if (r == FrameAssembler::kFrame) {
      frame = assembler_.frame();
      return 1;
    }
  }
  return 0;
}

void cmcCloneDrv::reportProgress() {
  if (counters_.transferred == reportedTransferred_) return;
  reportedTransferred_ = counters_.transferred;
  if (progress_) progress_(counters_.transferred, transferTotal_);
}

void cmcCloneDrv::Tick() {
  if (state_ != kIdle && task_->interval() != kStepMs) task_->SetInterval(kStepMs);
  for (int i = 0; i < kMaxStepsPerTick && state_ != kIdle; ++i) {
    const int before = state_;
    step();
    if (state_ != kIdle && port_.HasError()) {
      result_->status = kCloneShortWrite;
      state_ = kEnd;
    }
    if (state_ == kEnd) {
      // The completion may start the next operation; its first step comes with the next tick.
      finish();
      break;
    }
    if (state_ == before && !again_) break;
  }
  if (state_ == kIdle) task_->SetInterval(-1);
}

void cmcCloneDrv::finish() {
  port_.Close();
  state_ = kIdle;
  std::unique_ptr<CloneResult> result = std::move(result_);
  Completion callback = std::move(completion_);
  completion_ = nullptr;
  void* context = context_;
  context_ = nullptr;
  // Emptied before the callback: it may start the next operation.
  clearQueues();
  if (callback) callback(context, *result);
}

void cmcCloneDrv::step() {
  int next = state_ + 1;
  const bool timedOut = timeout_.Remaining() == 0;
  bool activity = true;
  bool act = true;
  echoProgress_ = false;
  again_ = false;

  if (!echo_) {
    echoQueue_.Clear();
  } else if (state_ != kFinish && echoQueue_.Length() > 0) {
    readPort();
    activity = false;
    while (receive_.Length() > 0 && echoQueue_.Length() > 0) {
      if (receive_.At(0) != echoQueue_.At(0)) {
        result_->status = kCloneEchoError;
        next = kFinish;
        act = false;
        break;
      }
      receive_.PopFront();
      echoQueue_.PopFront();
      activity = echoProgress_ = true;
    }
    if (act && echoQueue_.Length() > (state_ == kSendData ? 128 : 0)) {
      next = state_;  // wait for the echo
      act = false;
    }
  }

  if (act) {
    const int said = action(next);
    if (said == kActive)
      activity = true;
    else if (said == kIdleStep)
      activity = echoProgress_;
  }

  if (next != state_) activity = true;
  if (activity) {
    const int ms = next == kAwaitWriteResult ? timeoutWriteResult_
                   : next == kScript         ? timeoutScript_
                                             : timeoutGeneral_;
    timeout_.Start(static_cast<uint32_t>(ms));
  } else if (timedOut) {
    result_->status = (echo_ && echoQueue_.Length() > 0) ? kCloneEchoError : kCloneNoAnswer;
    next = kFinish;
  }

  if (receive_.Length() > cmcBuff::kCompactAfter) receive_.Compact();
  if (echoQueue_.Length() > cmcBuff::kCompactAfter) echoQueue_.Compact();
  state_ = next;
}

// Runs the current state's work; says whether it counts as activity (kSame: as the echo work left
// it).
int cmcCloneDrv::action(int& next) {
  switch (state_) {
    case kBegin:
      return kActive;

    case kScript: {
      if (!script_.isEmpty()) {
        if (script_.startsWith('(')) {
          const qsizetype close = script_.indexOf(')');
          const QByteArray settings = close < 0 ? script_.mid(1) : script_.mid(1, close - 1);
          script_.remove(0, close < 0 ? script_.size() : close + 1);
          if (!openPort(settings)) {
            result_->status = kClonePortError;
            script_.clear();
            next = kFinish;
            return kActive;
          }
          drainInput();
        } else {
          const qsizetype open = script_.indexOf('(');
          const QByteArray part = open < 0 ? script_ : script_.left(open);
          script_.remove(0, part.size());
          send(HexTextToBytes(part));
        }
      }
      if (!script_.isEmpty() || port_.PendingOutput() > 0) {
        next = kScript;
        // More script to run: only pending output is a wait for the line.
        again_ = port_.PendingOutput() == 0;
        return kActive;
      }
      delay_.Start(static_cast<uint32_t>(scriptDelay_));
      scriptDelay_ = 0;
      return kActive;
    }

    case kScriptDelay:
      if (delay_.Remaining() > 0) {
        next = kScriptDelay;
        return kActive;
      }
      echoQueue_.Clear();
      receive_.Clear();
      return kActive;

    case kOpenCloneSpeed:
      if (!openPort(cloneSpeed_)) {
        result_->status = kClonePortError;
        next = kFinish;
        return kActive;
      }
      drainInput();
      next = mode_ == kCloneModeRead    ? kSendReadRequest
             : mode_ == kCloneModeWrite ? kSendWriteRequest
                                        : kSendIdentify;
      return kActive;

    case kSendIdentify:
      send(BuildRequest(kIdentifyText, requestPreamble_, model_, sub_));
      return kActive;

    case kAwaitIdentify: {
      QByteArray frame;
      const int got = receiveReply(frame);
      if (got == 0) {
        next = kAwaitIdentify;
        return kIdleStep;
      }
      int model = 0, sub = 0;
      QByteArray info;
      const int status =
          got < 0 ? kCloneIllegalData : EvaluateIdentifyReply(frame, echo_, &model, &sub, &info);
      result_->status = status;
      if (status == kCloneOk) {
        result_->modelCode = model;
        result_->subCode = sub;
        result_->cloneInfo = info;
        speedSearch_ = false;
        if (speedIndex_ != speedStart_) transType_ = speedIndex_;
      }
      next = kFinish;
      return kActive;
    }

    case kSendReadRequest:
      send(BuildRequest(kReadRequestText, requestPreamble_, model_, sub_));
      assembler_.Reset();
      assembler_.setMaxLength(kMaxReadFrame);
      return kActive;

    case kReceiveData: {
      // A full chunk means more input may be waiting already.
      const bool full = readPort() == kReadChunk;
      assembler_.setMaxLength(kMaxReadFrame);
      bool stored = false;
      int final = -1;
      while (receive_.Length() > 0 && final < 0) {
        const auto r = assembler_.Feed(static_cast<uint8_t>(receive_.PopFront()));
        if (r == FrameAssembler::kOverflow) {
          final = kCloneIllegalData;
        } else if (r == FrameAssembler::kFrame) {
          int status = DecodeFrame(assembler_.frame(), counters_);
          if (status == kCloneStored) {
            stored = true;
            if (counters_.frameCount > maxReadFrames_) final = kCloneCountError;
            continue;
          }
          if (status == kCloneOk && haveRanges_)
            status = CheckReadCoverage(&ranges_, result_->loadedBits, imageSize_);
          final = status;
        }
      }
      reportProgress();
      if (final >= 0) {
        result_->status = final;
        next = kFinish;
        return kActive;
      }
      next = kReceiveData;
      again_ = full;
      return stored ? kActive : kIdleStep;
    }

    case kSendWriteRequest:
      send(BuildRequest(kWriteRequestText, requestPreamble_, model_, sub_));
      return kActive;

    case kSendData: {
      next = kSendData;
      const int count = rangeListCount(ranges_);
      bool sent = false;
      for (int pass = 0; pass < 8; ++pass) {
        if (rangeIndex_ >= count) {
          if (port_.PendingOutput() == 0 && waiting_.isEmpty()) next = kSendEnd;
          break;
        }
        const AddressRange& r = ranges_[static_cast<size_t>(rangeIndex_)];
        if (address_ > r.last) {
          if (++rangeIndex_ < count) address_ = ranges_[static_cast<size_t>(rangeIndex_)].first;
        } else {
          const int n = DataFrameLength(address_, blockSize_, r.last);
          const int preamble = counters_.frameCount == 0 ? dataPreambleFirst_ : dataPreambleLater_;
          waiting_.append(BuildDataFrame(result_->image, address_, n, preamble));
          ++counters_.frameCount;
          counters_.transferred += n;
          address_ += n;
        }
        if (waiting_.size() * 4 < port_.PendingOutput()) break;
        if (!waiting_.isEmpty()) {
          send(waiting_);
          waiting_.clear();
          sent = true;
        }
      }
      reportProgress();
      return sent ? kActive : kSame;
    }

    case kSendEnd:
      send(BuildEndFrame(counters_.frameCount, countInEndFrame_));
      assembler_.Reset();
      return kActive;

    case kAwaitWriteResult: {
      QByteArray frame;
      const int got = receiveReply(frame);
      if (got == 0) {
        next = kAwaitWriteResult;
        return kIdleStep;
      }
      result_->status = got < 0 ? kCloneWriteFailed : CheckWriteResult(frame);
      next = kFinish;
      return kActive;
    }

    case kFinish:
      if (port_.PendingOutput() > 0) {
        next = kFinish;
        return kIdleStep;
      }
      next = kEnd;
      if (speedSearch_) {
        // A failed search reports what the rows together say, not what the last row said: a
        // row with echo on a cable without echo always ends in "Cannot access COM port." (4),
        // which would send the user to the port although a row without echo found the port
        // fine and only the transceiver silent (5), or something answered badly (6 and up).
        auto rank = [](int status) {
          return status == kCloneOk ? 0 : status == kCloneEchoError ? 1
                                        : status == kCloneNoAnswer  ? 2
                                                                    : 3;
        };
        if (rank(result_->status) > rank(searchStatus_)) searchStatus_ = result_->status;
        speedIndex_ = (speedIndex_ + 1) % kSpeedRows;
        if (speedIndex_ != speedStart_) {
          cloneSpeed_ = kSpeedTable[speedIndex_].settings;
          echo_ = kSpeedTable[speedIndex_].echo;
          // Leftovers of the failed attempt would stand in for the next one's echo and reply.
          clearQueues();
          next = kOpenCloneSpeed;
        } else if (searchStatus_ != kCloneOk) {
          result_->status = searchStatus_;
        }
      }
      return kActive;

    default:
      return kActive;
  }
}
