#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

#include "files/cmcRecent.h"
#include "files/instancelock.h"

class QSettings;

// Where the settings live. Empty fields mean the platform's own places: on Windows the registry
// under HKEY_CURRENT_USER\<user key>, elsewhere an INI file in the user's configuration
// directory, with the same groups and names; the lock in the per-user runtime directory.
struct EnvironPlace {
  QString settingsDirectory;  // the INI file goes here (tests use a temporary directory)
  QString lockDirectory;
};

struct ScreenSize {
  int width = 1024;
  int height = 768;
};

struct WindowRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const WindowRect&) const = default;
};

// The desktop area not covered by task bars, as right and bottom edges.
struct WorkArea {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The main window's rectangle on first use: at most 800 x 600, centred across, 30 % down.
WindowRect defaultWindowRect(const ScreenSize& screen);
// The rectangle of the very first start, when the stored one is still the default: on a screen
// larger than the default needs, three quarters of the work area (at most 1400 x 1000), placed
// as the default is; never smaller than the default.
WindowRect firstStartWindowRect(const ScreenSize& screen, const WorkArea& area);
// Pulls a stored rectangle back into the work area (after a change of monitors) so at least
// 16 pixels of it stay reachable.
WindowRect pullIntoWorkArea(WindowRect rect, const WorkArea& area);
// The pull-in, then the window made to fit the work area (no larger than it, and no smaller
// than the minimum) and moved wholly inside it, so its title bar can be reached.
WindowRect fitIntoWorkArea(WindowRect rect, const WorkArea& area, int minWidth, int minHeight);

// The program's settings, held in memory for the whole run: loaded at construction by the first
// instance, written at destruction. Also owns the single-instance lock and the recent-file list.
class indEnviron {
 public:
  static constexpr const char* kMutexName = "Zelk Kestrin APP Exclusive Mutex";
  static constexpr const char* kKeyPath = "Software\\Zelk\\Kestrin";
  static constexpr int kMarker = 753951;

  enum SetupState { kSetupNeeded = 0, kSetupReady = 3, kSetupForced = 4 };

  // `arguments` are the command line, program path included ("/setup" forces the set-up dialog).
  indEnviron(const QString& mutexName, const QString& userKeyPath, const QString& machineKeyPath,
             const QStringList& arguments, const ScreenSize& screen,
             const EnvironPlace& place = {});
  ~indEnviron();
  indEnviron(const indEnviron&) = delete;
  indEnviron& operator=(const indEnviron&) = delete;

  bool isFirstInstance() const { return lock_.isFirstInstance(); }
  // The single-instance lock file; the running instance's hand-over socket is named after it.
  QString lockFilePath() const { return lock_.filePath(); }

  // Values of the store. Setters take what they are given; clamps apply when reading the store.
  int marker() const { return marker_; }
  void setMarker(int v) { marker_ = v; }
  int comPort() const { return comPort_; }
  void setComPort(int v) { comPort_ = v; }
  // A device path (or the built-in simulated transceiver's name) used instead of "ComPort" when
  // not empty; a missing value reads as empty and never invalidates the other settings.
  QString comPortPath() const { return comPortPath_; }
  void setComPortPath(const QString& v) { comPortPath_ = v; }
  int comSpeedHigh() const { return comSpeedHigh_; }
  void setComSpeedHigh(int v) { comSpeedHigh_ = v; }
  int transType() const { return transType_; }
  void setTransType(int v) { transType_ = v; }
  // Clone > Verify After Write ("VerifyAfterWrite"): a missing value reads as on and never
  // invalidates the other settings, so settings written before it existed load as complete.
  bool verifyAfterWrite() const { return verifyAfterWrite_; }
  void setVerifyAfterWrite(bool v) { verifyAfterWrite_ = v; }
  QString currentDirectory() const { return currentDirectory_; }
  void setCurrentDirectory(const QString& v) { currentDirectory_ = v; }
  int fontSizePercentage() const { return fontSizePercentage_; }
  void setFontSizePercentage(int v) { fontSizePercentage_ = v; }
  int toolbarVisible() const { return toolbarVisible_; }
  void setToolbarVisible(int v) { toolbarVisible_ = v; }
  int fontSizePrinter() const { return fontSizePrinter_; }
  void setFontSizePrinter(int v) { fontSizePrinter_ = v; }
  WindowRect windowRect() const { return window_; }
  void setWindowRect(const WindowRect& r) { window_ = r; }
  int splitterV() const { return splitterV_; }
  void setSplitterV(int v) { splitterV_ = v; }
  int modelType() const { return modelType_; }
  void setModelType(int v) { modelType_ = v; }

  // Destination code 0..15, or 16 and above when not set; radio option flags A..D.
  int destinationCode() const { return destination_; }
  void setDestinationCode(int v) { destination_ = v; }
  bool flagA() const { return flagA_; }
  bool flagB() const { return flagB_; }
  bool flagC() const { return flagC_; }
  bool flagD() const { return flagD_; }
  void setFlags(bool a, bool b, bool c, bool d);
  uint32_t etcData() const;

  // Not stored: 1 = Japanese display.
  int displayLanguage() const { return displayLanguage_; }
  void setDisplayLanguage(int v) { displayLanguage_ = v; }
  // Always 0 after loading; the adjust command stays hidden while it is 0.
  int adjustFlag() const { return adjustFlag_; }

  int setupState() const { return setupState_; }
  void setSetupState(int v) { setupState_ = v; }
  // Forced stays forced; otherwise ready when a destination is set, else set-up needed.
  void recomputeSetupState();

  cmcRecent& recent() { return recent_; }
  const cmcRecent& recent() const { return recent_; }

  // Small store operations for other parts (column widths). `keyPath` is a full key path such as
  // "Software\Zelk\Kestrin\Display\memory\colwidth".
  // -1 when the key or the value is missing (or not an integer).
  int readInteger(const QString& keyPath, const QString& name) const;
  void writeInteger(const QString& keyPath, const QString& name, int value);
  // Several values of one key written at once: the store is written out once, not per value.
  void writeIntegers(const QString& keyPath, const QList<QPair<QString, int>>& values);
  void deleteKey(const QString& keyPath, const QString& subkey);

  // Writes every value now (the destructor does this for the first instance when the marker
  // holds); returns false when the store could not be written.
  bool save();

  // Where the INI file is (empty when the Windows registry is used).
  QString settingsFilePath() const { return iniPath_; }
  QString userKeyPath() const { return userKey_; }
  QString machineKeyPath() const { return machineKey_; }

 private:
  void applyDefaults();
  bool load(const QStringList& arguments);
  std::unique_ptr<QSettings> open() const;
  QString groupFor(const QString& keyPath) const;

  InstanceLock lock_;
  QString userKey_;
  QString machineKey_;
  QString iniPath_;
  ScreenSize screen_;

  int marker_ = kMarker;
  int comPort_ = 0;
  QString comPortPath_;
  int comSpeedHigh_ = 1;
  int transType_ = 0;
  bool verifyAfterWrite_ = true;
  QString currentDirectory_;
  int fontSizePercentage_ = 100;
  int toolbarVisible_ = 1;
  int fontSizePrinter_ = 10;
  WindowRect window_;
  int splitterV_ = 200;
  int modelType_ = 0;
  int destination_ = 16;
  bool flagA_ = false;
  bool flagB_ = false;
  bool flagC_ = false;
  bool flagD_ = false;
  int displayLanguage_ = 0;
  int adjustFlag_ = 0;
  int setupState_ = kSetupNeeded;
  cmcRecent recent_{10};
};
