#pragma once

#include <QMainWindow>
#include <functional>

// The main form. It holds no controls of its own: the application object builds the whole
// window into it. It cannot be made smaller than 400 x 200 pixels; its close asks the
// application object first.
class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kMinimumWidth = 400;
  static constexpr int kMinimumHeight = 200;

  explicit TForm1(QWidget* parent = nullptr);

  // Asked before the form closes; false refuses the close.
  std::function<bool()> closeQuery;
  // After the close was granted.
  std::function<void()> closed;
  std::function<void()> shown;
  // Once, after the form was first painted (start-up measurement).
  std::function<void()> firstPainted;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool event(QEvent* event) override;
};
