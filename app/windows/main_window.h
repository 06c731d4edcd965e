// The main window. Shows the customer's name, birth number and balance, and the log of the
// protocol. It owns only widgets: the protocol runs in a WalletSession that logs and sets labels
// through this window's LogSink and LabelSink.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "app/session/database_alias.h"
#include "app/session/sinks.h"
#include "app/session/wallet_session.h"
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
  // receiver on port 2000. When the port is held by another program, an error box says so and the
  // window works without receiving.
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // The identification dialog that closing this window closes. Not owned.
  void SetDialog(IdentificationDialog* dialog) noexcept { dialog_ = dialog; }

  // LogSink: appends a Windows-1250 line (a text with line breaks shows as several lines).
  void AppendLine(std::string_view line) override;
  // LabelSink: nameLabel, birthNumberLabel or balanceLabel.
  void SetLabel(WalletLabel label, std::string_view text) override;

  WalletSession* Session() noexcept { return session_.get(); }

  QGroupBox* customerBox;
  QLabel* nameCaption;
  QLabel* birthNumberCaption;
  QLabel* balanceCaption;
  QLabel* nameLabel;         // first name and surname
  QLabel* birthNumberLabel;  // birth number
  QLabel* balanceLabel;      // account balance
  QGroupBox* logBox;
  QPlainTextEdit* logView;
  TDatabaseSession databaseSession{"Pokus"};
  // The receiver on local port 2000, bound from the window's creation to its end; every
  // datagram goes to the session. Null only when the socket could not be created at all.
  std::unique_ptr<TUDPSocket> receiver;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createSession();
  void onFirstShow();
  void onClose();
  void openReceiver();
  void onDatagramReceived(TUDPSocket& sender, int byte_count, const std::string& from_ip);

  std::unique_ptr<WalletSession> session_;
  IdentificationDialog* dialog_ = nullptr;
  bool shown_ = false;
};

}  // namespace pelvane
