// TForm1: the main window. Shows the customer's name, birth number and balance, and the log of the
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

class TForm2;

class TForm1 final : public QWidget, public LogSink, public LabelSink {
  Q_OBJECT

 public:
  // Builds the window, hidden, runs FormCreate (creates the session and registers the database
  // alias) and opens UDPSocket1 on port 2000. When the port is held by another program, an error
  // box says so and the window works without receiving.
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The identification dialog that closing this window closes. Not owned.
  void SetDialog(TForm2* dialog) noexcept { dialog_ = dialog; }

  // LogSink: appends a Windows-1250 line (a text with line breaks shows as several lines).
  void AppendLine(std::string_view line) override;
  // LabelSink: Label4, Label5 or Label6.
  void SetLabel(WalletLabel label, std::string_view text) override;

  WalletSession* Session() noexcept { return session_.get(); }

  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;  // first name and surname
  QLabel* Label5;  // birth number
  QLabel* Label6;  // account balance
  QGroupBox* GroupBox2;
  QPlainTextEdit* Memo1;
  TDatabaseSession Session1{"Pokus"};
  // The receiver on local port 2000, bound from the window's creation to its end; every
  // datagram goes to the session. Null only when the socket could not be created at all.
  std::unique_ptr<TUDPSocket> UDPSocket1;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void FormClose();
  void OpenUDPSocket1();
  void UDPSocket1DataReceived(TUDPSocket& sender, int NumberBytes, const std::string& FromIP);

  std::unique_ptr<WalletSession> session_;
  TForm2* dialog_ = nullptr;
  bool shown_ = false;
};

}  // namespace pelvane
