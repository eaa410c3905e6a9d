#pragma once
// The failed records of one source, kept where the operator can act on them: the file
// {source}.falhas.txt in the data folder, which can be corrected and imported again as a source
// with the same options and mapping.
//
// A delimited source's file has the source's header and lines, each led by two more columns,
// "linha_origem" (the line number in the source) and "erro_importacao" (the log's message),
// separated by the source's delimiter (TAB when it has none; after the first character of the
// line when "DelReg" is 1, so that the same options read it). A record-type source's file has a
// title line, then for each failed record a line "number TAB message", the record's lines as they
// were, and an empty line; no line but the records' own holds the record start text.
//
// The file is written beside its place and put there when the source ends; a source without
// failed records removes an older file. Both go through the run's history, so an undo puts back
// the file the run found.

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace sivaro {

class RunHistory;

class FailedRecords {
  public:
    struct Layout {
        bool delimited = true;
        std::string delimiter = "\t";
        int delReg = 0;
        std::string header;  // as read, before "DelReg"
        std::string recordStart;
    };
    FailedRecords(std::string path, std::string source, Layout layout);
    ~FailedRecords();  // a file not finished is removed
    FailedRecords(const FailedRecords&) = delete;
    FailedRecords& operator=(const FailedRecords&) = delete;

    void add(std::int64_t line, const std::vector<std::string>& lines, const std::string& message);
    // Puts the file in place, or removes an older one when no record failed.
    void finish(RunHistory* history);
    std::int64_t count() const { return m_count; }

    static std::string fileName(const std::string& source) { return source + ".falhas.txt"; }

  private:
    void write(const std::string& line);
    std::string withColumns(const std::string& line, const std::string& first,
                            const std::string& second) const;
    std::string clean(std::string text) const;

    std::string m_path, m_temp, m_source;
    Layout m_layout;
    std::unique_ptr<std::ofstream> m_out;
    std::int64_t m_count = 0;
};

}  // namespace sivaro
