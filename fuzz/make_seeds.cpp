// pelvane-fuzz-seeds DIR: writes the seed inputs of every fuzz target into DIR/<target>/, made
// by the library itself (frames and envelopes as the wallet builds them). Deterministic, so the
// committed corpus in fuzz/corpus/ can be refreshed with: pelvane-fuzz-seeds fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
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

// The demo customer's digest: SHA of "first surname birth password" (Windows-1250).
std::string DemoDigest() {
  THashManager hash;
  hash.SetAlgorithm("Secure Hash Algorithm");
  hash.CalcString("Jan Nov\xE1k 750101/1234 demo");
  return hash.DigestString(kFormatHex);
}

// Fields of a peer-to-peer frame: len4(field) + field each.
std::string Fields(std::initializer_list<std::string> fields) {
  std::string data;
  for (const std::string& f : fields)
    data += IntToHex(static_cast<std::int32_t>(f.size()), 4) + f;
  return data;
}

// fuzz_session: the first byte is the state (0-7), +8 to seal the rest (identifier byte, text)
// under the bank's (+0), gateway's (+16) or merchant's (+32) session key.
std::string Sealed(int state, int key, int id, const std::string& text) {
  return std::string(1, static_cast<char>(state | 8 | key << 4)) + static_cast<char>(id) + text;
}

void Session() {
  const std::string key = kWalletPublicKey;  // every peer's key in the target
  Write("fuzz_session", "bank-key", '\0' + BuildPlainFrame(key, 98));
  Write("fuzz_session", "bank-key-again", '\1' + BuildPlainFrame(key, 98));
  Write("fuzz_session", "balance", Sealed(1, 0, 2, "10000"));
  Write("fuzz_session", "balance-low", Sealed(1, 0, 2, "100"));
  Write("fuzz_session", "balance-no-purchase", Sealed(2, 0, 2, "10000"));
  Write("fuzz_session", "unknown-customer",
        Sealed(1, 0, 2, "*** Z\xE1kazn\xEDk nen\xED veden v bance nebo zadal chybn\xE9 heslo."));
  Write("fuzz_session", "payments",
        Sealed(4, 0, 13, "   10.12.2024  10:00:00        320 K\xE8     2004123456/0800"));
  Write("fuzz_session", "gateway-address", Sealed(3, 0, 76, "127.0.0.3"));
  Write("fuzz_session", "gateway-key", '\5' + BuildPlainFrame(key, 95));
  Write("fuzz_session", "merchant-key", '\6' + BuildPlainFrame(key, 96));
  Write("fuzz_session", "merchant-key-no-purchase", '\2' + BuildPlainFrame(key, 96));
  Write("fuzz_session", "paid", Sealed(7, 1, 10, "320"));
  Write("fuzz_session", "gateway-refusal",
        Sealed(7, 1, 25, "*** Platba zam\xEDtnuta: Nedostatek prost\xF8\x65\x64k\xF9."));
  Write("fuzz_session", "merchant-report",
        Sealed(7, 2, 23,
               "Zbo\x9E\xED bylo odesl\xE1no. Objedn\xE1vka \xE8. 0011, zaplaceno 320 K\xE8."));
  Write("fuzz_session", "bank-report", Sealed(7, 0, 22, "OK"));
  Write("fuzz_session", "no-key", Sealed(0, 3, 20, "report"));
  Write("fuzz_session", "garbage", std::string("\7ZZ0004abcd"));
  Write("fuzz_session", "short",
        std::string("\3"
                    "0",
                    2));
}

// fuzz_peers: first byte = peer (0 bank, 1 gateway, 2 merchant) + state * 4 + 16 for the
// trusted sender + 32 to seal (identifier byte, text) or 64 for a dual frame.
std::string Peer(int peer, int state, bool trusted, int mode) {
  return std::string(1, static_cast<char>(peer | state << 2 | (trusted ? 16 : 0) | mode << 5));
}

void Peers() {
  const std::string key = kWalletPublicKey;  // the peers' key pair in the target
  const std::string session = "Pelvane fuzz session key";
  const std::string digest = DemoDigest();
  const std::string debit =
      BuildPlainFrame(Fields({"REF1", digest, "320", "2004123456/0800", "99999999999999"}), 0xB0);
  const std::string block = BuildSecureBlock(digest, session, key);
  Write("fuzz_peers", "bank-99", Peer(0, 0, false, 0) + BuildPlainFrame(key, 99));
  Write("fuzz_peers", "bank-89", Peer(0, 1, false, 0) + BuildKeyFrame(session, key, 89));
  Write("fuzz_peers", "bank-1", Peer(0, 2, false, 0) + BuildSecureFrame(digest, 1, key, session));
  Write("fuzz_peers", "bank-1-sealed", Peer(0, 2, false, 1) + '\x01' + digest);
  Write("fuzz_peers", "bank-75", Peer(0, 3, false, 1) + 'K' + "IP");
  Write("fuzz_peers", "bank-13", Peer(0, 3, false, 1) + '\x0D' + digest);
  Write("fuzz_peers", "bank-21",
        Peer(0, 3, false, 1) + '\x15' +
            "*** Z\xE1kazn\xEDk m\xE1 nedostate\xE8nou hotovost na \xFA\xE8tu.");
  Write("fuzz_peers", "bank-debit", Peer(0, 0, true, 0) + debit);
  Write("fuzz_peers", "bank-debit-from-wallet", Peer(0, 0, false, 0) + debit);
  Write("fuzz_peers", "bank-debit-too-much",
        Peer(0, 0, true, 0) +
            BuildPlainFrame(Fields({"REF2", digest, "20000", "2004123456/0800", "99999999999999"}),
                            0xB0));
  Write("fuzz_peers", "gateway-99", Peer(1, 0, false, 0) + BuildPlainFrame(key, 99));
  Write(
      "fuzz_peers", "gateway-A0",
      Peer(1, 2, false, 0) +
          BuildPlainFrame(Fields({"REF3", "10.1.0.9", "320", "2004123456/0800", block, ""}), 0xA0));
  Write("fuzz_peers", "gateway-B1",
        Peer(1, 3, true, 0) + BuildPlainFrame(Fields({"0123456789ABCDEF", "PAID", "320"}), 0xB1));
  Write("fuzz_peers", "gateway-B1-refused",
        Peer(1, 3, true, 0) +
            BuildPlainFrame(Fields({"0123456789ABCDEF", "REFUSED", "Neplatn\xE1 \xE8\xE1stka."}),
                            0xB1));
  Write("fuzz_peers", "merchant-79",
        Peer(2, 2, false, 2) + 'O' + digest + '\0' + "Kniha;2;300\r\nPero;5;20\r\n");
  Write("fuzz_peers", "merchant-79-bad-order",
        Peer(2, 2, false, 2) + 'O' + digest + '\0' + "Kniha;x;300\r\n");
  Write("fuzz_peers", "merchant-A1",
        Peer(2, 3, true, 0) + BuildPlainFrame(Fields({"@PENDING-ORDER@@", "PAID", "320"}), 0xA1));
  Write(
      "fuzz_peers", "merchant-A1-refused",
      Peer(2, 3, true, 0) + BuildPlainFrame(Fields({"@PENDING-ORDER@@", "REFUSED", "Nic."}), 0xA1));
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
    Session();
    Peers();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pelvane-fuzz-seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
