// The main window. Shows the customer's name, birth number and balance, the log of the protocol
// and, at the bottom, a status line saying what the wallet waits for. It owns only widgets: the
// protocol runs in a WalletSession that logs and sets labels through this window's LogSink and
// LabelSink.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "app/session/database_alias.h"
#include "app/session/sinks.h"
#include "app/session/transport.h"
#include "app/session/wallet_session.h"
#include "app/windows/status_line.h"
#include "messaging/udp_socket.h"

class QCloseEvent;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QShowEvent;

namespace pelvane {

class IdentificationDialog;

class MainWindow final : public QWidget, public LogSink, public LabelSink {
  Q_OBJECT

 public:
  // Builds the window, hidden, creates the session, registers the database alias and opens the
  // receiver on port 2000. When the port is held by another program, an error box says so and
  // Receiving() is false.
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The identification dialog that closing this window closes. Not owned.
  void SetDialog(IdentificationDialog* dialog) noexcept { dialog_ = dialog; }

  // LogSink: appends a Windows-1250 line (a text with line breaks shows as several lines). The
  // newest line stays in view unless the user has scrolled up.
  void AppendLine(std::string_view line) override;
  // LabelSink: nameLabel, birthNumberLabel or balanceLabel.
  void SetLabel(WalletLabel label, std::string_view text) override;

  WalletSession* Session() noexcept { return session_.get(); }
  StatusLine& Status() noexcept { return *status_; }
  // True when the receiver holds port 2000.
  bool Receiving() const noexcept { return receiver && receiver->Bound(); }

  QGroupBox* customerBox;
  QLabel* nameCaption;
  QLabel* birthNumberCaption;
  QLabel* balanceCaption;
  QLabel* nameLabel;         // first name and surname
  QLabel* birthNumberLabel;  // birth number
  QLabel* balanceLabel;      // account balance
  QGroupBox* logBox;
  QPlainTextEdit* logView;
  QLabel* statusLabel;  // the status line's text
  TDatabaseSession databaseSession{"Pokus"};
  // The receiver on local port 2000, bound from the window's creation to its end; every
  // datagram goes to the session. Null only when the socket could not be created at all.
  std::unique_ptr<TUDPSocket> receiver;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createSession();
  void onFirstShow();
  void onClose();
  void openReceiver();
  void onDatagramReceived(TUDPSocket& sender, int byte_count, const std::string& from_ip);
  // Runs a step of the session. A close asked for meanwhile ends the program after the step.
  template <typename Step>
  void RunStep(Step&& step);
  // Places the captions and values of the customer box so that every text fits.
  void layOutCustomerBox();

  bool log_has_lines_ = false;
  DatagramTransport datagrams_;
  std::unique_ptr<StatusLine> status_;
  std::unique_ptr<StatusTransport> transport_;
  std::unique_ptr<WalletSession> session_;
  IdentificationDialog* dialog_ = nullptr;
  bool shown_ = false;
  int steps_running_ = 0;
  bool close_pending_ = false;
};

}  // namespace pelvane
