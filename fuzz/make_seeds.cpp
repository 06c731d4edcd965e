// pelvane-fuzz-seeds DIR: writes the seed inputs of every fuzz target into DIR/<target>/, made
// by the library itself (frames and envelopes as the wallet builds them). Deterministic, so the
// committed corpus in fuzz/corpus/ can be refreshed with: pelvane-fuzz-seeds fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/session/wallet_keys.h"
#include "crypto/formats/formats.h"
#include "crypto/hash/hash_manager.h"
#include "crypto/rsa/rsa.h"
#include "messaging/envelopes.h"
#include "messaging/frames.h"

namespace {

using namespace pelvane;

// The session key the envelope target opens with.
constexpr std::string_view kSessionKey = "Pelvane fuzz session key";

std::filesystem::path root;

void Write(const std::string& target, const std::string& name, const std::string& bytes) {
  const std::filesystem::path dir = root / target;
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + (dir / name).string());
}

std::string WalletEncrypt(const std::string& bytes) {
  TRSA rsa;
  rsa.SetKeyBits(kb0512);
  rsa.SetPublicKey(kWalletPublicKey);
  return rsa.EncryptString(bytes);
}

// len4(text) + text + len4(D) + D: what the cipher of a secure frame carries.
std::string InnerText(const std::string& text, const std::string& digested) {
  THashManager hash;
  hash.SetAlgorithm("Message Digest 5");
  hash.CalcString(digested);
  const std::string d = StrToFormat(WalletEncrypt(hash.Digest()), kFormatHex);
  return IntToHex(static_cast<std::int32_t>(text.size()), 4) + text +
         IntToHex(static_cast<std::int32_t>(d.size()), 4) + d;
}

void Formats() {
  const std::string bytes50("Kniha;2;300\r\nPero;5;20\r\n\x00\x7F\xFF abcdefghijklmnopqrstuvwxyz",
                            50);
  Write("fuzz_formats", "hex", "007FFF");
  Write("fuzz_formats", "hex-separators", "0a 1B $1F 0x2A");
  Write("fuzz_formats", "base64", "YWJj YWI= YQ==");
  Write("fuzz_formats", "uu", "#86)C");
  Write("fuzz_formats", "xx", "1MK7X");
  // Passes the line test but announces more bytes than it holds.
  Write("fuzz_formats", "xx-short-lines", "0F070FFF");
  Write("fuzz_formats", "bytes", std::string("\x00\x7F\xFF", 3));
  Write("fuzz_formats", "uu-two-lines", StrToFormat(bytes50, kFormatUU));
  Write("fuzz_formats", "xx-two-lines", StrToFormat(bytes50, kFormatXX));
  Write("fuzz_formats", "base64-long", StrToFormat(bytes50, kFormatMIME64));
}

void Frames() {
  Write("fuzz_frames", "lower-case", "5F0004abcd");
  Write("fuzz_frames", "trailing", "010002ABCD");
  Write("fuzz_frames", "odd-digit", "010003ABC");
  Write("fuzz_frames", "empty-body", "010000");
  Write("fuzz_frames", "short-length", "0100");
  Write("fuzz_frames", "bytes", BuildPlainFrame(std::string("\x01\xAB\xFF", 3), 1));
  Write("fuzz_frames", "public-key", BuildPlainFrame(kWalletPublicKey, 99));
}

void Envelopes() {
  const std::string digest = "5BAA61E4C9B93F3F0682250B6CF8331B7EE68FD8";
  const std::string order = "Kniha;2;300\r\nPero;5;20\r\n";
  const std::string refusal = "*** Nedostatek prost\xF8\x65\x64k\xF9 na \xFA\xE8tu";
  Write("fuzz_envelopes", "ip", '\0' + BuildSecureFrame("IP", 75, kWalletPublicKey, kSessionKey));
  Write("fuzz_envelopes", "digest",
        '\0' + BuildSecureFrame(digest, 1, kWalletPublicKey, kSessionKey));
  Write("fuzz_envelopes", "balance",
        '\0' + BuildSecureFrame("12500", 2, kWalletPublicKey, kSessionKey));
  Write("fuzz_envelopes", "refusal",
        '\0' + BuildSecureFrame(refusal, 21, kWalletPublicKey, kSessionKey));
  Write("fuzz_envelopes", "dual",
        '\0' + BuildDualFrame(BuildSecureBlock(digest, kSessionKey, kWalletPublicKey),
                              BuildSecureBlock(order, kSessionKey, kWalletPublicKey), 79));
  Write("fuzz_envelopes", "inner-ip", '\1' + InnerText("IP", "IP"));
  Write("fuzz_envelopes", "inner-order", '\1' + InnerText(order, order));
  Write("fuzz_envelopes", "inner-mismatch", '\1' + InnerText("10.0.0.3", "10.0.0.4"));
}

// The first byte: key size in bits 0-1 (3: none), operation in bits 2 and up.
std::string Rsa(int bits, int operation, const std::string& text) {
  return static_cast<char>(bits | operation << 2) + text;
}

void RsaSeeds() {
  const std::string modulus = std::string(kWalletPublicKey).substr(7);
  Write("fuzz_rsa", "public-key", Rsa(0, 0, kWalletPublicKey));
  Write("fuzz_rsa", "public-key-1024", Rsa(1, 0, kWalletPublicKey));
  Write("fuzz_rsa", "public-key-no-size", Rsa(3, 0, ":"));
  Write("fuzz_rsa", "private-key", Rsa(0, 1, kWalletPrivateKey));
  Write("fuzz_rsa", "signature", Rsa(0, 2, modulus));
  Write("fuzz_rsa", "cipher-text", Rsa(0, 3, WalletEncrypt("Pelvane fuzz session key")));
  Write("fuzz_rsa", "cipher-text-two-blocks", Rsa(0, 3, WalletEncrypt(std::string(70, 'x'))));
  Write("fuzz_rsa", "round-trip", Rsa(0, 4, std::string("\x00\x01\xFE\xFF key", 8)));
}

void Purchase() {
  const std::string header =
      "SET objedn\xE1vka\r\n"
      "Obchodn\xEDk: Knihkupectv\xED\r\n"
      "SET-SET-URL: http://10.0.0.7/obchod/set\r\n"
      "Datum: 10.12.2024\r\n"
      "\r\n\r\n\r\n\r\n"
      "Polo\x9Eky:\r\n";
  Write("fuzz_purchase", "order", header + "Kniha;2;300\r\nPero;5;20\r\n");
  Write("fuzz_purchase", "bad-price", header + "Kniha;2;300 \nPero;5\n;;\n");
  Write("fuzz_purchase", "no-items", header);
  Write("fuzz_purchase", "hosts",
        "SET-SET-URL: http://user@[fe80::1]:8080/x\n\rSET-SET-URL: https://shop.example.cz?q\n"
        "SET-SET-URL:nospace\n1\n2\n3\n4\n5\n6\n  +7;-8; 9\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pelvane-fuzz-seeds DIR\n");
    return 2;
  }
  root = argv[1];
  try {
    Formats();
    Frames();
    Envelopes();
    RsaSeeds();
    Purchase();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelvane-fuzz-seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
