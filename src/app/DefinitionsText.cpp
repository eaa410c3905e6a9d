#include "app/DefinitionsText.h"

#include <QStringList>
#include <QTextDocument>

#include "app/EngineText.h"

namespace sivaro {

QString memoTextFromFile(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            text += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else {
            text += bytes[i];
        }
    }
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return fromEngine(text);
}

std::string fileBytesFromMemo(const QString& text) {
    if (text.isEmpty()) return {};
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::string bytes;
    for (const QString& line : lines) {
        bytes += toEngine(line);
        bytes += "\r\n";
    }
    return bytes;
}

QString memoText(const QTextDocument& memo) {
    QString text = memo.toRawText();
    for (QChar& c : text) {
        // Paragraphs and the line breaks typed with Shift+Enter are lines of the file alike.
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) c = QLatin1Char('\n');
    }
    return text;
}

}  // namespace sivaro
