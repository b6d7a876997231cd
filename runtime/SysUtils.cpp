#include "runtime/SysUtils.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "platform/gdi/TextEncoding.h"

// ---- Format ----

uint64_t TVarRec::AsUnsigned() const {
  if (FUnsigned || FWide) return static_cast<uint64_t>(FInteger);
  return static_cast<uint32_t>(FInteger);
}

namespace {

// The largest width or precision a format may spell out; more digits are a malformed format.
constexpr int kMaxFormatNumber = 99999999;
// Extended carries 18 to 19 significant decimal digits; the float conversions stop there.
constexpr int kMaxFloatDigits = 18;

std::string Hex(uint64_t value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), digits[value & 15]);
    value >>= 4;
  } while (value != 0);
  return text;
}

std::string ZeroPadded(std::string digits, std::optional<int> minDigits) {
  if (minDigits && static_cast<int>(digits.size()) < *minDigits)
    digits.insert(0, *minDigits - digits.size(), '0');
  return digits;
}

std::string PrintFloat(const char* conversion, int precision, long double value) {
  std::string format = std::string("%.*L") + conversion;
  int length = std::snprintf(nullptr, 0, format.c_str(), precision, value);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format.c_str(), precision, value);
  text.resize(static_cast<size_t>(length));
  return text;
}

void UseDecimalSeparator(std::string& text) {
  for (char& c : text)
    if (c == '.') c = DecimalSeparator;
}

// Rewrites the exponent that printf writes ("e+5", "e-12") as "E+005" / "E-012".
std::string WithLongExponent(const std::string& text) {
  size_t e = text.find_first_of("eE");
  if (e == std::string::npos) return text;
  std::string exponent = text.substr(e + 2);
  if (exponent.size() < 3) exponent.insert(0, 3 - exponent.size(), '0');
  return text.substr(0, e) + "E" + text[e + 1] + exponent;
}

std::string FixedText(long double value, int decimals) {
  std::string text = PrintFloat("f", decimals, value);
  UseDecimalSeparator(text);
  return text;
}

std::string ScientificText(long double value, int digits) {
  std::string text = WithLongExponent(PrintFloat("E", digits - 1, value));
  UseDecimalSeparator(text);
  return text;
}

// The shortest of fixed and scientific notation with the given significant digits, trailing
// zeros dropped; fixed while the integer part fits the digits and the value is not tiny.
std::string GeneralText(long double value, int digits) {
  std::string scientific = PrintFloat("E", digits - 1, value);
  int exponent = std::stoi(scientific.substr(scientific.find('E') + 1));
  bool fixed = value == 0 || (exponent < digits && std::fabs(value) >= 0.00001L);
  std::string text = fixed ? PrintFloat("f", std::max(digits - 1 - exponent, 0), value)
                           : scientific;
  size_t mantissaEnd = fixed ? text.size() : text.find('E');
  std::string mantissa = text.substr(0, mantissaEnd);
  if (mantissa.find('.') != std::string::npos) {
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  text = mantissa + (fixed ? "" : WithLongExponent(text.substr(mantissaEnd)));
  UseDecimalSeparator(text);
  return text;
}

std::string WithThousands(const std::string& fixedText) {
  size_t digitsStart = fixedText[0] == '-' ? 1 : 0;
  size_t digitsEnd = fixedText.find(DecimalSeparator);
  if (digitsEnd == std::string::npos) digitsEnd = fixedText.size();
  std::string text = fixedText;
  for (size_t i = digitsEnd; i > digitsStart + 3; i -= 3) text.insert(i - 3, 1, ThousandSeparator);
  return text;
}

// NaN and the infinities print as the class library prints them, whatever the conversion.
std::optional<std::string> SpecialFloatText(long double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  return std::nullopt;
}

class Formatter {
 public:
  Formatter(std::string_view format, std::initializer_list<TVarRec> args)
      : FFormat(format), FArgs(args.begin()), FArgCount(args.size()) {}

  std::string Run() {
    while (FPos < FFormat.size()) {
      char c = FFormat[FPos++];
      if (c != '%') {
        FResult += c;
        continue;
      }
      if (Peek() == '%') {
        ++FPos;
        FResult += '%';
        continue;
      }
      Specifier();
    }
    return FResult;
  }

 private:
  [[noreturn]] void Invalid() const { throw EConvertError(SInvalidFormat, {std::string(FFormat)}); }

  char Peek() const { return FPos < FFormat.size() ? FFormat[FPos] : '\0'; }

  const TVarRec& NextArg() {
    if (FNextArg >= FArgCount) throw EConvertError(SArgumentMissing, {std::string(FFormat)});
    return FArgs[FNextArg++];
  }

  // A number written out, or "*" for the next argument (which must be an integer).
  std::optional<int64_t> Number() {
    if (Peek() == '*') {
      ++FPos;
      const TVarRec& arg = NextArg();
      if (arg.Kind() != TVarRec::TVarKind::Integer) Invalid();
      return arg.AsInteger();
    }
    if (Peek() < '0' || Peek() > '9') return std::nullopt;
    int64_t value = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      value = value * 10 + (FFormat[FPos++] - '0');
      if (value > kMaxFormatNumber) Invalid();
    }
    return value;
  }

  void Specifier() {
    std::optional<int64_t> number = Number();
    if (Peek() == ':') {
      ++FPos;
      if (!number || *number < 0) Invalid();
      FNextArg = static_cast<size_t>(*number);
      number.reset();
    }
    bool left = false;
    if (!number) {
      if (Peek() == '-') {
        ++FPos;
        left = true;
      }
      number = Number();
    }
    std::optional<int> width;
    if (number) {
      int64_t value = std::clamp<int64_t>(*number, -kMaxFormatNumber, kMaxFormatNumber);
      left = left || value < 0;  // a negative "*" width justifies to the left
      width = static_cast<int>(value < 0 ? -value : value);
    }
    std::optional<int> precision;
    if (Peek() == '.') {
      ++FPos;
      std::optional<int64_t> p = Number();
      precision = static_cast<int>(std::clamp<int64_t>(p.value_or(0), 0, kMaxFormatNumber));
    }
    if (FPos >= FFormat.size()) Invalid();
    char type = static_cast<char>(std::toupper(static_cast<unsigned char>(FFormat[FPos++])));
    std::string text = Convert(type, NextArg(), precision);
    if (width && static_cast<int>(text.size()) < *width) {
      std::string padding(*width - text.size(), ' ');
      text = left ? text + padding : padding + text;
    }
    FResult += text;
  }

  std::string Convert(char type, const TVarRec& arg, std::optional<int> precision) {
    using Kind = TVarRec::TVarKind;
    switch (type) {
      case 'D': {
        if (arg.Kind() != Kind::Integer) Invalid();
        int64_t value = arg.AsInteger();
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : value;
        std::string text = value < 0 ? "-" : "";
        return text += ZeroPadded(std::to_string(magnitude), precision);
      }
      case 'U':
        if (arg.Kind() != Kind::Integer) Invalid();
        return ZeroPadded(std::to_string(arg.AsUnsigned()), precision);
      case 'X':
        if (arg.Kind() != Kind::Integer) Invalid();
        return ZeroPadded(Hex(arg.AsUnsigned()), precision);
      case 'P':
        if (arg.Kind() != Kind::Pointer) Invalid();
        return ZeroPadded(Hex(reinterpret_cast<uintptr_t>(arg.AsPointer())), 2 * sizeof(void*));
      case 'S':
        if (arg.Kind() != Kind::String) Invalid();
        return precision ? arg.AsString().substr(0, *precision) : arg.AsString();
      case 'E':
      case 'F':
      case 'G':
      case 'N':
      case 'M':
        if (arg.Kind() != Kind::Float) Invalid();
        return FloatText(type, arg.AsFloat(), precision);
      default:
        Invalid();
    }
  }

  static std::string FloatText(char type, long double value, std::optional<int> precision) {
    if (auto special = SpecialFloatText(value)) return *special;
    switch (type) {
      case 'E':
        return ScientificText(value, std::clamp(precision.value_or(15), 1, kMaxFloatDigits));
      case 'G':
        return GeneralText(value, std::clamp(precision.value_or(15), 1, kMaxFloatDigits));
      case 'F':
        return FixedText(value, std::min(precision.value_or(2), kMaxFloatDigits));
      case 'N':
        return WithThousands(FixedText(value, std::min(precision.value_or(2), kMaxFloatDigits)));
      default: {  // 'M': "1.234,56 €", negative "-1.234,56 €"
        std::string amount =
            WithThousands(FixedText(value, std::min(precision.value_or(2), kMaxFloatDigits)));
        return amount + " " + CurrencyString;
      }
    }
  }

  std::string_view FFormat;
  const TVarRec* FArgs;
  size_t FArgCount;
  size_t FPos = 0;
  size_t FNextArg = 0;
  std::string FResult;
};

}  // namespace

std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
  return Formatter(format, args).Run();
}

void OutOfMemoryError() { throw EOutOfMemory(SOutOfMemory); }

// ---- Conversions ----

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(int64_t value, Integer digits) {
  uint64_t bits = value >= INT32_MIN && value < 0 ? static_cast<uint32_t>(value)
                                                  : static_cast<uint64_t>(value);
  return ZeroPadded(Hex(bits), std::clamp(digits, 0, 32));
}

bool TryStrToInt(const std::string& text, Integer& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  // Hexadecimal spells the 32 bits, so "$FFFFFFFF" is -1; decimal must lie inside Integer.
  uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(magnitude);
  value = static_cast<Integer>(negative ? 0u - bits : bits);
  return true;
}

Integer StrToInt(const std::string& text) {
  Integer value;
  if (!TryStrToInt(text, value)) throw EConvertError(SInvalidInteger, {text});
  return value;
}

Integer StrToIntDef(const std::string& text, Integer defaultValue) {
  Integer value;
  return TryStrToInt(text, value) ? value : defaultValue;
}

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::string TrimLeft(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  return std::string(text.substr(start));
}

std::string TrimRight(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return std::string(text.substr(0, end));
}

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

// ---- Case mapping ----

namespace {

// The letters of Windows-1252 outside ASCII and Latin-1's paired block.
constexpr std::pair<char32_t, char32_t> kExtraLetterPairs[] = {
    {0x0160, 0x0161}, {0x0152, 0x0153}, {0x017D, 0x017E}, {0x0178, 0x00FF}};

char32_t ToLower(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  for (auto [upper, lower] : kExtraLetterPairs)
    if (c == upper) return lower;
  return c;
}

char32_t ToUpper(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  for (auto [upper, lower] : kExtraLetterPairs)
    if (c == lower) return upper;
  return c;
}

// Applies map to every character: UTF-8 sequences stay UTF-8, stray bytes stay single
// Windows-1252 bytes (or become UTF-8 when toUtf8 is set).
std::string MapText(std::string_view text, char32_t (*map)(char32_t), bool toUtf8) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t codePoint;
    size_t length = DecodeUtf8(text, i, codePoint);
    if (length > 0) {
      AppendUtf8(result, map(codePoint));
      i += length;
    } else {
      char32_t mapped = map(Windows1252ToUnicode(static_cast<unsigned char>(text[i++])));
      if (toUtf8)
        AppendUtf8(result, mapped);
      else
        result += static_cast<char>(UnicodeToWindows1252(mapped));
    }
  }
  return result;
}

char32_t Unchanged(char32_t c) { return c; }

}  // namespace

void AppendUtf8(std::string& text, char32_t codePoint) {
  if (codePoint < 0x80) {
    text += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    text += static_cast<char>(0xC0 | (codePoint >> 6));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    text += static_cast<char>(0xE0 | (codePoint >> 12));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (codePoint >> 18));
    text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}
std::string LowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  return result;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
  return result;
}

std::string AnsiLowerCase(std::string_view text) { return MapText(text, ToLower, false); }
std::string AnsiUpperCase(std::string_view text) { return MapText(text, ToUpper, false); }
std::string TextToUtf8(std::string_view text) { return MapText(text, Unchanged, true); }

// ---- Files ----

namespace fs = std::filesystem;

namespace {

// The entry of folder whose name equals name apart from letter case, if there is one.
std::optional<std::string> FindIgnoringCase(const fs::path& folder, const std::string& name) {
  std::error_code error;
  fs::directory_iterator entries(folder.empty() ? fs::path(".") : folder, error);
  if (error) return std::nullopt;
  std::string wanted = AnsiLowerCase(name);
  for (const fs::directory_entry& entry : entries) {
    std::string candidate = entry.path().filename().string();
    if (AnsiLowerCase(candidate) == wanted) return candidate;
  }
  return std::nullopt;
}

bool Exists(const fs::path& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace

std::string HostFileName(const std::string& fileName) {
  std::string name = fileName;
  for (char& c : name)
    if (c == '\\') c = '/';
  if (name.empty() || Exists(name)) return name;
  fs::path resolved = name[0] == '/' ? fs::path("/") : fs::path();
  fs::path rest = fs::path(name).relative_path();
  for (auto it = rest.begin(); it != rest.end(); ++it) {
    fs::path exact = resolved / *it;
    if (Exists(exact) || it->string() == "." || it->string() == "..") {
      resolved = exact;
      continue;
    }
    std::optional<std::string> found = FindIgnoringCase(resolved, it->string());
    if (!found) {  // the rest does not exist yet: it stays as given
      for (; it != rest.end(); ++it) resolved /= *it;
      break;
    }
    resolved /= *found;
  }
  return resolved.string();
}

bool FileExists(const std::string& fileName) {
  struct stat info;
  return ::stat(HostFileName(fileName).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// ---- Rounding ----

namespace {

// Whether value converts to Int64 without overflow: -2^63 <= value < 2^63, not NaN.
template <class F>
bool FitsInt64(F value) {
  return value >= static_cast<F>(INT64_MIN) && value < -static_cast<F>(INT64_MIN);
}

}  // namespace

Int64 Round(double value) { return FitsInt64(std::nearbyint(value)) ? std::llrint(value) : INT64_MIN; }
Int64 Trunc(double value) {
  return FitsInt64(std::trunc(value)) ? static_cast<Int64>(value) : INT64_MIN;
}
Int64 Trunc(long double value) {
  return FitsInt64(std::trunc(value)) ? static_cast<Int64>(value) : INT64_MIN;
}
