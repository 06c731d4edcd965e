#include "app/session/wallet_session.h"

#include <string>

#include "app/session/customer.h"
#include "app/session/purchase_file.h"

namespace pelvane {

WalletSession::WalletSession(LogSink& log, LabelSink& labels, ErrorReporter& errors)
    : log_(log), labels_(labels), errors_(errors) {}

WalletSession::~WalletSession() = default;

void WalletSession::Start() {
  if (PurchaseFile) {
    std::string url;
    PurchaseFile->FindFileValue(kMerchantUrlKey, url);
    MerchantHost = ExtractHost(url);
  }
  labels_.SetLabel(WalletLabel::kName, CustomerFirstName + ' ' + CustomerSurname);
  labels_.SetLabel(WalletLabel::kBirthNumber, CustomerBirthNumber);
}

}  // namespace pelvane
