#pragma once
// What the code lookups of one source did, for the operator to check before using the product:
// the count of each outcome, and a list of every code that was guessed (similar name), refused
// (the most similar name too far from the one typed) or not found, and of every exact name
// taken from another state than the one typed. The list is written to the data folder as
// "{source}.revisao.txt": Windows-1252, CR LF, a header line, then one TAB-separated line each.

#include <cstdint>
#include <string>
#include <vector>

namespace sivaro {

class ReviewList {
  public:
    enum class Outcome { Exact, ExactOtherState, Similar, TooFar, NotFound };
    struct Item {
        long long line = 0;  // the source file's line where the record starts
        std::string column;  // the source column
        std::string typed;   // the value as it was read, state suffix included
        std::string table;   // the lookup table
        std::string name;    // the name of the row taken or proposed (empty when none)
        std::string code;    // that row's "cod"
        Outcome outcome = Outcome::NotFound;
    };

    // Counts the lookup; keeps it for the list unless it is a plain exact one.
    void add(Item item);

    std::int64_t exact() const { return m_exact; }  // other states included
    std::int64_t similar() const { return m_similar; }
    std::int64_t refused() const { return m_refused; }
    std::int64_t notFound() const { return m_notFound; }
    std::int64_t lookups() const { return m_exact + m_similar + m_refused + m_notFound; }
    const std::vector<Item>& items() const { return m_items; }

    // The file's text; TAB and line breaks inside a value become blanks.
    std::string text() const;
    static std::string fileName(const std::string& source);
    // Writes the list in the data folder, replacing the file of an earlier run; with nothing to
    // review no file is written and an earlier one is removed. Returns the file's name, or
    // empty when there was nothing to write. Throws EInOutError when the file cannot be written.
    std::string write(const std::string& dataFolder, const std::string& source) const;
    // "{source}: códigos por nome: exatos E, semelhantes S, recusados R, não encontrados N; "
    // then "revisão em {file}", "nada a revisar", or, when the list could not be written (`file`
    // empty with items to review), "lista de revisão não gravada".
    std::string summaryLine(const std::string& source, const std::string& file) const;

  private:
    std::vector<Item> m_items;
    std::int64_t m_exact = 0;
    std::int64_t m_similar = 0;
    std::int64_t m_refused = 0;
    std::int64_t m_notFound = 0;
};

}  // namespace sivaro
