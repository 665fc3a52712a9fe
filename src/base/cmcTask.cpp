#include "base/cmcTask.h"

#include <algorithm>

cmcTask::cmcTask(QObject* parent) : QObject(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &cmcTask::onTick);
}

cmcTask::~cmcTask() { timer_.stop(); }

void cmcTask::SetCallback(Callback callback, void* context) {
  callback_ = std::move(callback);
  context_ = context;
}

void cmcTask::SetInterval(int ms) {
  interval_ = ms;
  if (ms < 0) {
    timer_.stop();
  } else {
    timer_.start(std::max(ms, 1));
  }
  stopped_ = !timer_.isActive();
}

void cmcTask::StopAndClear() {
  callback_ = nullptr;
  context_ = nullptr;
  SetInterval(-1);
}

void cmcTask::DisposeLater() {
  disposePending_ = true;
  SetInterval(1);
}

void cmcTask::Dispose(cmcTask* task) {
  if (!task) return;
  // A task stopped from inside its own callback is still on the stack: defer it as well.
  if (!task->stopped_ || task->busy_) {
    task->StopAndClear();
    task->DisposeLater();
  } else {
    delete task;
  }
}

void cmcTask::onTick() {
  if (disposePending_) {
    // A callback pumping a nested loop gets this tick too; the task must outlive that callback.
    if (busy_) return;
    // Deleting a timer's owner inside its own signal is not safe; let the event loop do it.
    timer_.stop();
    stopped_ = true;
    deleteLater();
    return;
  }
  if (busy_ || !callback_) return;
  busy_ = true;
  // Copy: the callback may replace or clear itself.
  Callback cb = callback_;
  cb(context_, this);
  busy_ = false;
}
