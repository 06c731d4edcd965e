// The fields and amounts of the frames the peers send one another.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "peers/peer_wire.h"

namespace pelvane::peers {
namespace {

TEST(PeerFields, RoundTripAndRejectMalformedData) {
  const std::vector<std::string> fields = {"REF", "", std::string("a\0b;\xFF", 5),
                                           std::string(600, 'x')};
  EXPECT_EQ(UnpackFields(PackFields(fields), 4), fields);
  EXPECT_EQ(PackFields({"IP", ""}), "0002IP0000");
  const char* bad[] = {"0003IP", "00", "zz02IP", "0002IP0001"};
  for (const char* data : bad) {
    SCOPED_TRACE(data);
    EXPECT_THROW(UnpackFields(data, 1), EPeerFrame);
  }
  EXPECT_THROW(UnpackFields("0002IP", 2), EPeerFrame);      // too few
  EXPECT_THROW(UnpackFields("0002IP0000", 1), EPeerFrame);  // too many
}

TEST(PeerFields, AmountsAreDecimalDigitsOnly) {
  EXPECT_EQ(ParseAmount("0"), 0);
  EXPECT_EQ(ParseAmount("2147483647"), 2147483647);
  for (const char* bad : {"", "-1", "+1", " 1", "1 ", "12a", "2147483648", "99999999999"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseAmount(bad), EPeerFrame);
  }
}
}  // namespace
}  // namespace pelvane::peers
