#pragma once
// A source file's lines as the file viewer shows them, fetched by number without reading the
// file whole, so that a file of any size opens at once. Lines are read as text: a line ends at
// LF, every CR is dropped (the one before LF and any other), and the character 26 (Ctrl-Z) ends
// the file. A sparse index of line starts grows as far as the lines asked for.

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace sivaro {

class SourceLines {
  public:
    // Raises EInOutError naming the file when it cannot be opened.
    explicit SourceLines(const std::string& path);

    struct Block {
        std::int64_t first = 0;          // number of the first line, counted from 0
        std::vector<std::string> lines;  // Windows-1252 bytes, each cut to the `keep` asked for
        bool reachesEnd = false;         // the last line of the file is among them
    };
    // From line `first` on: lines while fewer than `maxLines` are taken and, once `minLines` are
    // in, while their bytes stay under `maxBytes`. A `first` past the end gives no lines.
    Block read(std::int64_t first, std::int64_t minLines, std::int64_t maxLines,
               std::size_t maxBytes, std::size_t keep);

  private:
    // Byte offset of the start of `line`, or -1 when the file has fewer lines.
    std::int64_t offsetOf(std::int64_t line);
    void scanTo(std::int64_t line);
    std::size_t readAt(std::int64_t offset, char* into, std::size_t size);

    std::string m_path;
    std::ifstream m_in;
    // The start of every kStride-th line (line k * kStride at m_checkpoints[k]).
    std::vector<std::int64_t> m_checkpoints;
    // The scan has counted the lines before m_scanLine, which starts at m_lineStart; no line
    // ends between there and m_scanPos, where the scan goes on.
    std::int64_t m_scanLine = 0;
    std::int64_t m_lineStart = 0;
    std::int64_t m_scanPos = 0;
    bool m_endKnown = false;  // the scan met the end of the text (end of file or Ctrl-Z)
};

}  // namespace sivaro
