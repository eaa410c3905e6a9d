#pragma once
// The whole-file editor's view of Definicao.ini: the file's lines as the memo shows them, and
// the memo's lines as "Salvar" writes them back, each ending in CR LF.

#include <QString>

#include <string>
#include <string_view>

namespace sivaro {

// Lines end at CR LF, LF or a lone CR; a line break at the very end opens no further line.
// The file's Windows-1252 bytes become the memo's Unicode text, lines joined by "\n".
QString memoTextFromFile(std::string_view bytes);

// Every line of the memo followed by CR LF, in Windows-1252; an empty last line (the caret
// after a final line break) is not a line of its own, so an empty memo writes an empty file.
std::string fileBytesFromMemo(const QString& text);

}  // namespace sivaro
