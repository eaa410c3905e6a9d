#pragma once
// The whole-file editor's view of Definicao.ini: the file's lines as the memo shows them, and
// the memo's lines as "Salvar" writes them back, each ending in CR LF, byte for byte as shown.

#include <QString>

#include <string>
#include <string_view>

class QTextDocument;

namespace sivaro {

// Lines end at CR LF, LF or a lone CR; a line break at the very end opens no further line.
// The file's Windows-1252 bytes become the memo's Unicode text, lines joined by "\n".
QString memoTextFromFile(std::string_view bytes);

// Every line of the memo followed by CR LF, in Windows-1252, an empty last line included (the
// memo shows it); only an empty memo, which shows no line, writes an empty file.
std::string fileBytesFromMemo(const QString& text);

// The memo's text as it holds it, lines joined by "\n": unlike toPlainText, which turns the
// no-break spaces of spreadsheet files (byte 0xA0) into blanks.
QString memoText(const QTextDocument& memo);

}  // namespace sivaro
