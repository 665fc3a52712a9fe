// The yardstick of the start-up benchmark: the least a Qt Widgets desktop program does before its
// first painted window (a main window with a menu and a tree). It reports like the program does
// under KESTRIN_STARTUP_PROBE: "painted rss_kb=<resident kilobytes>" once the window has been
// painted, then ends.
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#ifdef Q_OS_WIN
// clang-format off
#include <windows.h>
#include <psapi.h>
// clang-format on
#endif

namespace {

long residentKilobytes() {
#ifdef Q_OS_WIN
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
  return static_cast<long>(counters.WorkingSetSize / 1024);
#endif
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return -1;
}

class Window : public QMainWindow {
 protected:
  bool event(QEvent* event) override {
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::UpdateRequest && !reported_) {
      reported_ = true;
      QTimer::singleShot(0, [] {
        std::printf("painted rss_kb=%ld\n", residentKilobytes());
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return handled;
  }

 private:
  bool reported_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Window window;
  QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&New"));
  file->addAction(QStringLiteral("&Open..."));
  file->addAction(QStringLiteral("E&xit"));
  auto* tree = new QTreeWidget(&window);
  tree->setHeaderHidden(true);
  auto* root = new QTreeWidgetItem(tree, {QStringLiteral("Root")});
  for (int i = 0; i < 8; ++i) new QTreeWidgetItem(root, {QStringLiteral("Node %1").arg(i)});
  root->setExpanded(true);
  window.setCentralWidget(tree);
  window.resize(800, 600);
  window.show();
  return app.exec();
}
