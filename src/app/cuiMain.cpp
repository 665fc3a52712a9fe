#include "app/cuiMain.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <cstdio>

#include "app/CompareWithFile.h"
#include "app/VerifyAfterWrite.h"
#include "app/ImportExport.h"
#include "app/ComPortDialog.h"
#include "app/EditMenu.h"
#include "app/FolderPage.h"
#include "app/InstanceHandOver.h"
#include "app/PortNote.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/cuiHtmlHelp.h"
#include "app/cuiProgress.h"
#include "app/cuiToolBar.h"
#include "app/cuiTree.h"
#include "app/dialogplacement.h"
#include "app/startup.h"
#include "base/cmcEvMan.h"
#include "base/cmcTask.h"
#include "base/fatal.h"
#include "base/textcodec.h"
#include "clone/cloneconfig.h"
#include "clone/indCloneMan.h"
#include "clone/serialdevice.h"
#include "files/indEnviron.h"
#include "files/messages.h"
#include "gtex/cmcGTex.h"
#include "model/destinations.h"
#include "resources/factory/factory_images.h"
#include "print/cuiPrinter.h"
#include "sheet/core/DocumentCompare.h"
#include "sheet/ui/DocumentUndo.h"
#include "sheet/ui/MarkImages.h"
#include "sheet/ui/cuiGrid.h"
#include "kestrinicons.h"

namespace {

constexpr int kMainTimerMs = 50;
constexpr int kDelayedCheckMs = 250;
constexpr int kSplitterWidth = 3;
constexpr int kSplitterMinimum = 8;
constexpr int kDefaultTreeWidth = 200;  // the stored tree width's default
constexpr int kStatusFirstPanelMinimum = 100;
constexpr uint8_t kFlagABits = DestinationOptions::kMarineBit;

// The status bar's two panels: the second is as wide as the bar is high, the first takes the
// rest (at least 100 pixels). The notes beside them (the port, the version) give their room to
// the first panel whenever its text would be cut otherwise: what was just said matters more than
// what is always there.
class MainStatusBar : public QStatusBar {
 public:
  MainStatusBar(QWidget* parent, QLabel* first, QLabel* second)
      : QStatusBar(parent), first_(first), second_(second) {
    setSizeGripEnabled(false);
    first_->setFrameShape(QFrame::NoFrame);
    second_->setFrameShape(QFrame::NoFrame);
    addWidget(first_, 1);
    addPermanentWidget(second_);
  }

  // A note that steps aside for the first panel's text; the earlier ones added go first.
  void addNote(QLabel* note) {
    notes_.append(note);
    addPermanentWidget(note);
    fitNotes();
  }

  // Gives the notes' room to the first panel as far as its text needs it.
  void fitNotes() {
    if (fitting_) return;
    fitting_ = true;
    const QString text = first_->text();
    const int needed = text.isEmpty() ? 0
                                      : first_->fontMetrics().horizontalAdvance(text) +
                                            first_->contentsMargins().left() +
                                            first_->contentsMargins().right() + 2 * first_->margin() + 8;
    int room = width() - second_->width() - 8;
    for (QLabel* note : notes_)
      if (note && !note->isHidden() && note->maximumWidth() > 0) room -= note->sizeHint().width();
    // Back first (while the text is short or gone), then as many aside as the text needs.
    for (auto it = notes_.crbegin(); it != notes_.crend(); ++it) {
      QLabel* note = *it;
      if (!note || note->isHidden() || note->maximumWidth() > 0) continue;
      if (needed + note->sizeHint().width() <= room) {
        room -= note->sizeHint().width();
        note->setMaximumWidth(QWIDGETSIZE_MAX);
      }
    }
    for (QLabel* note : notes_) {
      if (needed <= room) break;
      if (!note || note->isHidden() || note->maximumWidth() == 0) continue;
      room += note->sizeHint().width();
      note->setMaximumWidth(0);
    }
    fitting_ = false;
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QStatusBar::resizeEvent(event);
    second_->setFixedWidth(height());
    first_->setMinimumWidth(qMin(kStatusFirstPanelMinimum, qMax(0, width() - height())));
    fitNotes();
  }
  bool event(QEvent* event) override {
    // A label whose text changes asks its parent to lay out again.
    const bool done = QStatusBar::event(event);
    if (event->type() == QEvent::LayoutRequest) fitNotes();
    return done;
  }

 private:
  QLabel* first_;
  QLabel* second_;
  QList<QPointer<QLabel>> notes_;
  bool fitting_ = false;
};

}  // namespace

cuiMain::cuiMain(const AppObjects& objects, AppSeams seams)
    : objects_(objects),
      seams_(std::move(seams)),
      prompter_(seams_.prompter ? seams_.prompter : &guiPrompter_),
      chooser_(seams_.chooser ? seams_.chooser : &qtChooser_),
      workspace_(WorkspaceSetup{prompter_, objects.text, this, objects.settings, objects.bus}),
      widths_(*objects.settings, *objects.text),
      cloneSession_(workspace_, *objects.settings, *this) {
  indEnviron& env = *objects_.settings;
  // The document starts at the stored destination and radio options.
  workspace_.document().setOptionBits(cloneSession_.storedOptionBits());
  workspace_.document().setDestination(env.destinationCode());
  QString directory = env.currentDirectory();
  if (directory.isEmpty())
    directory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (directory.isEmpty()) directory = QDir::currentPath();
  workspace_.document().setCurrentDirectory(directory);
  workspace_.document().setTitleListener([this] { updateTitle(); });

  workspace_.files().setChooser(chooser_);
  FileCommandHooks hooks;
  hooks.closeSheet = [this] { closeSheet(); };
  hooks.modelDisplayChanged = [this] { buildModelDisplay(); };
  hooks.warningCheck = [this] { runWarningCheckOnTree(); };
  hooks.busy = [this](bool busy) { setBusy(busy); };
  hooks.dataChanged = [this] { dataChanged(); };
  hooks.recordChange = [this](const std::function<void()>& apply) {
    DocumentUndo::Change change(undo_.get(), QStringLiteral("Save"));
    apply();
  };
  workspace_.files().setHooks(std::move(hooks));

  undo_ = std::make_unique<DocumentUndo>(workspace_.document());
  connect(undo_.get(), &DocumentUndo::imageRestored, this, [this] {
    if (sheet_) sheet_->refreshAll();
    objects_.bus->send(ev::kRefreshAllSheets);
    dataChanged();
  });

  cloneMan_ = std::make_unique<indCloneMan>(env, *objects_.text, *prompter_, objects_.bus,
                                            std::move(seams_.serialDevice));
  cloneCommands_ = std::make_unique<CloneCommands>(*cloneMan_, cloneSession_, *prompter_, *objects_.text);

  formats_ = regionalFormats(systemRegion());
  versions_ = readVersionTexts(*objects_.text, programDirectory());

  mainTimer_ = new cmcTask(this);
  mainTimer_->SetCallback([this](void*, cmcTask*) { mainTimerTick(); });
  objects_.bus->subscribe<&cuiMain::onEvent>(this);
  initialSetup_ = [this] { (new TForm2(*this))->showInitialSetup(); };
  initModelDescriptor();
}

cuiMain::~cuiMain() {
  objects_.bus->unsubscribe<&cuiMain::onEvent>(this);
  if (mainTimer_) mainTimer_->StopAndClear();
  if (about_) delete about_.data();
  if (information_) delete information_.data();
  if (progress_) delete progress_.data();
  if (sheet_) delete sheet_.data();
  // Sheets closed but not yet gone answer the bus until they go, so they go before it.
  for (const QPointer<cuiSheet>& closed : closedSheets_) delete closed.data();
  tree_.reset();
  menu_.reset();
  toolbar_.reset();
  help_.reset();
  printer_.reset();  // it enables the form again as it goes
  form_.reset();
  cloneCommands_.reset();
  cloneMan_.reset();
}

QString cuiMain::programDirectory() const {
  return seams_.programDirectory.isEmpty() ? QCoreApplication::applicationDirPath()
                                           : seams_.programDirectory;
}

// --- start-up -----------------------------------------------------------------------------------

void cuiMain::start(const QString& fileArgument) {
  form_ = std::make_unique<TForm1>();
  TForm1& form = *form_;
  form.setWindowTitle(objects_.text->lineText("GI_Sys_AppTitle"));
  {
    cmcCellObj cell;
    workspace_.parser().parseCell(cell, objects_.text->getLine("GI_Form_Main_BasicCell", 0), nullptr, nullptr);
    if (const CellFont* font = cell.effectiveFont()) form.setFont(screenFont(*font, form.font()));
  }
  // The stored rectangle, pulled back into the work area after a change of monitors.
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const WorkArea work{available.left(), available.top(), available.left() + available.width(),
                      available.top() + available.height()};
  WindowRect stored = objects_.settings->windowRect();
  // The first start uses the screen; a rectangle the user left stays as it was.
  if (screen) {
    const ScreenSize size{screen->size().width(), screen->size().height()};
    if (stored == defaultWindowRect(size)) stored = firstStartWindowRect(size, work);
  }
  const WindowRect rect =
      fitIntoWorkArea(stored, work, TForm1::kMinimumWidth, TForm1::kMinimumHeight);
  form.setGeometry(rect.left, rect.top, rect.width, rect.height);

  images_ = ImageLists::load();
  setMarkIconSource(&kestrinicons::icon);
  if (!images_.large.isEmpty() && !images_.large.first().isNull())
    form.setWindowIcon(images_.large.first());
  buildMainWindow(form, images_);

  form.hide();
  objects_.settings->recomputeSetupState();
  if (!fileArgument.isEmpty()) handOvers_.append(fileArgument);
  if (initialSetupFirst(objects_.settings->setupState()) && initialSetup_) {
    initialSetup_();
  } else {
    objects_.bus->send(ev::kShowMainWindow);
  }
}

void cuiMain::buildMainWindow(TForm1& form, const ImageLists& images) {
  images_ = images;
  guiPrompter_.setOwner(&form);
  qtChooser_.setOwner(&form);
  help_ = std::make_unique<cuiHtmlHelp>(*objects_.text, *objects_.help, *prompter_, &form);

  // 1. A fresh document at the destination's factory image.
  workspace_.document().fillDefaultImage();
  workspace_.document().resetToDefault();
  closeSheet();

  BuilderServices services{objects_.text, &workspace_.parser(), &workspace_.catalogue(), objects_.bus};

  // 2. The main menu, and the Edit menu with undo and redo after File.
  menu_ = std::make_unique<cuiMenu>(&form, form.menuBar(), "GI_Menu_Main", services);
  menu_->build();
  editMenu_ = new QMenu(QStringLiteral("&Edit"), form.menuBar());
  // The commands act on the sheet's current cell unless the keyboard is in the tree.
  editCommands_ = new EditMenu(editMenu_, *undo_, [this]() -> cuiSheet* {
    const QWidget* focus = QApplication::focusWidget();
    if (tree_ && focus && (focus == tree_->control() || tree_->control()->isAncestorOf(focus)))
      return nullptr;
    return sheet_;
  });
  const QList<QAction*> top = form.menuBar()->actions();
  form.menuBar()->insertMenu(top.size() > 1 ? top.at(1) : nullptr, editMenu_);
  installCompareCommand(*this, form.menuBar());
  installVerifyCommand(*this, form.menuBar());
  for (QAction* action : form.menuBar()->actions()) {
    if (QMenu* m = action->menu(); m && m != editMenu_) {
      connect(m, &QMenu::aboutToShow, this, [this] {
        if (menu_) menu_->refresh();
      });
    }
  }

  // 3. The toolbar.
  toolbar_ = std::make_unique<cuiToolBar>(&form, services);
  toolbar_->create("GI_ToolBar_Main", images.toolbar);
  toolbar_->fill();
  toolbar_->setVisible(objects_.settings->toolbarVisible() != 0);
  objects_.bus->send(ev::kRefreshToolbar);

  // 4. Left panel, splitter, right panel.
  splitter_ = new QSplitter(Qt::Horizontal, &form);
  splitter_->setObjectName(QStringLiteral("SplitterV"));
  splitter_->setHandleWidth(kSplitterWidth);
  splitter_->setOpaqueResize(true);
  splitter_->setChildrenCollapsible(false);
  auto makePanel = [this](const QString& name) {
    auto* panel = new QFrame(splitter_);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    splitter_->addWidget(panel);
    return panel;
  };
  leftPanel_ = makePanel(QStringLiteral("leftPanel"));
  leftPanel_->setMinimumWidth(kSplitterMinimum);
  rightPanel_ = makePanel(QStringLiteral("rightPanel"));
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  form.setCentralWidget(splitter_);

  // 5. The tree and the model display.
  buildModelDisplay();

  // 6. The tree pane's width.
  int left = qMax(objects_.settings->splitterV(), kSplitterMinimum);
  // The untouched default is made wide enough for the longest caption at the font scale in use;
  // a width the user chose stays as it is.
  if (objects_.settings->splitterV() == kDefaultTreeWidth) left = qMax(left, treeWidthNeeded());
  splitter_->setSizes({left, qMax(form.width() - left - kSplitterWidth, 1)});

  // 7. The status bar with its two panels.
  statusText_ = new QLabel(&form);
  statusText_->setObjectName(QStringLiteral("statusPanel1"));
  statusSecond_ = new QLabel(&form);
  statusSecond_->setObjectName(QStringLiteral("statusPanel2"));
  statusBar_ = new MainStatusBar(&form, statusText_, statusSecond_);
  form.setStatusBar(statusBar_);
  auto* bar = static_cast<MainStatusBar*>(statusBar_);
  bar->addNote(new IdleNote(statusBar_, *objects_.bus, *objects_.settings, *cloneMan_,
                            [this] { return workspace_.document().destination(); }));
  bar->addNote(new PortNote(statusBar_, *objects_.bus, *objects_.settings, *cloneMan_));

  // 8. Form events.
  form.shown = [this] { updateTitle(); };
  form.closeQuery = [this] { return closeQuery(); };
  form.closed = [this] { formClosed(); };

  // 9. Self check: the image must hold the whole memory map.
  if (workspace_.document().working().size() < 8368) {
    fatalError("Self Check Error.\nEEPROM Map is too large.");
  }

  // 10. The main timer.
  mainTimer_->SetInterval(kMainTimerMs);
}

void cuiMain::acceptHandOvers(const QString& socketName, const QString& setupError) {
  handOver_ = std::make_unique<InstanceHandOver>(socketName);
  if (!handOver_->listening()) {
    const QString why = setupError.isEmpty() ? handOver_->errorString() : setupError;
    handOverNotice_ = QStringLiteral(
                          "Files given to a later start of Kestrin cannot be handed to this "
                          "window (%1). Open them with File Open.")
                          .arg(why);
    std::fprintf(stderr, "kestrin: %s\n", qPrintable(handOverNotice_));
  }
  connect(handOver_.get(), &InstanceHandOver::fileReceived, this, [this](const QString& path) {
    handOvers_.append(path);
    bringToFront();
    QTimer::singleShot(0, this, [this] { openQueuedFiles(); });
  });
}

void cuiMain::fitFrameOnScreen() {
  // The stored rectangle is the window's inside; once shown, its frame and title bar are known
  // and must fit the work area too.
  if (!form_ || form_->isMaximized() || form_->isFullScreen()) return;
  const QScreen* screen = form_->screen() ? form_->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect work = screen->availableGeometry();
  const QRect frame = form_->frameGeometry();
  const QRect inside = form_->geometry();
  const int extraWidth = frame.width() - inside.width();
  const int extraHeight = frame.height() - inside.height();
  const int width = qMax(qMin(inside.width(), work.width() - extraWidth), form_->minimumWidth());
  const int height =
      qMax(qMin(inside.height(), work.height() - extraHeight), form_->minimumHeight());
  const int left = qMax(qMin(frame.left(), work.right() + 1 - width - extraWidth), work.left());
  const int top = qMax(qMin(frame.top(), work.bottom() + 1 - height - extraHeight), work.top());
  if (width != inside.width() || height != inside.height()) form_->resize(width, height);
  if (left != frame.left() || top != frame.top()) form_->move(left, top);
}

void cuiMain::bringToFront() {
  if (!mainWindowVisible()) return;
  // Out of the task bar, but a maximised window stays maximised.
  if (form_->isMinimized()) form_->setWindowState(form_->windowState() & ~Qt::WindowMinimized);
  form_->raise();
  form_->activateWindow();
}

bool cuiMain::readyForQueuedFiles() const {
  // Not while the user answers a question, a clone runs or a dialog holds the window: what is
  // opened then would replace the document that question or command is about.
  return mainWindowVisible() && !closing_ && form_->isEnabled() && !cloneMan_->IsBusy() &&
         !about_ && !information_ && !QApplication::activeModalWidget() &&
         !QApplication::activePopupWidget();
}

void cuiMain::openQueuedFiles() {
  if (!readyForQueuedFiles()) return;  // the main timer tries again
  if (!handOverNotice_.isEmpty()) {
    const QString notice = handOverNotice_;
    handOverNotice_.clear();
    prompter_->inform(objects_.text->lineText("GI_Sys_AppTitle"), notice,
                      PromptIcon::Warning);
    return;
  }
  if (handOvers_.isEmpty()) return;
  // One at a time: the next waits until the questions of this one are answered.
  const QString path = handOvers_.takeFirst();
  openFileByPath(path);
}

// --- the tree -----------------------------------------------------------------------------------

void cuiMain::buildModelDisplay() { rebuildTree(); }

int cuiMain::treeWidthNeeded() const {
  if (!tree_ || !leftPanel_) return 0;
  QTreeWidget* t = tree_->control();
  const QFontMetrics metrics(t->font());
  int widest = 0;
  for (QTreeWidgetItemIterator it(t); *it; ++it) {
    int depth = 0;
    for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent()) ++depth;
    const int w = t->indentation() * (depth + (t->rootIsDecorated() ? 1 : 0)) +
                  t->iconSize().width() + metrics.horizontalAdvance((*it)->text(0)) + 12;
    widest = qMax(widest, w);
  }
  const QMargins panel = leftPanel_->contentsMargins();
  return widest + 2 * t->frameWidth() + panel.left() + panel.right() +
         leftPanel_->layout()->contentsMargins().left() +
         leftPanel_->layout()->contentsMargins().right();
}

void cuiMain::rebuildTree() {
  if (!leftPanel_) return;
  tree_.reset();
  BuilderServices services{objects_.text, &workspace_.parser(), &workspace_.catalogue(), objects_.bus};
  tree_ = std::make_unique<cuiTree>(leftPanel_, "GI_Tree_Main", images_.tree, services);
  tree_->build();
  connect(tree_.get(), &cuiTree::selectionSettled, this, &cuiMain::treeSelectionSettled);
  connect(tree_.get(), &cuiTree::expansionChanged, this, [this] { runWarningCheckOnTree(); });
  bool ok = false;
  const int delay = objects_.text->getLine("GI_Sys_TreeChangeDelay", 0).trimmed().toInt(&ok);
  tree_->setChangeDelay(ok ? delay : 200);
  runWarningCheckOnTree();
  tree_->control()->setVisible(true);
  tree_->selectFirst();
  objects_.bus->send(ev::kDataOrSheetChanged);
}

void cuiMain::treeSelectionSettled() {
  if (!tree_) return;
  QTreeWidgetItem* item = tree_->control()->currentItem();
  const cmcCellObj* cell = tree_->cellOf(item);
  if (!cell) return;
  if (sheet_ && sheet_->callString() == tree_->callStringOf(item)) return;
  execute(*cell);
}

void cuiMain::execute(const cmcCellObj& cell) {
  const cmcCellObj copy = cell;  // the tree may be rebuilt while the command runs
  workspace_.catalogue().activate(copy, kKeyEnter);
}

WarningCheckResult cuiMain::runWarningCheckOnTree() {
  WarningCheckResult result = runWarningCheck(workspace_.catalogue(), *objects_.text);
  if (tree_) tree_->applyOverlays(result.errorPages, result.warningPages);
  return result;
}

// --- sheets -------------------------------------------------------------------------------------

SheetUiServices cuiMain::sheetServices() {
  SheetUiServices s;
  s.sheet.text = objects_.text;
  s.sheet.parser = &workspace_.parser();
  s.sheet.environment = &workspace_.environment();
  s.sheet.texts = &workspace_.cellTexts();
  s.sheet.measure = &measure_;
  s.sheet.widths = &widths_;
  s.sheet.bus = objects_.bus;
  s.catalogue = &workspace_.catalogue();
  s.document = &workspace_.document();
  s.prompter = prompter_;
  s.undo = undo_.get();
  s.fontScalePercent = fontScalePercent();
  return s;
}

void cuiMain::openSheet(const QByteArray& callString) {
  if (!rightPanel_) return;
  closeSheet();
  cuiSheet* sheet = cuiSheet::open(callString, sheetServices(), rightPanel_);
  sheet_ = sheet;
  rightPanel_->layout()->addWidget(sheet);
  if (editCommands_) editCommands_->watchSheet(sheet);
  // A folder of the tree shows its pages over its empty sheet.
  if (tree_ && callString == "GI_Sheet_TreeTop") {
    if (QTreeWidgetItem* folder = tree_->control()->currentItem(); folder && folder->childCount()) {
      new FolderPage(sheet, *tree_, *folder, workspace_.environment(),
                     [this](const QTreeWidgetItem* node) {
                       if (tree_) tree_->control()->setCurrentItem(const_cast<QTreeWidgetItem*>(node));
                     });
    }
  }
  connect(sheet, &cuiSheet::typedValueNoted, this, [this](const QString& note) {
    showPassingStatus(note);
  });
  connect(sheet, &cuiSheet::helpRequested, this, [this](int link, const QPoint& where) {
    if (help_) help_->showContext(link, where);
  });
  // A marked current cell says in the status bar what its mark means.
  connect(sheet, &cuiSheet::currentCellChanged, this, [this, sheet](SheetPos pos) {
    const QString note = sheet->markNoteAt(pos);
    if (note.isEmpty()) return;
    QPointer<cuiSheet> guard(sheet);
    QTimer::singleShot(0, this, [this, guard, note] {
      if (guard && guard == sheet_ && statusText_) statusText_->setText(note);
    });
  });
  for (const SheetRecord& record : history_) {
    if (record.callString == callString) {
      sheet->restorePosition(record.position);
      break;
    }
  }
  keepPosition_ = false;
  sheet->show();
  ++sheetsOpened_;
  if (mainWindowVisible() && form_->isEnabled()) {
    if (focusInGrid_) {
      QWidget* target = sheet->focusPolicy() != Qt::NoFocus ? sheet : nullptr;
      if (!target) {
        for (QWidget* w : sheet->findChildren<QWidget*>()) {
          if (w->focusPolicy() & Qt::TabFocus) {
            target = w;
            break;
          }
        }
      }
      if (target) target->setFocus(Qt::OtherFocusReason);
    } else if (tree_) {
      tree_->control()->setFocus(Qt::OtherFocusReason);
    }
  }
}

void cuiMain::closeSheet() {
  if (!sheet_) return;
  cuiSheet* sheet = sheet_;
  sheet_ = nullptr;
  if (!sheet->isHidden()) {
    const QByteArray call = sheet->callString();
    history_.remove_if([&](const SheetRecord& r) { return r.callString == call; });
    history_.push_front(SheetRecord{call, sheet->position()});
    QWidget* focus = QApplication::focusWidget();
    const bool treeHasFocus =
        tree_ && focus && (focus == tree_->control() || tree_->control()->isAncestorOf(focus));
    focusInGrid_ = !treeHasFocus;
  }
  // The sheet may be the one whose click asked for this (a link cell): it goes once its event
  // handler has returned.
  sheet->hide();
  sheet->setParent(nullptr);
  sheet->deleteLater();
  closedSheets_.removeAll(nullptr);
  closedSheets_ << sheet;
}

void cuiMain::reopenCurrentSheet(bool selectFrequency, int index) {
  if (!sheet_) return;
  const QByteArray call = sheet_->callString();
  int category = CT_None;
  const SheetViewPosition position = sheet_->position();
  if (position.valid())
    category = sheet_->model().cellAt(position.current.column, position.current.row).category;
  openSheet(call);
  if (selectFrequency && sheet_) sheet_->selectCell(category, CL_Mch_Freq, index);
}

void cuiMain::mainTimerTick() {
  if (!sheet_ && mainWindowVisible()) {
    if (tree_) {
      if (const cmcCellObj* cell = tree_->selectedCell()) execute(*cell);
    } else if (!history_.empty()) {
      openSheet(history_.front().callString);
    }
  }
  if (delayedCheck_.running() && delayedCheck_.Remaining() == 0) runWarningCheckOnTree();
  if (!handOvers_.isEmpty() || !handOverNotice_.isEmpty()) openQueuedFiles();
}

void cuiMain::dataChanged() { delayedCheck_.Start(kDelayedCheckMs); }

// --- title, events, closing
// -----------------------------------------------------------------------

void cuiMain::updateTitle() {
  if (!form_) return;
  // The window marks unsaved changes the platform's way ("club.qev*"); "[*]" is Qt's place for
  // that mark, and a literal "[*]" in a file name is doubled so it is shown as typed.
  QString name = QFileInfo(workspace_.document().documentName()).fileName();
  QString title = workspace_.document().title();
  title.remove(0, name.size());
  name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
  form_->setWindowTitle(name + QStringLiteral("[*]") + title);
  form_->setWindowModified(workspace_.document().modifiedFlag());
}

void cuiMain::showPassingStatus(const QString& text) {
  // After the key that committed the value has cleared the panel; gone after a few seconds
  // unless something else was said meanwhile.
  QTimer::singleShot(0, this, [this, text] {
    if (!statusText_) return;
    statusText_->setText(text);
    QTimer::singleShot(6000, this, [this, text] {
      if (statusText_ && statusText_->text() == text) statusText_->clear();
    });
  });
}

bool cuiMain::mainWindowVisible() const { return form_ && form_->isVisible(); }

void cuiMain::enableMainForm() {
  if (!form_) return;
  form_->setEnabled(true);
  form_->activateWindow();
  form_->setFocus(Qt::OtherFocusReason);
}

void cuiMain::onEvent(const cmcEvent& event) {
  switch (event.code) {
    case ev::kRefreshToolbar:
      if (toolbar_) toolbar_->refresh();
      break;
    case ev::kStatusText:
      if (statusText_) statusText_->setText(fromCp932(event.text()));
      break;
    case ev::kDataOrSheetChanged: {
      if (!sheet_ && mainWindowVisible() && tree_) {
        if (const cmcCellObj* cell = tree_->selectedCell()) {
          // Opened from the event loop: the sender may be in the middle of replacing the data.
          QTimer::singleShot(0, this, [this] {
            if (!sheet_ && mainWindowVisible() && tree_)
              if (const cmcCellObj* c = tree_->selectedCell()) execute(*c);
          });
          (void)cell;
        }
      }
      const indEnviron& env = *objects_.settings;
      if (tree_ && !(env.flagA() && env.flagC())) tree_->removeFlagged(0);
      break;
    }
    case ev::kReopenSheet:
      reopenCurrentSheet(event.a != 0, int(event.b));
      break;
    case ev::kCloneInformation:
      if (!cloneMan_->IsBusy()) startClone(&CloneCommands::cloneInformation, true);
      break;
    case ev::kShowMainWindow:
      if (!form_) break;
      form_->show();
      fitFrameOnScreen();
      // A window manager puts its frame around the window a moment later: fit again then.
      for (int ms : {100, 500, 1500})
        QTimer::singleShot(ms, form_.get(), [this] { fitFrameOnScreen(); });
      enableMainForm();
      objects_.bus->send(ev::kRefreshToolbar);
      // A file of the command line or handed over meanwhile.
      QTimer::singleShot(0, this, [this] { openQueuedFiles(); });
      break;
    case ev::kDestinationCheck:
      cloneSession_.runDestinationCheck(int(event.a));
      break;
    case ev::kResetToDefaultImage:
      if (!mainWindowVisible()) workspace_.document().resetToDefault();
      break;
    case ev::kCloneStarted:
      if (mainWindowVisible()) form_->setEnabled(false);
      break;
    case ev::kCloneEnded:
    case ev::kCloneProgressClosed:
      if (event.code == ev::kCloneProgressClosed && progress_) {
        progress_->finish();
        progress_ = nullptr;
      }
      if (mainWindowVisible()) enableMainForm();
      break;
    default:
      break;
  }
}

bool cuiMain::closeQuery() {
  // Refused while a clone run or the About or Clone Information box holds the window.
  if (!form_ || !form_->isEnabled() || about_ || information_) return false;
  if (workspace_.files().savePrompt(false) == PromptAnswer::Cancel) return false;
  const QRect r = form_->normalGeometry().isValid() ? form_->normalGeometry() : form_->geometry();
  objects_.settings->setWindowRect(WindowRect{r.left(), r.top(), r.width(), r.height()});
  if (leftPanel_) objects_.settings->setSplitterV(leftPanel_->width());
  return true;
}

void cuiMain::formClosed() {
  closing_ = true;
  mainTimer_->SetInterval(-1);
  if (sheet_) delete sheet_.data();
  tree_.reset();
}

void cuiMain::setBusy(bool busy) {
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void cuiMain::afterDocumentReplaced() {
  closeSheet();
  objects_.bus->send(ev::kDataOrSheetChanged);
}

// --- file commands ------------------------------------------------------------------------------

void cuiMain::newDocument() {
  workspace_.files().newDocument();
}

void cuiMain::openDocument() {
  workspace_.files().openDialog();
}

void cuiMain::saveDocument() { workspace_.files().saveFile(workspace_.document().currentFile()); }

void cuiMain::saveDocumentAs() { workspace_.files().saveAsDialog(); }

void cuiMain::openRecentFile(int position) {
  const QString path = objects_.settings->recent().path(position);
  if (path.isEmpty()) return;
  if (!QFileInfo::exists(path)) {
    // A file moved or deleted since: say which, and offer to drop it rather than fail each time.
    PromptMessage m;
    m.caption = objects_.text->lineText("GI_Sys_AppTitle");
    m.text = messageText(*objects_.text, "GI_Mess_FileErr_Headline") + QStringLiteral("\n\n") +
             messageText(*objects_.text, "GI_Mess_FileErr_FileOpen") +
             QStringLiteral("\n\n%1\n\nThis file no longer exists. Remove it from the list of "
                            "recent files?")
                 .arg(QDir::toNativeSeparators(path));
    m.buttons = PromptButtons::YesNo;
    m.icon = PromptIcon::Warning;
    m.defaultAnswer = PromptAnswer::Yes;
    if (prompter_->ask(m) == PromptAnswer::Yes) {
      objects_.settings->recent().remove(position);
      if (menu_) menu_->refresh();
    }
    return;
  }
  openFileByPath(path);
}

QString cuiMain::recentFileText(int position) const {
  return objects_.settings->recent().entry(position, workspace_.document().currentDirectory());
}

// Channel lists go in and out of the channel group of the sheet shown.
bool cuiMain::importAvailable() const {
  return sheet_ && channelGroupOfSheet(sheet_->callString()).has_value();
}
void cuiMain::importChannels() { importChannelsIntoWindow(*this); }
bool cuiMain::exportAvailable() const { return importAvailable(); }
void cuiMain::exportChannels() { exportChannelsFromWindow(*this); }

cuiPrinter& cuiMain::printer() {
  if (!printer_) {
    PrinterHost host;
    host.mainWindow = form_.get();
    host.text = objects_.text;
    host.prompter = prompter_;
    host.chooser = chooser_;
    host.settings = objects_.settings;
    host.services.sheet.text = objects_.text;
    host.services.sheet.parser = &workspace_.parser();
    host.services.sheet.environment = &workspace_.environment();
    host.services.sheet.texts = &workspace_.cellTexts();
    host.services.answer = [this](cmcCellCapsule& request) { workspace_.catalogue().dispatch(request, false); };
    host.services.version = versions_.version;
    host.services.fontScalePercent = fontScalePercent();
    const QScreen* screen = form_ ? form_->screen() : QGuiApplication::primaryScreen();
    if (screen) host.services.screenDpi = screen->logicalDotsPerInchY();
    // Print All takes exactly the pages the tree shows (no Marine CH without the option).
    host.sheets = [this] { return treeSheetPages(); };
    host.endEditing = [this] { endCellEditing(); };
    printer_ = std::make_unique<cuiPrinter>(std::move(host));
  }
  return *printer_;
}

std::vector<QByteArray> cuiMain::treeSheetPages() {
  if (!tree_) return treePages(*objects_.text, workspace_.parser(), optionBits());
  std::vector<QByteArray> pages;
  for (QTreeWidgetItemIterator it(tree_->control()); *it; ++it) {
    const cmcCellObj* cell = tree_->cellOf(*it);
    if (!cell || cell->link != CallSheet || !cell->argument) continue;
    if (std::find(pages.begin(), pages.end(), *cell->argument) == pages.end())
      pages.push_back(*cell->argument);
  }
  return pages;
}

bool cuiMain::canPrintCurrentSheet() const { return sheet_ && sheet_->model().isPrintable(); }

void cuiMain::printCurrentSheet() {
  if (canPrintCurrentSheet()) printer().printSheets(false, sheet_->callString());
}

void cuiMain::printAllSheets() { printer().printSheets(true); }

void cuiMain::exitApplication() {
  if (form_) form_->close();
}

// --- view ---------------------------------------------------------------------------------------

int cuiMain::fontScalePercent() const { return objects_.settings->fontSizePercentage(); }

void cuiMain::setFontScalePercent(int percent) {
  objects_.settings->setFontSizePercentage(percent);
  // The main timer reopens the sheet at the same place with the new font.
  keepPosition_ = true;
  closeSheet();
}

bool cuiMain::toolbarVisible() const { return objects_.settings->toolbarVisible() != 0; }

void cuiMain::toggleToolbar() {
  const bool visible = !toolbarVisible();
  objects_.settings->setToolbarVisible(visible ? 1 : 0);
  if (toolbar_) toolbar_->setVisible(visible);
}

int cuiMain::editMenuItemCount() const { return editMenu_ ? int(editMenu_->actions().size()) : 0; }

void cuiMain::fillEditMenu(const QByteArray&) {}

// --- COM port and cloning -----------------------------------------------------------------------

void cuiMain::comPortDialog() {
  if (!form_) return;
  ComPortDialog dialog(form_.get(), *objects_.settings, *objects_.text, *prompter_);
  // A port chosen here replaces the one given for the run on the command line.
  if (dialog.run() == QDialog::Accepted) cloneMan_->SetPortName(QString());
  objects_.bus->send(ev::kRefreshToolbar);
}

int cuiMain::comSpeed() const { return objects_.settings->comSpeedHigh(); }

void cuiMain::setComSpeed(int speed) { objects_.settings->setComSpeedHigh(speed); }

void cuiMain::cloneRead() { startClone(&CloneCommands::cloneRead, false); }

void cuiMain::cloneWrite() { startClone(&CloneCommands::cloneWrite, false); }

void cuiMain::cloneInformation() { objects_.bus->send(ev::kCloneInformation); }

bool cuiMain::adjustmentAvailable() const { return objects_.settings->adjustFlag() != 0; }

void cuiMain::startClone(void (CloneCommands::*command)(CloneCommands::Done), bool information) {
  if (cloneMan_->IsBusy()) return;
  // The progress window opens with the first transfer report and reads the state on its own
  // beat from then on.
  // The status bar follows the stages: the check of the transceiver, then the transfer's share.
  const bool read = command == &CloneCommands::cloneRead;
  const bool write = command == &CloneCommands::cloneWrite;
  if (statusText_ && mainWindowVisible()) {
    const QString port =
        IdleNote::portText(cloneMan_->EffectivePortName(), objects_.settings->comPort());
    statusText_->setText(QStringLiteral("Checking the transceiver on %1\u2026").arg(port));
  }
  cloneMan_->SetProgress([this, read, write](int done, int total) {
    if (statusText_ && mainWindowVisible() && total > 0) {
      const int percent = static_cast<int>(std::clamp<qint64>(qint64(done) * 100 / total, 0, 100));
      statusText_->setText(QStringLiteral("%1 %2 %").arg(
          read ? QStringLiteral("Reading from the transceiver:")
               : write ? QStringLiteral("Writing to the transceiver:")
                       : QStringLiteral("Cloning:"))
                               .arg(percent));
    }
    if (!form_ || progress_) return;
    progress_ = new cuiProgress(form_.get(), [this] {
      return cuiProgress::State{cloneMan_->Transferred(), cloneMan_->TransferTotal(),
                                cloneMan_->IsBusy()};
    });
    progress_->open();
  });
  (cloneCommands_.get()->*command)([this, information, read](const CloneOutcome& outcome) {
    cloneFinished(outcome, information);
    if (!statusText_) return;
    if (read && outcome.succeeded()) {
      // A write says so in its own message; a read would otherwise end without a word.
      const QString version = QString::fromLatin1(destinationName(workspace_.document().destination()));
      statusText_->setText(
          QStringLiteral("Read from the transceiver: version %1 (not saved yet)").arg(version));
    } else {
      statusText_->clear();
    }
  });
}

void cuiMain::cloneFinished(const CloneOutcome& outcome, bool information) {
  if (progress_) progress_->finish();
  progress_ = nullptr;
  if (information) identificationFinished(outcome);
  if (information && !mainWindowVisible() && outcome.succeeded())
    objects_.bus->send(ev::kSetupFinished);
  if (mainWindowVisible() && form_ && !form_->isEnabled() && !about_ && !information_)
    enableMainForm();
}

void cuiMain::verifyFinished(const VerifyReport& report) { reportVerify(*this, report); }

void cuiMain::endCellEditing() { objects_.bus->send(ev::kCommitEditor); }

bool cuiMain::savePrompt() { return workspace_.files().savePrompt(false) != PromptAnswer::Cancel; }

void cuiMain::clonedImageTakenOver(uint8_t optionBitsBefore, const QString& previousFile) {
  takeOverLoadedImage();
  if ((optionBitsBefore ^ optionBits()) & kFlagABits) buildModelDisplay();
  afterDocumentReplaced();
  offerComparison(*this, previousFile);
}

void cuiMain::refreshViews() {
  if (sheet_) sheet_->refreshAll();
  updateTitle();
}

std::optional<CloneApplication::SettingProblems> cuiMain::countSettingProblems() {
  const WarningCheckResult r = runWarningCheckOnTree();
  return CloneApplication::SettingProblems{r.errors, r.warnings,
                                           treePageNames(*objects_.text, r.errorPages),
                                           treePageNames(*objects_.text, r.warningPages)};
}

void cuiMain::destinationRestored() {
  // A run that failed after switching the destination: the tree and sheet go back with it.
  if (!form_) return;
  buildModelDisplay();
  afterDocumentReplaced();
}

// Raised on the bus, where the window's own handler runs it.
bool cuiMain::raiseDestinationCheck(int flags) {
  objects_.bus->send(ev::kDestinationCheck, flags);
  return true;
}

void cuiMain::destinationChanged() {
  buildModelDisplay();
  afterDocumentReplaced();
}

void cuiMain::optionFlagAChanged() {
  buildModelDisplay();
  afterDocumentReplaced();
}

// --- dialogs ------------------------------------------------------------------------------------

void cuiMain::showCloneInformation() {
  if (!form_) return;
  if (information_) information_->close();
  auto* dialog = new QDialog(form_.get(), Qt::Dialog | Qt::WindowTitleHint |
                                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setObjectName(QStringLiteral("cuiInformation"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(objects_.text->lineText("GI_Sys_AppTitle"));
  {
    CellFont font = workspace_.parser().newFont();
    workspace_.parser().parseFont(objects_.text->getLine("CellModel_BasicDialog", 0), font);
    dialog->setFont(screenFont(font, dialog->font()));
  }
  auto* panel = new QFrame(dialog);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(8, 8, 8, 8);
  cuiSheet* sheet = cuiSheet::open("GI_Sheet_CloneInfo", sheetServices(), panel);
  // The box shows the whole sheet: no scroll bars, the grid at its cells' size, and the sheet
  // around it with its title bar and frame.
  cuiGrid* grid = sheet->grid();
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setFixedSize(grid->sizeHint());
  sheet->setFixedSize(sheet->sizeHint());
  panelLayout->addWidget(sheet);
  auto* ok = new QPushButton(objects_.text->lineText("GI_AppInd_Button_OkCancel"), dialog);
  ok->setDefault(true);
  ok->setAutoDefault(true);
  connect(ok, &QPushButton::clicked, dialog, &QDialog::reject);
  connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
  auto* layout = new QVBoxLayout(dialog);
  layout->setContentsMargins(0, 0, 5, 5);
  layout->setSpacing(5);
  layout->addWidget(panel);
  layout->addWidget(ok, 0, Qt::AlignRight);
  dialog->setFixedSize(dialog->sizeHint());
  connect(dialog, &QObject::destroyed, this, [this] { enableMainForm(); });
  information_ = dialog;
  // Modeless for the program, but the main window takes no input while it shows.
  dialog->setWindowModality(Qt::WindowModal);
  placeDialogOver(dialog, form_.get());
  dialog->show();
  ok->setFocus();
  afterDocumentReplaced();
}

void cuiMain::about() {
  if (!form_) return;
  if (about_) {
    about_->raise();
    return;
  }
  auto* dialog = new QDialog(form_.get(), Qt::Dialog | Qt::WindowTitleHint |
                                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setObjectName(QStringLiteral("AboutDialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(objects_.text->lineText("GI_App_About_Caption"));
  {
    CellFont font = workspace_.parser().newFont();
    workspace_.parser().parseFont(objects_.text->getLine("CellModel_BasicDialog", 0), font);
    dialog->setFont(screenFont(font, dialog->font()));
  }
  constexpr int kIcon = 32;
  auto* icon = new QLabel(dialog);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  const QIcon appIcon = ImageLists::at(images_.large, 0);
  if (!appIcon.isNull()) icon->setPixmap(appIcon.pixmap(kIcon, kIcon));
  icon->setGeometry(kIcon / 2, kIcon / 2, kIcon, kIcon);

  // The label's lines with the version, then the year, in place of its two "%s".
  QString text = fromCp932(objects_.text->getSectionText("GI_App_About_Label_Reg"));
  for (const QByteArray& value : {versions_.version, versions_.year}) {
    const int at = int(text.indexOf(QLatin1String("%s")));
    if (at >= 0) text.replace(at, 2, fromCp932(value));
  }
  auto* label = new QLabel(text, dialog);
  label->setObjectName(QStringLiteral("aboutLabel"));
  label->setTextFormat(Qt::PlainText);  // ampersands shown as written
  label->adjustSize();
  // The text starts level with the icon rather than at the top edge, so the box has a margin
  // all round.
  label->move(kIcon / 2 + kIcon * 3 / 2, kIcon / 2);

  auto* ok = new QPushButton(objects_.text->lineText("GI_App_About_Button"), dialog);
  ok->setDefault(true);
  ok->setAutoDefault(true);
  ok->resize(kIcon * 5 / 2, ok->sizeHint().height());
  ok->move(label->geometry().right() + 1 + 2 * kIcon, kIcon / 2);
  connect(ok, &QPushButton::clicked, dialog, &QDialog::reject);
  connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
  dialog->setFixedSize(
      ok->geometry().right() + 1 + kIcon / 2,
      std::max({label->geometry().bottom() + 1, ok->geometry().bottom() + 1, kIcon * 3 / 2}) +
          kIcon / 2);
  connect(dialog, &QObject::destroyed, this, [this] { enableMainForm(); });
  about_ = dialog;
  dialog->setWindowModality(Qt::WindowModal);
  placeDialogOver(dialog, form_.get());
  dialog->show();
  ok->setFocus();
}

void cuiMain::helpContents() {
  if (help_) help_->showContents();
}

void cuiMain::contextHelp(int link) {
  if (help_) help_->showContext(link, QCursor::pos());
}
