#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// A periodic callback on the user-interface thread. The busy flag keeps a callback that pumps a
// nested message loop (a message box) from being entered again by the same task.
class cmcTask : public QObject {
  Q_OBJECT
 public:
  using Callback = std::function<void(void* context, cmcTask* task)>;

  explicit cmcTask(QObject* parent = nullptr);
  ~cmcTask() override;

  void SetCallback(Callback callback, void* context = nullptr);
  // ms < 0 stops the timer; otherwise it runs every max(ms, 1) milliseconds.
  void SetInterval(int ms);
  void StopAndClear();
  // The task frees itself at its next tick, after any running callback has returned.
  void DisposeLater();

  // How owners get rid of a task that may be inside its own callback right now.
  static void Dispose(cmcTask* task);

  bool busy() const { return busy_; }
  bool stopped() const { return stopped_; }
  bool disposePending() const { return disposePending_; }
  int interval() const { return interval_; }

 private:
  void onTick();

  QTimer timer_;
  Callback callback_;
  void* context_ = nullptr;
  int interval_ = -1;
  bool busy_ = false;
  bool disposePending_ = false;
  bool stopped_ = true;
};
