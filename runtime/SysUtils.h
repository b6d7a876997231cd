// The class library's system utilities: numeric aliases, the exception hierarchy with its message
// texts, Format, integer/string conversion, case mapping and rounding.
//
// Text: strings are 8-bit std::string holding UTF-8. Our sources are UTF-8, so the library's own
// German texts and every literal compare byte for byte. Text that arrives from old data files may
// still carry single Windows-1252 bytes; the case mappings treat any byte that does not start a
// valid UTF-8 sequence as a Windows-1252 character, so both kinds of text map sensibly.
#pragma once

#include <concepts>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

using Integer = int32_t;
using Cardinal = uint32_t;
using Int64 = int64_t;
using Word = uint16_t;
using Real = double;
using Single = float;
using Extended = long double;

// ---- Message texts of the class library, shared by every place that raises them ----

inline constexpr const char* SListIndexError = "Listenindex überschreitet das Maximum (%d)";
inline constexpr const char* SListCapacityError = "Listenkapazität überschreitet das Maximum (%d)";
inline constexpr const char* SListCountError = "Listenanzahl überschreitet das Maximum (%d)";
inline constexpr const char* SFOpenError = "Datei %s kann nicht geöffnet werden";
inline constexpr const char* SFCreateError = "Datei %s kann nicht erstellt werden";
inline constexpr const char* SReadError = "Stream-Lesefehler";
inline constexpr const char* SWriteError = "Stream-Schreibfehler";
inline constexpr const char* SInvalidImage = "Ungültiges Stream-Format";
inline constexpr const char* SMemoryStreamError = "Kein Speicher beim Erweitern eines Memory-Streams";
inline constexpr const char* SInvalidInteger = "'%s' ist kein gültiger Integerwert";
inline constexpr const char* SInvalidFormat = "Format '%s' ungültig oder nicht kompatibel mit Argument";
inline constexpr const char* SArgumentMissing = "Kein Argument für Format '%s'";
inline constexpr const char* SFileNotFound = "Datei nicht gefunden";
inline constexpr const char* SOutOfMemory = "Zu wenig Arbeitsspeicher";
inline constexpr const char* SInvalidCast = "Ungültige Typumwandlung";

// ---- Format arguments ----

// One argument of Format: an integer, a floating-point value, a string, a character or a
// pointer, as the format's conversion characters expect them.
class TVarRec {
 public:
  enum class TVarKind { Integer, Float, String, Pointer };

  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  TVarRec(T value) : FKind(TVarKind::Integer), FInteger(static_cast<int64_t>(value)),
                     FUnsigned(std::is_unsigned_v<T>), FWide(sizeof(T) > 4) {}
  TVarRec(float value) : FKind(TVarKind::Float), FFloat(value) {}
  TVarRec(double value) : FKind(TVarKind::Float), FFloat(value) {}
  TVarRec(long double value) : FKind(TVarKind::Float), FFloat(value) {}
  TVarRec(char value) : FKind(TVarKind::String), FString(1, value) {}
  TVarRec(const char* value) : FKind(TVarKind::String), FString(value ? value : "") {}
  TVarRec(std::string_view value) : FKind(TVarKind::String), FString(value) {}
  TVarRec(const std::string& value) : FKind(TVarKind::String), FString(value) {}
  TVarRec(const void* value) : FKind(TVarKind::Pointer), FPointer(value) {}

  TVarKind Kind() const { return FKind; }
  int64_t AsInteger() const { return FInteger; }
  // The value as the unsigned integer of its own width (a negative 32-bit value wraps at 2^32).
  uint64_t AsUnsigned() const;
  long double AsFloat() const { return FFloat; }
  const std::string& AsString() const { return FString; }
  const void* AsPointer() const { return FPointer; }

 private:
  TVarKind FKind;
  int64_t FInteger = 0;
  bool FUnsigned = false;
  bool FWide = false;
  long double FFloat = 0;
  std::string FString;
  const void* FPointer = nullptr;
};

// The class library's Format: "%" [index ":"] ["-"] [width] ["." precision] type, with types
// d u x X e f g n m p s; index, width and precision may be "*" (taken from the arguments);
// "%%" is a percent sign. A malformed format or a mismatched argument raises EConvertError.
std::string Format(std::string_view format, std::initializer_list<TVarRec> args);

// Separators of %f %n %m and of the float conversions: those of the German installation the
// program was written on.
inline constexpr char DecimalSeparator = ',';
inline constexpr char ThousandSeparator = '.';
inline constexpr const char* CurrencyString = "€";

// ---- Exceptions ----

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  // The class library's CreateFmt.
  Exception(std::string_view format, std::initializer_list<TVarRec> args)
      : FMessage(Format(format, args)) {}

  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

#define ORVALIS_EXCEPTION_CLASS(Name, Base) \
  class Name : public Base {                \
   public:                                  \
    using Base::Base;                       \
  }

ORVALIS_EXCEPTION_CLASS(EConvertError, Exception);
ORVALIS_EXCEPTION_CLASS(EListError, Exception);
ORVALIS_EXCEPTION_CLASS(EStreamError, Exception);
ORVALIS_EXCEPTION_CLASS(EFCreateError, EStreamError);
ORVALIS_EXCEPTION_CLASS(EFOpenError, EStreamError);
ORVALIS_EXCEPTION_CLASS(EFilerError, EStreamError);
ORVALIS_EXCEPTION_CLASS(EReadError, EFilerError);
ORVALIS_EXCEPTION_CLASS(EWriteError, EFilerError);
ORVALIS_EXCEPTION_CLASS(EClassNotFound, EFilerError);
ORVALIS_EXCEPTION_CLASS(EInvalidImage, EFilerError);
ORVALIS_EXCEPTION_CLASS(EInvalidGraphic, Exception);
ORVALIS_EXCEPTION_CLASS(EInvalidGraphicOperation, Exception);
ORVALIS_EXCEPTION_CLASS(EOutOfMemory, Exception);
ORVALIS_EXCEPTION_CLASS(EOutOfResources, EOutOfMemory);
ORVALIS_EXCEPTION_CLASS(EInvalidCast, Exception);
ORVALIS_EXCEPTION_CLASS(EComponentError, Exception);
ORVALIS_EXCEPTION_CLASS(EInvalidOperation, Exception);

#undef ORVALIS_EXCEPTION_CLASS

// An input/output error of the runtime's file routines, with the operating-system style error
// code (2: file not found).
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, Integer errorCode)
      : Exception(std::move(message)), ErrorCode(errorCode) {}
  Integer ErrorCode;
};

// The class library's out-of-memory error, for allocations that fail.
[[noreturn]] void OutOfMemoryError();

// ---- Conversions ----

std::string IntToStr(int64_t value);
// Upper-case hexadecimal with at least `digits` digits; negative values show their two's
// complement of 32 bits (64 when they do not fit in 32).
std::string IntToHex(int64_t value, Integer digits);
// Optional blanks, an optional sign, then decimal digits or "$"/"0x" and hexadecimal digits,
// then optional blanks; anything else, or a value outside Integer, raises EConvertError
// "'%s' ist kein gültiger Integerwert".
Integer StrToInt(const std::string& text);
Integer StrToIntDef(const std::string& text, Integer defaultValue);
bool TryStrToInt(const std::string& text, Integer& value);

std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// ASCII letters only.
std::string LowerCase(std::string_view text);
std::string UpperCase(std::string_view text);
// Letters of ASCII and of Latin-1/Windows-1252 as well, in UTF-8 or as single bytes (see top).
std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
// Text for output to a terminal or a UTF-8 font renderer: valid UTF-8 passes unchanged, stray
// single bytes are read as Windows-1252.
std::string TextToUtf8(std::string_view text);
// Appends the UTF-8 encoding of one Unicode code point.
void AppendUtf8(std::string& text, char32_t codePoint);

// ---- Files ----

// The name of a file as this host sees it: "\" separators become "/", and where a file or
// folder of the given name does not exist, one whose name differs only in letter case is taken
// (the program's file names come from a platform whose names ignore case).
std::string HostFileName(const std::string& fileName);
bool FileExists(const std::string& fileName);

// ---- Rounding ----

// Round to the nearest integer, ties to even (the floating-point unit's default rounding).
// Values outside Int64 and NaN give INT64_MIN, the unit's "integer indefinite".
Int64 Round(double value);
// The x87 store does exactly this in one instruction, and the game rounds Extended values by
// the hundred thousand a frame: fistp rounds the whole 80-bit value in the unit's rounding mode
// (to nearest, ties to even; nothing here changes it), stores it when it lies in Int64 and the
// integer indefinite otherwise, NaN included. That is what nearbyintl's range test followed by
// llrintl (itself a fistp) gives, without two library calls.
inline Int64 Round(long double value) {
  Int64 result;
  asm("fistpll %0" : "=m"(result) : "t"(value) : "st");
  return result;
}
// Towards zero; the same out-of-range result as Round.
Int64 Trunc(double value);
Int64 Trunc(long double value);
