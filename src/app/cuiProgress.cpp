#include "app/cuiProgress.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>

#include "app/dialogplacement.h"
#include "base/cmcTask.h"
#include "clone/indCloneMan.h"

class cuiProgress::Area : public QWidget {
 public:
  explicit Area(cuiProgress* owner) : QWidget(owner), progress_(owner) {
    setFixedSize(kAreaWidth, kAreaHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    const QColor window = palette().color(QPalette::Window);
    const QColor lit = palette().color(QPalette::Highlight);
    const int cell = kAreaWidth / kCells;
    for (int i = 0; i < kCells; ++i) {
      // Each cell keeps a one-pixel separator in the window colour at its right.
      p.fillRect(i * cell, 0, cell - 1, kAreaHeight, i < progress_->lit_ ? lit : window);
      p.fillRect(i * cell + cell - 1, 0, 1, kAreaHeight, window);
    }
  }

 private:
  cuiProgress* progress_;
};

cuiProgress::cuiProgress(QWidget* owner, StateSource source)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      owner_(owner),
      source_(std::move(source)) {
  setObjectName(QStringLiteral("cuiProgress"));
  setWindowTitle(QStringLiteral("Cloning"));
  setWindowModality(Qt::NonModal);
  panel_ = new QFrame(this);
  panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel_->setLineWidth(1);
  panel_->setGeometry(16, 8, kAreaWidth + 2, kAreaHeight + 2);
  area_ = new Area(this);
  area_->setParent(panel_);
  area_->move(1, 1);
  setFixedSize(panel_->width() + 32, panel_->height() + 32);

  task_ = new cmcTask(this);
  task_->SetCallback([this](void*, cmcTask*) { beat(); });
}

cuiProgress::~cuiProgress() {
  if (task_) task_->StopAndClear();
  if (owner_ && !finishing_) owner_->setEnabled(true);
}

QWidget* cuiProgress::paintArea() const { return area_; }

void cuiProgress::open() {
  if (owner_) owner_->setEnabled(false);
  setEnabled(true);
  beat();
  show();
  placeDialogOver(this, owner_);
  task_->SetInterval(kRepaintMs);
}

void cuiProgress::finish() {
  finishing_ = true;
  task_->SetInterval(-1);
  hide();
  if (owner_) owner_->setEnabled(true);
  deleteLater();
}

void cuiProgress::beat() {
  const State s = source_ ? source_() : State{};
  const int lit = indCloneMan::LitCells(s.transferred, s.total);
  if (lit != lit_) {
    lit_ = lit;
    area_->update();
  }
  if (!s.running) task_->SetInterval(-1);
}

void cuiProgress::closeEvent(QCloseEvent* event) {
  if (finishing_)
    event->accept();
  else
    event->ignore();
}

void cuiProgress::keyPressEvent(QKeyEvent* event) {
  // Escape would close a dialog; this window stays until the transfer ends.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}
