// The hash registry and THashManager: selection by name, texts, default class and the rules
// for emptying the digest.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "crypto/formats/formats.h"
#include "crypto/hash/checksum.h"
#include "crypto/hash/hash_manager.h"
#include "crypto/hash/hash_registry.h"
#include "crypto/hash/haval.h"
#include "crypto/hash/tiger.h"

namespace pelvane {
namespace {

// The registry's rows in order.
const struct {
  THashClassRef cls;
  const char* description;
  const char* note;
} kTable[] = {
    {THash_MD4::StaticClass(), "Message Digest 4", "Hash"},
    {THash_MD5::StaticClass(), "Message Digest 5", "Hash"},
    {THash_SHA::StaticClass(), "Secure Hash Algorithm", "Hash"},
    {THash_SHA1::StaticClass(), "Secure Hash Algorithm 1", "Hash"},
    {THash_RipeMD128::StaticClass(), "Ripe Message Digest 128", "Hash"},
    {THash_RipeMD160::StaticClass(), "Ripe Message Digest 160", "Hash"},
    {THash_RipeMD256::StaticClass(), "Ripe Message Digest 256", "Hash"},
    {THash_RipeMD320::StaticClass(), "Ripe Message Digest 320", "Hash"},
    {THash_Haval128::StaticClass(), "Haval-128", "Hash"},
    {THash_Haval160::StaticClass(), "Haval-160", "Hash"},
    {THash_Haval192::StaticClass(), "Haval-192", "Hash"},
    {THash_Haval224::StaticClass(), "Haval-224", "Hash"},
    {THash_Haval256::StaticClass(), "Haval-256", "Hash"},
    {THash_Tiger::StaticClass(), "Tiger", "Hash"},
    {THash_XOR16::StaticClass(), "XOR-16", "Checksum"},
    {THash_XOR32::StaticClass(), "XOR-32", "Checksum"},
    {THash_CRC16_CCITT::StaticClass(), "CRC-16 CCITT", "Checksum"},
    {Thash_CRC16_Standard::StaticClass(), "CRC-16 Standard", "Checksum"},
    {THash_CRC32::StaticClass(), "CRC-32", "Checksum"},
};

// Tests that change the process-wide registry put the documented table back afterwards.
void RestoreRegistry() {
  for (const auto& e : HashRegistryEntries())
    UnregisterHash(e.cls);
  for (const auto& [cls, description, note] : kTable)
    RegisterHash(cls, description, note);
}

TEST(HashRegistry, FilledInTableOrder) {
  const auto entries = HashRegistryEntries();
  ASSERT_EQ(entries.size(), std::size(kTable));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i].cls, kTable[i].cls) << i;
    EXPECT_EQ(entries[i].text, std::string(kTable[i].description) + "=" + kTable[i].note) << i;
  }
}

TEST(HashRegistry, FindByClassNameShortNameOrDescription) {
  const std::pair<const char*, THashClassRef> rows[] = {
      {"THash_MD5", THash_MD5::StaticClass()},
      {"Hash_MD5", THash_MD5::StaticClass()},
      {"MD5", THash_MD5::StaticClass()},
      {"md5", THash_MD5::StaticClass()},
      {"Message Digest 5", THash_MD5::StaticClass()},
      {"MESSAGE digest 5", THash_MD5::StaticClass()},
      {"Secure Hash Algorithm", THash_SHA::StaticClass()},
      {"SHA", THash_SHA::StaticClass()},
      {"Secure Hash Algorithm 1", THash_SHA1::StaticClass()},
      {"SHA1", THash_SHA1::StaticClass()},
      {"RipeMD320", THash_RipeMD320::StaticClass()},
      {"Haval-128", THash_Haval128::StaticClass()},
      {"THash_CRC16_CCITT", THash_CRC16_CCITT::StaticClass()},
      {"crc-16 standard", Thash_CRC16_Standard::StaticClass()},
      {"Thash_CRC16_Standard", Thash_CRC16_Standard::StaticClass()},
      {"Snefru-256", nullptr},  // a row without an algorithm here
      {"", nullptr},
      {"Message Digest", nullptr},
  };
  for (const auto& [name, cls] : rows)
    EXPECT_EQ(FindHashClass(name), cls) << name;
}

TEST(HashRegistry, NamesOfClasses) {
  EXPECT_EQ(HashClassName(THash_MD5::StaticClass()), "Message Digest 5");
  EXPECT_EQ(HashClassName(THash::StaticClass()), "THash");  // no entry, no "_"
  EXPECT_EQ(HashClassName(nullptr), "");
}

// Registering, re-registering and unregistering; the registry is restored afterwards.
TEST(HashRegistry, RegisterReplacesInPlaceAndUnregisterRemoves) {
  const THashClassRef md4 = THash_MD4::StaticClass();
  EXPECT_FALSE(RegisterHash(nullptr, "x", "y"));
  EXPECT_TRUE(RegisterHash(md4, "  ", ""));
  EXPECT_EQ(HashRegistryEntries().front().text, "MD4=");
  EXPECT_TRUE(RegisterHash(md4, " Other Name ", "Note"));
  EXPECT_EQ(HashRegistryEntries().front().text, "Other Name=Note");
  EXPECT_EQ(FindHashClass("other name"), md4);
  EXPECT_TRUE(UnregisterHash(md4));
  EXPECT_FALSE(UnregisterHash(md4));
  EXPECT_EQ(FindHashClass("MD4"), nullptr);
  EXPECT_EQ(HashClassName(md4), "MD4");
  EXPECT_EQ(HashRegistryEntries().size(), std::size(kTable) - 1);
  RestoreRegistry();
  EXPECT_EQ(HashRegistryEntries().size(), std::size(kTable));
}

TEST(HashManager, NewManagerUsesRipeMD256) {
  THashManager m;
  EXPECT_EQ(m.StoredHashClassName(), "") << "nothing selected yet";
  EXPECT_EQ(m.Algorithm(), "Ripe Message Digest 256");
  EXPECT_EQ(m.DigestSize(), 32u);
  EXPECT_EQ(m.AlgorithmClass(), THash_RipeMD256::StaticClass());
  EXPECT_EQ(m.StoredHashClassName(), "THash_RipeMD256") << "reading stores the default";
  EXPECT_EQ(m.Digest(), "");
  EXPECT_EQ(m.DigestString(kFormatHex), "");
}

TEST(HashManager, NamesSelectAndReadBack) {
  const struct {
    const char* name;
    const char* algorithm;
    const char* description;
    std::size_t hex_length;
  } rows[] = {
      {"THash_MD5", "Message Digest 5", "Hash, 128bit Digestsize", 32},
      {"MD5", "Message Digest 5", "Hash, 128bit Digestsize", 32},
      {"message DIGEST 5", "Message Digest 5", "Hash, 128bit Digestsize", 32},
      {"Secure Hash Algorithm", "Secure Hash Algorithm", "Hash, 160bit Digestsize", 40},
      {"SHA", "Secure Hash Algorithm", "Hash, 160bit Digestsize", 40},
      {"SHA1", "Secure Hash Algorithm 1", "Hash, 160bit Digestsize", 40},
      {"Ripe Message Digest 320", "Ripe Message Digest 320", "Hash, 320bit Digestsize", 80},
      {"no such hash", "Ripe Message Digest 256", "Hash, 256bit Digestsize", 64},
      {"Haval160", "Haval-160", "Hash, 160bit Digestsize", 40},
      {"tiger", "Tiger", "Hash, 192bit Digestsize", 48},
      {"CRC-32", "CRC-32", "Checksum, 32bit Digestsize", 8},
      {"THash_CRC16_CCITT", "CRC-16 CCITT", "Checksum, 16bit Digestsize", 4},
      {"XOR32", "XOR-32", "Checksum, 32bit Digestsize", 8},
  };
  for (const auto& r : rows) {
    THashManager m;
    m.SetAlgorithm(r.name);
    EXPECT_EQ(m.Algorithm(), r.algorithm) << r.name;
    EXPECT_EQ(m.Description(), r.description) << r.name;
    EXPECT_EQ(m.Description(1), "") << r.name;
    m.CalcString("abc");
    EXPECT_EQ(m.Digest().size(), r.hex_length / 2) << r.name;
    EXPECT_EQ(m.DigestString(kFormatHex).size(), r.hex_length) << r.name;
  }
}

TEST(HashManager, CalcStringGivesRawDigestAndHexText) {
  THashManager m;
  m.SetAlgorithm("Message Digest 5");
  m.CalcString("");
  EXPECT_EQ(StrToFormat(m.Digest(), kFormatHex), "D41D8CD98F00B204E9800998ECF8427E");
  m.CalcString("abc");
  EXPECT_EQ(m.DigestString(kFormatHex), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(m.DigestString(kFormatHexLower), "900150983cd24fb0d6963f7d28e17f72");
  const std::string first = m.Digest();
  m.CalcString("abc");
  EXPECT_EQ(m.Digest(), first);
  std::string with_zero("a\0b", 3);
  m.CalcString(with_zero);
  EXPECT_NE(m.Digest(), first);
  EXPECT_EQ(m.Digest(), THash::HashString(THash_MD5::StaticClass(), with_zero, nullptr, 1));
}

TEST(HashManager, SelectionChangeEmptiesDigestSameClassKeepsIt) {
  THashManager m;
  m.SetAlgorithm("MD5");
  m.CalcString("abc");
  m.SetAlgorithm("Message Digest 5");  // the class already selected
  EXPECT_EQ(m.Digest().size(), 16u);
  m.SetAlgorithm("SHA");
  EXPECT_EQ(m.Digest(), "");

  // An unknown name empties the digest even when the default class is already selected.
  THashManager d;
  d.SetAlgorithm("Ripe Message Digest 256");
  d.CalcString("abc");
  d.SetAlgorithm("no such hash");
  EXPECT_EQ(d.Digest(), "");
  EXPECT_EQ(d.AlgorithmClass(), THash_RipeMD256::StaticClass());
}

TEST(HashManager, UnknownFormatIsAFormatError) {
  THashManager m;
  m.SetAlgorithm("MD5");
  m.CalcString("abc");
  EXPECT_THROW(m.DigestString(12345), EStringFormat);
}

TEST(HashManager, StoredClassNameIsExactAndCaseSensitive) {
  THashManager m;
  m.LoadHashClassName("THash_SHA");
  EXPECT_EQ(m.Algorithm(), "Secure Hash Algorithm");
  m.LoadHashClassName("thash_md5");  // not a registered class name: unchanged
  m.LoadHashClassName("MD5");
  EXPECT_EQ(m.StoredHashClassName(), "THash_SHA");
}

TEST(HashManager, DestroyListenersHearOnceAndCanBeRemoved) {
  int heard = 0, removed_heard = 0;
  const THashManager* sender_seen = nullptr;
  const THashManager* address = nullptr;
  {
    THashManager m;
    address = &m;
    m.AddDestroyListener([&](THashManager* sender) {
      ++heard;
      sender_seen = sender;
    });
    const auto id = m.AddDestroyListener([&](THashManager*) { ++removed_heard; });
    m.RemoveDestroyListener(id);
    EXPECT_EQ(heard, 0);
  }
  EXPECT_EQ(heard, 1);
  EXPECT_EQ(sender_seen, address);
  EXPECT_EQ(removed_heard, 0);
}

TEST(HashManager, DescriptionWithoutNoteOrEntry) {
  // A class without an entry: the text starts with the number.
  UnregisterHash(THash_RipeMD128::StaticClass());
  THashManager m;
  m.SetAlgorithmClass(THash_RipeMD128::StaticClass());
  EXPECT_EQ(m.Description(), "128bit Digestsize");
  EXPECT_EQ(m.Algorithm(), "RipeMD128");
  // An entry with an empty note: no ", ".
  RegisterHash(THash_RipeMD128::StaticClass(), "Ripe Message Digest 128", "");
  EXPECT_EQ(m.Description(), "128bit Digestsize");
  RestoreRegistry();
}

}  // namespace
}  // namespace pelvane
