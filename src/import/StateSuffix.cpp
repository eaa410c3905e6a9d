#include "import/StateSuffix.h"

#include <array>
#include <vector>

#include "util/CodePage.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

struct State {
    const char* abbreviation;
    const char* name;  // UTF-8
};

constexpr std::array<State, 27> kStates = {{{"AC", "Acre"},
                                            {"AL", "Alagoas"},
                                            {"AP", "Amapá"},
                                            {"AM", "Amazonas"},
                                            {"BA", "Bahia"},
                                            {"CE", "Ceará"},
                                            {"DF", "Distrito Federal"},
                                            {"ES", "Espírito Santo"},
                                            {"GO", "Goiás"},
                                            {"MA", "Maranhão"},
                                            {"MT", "Mato Grosso"},
                                            {"MS", "Mato Grosso do Sul"},
                                            {"MG", "Minas Gerais"},
                                            {"PA", "Pará"},
                                            {"PB", "Paraíba"},
                                            {"PR", "Paraná"},
                                            {"PE", "Pernambuco"},
                                            {"PI", "Piauí"},
                                            {"RJ", "Rio de Janeiro"},
                                            {"RN", "Rio Grande do Norte"},
                                            {"RS", "Rio Grande do Sul"},
                                            {"RO", "Rondônia"},
                                            {"RR", "Roraima"},
                                            {"SC", "Santa Catarina"},
                                            {"SP", "São Paulo"},
                                            {"SE", "Sergipe"},
                                            {"TO", "Tocantins"}}};

std::string folded(std::string_view text) {
    return upper1252(TiraAcentos(trim(text)));
}

int abbreviationIndex(std::string_view two) {
    if (two.size() != 2) return kNoState;
    const std::string upper = upperAscii(two);
    for (size_t i = 0; i < kStates.size(); ++i)
        if (upper == kStates[i].abbreviation) return static_cast<int>(i);
    return kNoState;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

int stateOfText(std::string_view text) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const State& s : kStates) v.push_back(folded(utf8ToCp1252(s.name)));
        return v;
    }();
    const std::string t = folded(text);
    if (const int s = abbreviationIndex(t); s != kNoState) return s;
    for (size_t i = 0; i < names.size(); ++i)
        if (t == names[i]) return static_cast<int>(i);
    return kNoState;
}

std::string_view stateAbbreviation(int state) {
    if (state < 0 || state >= static_cast<int>(kStates.size())) return {};
    return kStates[static_cast<size_t>(state)].abbreviation;
}

int cutStateSuffix(std::string& value) {
    size_t end = value.size();
    while (end > 0 && isBlank(value[end - 1])) --end;
    if (end < 2) return kNoState;
    const int state = abbreviationIndex(std::string_view(value).substr(end - 2, 2));
    if (state == kNoState) return kNoState;
    size_t dash = end - 2;
    while (dash > 0 && isBlank(value[dash - 1])) --dash;
    if (dash == 0 || value[dash - 1] != '-') return kNoState;
    size_t nameEnd = dash - 1;
    while (nameEnd > 0 && isBlank(value[nameEnd - 1])) --nameEnd;
    if (nameEnd == 0) return kNoState;  // "-SP" names no city
    value.erase(nameEnd);
    return state;
}

}  // namespace sivaro
