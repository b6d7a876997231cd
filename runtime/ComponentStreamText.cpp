#include "runtime/ComponentStreamText.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

constexpr const char* SParseError = "%s in Zeile %d";

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentPart(char c) { return IsIdentStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '.'; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

Integer HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Translates the text into writer calls while it scans it, one token of lookahead.
class TTextParser {
 public:
  TTextParser(std::string_view text, TStream& output) : FText(text), FWriter(output) {}

  void Parse() {
    FWriter.WriteSignature();
    ParseObject();
    SkipBlanks();
    if (FPos < FText.size()) Error("Unerwartetes Zeichen");
  }

 private:
  [[noreturn]] void Error(const std::string& what) { throw EParserError(SParseError, {what, FLine}); }

  void SkipBlanks() {
    while (FPos < FText.size()) {
      char c = FText[FPos];
      if (c == '\n') {
        ++FLine;
        ++FPos;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++FPos;
      } else if (FText.substr(FPos, 2) == "//") {
        while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
      } else {
        return;
      }
    }
  }

  char Peek() {
    SkipBlanks();
    return FPos < FText.size() ? FText[FPos] : '\0';
  }

  void Expect(char c) {
    if (Peek() != c) Error(std::string("'") + c + "' erwartet");
    ++FPos;
  }

  std::string Ident() {
    if (!IsIdentStart(Peek())) Error("Bezeichner erwartet");
    size_t start = FPos;
    while (FPos < FText.size() && IsIdentPart(FText[FPos])) ++FPos;
    return std::string(FText.substr(start, FPos - start));
  }

  bool AtKeyword(std::string_view keyword) {
    if (!IsIdentStart(Peek())) return false;
    size_t end = FPos;
    while (end < FText.size() && IsIdentPart(FText[end])) ++end;
    return AnsiUpperCase(FText.substr(FPos, end - FPos)) == AnsiUpperCase(keyword);
  }

  void ParseObject() {
    if (!AtKeyword("object")) Error("'object' erwartet");
    Ident();
    std::string first = Ident();
    if (Peek() == ':') {
      ++FPos;
      FWriter.WriteStr(Ident());
      FWriter.WriteStr(first);
    } else {
      FWriter.WriteStr(first);
      FWriter.WriteStr("");
    }
    while (!AtKeyword("object") && !AtKeyword("end")) ParseProperty();
    FWriter.WriteListEnd();
    while (AtKeyword("object")) ParseObject();
    if (!AtKeyword("end")) Error("'end' erwartet");
    Ident();
    FWriter.WriteListEnd();
  }

  void ParseProperty() {
    FWriter.WriteStr(Ident());
    Expect('=');
    ParseValue();
  }

  void ParseValue() {
    char c = Peek();
    if (c == '\'') {
      FWriter.WriteString(Strings());
    } else if (c == '-' || c == '+' || IsDigit(c)) {
      Number();
    } else if (c == '[') {
      Set();
    } else if (c == '{') {
      Binary();
    } else if (c == '(') {
      ++FPos;
      FWriter.WriteListBegin();
      while (Peek() != ')') {
        if (Peek() == '\0') Error("')' erwartet");
        ParseValue();
      }
      ++FPos;
      FWriter.WriteListEnd();
    } else if (c == '<') {
      Collection();
    } else if (IsIdentStart(c)) {
      FWriter.WriteIdent(Ident());
    } else {
      Error("Wert erwartet");
    }
  }

  // One or more quoted strings joined with "+".
  std::string Strings() {
    std::string text = QuotedString();
    while (Peek() == '+') {
      ++FPos;
      if (Peek() != '\'') Error("Zeichenkette erwartet");
      text += QuotedString();
    }
    return text;
  }

  std::string QuotedString() {
    ++FPos;  // the opening quote
    std::string text;
    while (true) {
      if (FPos >= FText.size() || FText[FPos] == '\n') Error("Zeichenkette nicht abgeschlossen");
      char c = FText[FPos++];
      if (c != '\'') {
        text += c;
      } else if (FPos < FText.size() && FText[FPos] == '\'') {
        text += '\'';
        ++FPos;
      } else {
        return text;
      }
    }
  }

  void Number() {
    size_t start = FPos;
    if (FText[FPos] == '-' || FText[FPos] == '+') ++FPos;
    if (FPos >= FText.size() || !IsDigit(FText[FPos])) Error("Zahl erwartet");
    bool isFloat = false;
    while (FPos < FText.size() && (IsDigit(FText[FPos]) || FText[FPos] == '.' || FText[FPos] == 'e' ||
                                   FText[FPos] == 'E' ||
                                   (isFloat && (FText[FPos] == '-' || FText[FPos] == '+')))) {
      if (!IsDigit(FText[FPos])) isFloat = true;
      ++FPos;
    }
    std::string number(FText.substr(start, FPos - start));
    char* end = nullptr;
    if (isFloat) {
      long double value = std::strtold(number.c_str(), &end);
      if (*end != '\0') Error("Ungültige Zahl " + number);
      FWriter.WriteFloat(value);
    } else {
      errno = 0;
      long long value = std::strtoll(number.c_str(), &end, 10);
      if (*end != '\0' || errno == ERANGE) Error("Ungültige Zahl " + number);
      FWriter.WriteInteger(value);
    }
  }

  void Set() {
    ++FPos;
    FWriter.WriteValue(svSet);
    if (Peek() != ']') {
      FWriter.WriteStr(Ident());
      while (Peek() == ',') {
        ++FPos;
        FWriter.WriteStr(Ident());
      }
    }
    Expect(']');
    FWriter.WriteStr("");
  }

  void Binary() {
    ++FPos;
    std::vector<uint8_t> bytes;
    while (Peek() != '}') {
      if (FPos + 1 >= FText.size()) Error("'}' erwartet");
      Integer high = HexDigit(FText[FPos]);
      Integer low = HexDigit(FText[FPos + 1]);
      if (high < 0 || low < 0) Error("Ungültige Binärdaten");
      bytes.push_back(static_cast<uint8_t>(high << 4 | low));
      FPos += 2;
    }
    ++FPos;
    FWriter.WriteBinary(bytes.data(), static_cast<Integer>(bytes.size()));
  }

  void Collection() {
    ++FPos;
    FWriter.WriteValue(svCollection);
    while (Peek() != '>') {
      if (!AtKeyword("item")) Error("'item' erwartet");
      Ident();
      if (Peek() == '[') {
        ++FPos;
        Number();
        Expect(']');
      }
      FWriter.WriteListBegin();
      while (!AtKeyword("end")) ParseProperty();
      Ident();
      FWriter.WriteListEnd();
    }
    ++FPos;
    FWriter.WriteListEnd();
  }

  std::string_view FText;
  size_t FPos = 0;
  Integer FLine = 1;
  TWriter FWriter;
};

}  // namespace

void ObjectTextToBinary(std::string_view Text, TStream& Output) {
  TTextParser parser(Text, Output);
  parser.Parse();
}

void ReadComponentText(std::string_view Text, TComponent* Root) {
  TMemoryStream stream;
  ObjectTextToBinary(Text, stream);
  stream.SetPosition(0);
  ReadComponent(stream, Root);
}
