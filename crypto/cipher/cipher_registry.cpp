#include "crypto/cipher/cipher_registry.h"

#include "crypto/cipher/blowfish.h"
#include "crypto/cipher/cast.h"
#include "crypto/cipher/des.h"
#include "crypto/cipher/desx.h"
#include "crypto/cipher/gost.h"
#include "crypto/cipher/idea.h"
#include "crypto/cipher/mars.h"
#include "crypto/cipher/misty.h"
#include "crypto/cipher/rc_family.h"
#include "crypto/cipher/rijndael.h"
#include "crypto/cipher/safer.h"
#include "crypto/cipher/skipjack.h"
#include "crypto/cipher/square.h"
#include "crypto/cipher/tea.h"
#include "crypto/cipher/threeway.h"
#include "crypto/cipher/twofish.h"
#include "crypto/hash/class_registry.h"

namespace pelvane {
namespace {

ClassRegistry& Registry() {
  static ClassRegistry registry = [] {
    ClassRegistry r;
    // A blank description stands for the one derived from the class name.
    const auto add = [&r](TCipherClassRef cls, std::string_view description,
                          std::string_view note = "") {
      r.Register(cls, cls->ClassName(), description, note);
    };
    add(TCipher_3Way::StaticClass(), "");
    add(TCipher_Blowfish::StaticClass(), "");
    add(TCipher_Gost::StaticClass(), "");
    add(TCipher_IDEA::StaticClass(), "", "free for non-commercial");
    add(TCipher_SAFER_K64::StaticClass(), "SAFER-K64");
    add(TCipher_SAFER_SK64::StaticClass(), "SAFER-SK64", "Keyscheduling");
    add(TCipher_SAFER_K128::StaticClass(), "SAFER-K128");
    add(TCipher_SAFER_SK128::StaticClass(), "SAFER-SK128", "Keyscheduling");
    add(TCipher_Square::StaticClass(), "");
    add(TCipher_TEA::StaticClass(), "TEA");
    add(TCipher_TEAN::StaticClass(), "TEA extended");
    add(TCipher_Twofish::StaticClass(), "");
    add(TCipher_Cast128::StaticClass(), "Cast 128");
    add(TCipher_Cast256::StaticClass(), "Cast 256", "Patented");
    add(TCipher_1DES::StaticClass(), "DES Single 8byte");
    add(TCipher_2DES::StaticClass(), "DES Double 8byte");
    add(TCipher_2DDES::StaticClass(), "DES Double 16byte");
    add(TCipher_3DES::StaticClass(), "DES Triple 8byte");
    add(TCipher_3DDES::StaticClass(), "DES Triple 16byte");
    add(TCipher_3TDES::StaticClass(), "DES Triple 24byte");
    add(TCipher_DESX::StaticClass(), "DESX", "Copyright RSA Data Security, Inc.");
    add(TCipher_Mars::StaticClass(), "", "Patented");
    add(TCipher_Misty::StaticClass(), "Misty 1", "free for non-commercial");
    add(TCipher_RC2::StaticClass(), "");
    add(TCipher_RC4::StaticClass(), "", "Patented by RSA");
    add(TCipher_RC5::StaticClass(), "", "Patented by RSA");
    add(TCipher_RC6::StaticClass(), "", "Patented by RSA");
    add(TCipher_Rijndael::StaticClass(), "");
    add(TCipher_Skipjack::StaticClass(), "");
    return r;
  }();
  return registry;
}

}  // namespace

bool RegisterCipher(TCipherClassRef cls, std::string_view description, std::string_view note) {
  if (cls == nullptr) return false;
  return Registry().Register(cls, cls->ClassName(), description, note);
}

bool UnregisterCipher(TCipherClassRef cls) {
  return Registry().Unregister(cls);
}

TCipherClassRef FindCipherClass(std::string_view name) {
  return static_cast<TCipherClassRef>(Registry().Find(name));
}

std::string CipherClassName(TCipherClassRef cls) {
  if (cls == nullptr) return std::string();
  return Registry().Name(cls, cls->ClassName());
}

std::string CipherClassEntryText(TCipherClassRef cls) {
  const std::string* text = Registry().EntryText(cls);
  return text ? *text : std::string();
}

std::vector<TCipherRegistryEntry> CipherRegistryEntries() {
  std::vector<TCipherRegistryEntry> out;
  for (const ClassRegistry::Entry& e : Registry().Entries()) {
    out.push_back({static_cast<TCipherClassRef>(e.cls), e.text});
  }
  return out;
}

}  // namespace pelvane
