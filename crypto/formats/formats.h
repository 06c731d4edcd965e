// Text encodings selected by numeric identifier: StrToFormat (bytes to text) and FormatToStr
// (text to bytes) over the process-wide format registry.
//
// Format classes are used without instances. Each class is one immutable object (reached
// through its static Class()) whose virtual operations are the class-level operations; a
// class reference is a `const TStringFormat*` to that object.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace pelvane {

// Identifiers of the registered formats.
inline constexpr int kFormatDefault = -1;  // stands for kFormatMIME64
inline constexpr int kFormatCopy = 1;
inline constexpr int kFormatHex = 16;
inline constexpr int kFormatHexLower = 1016;
inline constexpr int kFormatMIME64 = 4196;
inline constexpr int kFormatUU = 21845;
inline constexpr int kFormatXX = 22616;

// data: the bytes (nullptr gives an empty result); length: a negative count means "up to the
// first zero byte". Throws EStringFormat for an unknown identifier or refused input.
std::string StrToFormat(const void* data, std::int32_t length, int identifier);
std::string FormatToStr(const void* text, std::int32_t length, int identifier);

// The same for a byte string of any length (its size is the count; zero bytes are data).
std::string StrToFormat(std::string_view data, int identifier);
std::string FormatToStr(std::string_view text, int identifier);

// The copy format (identifier 1) and the base of every format class.
class TStringFormat {
 public:
  TStringFormat(const TStringFormat&) = delete;
  TStringFormat& operator=(const TStringFormat&) = delete;
  virtual ~TStringFormat() = default;

  // The class object of this class.
  static const TStringFormat* Class();

  // Class-level operations, in slot order.
  virtual std::string DecodeText(std::string_view text) const;
  virtual std::string EncodeText(std::string_view data) const;
  // "copy Input to Output" for TStringFormat itself; for a derived class that does not
  // override it, the class name from the character after the first "_" on, or the whole
  // class name if it has none.
  virtual std::string DisplayName() const;
  virtual int Identifier() const { return kFormatCopy; }
  // Whether the input may be converted in the given direction.
  virtual bool CheckInput(std::string_view input, bool decoding) const;
  // CheckInput(text, true) and, if it passes, DecodeText(text) into bytes; false (bytes left
  // alone) if the input is refused. FormatToStr decodes through this, so that a class can do
  // both in one pass.
  virtual bool CheckAndDecode(std::string_view text, std::string& bytes) const;

  virtual std::string_view ClassName() const { return "TStringFormat"; }
  // The class this class derives from; nullptr for TStringFormat itself.
  virtual const TStringFormat* ClassParent() const { return nullptr; }
  // True if this class is cls or derives from it.
  bool InheritsFrom(const TStringFormat* cls) const;

 protected:
  TStringFormat() = default;
};

// Upper-case hexadecimal (identifier 16).
class TStringFormat_HEX : public TStringFormat {
 public:
  static const TStringFormat_HEX* Class();

  std::string DecodeText(std::string_view text) const override;
  std::string EncodeText(std::string_view data) const override;
  std::string DisplayName() const override { return "Hexadecimal"; }
  int Identifier() const override { return kFormatHex; }
  // Encoding: always true. Decoding: every character occurs somewhere in Alphabet().
  bool CheckInput(std::string_view input, bool decoding) const override;
  // The character table: the sixteen digits first, then the characters decoding accepts.
  // A class that overrides it keeps the layout of the class it derives from: 16 digits, "X"
  // and "$" for hexadecimal; 64 value characters and "=" for Base64.
  virtual std::string_view Alphabet() const;

  std::string_view ClassName() const override { return "TStringFormat_HEX"; }
  const TStringFormat* ClassParent() const override { return TStringFormat::Class(); }

 protected:
  TStringFormat_HEX() = default;
};

// Lower-case hexadecimal (identifier 1016).
class TStringFormat_HEXL : public TStringFormat_HEX {
 public:
  static const TStringFormat_HEXL* Class();

  std::string DisplayName() const override { return "Hexadecimal lowercase"; }
  int Identifier() const override { return kFormatHexLower; }
  std::string_view Alphabet() const override;

  std::string_view ClassName() const override { return "TStringFormat_HEXL"; }
  const TStringFormat* ClassParent() const override { return TStringFormat_HEX::Class(); }

 protected:
  TStringFormat_HEXL() = default;
};

// MIME Base 64 (identifier 4196, also reached through -1). Inherits the alphabet test.
class TStringFormat_MIME64 : public TStringFormat_HEX {
 public:
  static const TStringFormat_MIME64* Class();

  std::string DecodeText(std::string_view text) const override;
  std::string EncodeText(std::string_view data) const override;
  bool CheckAndDecode(std::string_view text, std::string& bytes) const override;
  std::string DisplayName() const override { return "MIME Base 64"; }
  int Identifier() const override { return kFormatMIME64; }
  std::string_view Alphabet() const override;

  std::string_view ClassName() const override { return "TStringFormat_MIME64"; }
  const TStringFormat* ClassParent() const override { return TStringFormat_HEX::Class(); }

 protected:
  TStringFormat_MIME64() = default;

 private:
  static bool Decode(std::string_view text, std::string_view alphabet, bool check,
                     std::string& bytes);
};

// UU line coding (identifier 21845): lines of at most 45 bytes, each a length character and
// four characters per three bytes, written without line breaks.
class TStringFormat_UU : public TStringFormat {
 public:
  static const TStringFormat_UU* Class();

  std::string DecodeText(std::string_view text) const override;
  std::string EncodeText(std::string_view data) const override;
  std::string DisplayName() const override { return "UU Coding"; }
  int Identifier() const override { return kFormatUU; }
  // Encoding: always true. Decoding: every character is in Alphabet() and the line lengths
  // account for the input exactly.
  bool CheckInput(std::string_view input, bool decoding) const override;
  // 64 value characters, then characters that decoding skips; an override keeps that layout.
  virtual std::string_view Alphabet() const;

  std::string_view ClassName() const override { return "TStringFormat_UU"; }
  const TStringFormat* ClassParent() const override { return TStringFormat::Class(); }

 protected:
  TStringFormat_UU() = default;
};

// XX line coding (identifier 22616): the UU line coding over another alphabet.
class TStringFormat_XX : public TStringFormat_UU {
 public:
  static const TStringFormat_XX* Class();

  std::string DisplayName() const override { return "XX Coding"; }
  int Identifier() const override { return kFormatXX; }
  std::string_view Alphabet() const override;

  std::string_view ClassName() const override { return "TStringFormat_XX"; }
  const TStringFormat* ClassParent() const override { return TStringFormat_UU::Class(); }

 protected:
  TStringFormat_XX() = default;
};

// A class reference.
using TStringFormatClass = const TStringFormat*;

// Adds format classes to the registry, in order: an absent class (nullptr) or one whose
// Identifier() is -1 is skipped; a class whose identifier is already registered takes the
// place of the registered one; any other is appended. The registry starts out holding, in
// this order, TStringFormat, _HEX, _HEXL, _MIME64, _UU and _XX.
void RegisterFormats(std::initializer_list<TStringFormatClass> classes);

// The first registered class with the identifier (-1 stands for kFormatMIME64), or nullptr.
TStringFormatClass FindFormat(int identifier);

}  // namespace pelvane
