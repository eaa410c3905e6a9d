#include "import/ReviewList.h"

#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/SafeWrite.h"

namespace sivaro {

namespace {

const std::string& outcomeText(ReviewList::Outcome o) {
    static const std::string kExact = utf8ToCp1252("exato");
    static const std::string kOtherState = utf8ToCp1252("exato em outra UF");
    static const std::string kSimilar = utf8ToCp1252("semelhante");
    static const std::string kTooFar = utf8ToCp1252("recusado: distante");
    static const std::string kNotFound = utf8ToCp1252("não encontrado");
    switch (o) {
        case ReviewList::Outcome::Exact:
            return kExact;
        case ReviewList::Outcome::ExactOtherState:
            return kOtherState;
        case ReviewList::Outcome::Similar:
            return kSimilar;
        case ReviewList::Outcome::TooFar:
            return kTooFar;
        case ReviewList::Outcome::NotFound:
            break;
    }
    return kNotFound;
}

// One cell of a line: a TAB or a line break inside would split it.
std::string cell(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

}  // namespace

void ReviewList::add(Item item) {
    switch (item.outcome) {
        case Outcome::Exact:
            ++m_exact;
            return;
        case Outcome::ExactOtherState:
            ++m_exact;
            break;
        case Outcome::Similar:
            ++m_similar;
            break;
        case Outcome::TooFar:
            ++m_refused;
            break;
        case Outcome::NotFound:
            ++m_notFound;
            break;
    }
    m_items.push_back(std::move(item));
}

std::string ReviewList::text() const {
    std::string out = utf8ToCp1252("linha\tcoluna\tvalor\ttabela\tnome\tcódigo\tcomo\r\n");
    for (const Item& i : m_items) {
        out += std::to_string(i.line);
        for (const std::string* s :
             {&i.column, &i.typed, &i.table, &i.name, &i.code, &outcomeText(i.outcome)}) {
            out += '\t';
            out += cell(*s);
        }
        out += "\r\n";
    }
    return out;
}

std::string ReviewList::fileName(const std::string& source) {
    return source + ".revisao.txt";
}

std::string ReviewList::write(const std::string& dataFolder, const std::string& source) const {
    const std::string name = fileName(source);
    const std::string path = resolvePath(dataFolder, name);
    if (m_items.empty()) {
        // A list of an earlier run would speak of rows this run wrote otherwise.
        if (!removeFile(path)) throw EInOutError("Unable to remove " + path);
        return {};
    }
    writeFileReplacing(path, text());
    return name;
}

std::string ReviewList::summaryLine(const std::string& source, const std::string& file) const {
    std::string line = source + utf8ToCp1252(": códigos por nome: exatos ") +
                       std::to_string(m_exact) + ", semelhantes " + std::to_string(m_similar) +
                       ", recusados " + std::to_string(m_refused) +
                       utf8ToCp1252(", não encontrados ") + std::to_string(m_notFound) + "; ";
    if (!file.empty())
        line += utf8ToCp1252("revisão em ") + file;
    else if (m_items.empty())
        line += "nada a revisar";
    else
        line += utf8ToCp1252("lista de revisão não gravada");
    return line;
}

}  // namespace sivaro
