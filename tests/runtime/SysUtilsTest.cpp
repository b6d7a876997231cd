#include "runtime/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/MessageOf.h"

TEST(Format, IntegerConversions) {
  EXPECT_EQ(Format("%d|%5d|%-5d|%.3d|%.3d", {42, 42, 42, 7, -7}), "42|   42|42   |007|-007");
  EXPECT_EQ(Format("%d", {std::numeric_limits<int64_t>::min()}), "-9223372036854775808");
  EXPECT_EQ(Format("%u %u", {-1, uint64_t{18446744073709551615u}}),
            "4294967295 18446744073709551615");
  EXPECT_EQ(Format("%x %X %.4x %x", {255, 255, 10, -1}), "FF FF 000A FFFFFFFF");
  EXPECT_EQ(Format("%x", {int64_t{-1}}), "FFFFFFFFFFFFFFFF");
}

TEST(Format, StringsCharactersAndPointers) {
  EXPECT_EQ(Format("Datei %s kann nicht geöffnet werden", {"gfx\\ship2.dxg"}),
            "Datei gfx\\ship2.dxg kann nicht geöffnet werden");
  EXPECT_EQ(Format("[%6s][%-6s][%.2s][%s]", {"abc", "abc", "abcdef", 'z'}), "[   abc][abc   ][ab][z]");
  EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(0x1234)}), "0000000000001234");
  EXPECT_EQ(Format("100%% %s", {std::string("sicher")}), "100% sicher");
}

TEST(Format, IndexAndStarSpecifiers) {
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b", "c"}), "b a b");
  EXPECT_EQ(Format("%*d|%-*d|%.*d", {4, 1, 3, 2, 3, 5}), "   1|2  |005");
  EXPECT_EQ(Format("%*d", {-3, 1}), "1  ");
  EXPECT_EQ(Format("%*d", {std::numeric_limits<int64_t>::min(), 1}).size(), 99999999u);
  EXPECT_EQ(Format("%dx%d %dbit", {640, 480, 16}), "640x480 16bit");
}

TEST(Format, FloatConversionsUseTheGermanSeparators) {
  EXPECT_EQ(Format("%f", {1.5}), "1,50");
  EXPECT_EQ(Format("%.3f|%.0f|%8.1f", {-2.25L, 2.5, 3.14159}), "-2,250|2|     3,1");
  EXPECT_EQ(Format("%e", {12345.678}), "1,23456780000000E+004");
  EXPECT_EQ(Format("%.3e", {-0.000123}), "-1,23E-004");
  EXPECT_EQ(Format("%g|%g|%g|%g", {0.5, 100.0, 1e20, 0.0}), "0,5|100|1E+020|0");
  EXPECT_EQ(Format("%g", {0.000001}), "1E-006");
  EXPECT_EQ(Format("%n|%.0n|%n", {1234567.891, 999.0, -1000.0}), "1.234.567,89|999|-1.000,00");
  EXPECT_EQ(Format("%m", {1234.5}), "1.234,50 €");
  EXPECT_EQ(Format("%f %e %g", {std::nan(""), std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity()}),
            "NAN INF -INF");
}

TEST(Format, MalformedFormatsAndMismatchedArgumentsRaise) {
  const std::string invalid = "Format '%s' ungültig oder nicht kompatibel mit Argument";
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%d", {"text"}); }),
            Format(invalid, {"%d"}));
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%s", {1}); }), Format(invalid, {"%s"}));
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%f", {1}); }), Format(invalid, {"%f"}));
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%q", {1}); }), Format(invalid, {"%q"}));
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("abc %", {1}); }), Format(invalid, {"abc %"}));
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%999999999999d", {1}); }),
            Format(invalid, {"%999999999999d"}));
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%d %d", {1}); }),
            "Kein Argument für Format '%d %d'");
  EXPECT_EQ(MessageOf<EConvertError>([] { Format("%5:d", {1}); }), "Kein Argument für Format '%5:d'");
}

TEST(Exceptions, CarryTheirTextAndFollowTheLibraryHierarchy) {
  EXPECT_STREQ(EReadError(SReadError).what(), "Stream-Lesefehler");
  EXPECT_EQ(Exception("%s cannot be made", {"DIB"}).Message(), "DIB cannot be made");
  EXPECT_THROW(throw EReadError(SReadError), EFilerError);
  EXPECT_THROW(throw EInvalidImage(SInvalidImage), EStreamError);
  EXPECT_THROW(throw EFOpenError(SFOpenError), EStreamError);
  EXPECT_THROW(throw EOutOfResources("x"), EOutOfMemory);
  EXPECT_THROW(throw EConvertError("x"), Exception);
  EXPECT_THROW(throw EListError("x"), std::exception);
  EXPECT_THROW(OutOfMemoryError(), EOutOfMemory);
  EInOutError io(SFileNotFound, 2);
  EXPECT_EQ(io.Message(), "Datei nicht gefunden");
  EXPECT_EQ(io.ErrorCode, 2);
}

TEST(IntegerText, IntToStrAndIntToHex) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-2147483648LL), "-2147483648");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0x12345, 2), "12345");
  EXPECT_EQ(IntToHex(-1, 0), "FFFFFFFF");
  EXPECT_EQ(IntToHex(-0x100000000LL, 0), "FFFFFFFF00000000");
  EXPECT_EQ(IntToHex(1, 1000).size(), 32u);
}

TEST(StrToInt, AcceptsTheLibraryNotations) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("  -17"), -17);
  EXPECT_EQ(StrToInt("+3"), 3);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("$1f"), 31);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
}

TEST(StrToInt, RejectsEverythingElseWithTheLibraryText) {
  for (const char* text : {"", " ", "12 ", "1,5", "2147483648", "-2147483649", "$", "$100000000",
                           "abc", "--1", "3\r", "99999999999999999999"}) {
    EXPECT_EQ(MessageOf<EConvertError>([&] { StrToInt(text); }),
              std::string("'") + text + "' ist kein gültiger Integerwert")
        << text;
    EXPECT_EQ(StrToIntDef(text, 77), 77) << text;
  }
  Integer value = 5;
  EXPECT_FALSE(TryStrToInt("x", value));
  EXPECT_EQ(value, 5);
  EXPECT_TRUE(TryStrToInt("12", value));
  EXPECT_EQ(value, 12);
}

TEST(Trim, RemovesBlanksAndControlCharactersAtTheEnds) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(TrimLeft("\t x "), "x ");
  EXPECT_EQ(TrimRight(" x \n"), " x");
  EXPECT_EQ(Trim(" \t "), "");
}

TEST(CaseMapping, AsciiOnlyVariantsLeaveOtherLettersAlone) {
  EXPECT_EQ(LowerCase("DDraw.DLL Ä"), "ddraw.dll Ä");
  EXPECT_EQ(UpperCase("ddraw.dll ä"), "DDRAW.DLL ä");
}

TEST(CaseMapping, AnsiVariantsMapLatinLettersInUtf8) {
  EXPECT_EQ(AnsiLowerCase("DDraw.DLL"), "ddraw.dll");
  EXPECT_EQ(AnsiLowerCase("ÄÖÜ ÀÞ × Œ Š Ž Ÿ"), "äöü àþ × œ š ž ÿ");
  EXPECT_EQ(AnsiUpperCase("äöü àþ ÷ œ š ž ÿ ß"), "ÄÖÜ ÀÞ ÷ Œ Š Ž Ÿ ß");
  EXPECT_EQ(AnsiUpperCase("Größe €"), "GRÖßE €");
  EXPECT_EQ(AnsiLowerCase("日本 Ω"), "日本 Ω");  // outside the 8-bit character set: unchanged
}

TEST(CaseMapping, StrayWindows1252BytesStaySingleBytes) {
  // "Ä", "Š" and "Ÿ" of Windows-1252, not valid UTF-8 on their own.
  EXPECT_EQ(AnsiLowerCase("\xC4X\x8A\x9F"), "\xE4x\x9A\xFF");
  EXPECT_EQ(AnsiUpperCase("\xE4\x9A\xFF"), "\xC4\x8A\x9F");
  // A truncated UTF-8 sequence at the end is read as single bytes too.
  EXPECT_EQ(AnsiLowerCase("A\xC3"), "a\xE3");
  EXPECT_EQ(TextToUtf8("\xC4rger \x80 ok ä"), "Ärger € ok ä");
  EXPECT_EQ(TextToUtf8("\xED\xA0\x80"), "í\xC2\xA0€");  // an encoded surrogate is not UTF-8
}

TEST(Rounding, TiesGoToEven) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(-3.5), -4);
  EXPECT_EQ(Round(2.4999999), 2);
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(3.5L), 4);
  // A value only long double can tell apart from the tie: 2.5 + 2^-60 rounds up.
  EXPECT_EQ(Round(2.5L + std::ldexp(1.0L, -60)), 3);
  EXPECT_EQ(Round(1e300), INT64_MIN);
  EXPECT_EQ(Round(std::nan("")), INT64_MIN);
  EXPECT_EQ(Round(9.2233720368547e18), 9223372036854700032LL);
}

// Extended values round exactly as the library's own rounding does it: near the ends of Int64,
// on ties and next to them, at every scale, and for NaN and the infinities.
TEST(Rounding, ExtendedRoundsAsTheLibraryDoes) {
  auto libraryRound = [](long double value) -> Int64 {
    const long double rounded = std::nearbyint(value);
    return rounded >= -0x1p63L && rounded < 0x1p63L ? std::llrint(value) : INT64_MIN;
  };
  std::vector<long double> values = {0.0L, -0.0L, 0x1p63L, -0x1p63L, 0x1p63L - 0.5L,
                                     -0x1p63L + 0.5L, 0x1p63L - 1, -0x1p63L - 1, 0x1p64L,
                                     std::numeric_limits<long double>::infinity(),
                                     -std::numeric_limits<long double>::infinity(),
                                     std::numeric_limits<long double>::quiet_NaN(),
                                     std::numeric_limits<long double>::denorm_min()};
  std::mt19937_64 random(7);
  for (int i = 0; i < 100000; ++i) {
    const long double tie = std::ldexp(static_cast<long double>(random() >> 1), -(i % 64)) + 0.5L;
    values.insert(values.end(), {tie, -tie, std::nextafter(tie, 0.0L), std::nextafter(tie, 1e30L)});
  }
  for (long double value : values)
    ASSERT_EQ(Round(value), libraryRound(value)) << static_cast<double>(value);
}

TEST(Rounding, TruncGoesTowardsZero) {
  EXPECT_EQ(Trunc(2.9), 2);
  EXPECT_EQ(Trunc(-2.9), -2);
  EXPECT_EQ(Trunc(-0.5L), 0);
  EXPECT_EQ(Trunc(1e30L), INT64_MIN);
}
