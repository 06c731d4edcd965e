#include "crypto/rsa/rsa.h"

#include <optional>

#include "crypto/secure.h"

namespace pelvane {

namespace {

constexpr char kAlphabet[] = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// 6-bit value of a Base64 character, or -1.
int CharValue(unsigned char c) {
  if (c == '+') return 0;
  if (c == '-') return 1;
  if (c >= '0' && c <= '9') return 2 + (c - '0');
  if (c >= 'A' && c <= 'Z') return 12 + (c - 'A');
  if (c >= 'a' && c <= 'z') return 38 + (c - 'a');
  return -1;
}

// Decodes into out; false at the first character outside the alphabet.
bool TryDecode(const std::string& text, std::string& out) {
  try {
    out = TRSA::DecodeBase64(text);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

// Key field bytes into a cleared number: groups of four bytes, first byte most significant,
// the first group is digit 0. A short last group forms a digit of its bytes alone.
template <std::size_t N>
void LoadKeyField(std::array<MpDigit, N>& number, const std::string& bytes) {
  for (std::size_t g = 0; 4 * g < bytes.size(); ++g) {
    MpDigit d = 0;
    for (std::size_t i = 4 * g; i < bytes.size() && i < 4 * g + 4; ++i) {
      d = (d << 8) | static_cast<unsigned char>(bytes[i]);
    }
    number[g] = d;
  }
}

// Little-endian bytes into a cleared number (byte j contributes byte * 256^j).
template <std::size_t N>
void LoadLittleEndian(std::array<MpDigit, N>& number, const char* bytes, std::size_t size) {
  number.fill(0);
  for (std::size_t j = 0; j < size; ++j) {
    number[j / 4] |= static_cast<MpDigit>(static_cast<unsigned char>(bytes[j])) << (8 * (j % 4));
  }
}

// The low size bytes of number, little-endian, appended to out.
template <std::size_t N>
void AppendLittleEndian(std::string& out, const std::array<MpDigit, N>& number, std::size_t size) {
  for (std::size_t j = 0; j < size; ++j) {
    out.push_back(static_cast<char>((number[j / 4] >> (8 * (j % 4))) & 0xFF));
  }
}

}  // namespace

TRSA::~TRSA() {
  SecureWipe(private_exponent_);
  SecureWipe(modulus_);
  SecureWipe(private_key_);
}

void TRSA::DoStatusUpdate() {
  if (OnStatusUpdate) OnStatusUpdate(*this);
}

template <typename E>
void TRSA::Fail(const char* status, const char* message) {
  status_ = status;
  DoStatusUpdate();
  throw E(message);
}

void TRSA::SetKeyBits(TKeyBits value) {
  key_bits_ = value;
  switch (value) {
    case kb1024:
      key_digits_ = 32;
      status_ = "TRSA using 1024 bit key";
      break;
    case kb2048:
      key_digits_ = 64;
      status_ = "TRSA using 2048 bit key";
      break;
    case kb0512:
    default:
      key_bits_ = kb0512;
      key_digits_ = 16;
      status_ = "TRSA using 512 bit key";
      break;
  }
  DoStatusUpdate();
}

void TRSA::SetPublicKey(const std::string& value) {
  public_exponent_.fill(0);
  modulus_.fill(0);
  public_key_loaded_ = false;
  const std::size_t colon = value.find(':');
  if (colon == std::string::npos) {
    Fail<EInvalidKey>("Public key not valid", "Public key not valid");
  }
  std::string field;
  if (!TryDecode(value.substr(0, colon), field)) {
    Fail<EConvertError>("Public key not valid", "Public key not valid");
  }
  if (field.size() > KeyLength()) {
    Fail<EInvalidKey>("Public key has incorrect length", "Public key has incorrect length");
  }
  LoadKeyField(public_exponent_, field);
  if (!TryDecode(value.substr(colon + 1), field)) {
    Fail<EConvertError>("Public key not valid", "Public key not valid");
  }
  if (field.size() != KeyLength()) {
    Fail<EInvalidKey>("Public key has incorrect length", "Public key has incorrect length");
  }
  LoadKeyField(modulus_, field);
  public_key_loaded_ = true;
  public_key_ = value;
  status_ = "Public key loaded OK";
  DoStatusUpdate();
}

void TRSA::SetPrivateKey(const std::string& value) {
  modulus_.fill(0);
  SecureWipe(private_exponent_);
  private_key_loaded_ = false;
  const std::size_t colon = value.find(':');
  if (colon == std::string::npos) {
    Fail<EInvalidKey>("Public key not valid", "Public key not valid");
  }
  std::string modulus;
  if (!TryDecode(value.substr(0, colon), modulus)) {
    Fail<EConvertError>("Public key not valid", "Public key not valid");
  }
  if (modulus.size() > KeyLength()) {
    Fail<EInvalidKey>("Public key has incorrect length", "Public key has incorrect length");
  }
  LoadKeyField(modulus_, modulus);
  WipedString exponent;
  {
    WipedString exponent_text(value.substr(colon + 1));
    if (!TryDecode(*exponent_text, *exponent)) {
      Fail<EConvertError>("Private key not valid", "Private key not valid");
    }
  }
  if (exponent->size() != KeyLength()) {
    Fail<EInvalidKey>("Private key has incorrect length", "Private key has incorrect length");
  }
  LoadKeyField(private_exponent_, *exponent);
  private_key_loaded_ = true;
  SecureWipe(private_key_);
  private_key_ = value;
  status_ = "Private key loaded OK";
  DoStatusUpdate();
}

void TRSA::SetSignature(const std::string& value) {
  std::string bytes;
  if (!TryDecode(value, bytes)) {
    Fail<EConvertError>("Signature not valid", "Signature not valid");
  }
  if (bytes.size() != KeyLength()) {
    Fail<EConvertError>("Signature has incorrect length", "Signature has incorrect length");
  }
  LoadLittleEndian(signature_value_, bytes.data(), bytes.size());
  signature_ = value;
  signature_loaded_ = true;
}

std::string TRSA::EncryptString(const std::string& text) {
  // Without a key size no block length exists: refuse as if no key were loaded.
  if (!public_key_loaded_ || key_digits_ == 0) {
    Fail<ENoKeyLoaded>("Public key not loaded", "Public key not loaded");
  }
  const std::size_t k = KeyLength();
  const std::size_t b = k - 1;
  const std::size_t pad = b - text.size() % b;
  WipedString padded(text);
  padded->append(pad, static_cast<char>(pad));
  Number m{}, c{};
  std::string out;
  out.reserve(padded->size() / b * k);
  for (std::size_t pos = 0; pos < padded->size(); pos += b) {
    LoadLittleEndian(m, padded->data() + pos, b);
    // A block at or above the modulus would not come back: the key is unusable.
    if (MpCompare(m.data(), modulus_.data(), KeyArrayDigits) >= 0) {
      SecureWipe(m);
      Fail<EInvalidKey>("Public key not valid", "Public key not valid");
    }
    c.fill(0);
    MpModPow(c.data(), m.data(), public_exponent_.data(), KeyArrayDigits, modulus_.data(),
             KeyArrayDigits);
    AppendLittleEndian(out, c, k);
  }
  SecureWipe(m);
  return EncodeBase64(out);
}

std::string TRSA::DecryptString(const std::string& text) {
  if (!private_key_loaded_ || key_digits_ == 0) {
    Fail<ENoKeyLoaded>("Private key not loaded", "Private key not loaded");
  }
  std::string cipher;
  if (!TryDecode(text, cipher)) {
    Fail<EConvertError>("String not valid", "String not valid");
  }
  const std::size_t k = KeyLength();
  // Only whole cipher blocks are accepted; a surplus would be silently lost otherwise.
  if (cipher.size() < k || cipher.size() % k != 0) {
    Fail<EConvertError>("String not valid", "String has incorrect length");
  }
  Number c{}, m{};
  WipedString plain;
  plain->reserve(cipher.size() / k * (k - 1));
  for (std::size_t pos = 0; pos < cipher.size(); pos += k) {
    LoadLittleEndian(c, cipher.data() + pos, k);
    m.fill(0);
    MpModPow(m.data(), c.data(), private_exponent_.data(), KeyArrayDigits, modulus_.data(),
             KeyArrayDigits);
    AppendLittleEndian(*plain, m, k - 1);
  }
  SecureWipe(m);
  const std::size_t pad = static_cast<unsigned char>(plain->back());
  if (pad >= plain->size()) return std::string();
  return plain->substr(0, plain->size() - pad);
}

std::string TRSA::EncodeBase64(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                            static_cast<unsigned char>(bytes[i + 2]);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
  } else if (rest == 2) {
    const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
  }
  return out;
}

std::string TRSA::DecodeBase64(const std::string& text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  std::uint32_t acc = 0;
  int count = 0;
  for (unsigned char ch : text) {
    const int v = CharValue(ch);
    if (v < 0) {
      SecureWipe(out);
      throw EConvertError("Error converting from Base64 - invalid character");
    }
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out.push_back(static_cast<char>((acc >> 16) & 0xFF));
      out.push_back(static_cast<char>((acc >> 8) & 0xFF));
      out.push_back(static_cast<char>(acc & 0xFF));
      acc = 0;
      count = 0;
    }
  }
  // A final group of three characters holds two bytes, of two one byte, of one nothing.
  if (count == 3) {
    out.push_back(static_cast<char>((acc >> 10) & 0xFF));
    out.push_back(static_cast<char>((acc >> 2) & 0xFF));
  } else if (count == 2) {
    out.push_back(static_cast<char>((acc >> 4) & 0xFF));
  }
  acc = 0;
  return out;
}

}  // namespace pelvane
