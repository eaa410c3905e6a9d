#include "app/EngineText.h"

#include <array>

#include "util/CodePage.h"

namespace sivaro {

QString fromEngine(std::string_view text) {
    QString out;
    appendFromEngine(out, text);
    return out;
}

void appendFromEngine(QString& out, std::string_view text) {
    // Every byte of the code page is one character of the Basic Multilingual Plane.
    static const std::array<char16_t, 256> kCharacters = [] {
        std::array<char16_t, 256> characters{};
        for (int b = 0; b < 256; ++b)
            characters[b] = static_cast<char16_t>(cp1252CodePoint(static_cast<unsigned char>(b)));
        return characters;
    }();
    const qsizetype at = out.size();
    out.resize(at + static_cast<qsizetype>(text.size()));
    QChar* to = out.data() + at;
    for (const char c : text) *to++ = QChar(kCharacters[static_cast<unsigned char>(c)]);
}

std::string toEngine(const QString& text) {
    return utf8ToCp1252(text.toStdString());
}

}  // namespace sivaro
