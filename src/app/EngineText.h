#pragma once
// The engine's Windows-1252 bytes as the window's text and back, at the window's edge.

#include <QString>

#include <string>
#include <string_view>

namespace sivaro {

QString fromEngine(std::string_view text);
// Appends `text` to `out` without a text of its own in between: the log takes a line a record.
void appendFromEngine(QString& out, std::string_view text);
// Characters without a Windows-1252 byte become '?'.
std::string toEngine(const QString& text);

}  // namespace sivaro
