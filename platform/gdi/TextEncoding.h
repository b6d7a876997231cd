// How this platform reads 8-bit text: UTF-8 where the bytes form valid UTF-8, otherwise single
// Windows-1252 characters, so text from old data files still shows and compares sensibly. GDI's
// text output reads text this way, and so does the class library's case mapping.
#pragma once

#include <cstddef>
#include <string_view>

// The length of the valid UTF-8 sequence at text[i] (1 to 4) and its code point; 0 when the
// bytes there are not valid UTF-8 (overlong forms and surrogates included).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& codePoint);

// Windows-1252 byte to Unicode; the five undefined bytes stand for the control character of
// their own value.
char32_t Windows1252ToUnicode(unsigned char byte);
// The reverse, for the code points of Windows-1252 and Latin-1; others are cut to their low byte.
unsigned char UnicodeToWindows1252(char32_t codePoint);
