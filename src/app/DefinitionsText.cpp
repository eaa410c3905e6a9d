#include "app/DefinitionsText.h"

#include <QStringList>

#include "util/CodePage.h"

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
    return QString::fromStdString(cp1252ToUtf8(text));
}

std::string fileBytesFromMemo(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    std::string bytes;
    for (const QString& line : lines) {
        bytes += utf8ToCp1252(line.toStdString());
        bytes += "\r\n";
    }
    return bytes;
}

}  // namespace sivaro
