#pragma once
// A data folder for one import case, made in a temporary folder from a case folder of
// tests/import/cases: its files copied, its tables created from tables/<folder>/<Name>.schema
// and filled from tables/<folder>/<Name>.tsv (Windows-1252, a header of field names, then one
// row a line, TAB-separated, values as the fields' text).

#include <string>
#include <vector>

namespace sivaro::testing {

class CaseFolder {
  public:
    explicit CaseFolder(const std::string& caseDir);
    ~CaseFolder();
    CaseFolder(const CaseFolder&) = delete;
    CaseFolder& operator=(const CaseFolder&) = delete;

    const std::string& path() const { return m_path; }

  private:
    std::string m_path;
};

// Every row of a table: a header of field names, then one row a line, TAB-separated, each
// value as the field's text.
std::string dumpTable(const std::string& folder, const std::string& tableName);

// The text of a file, CR LF turned into LF, without a final line break; empty when missing.
std::string readText(const std::string& path);

std::vector<std::string> caseNames(const std::string& casesDir);

}  // namespace sivaro::testing
