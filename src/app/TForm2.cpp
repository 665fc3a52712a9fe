#include "app/TForm2.h"

#include <QCloseEvent>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "app/ImageLists.h"
#include "app/PortCombo.h"
#include "app/cuiMain.h"
#include "base/cmcEvMan.h"
#include "base/events.h"
#include "base/prompter.h"
#include "base/textcodec.h"
#include "clone/SimulatedSerialDevice.h"
#include "clone/indCloneMan.h"
#include "files/indEnviron.h"
#include "gtex/cellmarkup.h"
#include "gtex/cmcGTex.h"

namespace {
// Positions and sizes of the form's parts (pixels, in their parents).
constexpr QRect kButton1{400, 280, 75, 25};
constexpr QRect kButton2{488, 280, 75, 25};
constexpr QRect kPanel1{8, 8, 553, 265};
constexpr QRect kPanel2{16, 16, 433, 233};
constexpr QRect kMemo1{8, 8, 417, 217};
constexpr QPoint kPanel3{463, 16};
constexpr QSize kImage1{77, 43};
constexpr QRect kComm{464, 226, 78, 23};
constexpr QPoint kLabel1{462, 208};

// The transceiver picture at the image's width, in its own proportions, above the port's label.
QPixmap transceiverPicture(int width) {
  const QIcon icon(QStringLiteral(":/icons/transceiver.svg"));
  if (icon.isNull()) return {};
  return icon.pixmap(QSize(width, kLabel1.y() - kPanel3.y() - 8));
}
}  // namespace

TForm2::TForm2(cuiMain& app) : QDialog(nullptr), app_(app) {
  setObjectName(QStringLiteral("Form2"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                 Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(false);

  panel1_ = new QFrame(this);
  panel1_->setObjectName(QStringLiteral("Panel1"));
  panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel1_->setLineWidth(2);
  panel2_ = new QFrame(panel1_);
  panel2_->setObjectName(QStringLiteral("Panel2"));
  panel2_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel2_->setLineWidth(1);
  panel2_->setGeometry(kPanel2);
  memo1_ = new QPlainTextEdit(panel2_);
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setReadOnly(true);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setGeometry(kMemo1);
  panel3_ = new QFrame(panel1_);
  panel3_->setObjectName(QStringLiteral("Panel3"));
  panel3_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel3_->setLineWidth(1);
  image1_ = new QLabel(panel3_);
  image1_->setObjectName(QStringLiteral("Image1"));
  label1_ = new QLabel(panel1_);
  label1_->setObjectName(QStringLiteral("Label1"));
  cbComm_ = new PortCombo(panel1_);
  label1_->setBuddy(cbComm_);
  button1_ = new QPushButton(QStringLiteral("OK"), this);
  button1_->setObjectName(QStringLiteral("Button1"));
  button1_->setDefault(true);
  button2_ = new QPushButton(QStringLiteral("Cancel"), this);
  button2_->setObjectName(QStringLiteral("Button2"));
  connect(button1_, &QPushButton::clicked, this, &TForm2::Button1Click);
  connect(button2_, &QPushButton::clicked, this, &TForm2::reject);

  // The port box starts with the stored port, or with the simulated transceiver when the run was
  // started with it.
  const bool runOnSimulator =
      SimulatedSerialDevice::isSimulatorName(app_.cloneManager().PortName());
  cbComm_->setEditText(runOnSimulator ? QString::fromLatin1(SimulatedSerialDevice::kPortName)
                                      : portlist::storedText(app_.settings()));

  app_.bus().subscribe<&TForm2::onEvent>(this);
  subscribed_ = true;
}

TForm2::~TForm2() {
  if (subscribed_) app_.bus().unsubscribe<&TForm2::onEvent>(this);
}

void TForm2::showInitialSetup() {
  cmcGTex& text = app_.text();
  {
    cmcCellParser parser(text);
    CellFont font = parser.newFont();
    parser.parseFont(text.getLine("CellModel_InitialDialog", 0), font);
    setFont(screenFont(font, QWidget::font()));
  }
  setWindowTitle(text.lineText("GI_App_InitialSetup_Form_Caption"));
  label1_->setText(text.lineText("GI_App_InitialSetup_ComPort_Caption"));
  button2_->setText(text.lineText("GI_AppInd_Opt_ComSel_Buttons", 1));
  indEnviron& env = app_.settings();
  env.recomputeSetupState();
  if (env.setupState() == indEnviron::kSetupNeeded || env.setupState() == indEnviron::kSetupForced)
    memo1_->setPlainText(
        fromCp932(text.getSectionText("GI_App_InitialSetup_Memo_Caption")).trimmed() +
        QStringLiteral("\n\nNo transceiver at hand? Choose \"%1\" in [COM Port] to try Kestrin "
                       "with a transceiver simulated inside the program; its memory is kept "
                       "between runs.")
            .arg(QString::fromLatin1(SimulatedSerialDevice::kPortName)));

  // The layout: the right-hand column is widened when the port box needs more room than its 78
  // pixels for the simulated transceiver's name; everything right of it moves along.
  const QFontMetrics fm(font());
  const int needed = fm.horizontalAdvance(QString::fromLatin1(SimulatedSerialDevice::kPortName)) +
                     2 * fm.height() + 8;
  const int extra = qMax(0, needed - kComm.width());
  panel1_->setGeometry(kPanel1.adjusted(0, 0, extra, 0));
  const QPixmap picture = transceiverPicture(kImage1.width());
  const QSize imageSize = picture.isNull() ? kImage1 : picture.deviceIndependentSize().toSize();
  image1_->setPixmap(picture);
  image1_->setGeometry(1, 1, imageSize.width(), imageSize.height());
  panel3_->setGeometry(kPanel3.x() + extra / 2, kPanel3.y(), imageSize.width() + 2,
                       imageSize.height() + 2);
  label1_->adjustSize();
  label1_->move(kLabel1);
  cbComm_->setGeometry(
      kComm.adjusted(0, 0, extra, qMax(0, cbComm_->sizeHint().height() - kComm.height())));
  button1_->setGeometry(kButton1.translated(extra, 0));
  button2_->setGeometry(kButton2.translated(extra, 0));
  QSize client(panel1_->width() + 2 * panel1_->x(),
               button1_->y() + button1_->height() + panel1_->x());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    client = client.boundedTo(area.size());
    setFixedSize(client);
    move(area.x() + (area.width() - client.width()) / 2,
         area.y() + (area.height() - client.height()) / 2);
  } else {
    setFixedSize(client);
  }
  setTabOrder(cbComm_, button1_);
  setTabOrder(button1_, button2_);
  setTabOrder(button2_, memo1_);

  show();
  raise();
  activateWindow();
  cbComm_->setFocus();
}

void TForm2::Button1Click() {
  const portlist::Choice choice = cbComm_->choice();
  if (choice.kind == portlist::Choice::kNone) {
    QString message = app_.text().lineText("GI_AppInd_Opt_ComSel_Notice");
    if (!portlist::portHint().isEmpty()) message += QStringLiteral("\n\n") + portlist::portHint();
    app_.prompter().inform(app_.text().lineText("GI_Sys_AppTitle"), message, PromptIcon::Error);
    cbComm_->setFocus();
    return;
  }
  // The simulated transceiver given for the run is used without being stored; any other choice
  // is stored and used.
  if (choice.kind == portlist::Choice::kSimulator &&
      SimulatedSerialDevice::isSimulatorName(app_.cloneManager().PortName())) {
    app_.bus().send(ev::kCloneInformation);
    return;
  }
  app_.cloneManager().SetPortName(QString());
  portlist::store(app_.settings(), choice);
  app_.bus().send(ev::kCloneInformation);
}

void TForm2::onEvent(const cmcEvent& event) {
  switch (event.code) {
    case ev::kCloneStarted:
      if (isVisible()) setEnabled(false);
      break;
    case ev::kCloneEnded:
      // After a good identification the dialog stays disabled until it closes.
      if (isVisible() && event.a == 0) {
        setEnabled(true);
        cbComm_->setFocus();
      }
      break;
    case ev::kSetupFinished: {
      indEnviron& env = app_.settings();
      if (env.destinationCode() > 16) {
        env.setSetupState(indEnviron::kSetupNeeded);
      } else {
        env.setSetupState(indEnviron::kSetupNeeded);
        env.recomputeSetupState();
        app_.bus().send(ev::kResetToDefaultImage);
      }
      close();
      break;
    }
    default:
      break;
  }
}

void TForm2::reject() { close(); }

void TForm2::closeEvent(QCloseEvent* event) {
  // An identification under way finishes first; the dialog is disabled meanwhile.
  if (app_.cloneManager().IsBusy()) {
    event->ignore();
    return;
  }
  event->accept();
  if (subscribed_) {
    subscribed_ = false;
    app_.bus().unsubscribe<&TForm2::onEvent>(this);
  }
  app_.bus().send(ev::kShowMainWindow);
  app_.bus().send(ev::kRefreshToolbar);
}
