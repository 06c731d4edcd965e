// What the wallet and the peers agree on: read the same way by both.
#include <gtest/gtest.h>

#include <string>

#include "app/session/wallet_keys.h"
#include "crypto/exception.h"
#include "messaging/frames.h"
#include "protocol/customer_digest.h"
#include "protocol/key_message.h"
#include "protocol/messages.h"
#include "protocol/order.h"
#include "protocol/refusal.h"
#include "protocol/texts.h"

namespace pelvane {
namespace {

TEST(Refusal, MarkerAndStripping) {
  struct Case {
    std::string text;
    bool refusal;
    std::string stripped;
  };
  const Case cases[] = {
      {"*** Nezn\xE1m\xFD po\x9E"
       "adavek.",
       true,
       "Nezn\xE1m\xFD po\x9E"
       "adavek."},
      {"***Bez mezery", true, "Bez mezery"},
      {"***   ", true, ""},
      {"**", false, "**"},
      {" *** ", false, " *** "},
      {"5000", false, "5000"},
      {"", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsRefusal(c.text), c.refusal);
    EXPECT_EQ(StripRefusalMark(c.text), c.stripped);
  }
}

TEST(OrderLine, FieldsAsBothSidesReadThem) {
  struct Case {
    std::string line, name, count, price;
    bool complete;
  };
  const Case cases[] = {
      {"Kniha;2;300", "Kniha", "2", "300", true},
      {";1;5", "", "1", "5", true},
      {"Kniha;1;3;00", "Kniha", "1", "3;00", true},  // the price keeps later ";"
      {"Kniha;;", "Kniha", "", "", true},
      {"Kniha;300", "Kniha", "", "", false},
      {"Kniha", "Kniha", "", "", false},
      {"", "", "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const OrderLineFields f = SplitOrderLine(c.line);
    EXPECT_EQ(f.name, c.name);
    EXPECT_EQ(f.count, c.count);
    EXPECT_EQ(f.price, c.price);
    EXPECT_EQ(f.complete, c.complete);
  }
  // The count does not multiply the price.
  EXPECT_EQ(AddToOrderTotal(AddToOrderTotal(0, 300), 20), 320);
}

TEST(CustomerDigest, IdentificationTextAndItsFirstShaDigest) {
  EXPECT_EQ(IdentificationText("A", "B", "C", ""), "A B C ");
  EXPECT_EQ(IdentificationText(" Jan", "Nov\xE1k ", "", "h s"), " Jan Nov\xE1k   h s");
  EXPECT_EQ(ComputeCustomerDigest("A", "B", "C", ""), "1246F5D97D55CE53E51593D0A4B873AF6E244BBE");
  EXPECT_NE(ComputeCustomerDigest("A", "B", "C", "x"), ComputeCustomerDigest("A", "B", "C", ""));
}

TEST(SharedTexts, TheBanksReasonIsTheWalletsRefusalWithoutItsMarker) {
  EXPECT_TRUE(IsRefusal(kInsufficientFundsText));
  EXPECT_EQ(StripRefusalMark(kInsufficientFundsText), kInsufficientFundsReason);
  EXPECT_EQ(std::string(kEndOfConnectionLine), "--- KONEC SPOJEN\xCD ---");
}

TEST(MessageIds, FrameIdentifierIsItsFirstTwoHexadecimalDigits) {
  EXPECT_EQ(MessageIdOf("6300BA"), kMsgWalletKey);
  EXPECT_EQ(MessageIdOf("4f"), kMsgDualOrder);
  EXPECT_EQ(MessageIdOf("0"), 0);
  EXPECT_THROW(MessageIdOf(""), EConvertError);
  EXPECT_THROW(MessageIdOf("G1"), EConvertError);
}

TEST(KeyMessage, CarriesAPublicKeyOrNothingIsTaken) {
  EXPECT_EQ(PublicKeyOfKeyMessage(BuildPlainFrame(kWalletPublicKey, kMsgWalletKey)),
            kWalletPublicKey);
  // A truncated key and no key at all are refused.
  for (const std::string& body : {std::string(kWalletPublicKey).substr(0, 40), std::string()}) {
    SCOPED_TRACE(body);
    EXPECT_ANY_THROW(PublicKeyOfKeyMessage(BuildPlainFrame(body, kMsgBankKey)));
  }
  EXPECT_ANY_THROW(PublicKeyOfKeyMessage("6300"));
}

}  // namespace
}  // namespace pelvane
