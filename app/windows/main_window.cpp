#include "app/windows/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/session/customer.h"
#include "app/session/error_reporter.h"
#include "app/windows/edge_text.h"
#include "app/windows/identification_dialog.h"
#include "crypto/formats/charset.h"
#include "messaging/memory_stream.h"
#include "protocol/messages.h"

namespace pelvane {
namespace {

// Where the customer box puts its three columns and two rows when the texts fit there.
constexpr int kColumnX[] = {8, 208, 400};
constexpr int kCaptionY = 16;
constexpr int kValueY = 32;
constexpr int kLabelHeight = 16;
constexpr int kCustomerBoxHeight = 65;
constexpr int kColumnGap = 4;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* utf8, bool value) {
  auto* label = new QLabel(QString::fromUtf8(utf8), parent);
  label->setTextFormat(Qt::PlainText);
  label->setObjectName(QString::fromLatin1(name));
  if (value) {
    QFont font = label->font();
    font.setBold(true);
    font.setPixelSize(13);
    label->setFont(font);
  }
  return label;
}

QFont LogFont() {
  const QString courier = QStringLiteral("Courier New");
  QFont font = QFontDatabase::families().contains(courier)
                   ? QFont(courier)
                   : QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPointSize(9);
  return font;
}

// The identifier of the datagram the receiver holds, without taking it from the session; -1 when
// it has none.
int PeekIdentifier(TUDPSocket& receiver, int byte_count) {
  if (byte_count < 2) return -1;
  try {
    TMemoryStream stream;
    receiver.ReadStream(stream);
    return MessageIdOf(stream.Bytes());
  } catch (...) {
    return -1;
  }
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Pelvane"));
  resize(544, 375);

  customerBox = new QGroupBox(QString::fromUtf8(" Uživatel "), this);
  customerBox->setObjectName(QStringLiteral("customerBox"));
  nameCaption = MakeLabel(customerBox, "nameCaption", "Jméno", false);
  birthNumberCaption = MakeLabel(customerBox, "birthNumberCaption", "Rodné číslo", false);
  balanceCaption = MakeLabel(customerBox, "balanceCaption", "Stav účtu", false);
  nameLabel = MakeLabel(customerBox, "nameLabel", "", true);
  birthNumberLabel = MakeLabel(customerBox, "birthNumberLabel", "", true);
  balanceLabel = MakeLabel(customerBox, "balanceLabel", "", true);
  // Screen readers announce each value under the caption it stands beneath.
  nameLabel->setAccessibleName(nameCaption->text());
  birthNumberLabel->setAccessibleName(birthNumberCaption->text());
  balanceLabel->setAccessibleName(balanceCaption->text());
  customerBox->installEventFilter(this);

  logBox = new QGroupBox(QStringLiteral(" Akce "), this);
  logBox->setObjectName(QStringLiteral("logBox"));
  logView = new QPlainTextEdit(logBox);
  logView->setObjectName(QStringLiteral("logView"));
  logView->setAccessibleName(QStringLiteral("Akce"));
  logView->setReadOnly(true);
  logView->setLineWrapMode(QPlainTextEdit::NoWrap);
  logView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logView->setFont(LogFont());
  auto* log_layout = new QVBoxLayout(logBox);
  log_layout->setContentsMargins(4, 4, 4, 4);
  log_layout->addWidget(logView);

  statusLabel = new QLabel(this);
  statusLabel->setObjectName(QStringLiteral("statusLabel"));
  statusLabel->setAccessibleName(QStringLiteral("Stav"));
  statusLabel->setTextFormat(Qt::PlainText);
  statusLabel->setWordWrap(true);  // a long text at a large font takes a second line
  statusLabel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  statusLabel->setContentsMargins(4, 1, 4, 1);
  status_ = std::make_unique<StatusLine>(*statusLabel);
  transport_ = std::make_unique<StatusTransport>(datagrams_, *status_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(customerBox);
  layout->addWidget(logBox, 1);
  layout->addWidget(statusLabel);
  layOutCustomerBox();

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  GuardHandler([this] { createSession(); });
  GuardHandler([this] { openReceiver(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::createSession() {
  // The session first: a failing alias must not leave the window without its protocol.
  session_ = std::make_unique<WalletSession>(*this, *this, ProcessErrorReporter(), *transport_);
  RegisterTemporaryAlias(databaseSession, ProgramDirectory());
}

void MainWindow::openReceiver() {
  receiver = std::make_unique<TUDPSocket>();
  OpenWalletReceiver(*receiver,
                     [this](TUDPSocket& sender, int byte_count, const std::string& from_ip) {
                       onDatagramReceived(sender, byte_count, from_ip);
                     });
}

template <typename Step>
void MainWindow::RunStep(Step&& step) {
  ++steps_running_;
  std::forward<Step>(step)();
  --steps_running_;
  if (session_ && session_->ConnectionEnded()) status_->Ended();
  if (steps_running_ == 0 && close_pending_) {
    close_pending_ = false;
    GuardHandler([this] { onClose(); });
  }
}

void MainWindow::onDatagramReceived(TUDPSocket& sender, int byte_count,
                                    const std::string& from_ip) {
  if (!session_) return;
  status_->Received(PeekIdentifier(sender, byte_count));
  // The session's handler never throws.
  RunStep([&] { session_->ReceiveFrom(sender, byte_count, from_ip); });
}

void MainWindow::AppendLine(std::string_view line) {
  // Line breaks (CR LF) stay; every other control byte of a received text is shown as \xNN.
  const QString text = Cp1250ToQString(EscapeControlBytes(line));
  // Every line is a block of its own, the first one included (appendPlainText would put a first
  // empty line and the next line into one block).
  QScrollBar* scroll = logView->verticalScrollBar();
  const bool follow = scroll->value() == scroll->maximum();
  QTextCursor cursor(logView->document());
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  if (log_has_lines_) cursor.insertBlock();
  cursor.insertText(text);
  cursor.endEditBlock();
  log_has_lines_ = true;
  // The newest line stays in view unless the user has scrolled up to read.
  if (follow) scroll->setValue(scroll->maximum());
}

void MainWindow::SetLabel(WalletLabel label, std::string_view text) {
  QLabel* target = label == WalletLabel::kName          ? nameLabel
                   : label == WalletLabel::kBirthNumber ? birthNumberLabel
                                                        : balanceLabel;
  target->setText(Cp1250ToQString(text));
  layOutCustomerBox();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == customerBox &&
      (event->type() == QEvent::Resize || event->type() == QEvent::FontChange ||
       event->type() == QEvent::StyleChange)) {
    layOutCustomerBox();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::layOutCustomerBox() {
  QLabel* const captions[] = {nameCaption, birthNumberCaption, balanceCaption};
  QLabel* const values[] = {nameLabel, birthNumberLabel, balanceLabel};
  // Each column starts where it should, or further right when the column before needs the room.
  int x[3];
  int need[3];
  for (int i = 0; i < 3; ++i) {
    need[i] = std::max(captions[i]->sizeHint().width(), values[i]->sizeHint().width());
    x[i] = i == 0 ? kColumnX[0] : std::max(kColumnX[i], x[i - 1] + need[i - 1] + kColumnGap);
  }
  const int box_width = std::max(customerBox->width(), x[2] + need[2] + kColumnX[0]);
  // The captions' row sits below the box's title; the values' row below the captions.
  const int caption_height = std::max(kLabelHeight, nameCaption->sizeHint().height());
  const int value_height = std::max(kLabelHeight, nameLabel->sizeHint().height());
  const int title_bottom = customerBox->fontMetrics().height();
  const int caption_y = std::max(kCaptionY, title_bottom + 2);
  const int value_y = std::max(kValueY, caption_y + caption_height);
  for (int i = 0; i < 3; ++i) {
    const int right = i < 2 ? x[i + 1] - kColumnGap : box_width - kColumnGap;
    const int width = std::max(right - x[i], need[i]);
    captions[i]->setGeometry(x[i], caption_y, width, caption_height);
    values[i]->setGeometry(x[i], value_y, width, value_height);
  }
  customerBox->setFixedHeight(std::max(kCustomerBoxHeight, value_y + value_height + 17));
  customerBox->setMinimumWidth(x[2] + need[2] + kColumnX[0]);
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The session starts once, at the first showing; restoring the window later starts nothing.
  if (shown_) return;
  shown_ = true;
  RunStep([this] { GuardHandler([this] { onFirstShow(); }); });
}

void MainWindow::onFirstShow() {
  // The customer the dialog accepted, and the purchase of this run.
  if (session_) session_->Start(ExchangeFromProgramState());
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();  // the window hides; ending the program is the dialog's business
  // During a step (in one of its pauses) the program ends once the step is done, so that what the
  // step sends still leaves, each datagram after its full pause.
  if (steps_running_ > 0) {
    close_pending_ = true;
    return;
  }
  GuardHandler([this] { onClose(); });
}

void MainWindow::onClose() {
  if (dialog_ != nullptr) {
    dialog_->close();
  } else {
    QCoreApplication::quit();
  }
}

}  // namespace pelvane
