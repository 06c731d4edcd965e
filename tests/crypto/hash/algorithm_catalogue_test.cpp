// The table of all hash and cipher rows: every registered row keeps its table row's order,
// class name, parent, description, note and sizes; the listing marks exactly the registered
// rows as working; absent rows are told apart from unknown names.
#include <gtest/gtest.h>

#include <string>

#include "crypto/algorithm_catalogue.h"
#include "crypto/cipher/cipher_registry.h"
#include "crypto/hash/hash_registry.h"

namespace pelvane {
namespace {

const CatalogueRow* RowOf(std::span<const CatalogueRow> table, std::string_view class_name,
                          std::size_t* index) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (class_name == table[i].class_name) {
      *index = i;
      return &table[i];
    }
  }
  return nullptr;
}

std::string Description(const std::string& text) {
  return text.substr(0, text.find('='));
}

std::string Note(const std::string& text) {
  const std::size_t eq = text.find('=');
  return eq == std::string::npos ? std::string() : text.substr(eq + 1);
}

TEST(AlgorithmCatalogue, RegisteredHashesFollowTheTable) {
  std::size_t previous = 0;
  bool first = true;
  for (const THashRegistryEntry& e : HashRegistryEntries()) {
    SCOPED_TRACE(e.cls->ClassName());
    std::size_t index = 0;
    const CatalogueRow* row = RowOf(HashCatalogue(), e.cls->ClassName(), &index);
    ASSERT_NE(row, nullptr) << "registered but not in the table";
    EXPECT_EQ(row->absent_reason, nullptr) << "registered but marked absent";
    EXPECT_TRUE(first || index > previous) << "out of table order";
    first = false;
    previous = index;
    ASSERT_NE(e.cls->parent, nullptr);
    EXPECT_EQ(e.cls->parent->ClassName(), row->parent);
    EXPECT_EQ(Description(e.text), row->description);
    if (row->note != nullptr) {
      EXPECT_EQ(Note(e.text), row->note);
    }
    EXPECT_EQ(e.cls->DigestSize(), static_cast<std::size_t>(row->digest_size));
  }
}

TEST(AlgorithmCatalogue, RegisteredCiphersFollowTheTable) {
  std::size_t previous = 0;
  bool first = true;
  for (const TCipherRegistryEntry& e : CipherRegistryEntries()) {
    SCOPED_TRACE(e.cls->ClassName());
    std::size_t index = 0;
    const CatalogueRow* row = RowOf(CipherCatalogue(), e.cls->ClassName(), &index);
    ASSERT_NE(row, nullptr) << "registered but not in the table";
    EXPECT_EQ(row->absent_reason, nullptr) << "registered but marked absent";
    EXPECT_TRUE(first || index > previous) << "out of table order";
    first = false;
    previous = index;
    ASSERT_NE(e.cls->parent, nullptr);
    EXPECT_EQ(e.cls->parent->ClassName(), row->parent);
    EXPECT_EQ(Description(e.text), row->description);
    if (row->note != nullptr) {
      EXPECT_EQ(Note(e.text), row->note);
    }
    EXPECT_EQ(e.cls->BlockSize(), row->block_size);
    EXPECT_EQ(e.cls->KeySize(), row->key_size);
  }
}

TEST(AlgorithmCatalogue, TablesHoldEveryRow) {
  EXPECT_EQ(HashCatalogue().size(), 29u);
  EXPECT_EQ(CipherCatalogue().size(), 40u);
}

// Every row either works or is absent for a stated reason; none is merely not built.
TEST(AlgorithmCatalogue, EveryRowWorksOrSaysWhyNot) {
  for (const AlgorithmKind kind : {AlgorithmKind::kHash, AlgorithmKind::kCipher}) {
    for (const AlgorithmListing& row : ListAlgorithms(kind)) {
      SCOPED_TRACE(row.class_name);
      EXPECT_TRUE(row.works || row.absent_reason != "no implementation in this build");
    }
  }
}

TEST(AlgorithmCatalogue, ListingWorksExactlyForRegisteredRows) {
  const auto hashes = ListAlgorithms(AlgorithmKind::kHash);
  ASSERT_EQ(hashes.size(), HashCatalogue().size());
  for (std::size_t i = 0; i < hashes.size(); ++i) {
    SCOPED_TRACE(hashes[i].class_name);
    EXPECT_EQ(hashes[i].class_name, HashCatalogue()[i].class_name);
    const bool registered = FindHashClass(hashes[i].class_name) != nullptr;
    EXPECT_EQ(hashes[i].works, registered);
    EXPECT_EQ(hashes[i].absent_reason.empty(), registered);
  }
  EXPECT_FALSE(hashes[20].works);  // THash_Snefru
  EXPECT_EQ(hashes[20].description, "Snefru-256");
  EXPECT_EQ(hashes[20].digest_size, 32);

  const auto ciphers = ListAlgorithms(AlgorithmKind::kCipher);
  ASSERT_EQ(ciphers.size(), CipherCatalogue().size());
  EXPECT_EQ(ciphers[1].class_name, "TCipher_Blowfish");
  EXPECT_TRUE(ciphers[1].works);
  EXPECT_EQ(ciphers[1].block_size, 8);
  EXPECT_EQ(ciphers[1].key_size, 56);
  EXPECT_EQ(ciphers[4].class_name, "TCipher_Q128");
  EXPECT_FALSE(ciphers[4].works);
}

// A class registered at run time shows as working; one registered but not in the table follows
// the table's rows.
TEST(AlgorithmCatalogue, ListingFollowsTheRegistry) {
  const THashClassRef tiger = FindHashClass("Tiger");
  ASSERT_NE(tiger, nullptr);
  const std::string text = HashClassEntryText(tiger);
  UnregisterHash(tiger);
  auto rows = ListAlgorithms(AlgorithmKind::kHash);
  EXPECT_EQ(rows[22].class_name, "THash_Tiger");
  EXPECT_FALSE(rows[22].works);
  EXPECT_EQ(rows[22].absent_reason, "no implementation in this build");
  EXPECT_TRUE(FindAbsentAlgorithm(AlgorithmKind::kHash, "Tiger").has_value());

  RegisterHash(tiger, Description(text), Note(text));  // now after THash_CRC32
  rows = ListAlgorithms(AlgorithmKind::kHash);
  EXPECT_TRUE(rows[22].works);
  EXPECT_EQ(rows[22].description, "Tiger");
  EXPECT_EQ(rows[22].digest_size, 24);
  EXPECT_FALSE(FindAbsentAlgorithm(AlgorithmKind::kHash, "Tiger").has_value());
  // Put the table order back.
  std::vector<THashRegistryEntry> entries = HashRegistryEntries();
  for (const auto& e : entries)
    UnregisterHash(e.cls);
  for (const CatalogueRow& row : HashCatalogue()) {
    for (const auto& e : entries) {
      if (e.cls->ClassName() == row.class_name)
        RegisterHash(e.cls, Description(e.text), Note(e.text));
    }
  }
  EXPECT_EQ(HashRegistryEntries()[13].cls, tiger);
}

TEST(AlgorithmCatalogue, AbsentRowsByNameOrDescription) {
  for (const char* name : {"Snefru-256", "THash_Snefru", "snefru", "Sapphire II-128", "Sapphire320",
                           "Square", "Sample Hash", "THash_Sample"}) {
    EXPECT_TRUE(FindAbsentAlgorithm(AlgorithmKind::kHash, name).has_value()) << name;
  }
  for (const char* name : {"MD5", "Haval-128", "CRC-32", "no such hash", ""}) {
    EXPECT_FALSE(FindAbsentAlgorithm(AlgorithmKind::kHash, name).has_value()) << name;
  }
  for (const char* name :
       {"Q128", "SCOP", "Diamond II", "Diamond2Lite", "FROG", "NewDES", "Sapphire II",
        "Sample Cipher", "Shark", "SAFER-K40", "TCipher_SAFER_SK40"}) {
    EXPECT_TRUE(FindAbsentAlgorithm(AlgorithmKind::kCipher, name).has_value()) << name;
  }
  for (const char* name :
       {"Blowfish", "DES Triple 24byte", "Rijndael", "Gost", "DESX", "no such cipher"}) {
    EXPECT_FALSE(FindAbsentAlgorithm(AlgorithmKind::kCipher, name).has_value()) << name;
  }
  const auto snefru = FindAbsentAlgorithm(AlgorithmKind::kHash, "Snefru-256");
  EXPECT_EQ(snefru->class_name, "THash_Snefru");
  EXPECT_NE(snefru->absent_reason.find("RAND"), std::string::npos);
}

}  // namespace
}  // namespace pelvane
