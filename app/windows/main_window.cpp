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
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/session/error_reporter.h"
#include "app/windows/edge_text.h"
#include "app/windows/identification_dialog.h"

namespace pelvane {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const char* utf8, int x, int y, int width,
                  bool value) {
  auto* label = new QLabel(QString::fromUtf8(utf8), parent);
  label->setTextFormat(Qt::PlainText);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(x, y, width, 16);
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

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Pelvane"));
  resize(544, 375);

  customerBox = new QGroupBox(QString::fromUtf8(" Uživatel "), this);
  customerBox->setObjectName(QStringLiteral("customerBox"));
  customerBox->setFixedHeight(65);
  nameCaption = MakeLabel(customerBox, "nameCaption", "Jméno", 8, 16, 190, false);
  birthNumberCaption =
      MakeLabel(customerBox, "birthNumberCaption", "Rodné číslo", 208, 16, 180, false);
  balanceCaption = MakeLabel(customerBox, "balanceCaption", "Stav účtu", 400, 16, 136, false);
  nameLabel = MakeLabel(customerBox, "nameLabel", "", 8, 32, 196, true);
  birthNumberLabel = MakeLabel(customerBox, "birthNumberLabel", "", 208, 32, 188, true);
  balanceLabel = MakeLabel(customerBox, "balanceLabel", "", 400, 32, 136, true);

  logBox = new QGroupBox(QStringLiteral(" Akce "), this);
  logBox->setObjectName(QStringLiteral("logBox"));
  logView = new QPlainTextEdit(logBox);
  logView->setObjectName(QStringLiteral("logView"));
  logView->setReadOnly(true);
  logView->setLineWrapMode(QPlainTextEdit::NoWrap);
  logView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  logView->setFont(LogFont());
  auto* memo_layout = new QVBoxLayout(logBox);
  memo_layout->setContentsMargins(4, 4, 4, 4);
  memo_layout->addWidget(logView);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(customerBox);
  layout->addWidget(logBox, 1);

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  GuardHandler([this] { createSession(); });
  GuardHandler([this] { openReceiver(); });
}

MainWindow::~MainWindow() = default;

void MainWindow::createSession() {
  // The session first: a failing alias must not leave the window without its protocol.
  session_ = std::make_unique<WalletSession>(*this, *this, ProcessErrorReporter());
  RegisterTemporaryAlias(databaseSession, ProgramDirectory());
}

void MainWindow::openReceiver() {
  receiver = std::make_unique<TUDPSocket>();
  OpenWalletReceiver(*receiver,
                     [this](TUDPSocket& sender, int byte_count, const std::string& from_ip) {
                       onDatagramReceived(sender, byte_count, from_ip);
                     });
}

void MainWindow::onDatagramReceived(TUDPSocket& sender, int byte_count,
                                    const std::string& from_ip) {
  if (session_) session_->UDPSocket1DataReceived(sender, byte_count, from_ip);
}

void MainWindow::AppendLine(std::string_view line) {
  QString text = Cp1250ToQString(line);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QChar(u'\r'), QChar(u'\n'));
  logView->appendPlainText(text);
}

void MainWindow::SetLabel(WalletLabel label, std::string_view text) {
  QLabel* target = label == WalletLabel::kName          ? nameLabel
                   : label == WalletLabel::kBirthNumber ? birthNumberLabel
                                                        : balanceLabel;
  target->setText(Cp1250ToQString(text));
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The session starts once, at the first showing; restoring the window later starts nothing.
  if (shown_) return;
  shown_ = true;
  GuardHandler([this] { onFirstShow(); });
}

void MainWindow::onFirstShow() {
  if (session_) session_->Start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();  // the window hides; ending the program is the dialog's business
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
