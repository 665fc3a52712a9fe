#include "print/cuiPreview.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "base/textcodec.h"
#include "gtex/cmcGTex.h"

namespace {

QString line(cmcGTex& text, const char* key, int n, const char* fallback) {
  if (!text.hasSection(key)) return QString::fromLatin1(fallback);
  const QString s = text.lineText(key, n);
  return s.startsWith(QLatin1Char('#')) || s.isEmpty() ? QString::fromLatin1(fallback) : s;
}

constexpr const char* kFallbackCaptions[] = {
    "&Print", "&Setting...", "Top Page", "Previous Page", "Next Page", "Last Page", "Zoom"};
constexpr const char* kIcons[] = {nullptr,
                                  nullptr,
                                  ":/icons/imgIcon_Bar_Page_Top.svg",
                                  ":/icons/imgIcon_Bar_Page_Previous.svg",
                                  ":/icons/imgIcon_Bar_Page_Next.svg",
                                  ":/icons/imgIcon_Bar_Page_Last.svg",
                                  ":/icons/imgIcon_Bar_Page_Zoom.svg"};
constexpr int kZoomFactor = 2;

}  // namespace

cuiPreview::cuiPreview(PrintLayout& layout, cmcGTex& text, double screenDpi, QWidget* parent)
    : QDialog(parent), layout_(layout), text_(text), screenDpi_(screenDpi > 0 ? screenDpi : 96) {
  setWindowTitle(line(text, "GI_Sys_AppTitle", 0, "Kestrin"));
  auto* layoutBox = new QVBoxLayout(this);
  layoutBox->setContentsMargins(0, 0, 0, 0);
  layoutBox->setSpacing(0);

  bar_ = new QToolBar(this);
  bar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  const QKeySequence keys[] = {QKeySequence(Qt::ALT | Qt::Key_P), QKeySequence(Qt::ALT | Qt::Key_S),
                               QKeySequence(Qt::Key_Home),        QKeySequence(Qt::Key_PageUp),
                               QKeySequence(Qt::Key_PageDown),    QKeySequence(Qt::Key_End),
                               QKeySequence(Qt::CTRL | Qt::Key_Z)};
  for (int a = 0; a < ActionCount; ++a) {
    const QString caption = line(text, "GI_AppInd_Preview_Caption", a, kFallbackCaptions[a]);
    QAction* act = bar_->addAction(caption);
    act->setIconText(QString(caption).remove(QLatin1Char('&')));
    if (kIcons[a]) act->setIcon(QIcon(QString::fromLatin1(kIcons[a])));
    act->setShortcut(keys[a]);
    act->setToolTip(
        QStringLiteral("%1 (%2)").arg(act->iconText(), keys[a].toString(QKeySequence::NativeText)));
    actions_[a] = act;
  }
  actions_[Zoom]->setCheckable(true);
  pageBox_ = new QLineEdit(bar_);
  pageBox_->setValidator(new QIntValidator(1, 9999, pageBox_));
  pageBox_->setAlignment(Qt::AlignRight);
  pageBox_->setMaximumWidth(pageBox_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                            12);
  bar_->addWidget(pageBox_);
  countLabel_ = new QLabel(bar_);
  bar_->addWidget(countLabel_);
  layoutBox->addWidget(bar_);

  scroll_ = new QScrollArea(this);
  scroll_->setAlignment(Qt::AlignCenter);
  scroll_->setBackgroundRole(QPalette::Dark);
  image_ = new QLabel;
  scroll_->setWidget(image_);
  layoutBox->addWidget(scroll_, 1);

  status_ = new QStatusBar(this);
  status_->setSizeGripEnabled(false);
  statusField_ = new QLabel(status_);
  status_->addWidget(statusField_);
  layoutBox->addWidget(status_);

  connect(actions_[Print], &QAction::triggered, this, [this] {
    printChosen_ = true;
    accept();
  });
  connect(actions_[Setting], &QAction::triggered, this, [this] { changeSetting(); });
  connect(actions_[TopPage], &QAction::triggered, this, [this] { showPage(0); });
  connect(actions_[PreviousPage], &QAction::triggered, this, [this] { showPage(current_ - 1); });
  connect(actions_[NextPage], &QAction::triggered, this, [this] { showPage(current_ + 1); });
  connect(actions_[LastPage], &QAction::triggered, this, [this] { showPage(pageCount() - 1); });
  connect(actions_[Zoom], &QAction::toggled, this, [this] { render(); });
  connect(pageBox_, &QLineEdit::returnPressed, this,
          [this] { showPage(pageBox_->text().toInt() - 1); });
}

cuiPreview::~cuiPreview() = default;

void cuiPreview::setPages(std::vector<PrintPage> pages) {
  pages_ = std::move(pages);
  current_ = 0;
  countLabel_->setText(pageCountText());
  render();
  fitWindow();
}

void cuiPreview::showPage(int index) {
  if (pages_.empty()) return;
  index = std::clamp(index, 0, pageCount() - 1);
  if (index == current_ && !page_.isNull()) {
    pageBox_->setText(QString::number(current_ + 1));
    return;
  }
  current_ = index;
  render();
}

QString cuiPreview::pageCountText() const { return QString::asprintf(" / %d", pageCount()); }

QString cuiPreview::statusText() const {
  return QString::asprintf(" %d / %d", pages_.empty() ? 0 : current_ + 1, pageCount());
}

const QPixmap& cuiPreview::pageImage() const { return page_; }

void cuiPreview::render() {
  const bool any = !pages_.empty();
  pageBox_->setText(any ? QString::number(current_ + 1) : QString());
  statusField_->setText(statusText());
  actions_[TopPage]->setEnabled(any && current_ > 0);
  actions_[PreviousPage]->setEnabled(any && current_ > 0);
  actions_[NextPage]->setEnabled(any && current_ + 1 < pageCount());
  actions_[LastPage]->setEnabled(any && current_ + 1 < pageCount());
  actions_[Print]->setEnabled(any);
  if (!any) {
    page_ = QPixmap();
    image_->clear();
    return;
  }
  // The page at the screen's resolution: white with a black border, the page drawn scaled.
  const double factor =
      screenDpi_ / layout_.dpi() * (actions_[Zoom]->isChecked() ? kZoomFactor : 1);
  const QSize size(std::max(1, int(layout_.pageSize().width() * factor)),
                   std::max(1, int(layout_.pageSize().height() * factor)));
  QPixmap pixmap(size);
  pixmap.fill(Qt::white);
  {
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.save();
    p.scale(factor, factor);
    layout_.drawPage(p, pages_[current_]);
    p.restore();
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, size.width() - 1, size.height() - 1);
  }
  page_ = pixmap;
  image_->setPixmap(page_);
  image_->resize(page_.size());
}

void cuiPreview::fitWindow() {
  const QSize page = page_.isNull() ? QSize(400, 300) : page_.size();
  QSize want(page.width() + 100 + scroll_->verticalScrollBar()->sizeHint().width(),
             page.height() + 100 + bar_->sizeHint().height() + status_->sizeHint().height());
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    want = want.boundedTo(area.size());
    resize(want);
    move(area.left() + (area.width() - want.width()) / 2,
         area.top() + (area.height() - want.height()) / 2);
  } else {
    resize(want);
  }
}

void cuiPreview::changeSetting() {
  const int chosen = askFontSize ? askFontSize(fontSize) : settingDialog(text_, fontSize, this);
  if (chosen < 8 || chosen > 12) return;
  fontSize = chosen;
  if (relayout) {
    pages_ = relayout(chosen);
    countLabel_->setText(pageCountText());
  }
  current_ = 0;
  render();
}

int cuiPreview::settingDialog(cmcGTex& text, int fontSize, QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(line(text, "GI_AppInd_Preview_Setting_Caption", 0, "Setting"));
  auto* box = new QVBoxLayout(&dialog);
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(line(text, "GI_AppInd_Preview_Setting_Caption", 1, "Font Size: "));
  auto* list = new QComboBox;
  // The item numbers alone do not say how large the print is: the size in points goes beside.
  for (int i = 1; i <= 5; ++i) list->addItem(QStringLiteral("%1  (%2 pt)").arg(i).arg(i + 7));
  list->setCurrentIndex(std::clamp(fontSize, 8, 12) - 8);
  label->setBuddy(list);
  row->addWidget(label);
  row->addWidget(list, 1);
  box->addLayout(row);
  auto* buttons = new QDialogButtonBox;
  QPushButton* ok = buttons->addButton(line(text, "GI_AppInd_Button_OkCancel", 0, "OK"),
                                       QDialogButtonBox::AcceptRole);
  buttons->addButton(line(text, "GI_AppInd_Button_OkCancel", 1, "Cancel"),
                     QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  box->addWidget(buttons);
  list->setFocus();
  if (dialog.exec() != QDialog::Accepted) return 0;
  return list->currentIndex() + 8;
}
