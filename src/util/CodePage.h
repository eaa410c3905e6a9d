#pragma once
// Text inside the engine is Windows-1252 bytes, one byte a character. These convert at the
// edges (window, terminal, file names on disk) and give the code page's letter case.

#include <string>
#include <string_view>

namespace sivaro {

// Every byte maps to one code point; the five bytes the code page leaves undefined map to the
// C1 control of the same number, as the original platform's conversion does.
std::string cp1252ToUtf8(std::string_view text);

// Code points without a Windows-1252 byte become '?'; invalid UTF-8 bytes are taken as
// Windows-1252 bytes unchanged, so that any byte string comes through.
std::string utf8ToCp1252(std::string_view text);

// The code point of a Windows-1252 byte, and the byte of a code point (-1 when it has none).
char32_t cp1252CodePoint(unsigned char byte);
int cp1252ByteOf(char32_t codePoint);

// True when the bytes are well-formed UTF-8 (plain ASCII included).
bool isValidUtf8(std::string_view text);

// Upper case by the code page's rules: a-z, 224-254 except 247, and 154, 156, 158, 255 to
// 138, 140, 142, 159. Other bytes unchanged.
char upper1252(char c);
std::string upper1252(std::string_view text);
char lower1252(char c);
std::string lower1252(std::string_view text);

// Upper case of a-z only, as the original's plain UpperCase (used where a rule says "in capitals").
std::string upperAscii(std::string_view text);

// Equality without regard to letter case, by the code page's rules.
bool sameText(std::string_view a, std::string_view b);

}  // namespace sivaro
