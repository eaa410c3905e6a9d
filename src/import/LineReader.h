#pragma once
// Reads a source file line by line as the original's text files did: a line ends at LF or CR LF,
// a CR anywhere else is dropped, the character 26 (Ctrl-Z) ends the file, lines have no length
// limit. Reading at the end gives an empty line.

#include <cstdio>
#include <string>
#include <vector>

namespace sivaro {

class LineReader {
  public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Raises EInOutError naming the file when it cannot be opened.
    void open(const std::string& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }

    bool eof();  // at the end of the file or at a Ctrl-Z
    std::string readLine();
    void readLine(std::string& line);  // the same into `line`, whose room is used again
    void skipLine();                   // the same, keeping nothing
    // The line's first `keep` bytes; the rest of it is read past, not kept.
    std::string readLine(std::size_t keep);

  private:
    bool fill();
    int peekByte();
    template <class Keep>
    void scanLine(Keep keep);

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::vector<char> m_buffer;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_ended = false;  // end of file or Ctrl-Z seen
};

}  // namespace sivaro
