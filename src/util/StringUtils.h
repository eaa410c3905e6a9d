#pragma once
// The text routines every part of the importer shares. Text is Windows-1252 bytes; matching is
// exact and case-sensitive. None of them throws. Their fixed bounds (the 10000- and 6000-byte
// tails, the 601 replacements, the 500 folds) are behaviour that stored imports rely on.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sivaro {

// Cuts one item off the front of `text`: returns what precedes the first `separator` and leaves
// in `text` what follows it, cut to its first 10000 bytes. Without the separator (an empty one is
// never found) the whole text is returned and `text` becomes empty.
std::string SeparaCampos(std::string& text, std::string_view separator);
// The same cut over a view of the text, without copying it: the item and the rest are views of
// the text given.
std::string_view SeparaCampos(std::string_view& text, std::string_view separator);

// The general form: fills the first `count` outputs one item each, as above, stopping (with the
// rest left empty) once the separator is no longer found. Outputs beyond outputs.size() are
// never touched, whatever `count` says.
void SeparaCampos(std::string& text, std::span<std::string> outputs, std::string_view separator,
                  std::uint16_t count);

// The one integer grammar of the system (profile files use it too): leading spaces, an optional
// sign, then decimal digits within the signed 32-bit range, or "$", "x", "X", "0x" or "0X"
// followed by hexadecimal digits whose value fits in 32 bits, read as two's complement
// ("$FFFFFFFF" is -1). Nothing may follow. Leaves `value` alone when the text does not convert.
bool tryParseInteger(std::string_view text, std::int32_t& value);

// 0 for empty text or text that does not convert.
std::int32_t ValorInteiro(std::string_view text);

// True when the text converts and starts with "+", "-" or a digit (so " 12" and "$1F" are not).
bool EhInteiro(std::string_view text);

// Deletes the leftmost occurrence of `find`, `count` times (0: until none is left, occurrences
// that a deletion brings together included). An empty `find` changes nothing.
std::string ApagaTexto(std::string_view find, std::string_view source, std::uint16_t count);

// Replaces the leftmost occurrence of `find`, searching from the start each time, `count` times
// (0: while one is left), never more than 601 times. Each replacement keeps at most 6000 bytes
// of what followed the occurrence. An empty `find` changes nothing.
std::string TrocaTexto(std::string_view find, std::string_view replacement, std::string_view source,
                       std::uint16_t count);

// Folds the 28 accented Portuguese letters to plain ones (a fixed order of letters, 500 folds in
// all, then one more per later letter found); the result has the length of the source.
std::string TiraAcentos(std::string_view source);

// Removes every byte of code 32 or less from both ends.
std::string trim(std::string_view text);
std::string_view trimmed(std::string_view text);  // the same, as a view of `text`

}  // namespace sivaro
