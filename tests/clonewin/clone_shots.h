#pragma once

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

// Screenshots for looking at the windows, saved only when KESTRIN_CLONEWIN_SHOTS names a folder.
namespace shots {
inline QString folder() { return qEnvironmentVariable("KESTRIN_CLONEWIN_SHOTS"); }

inline void save(QWidget* widget, const QString& name) {
  if (folder().isEmpty() || !widget) return;
  QDir().mkpath(folder());
  widget->grab().save(QDir(folder()).filePath(name));
}

// The whole screen, window frames included (on a real display server).
inline void saveScreen(const QString& name) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (folder().isEmpty() || !screen) return;
  QDir().mkpath(folder());
  screen->grabWindow(0).save(QDir(folder()).filePath(name));
}
}  // namespace shots
