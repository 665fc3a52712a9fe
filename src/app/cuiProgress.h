#pragma once

#include <QWidget>
#include <functional>

class QFrame;
class cmcTask;

// The "Cloning" window of a clone read or write: a tool window without system buttons that
// refuses to be closed by the user, with 32 cells that fill as the data moves. It asks for the
// transfer state on its own 30 ms beat, so the transfer never waits for painting; while it shows,
// its owner (the main window) is disabled.
class cuiProgress : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCells = 32;
  static constexpr int kAreaWidth = 256;
  static constexpr int kAreaHeight = 16;
  static constexpr int kRepaintMs = 30;

  // Data bytes moved so far and the bytes moved in all; `running` false stops the beat.
  struct State {
    int transferred = 0;
    int total = 0;
    bool running = false;
  };
  using StateSource = std::function<State()>;

  cuiProgress(QWidget* owner, StateSource source);
  ~cuiProgress() override;

  // Placed over the owner inside the work area; the owner is disabled while it shows.
  void open();
  // Closes it for good (the only way it closes) and enables the owner again.
  void finish();

  int litCells() const { return lit_; }
  QWidget* paintArea() const;
  QFrame* panel() const { return panel_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class Area;
  void beat();

  QWidget* owner_;
  StateSource source_;
  QFrame* panel_ = nullptr;
  Area* area_ = nullptr;
  cmcTask* task_ = nullptr;
  int lit_ = 0;
  bool finishing_ = false;
};
