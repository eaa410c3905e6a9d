#include "app/EngineText.h"

#include "util/CodePage.h"

namespace sivaro {

QString fromEngine(std::string_view text) {
    QString out;
    appendFromEngine(out, text);
    return out;
}

void appendFromEngine(QString& out, std::string_view text) {
    const qsizetype at = out.size();
    out.resize(at + static_cast<qsizetype>(text.size()));
    QChar* to = out.data() + at;
    // Every byte of the code page is one character of the Basic Multilingual Plane.
    for (const char c : text)
        *to++ = QChar(static_cast<char16_t>(cp1252CodePoint(static_cast<unsigned char>(c))));
}

std::string toEngine(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

}  // namespace sivaro
