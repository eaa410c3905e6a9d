#include <gtest/gtest.h>

#include "import/StateSuffix.h"

#include "util/CodePage.h"

namespace sivaro {
namespace {

TEST(StateSuffix, CutOnlyAStateAtTheLastDash) {
    const struct {
        const char* value;  // UTF-8
        const char* name;   // what stays in the value
        const char* state;  // the state cut off, empty for none
    } cases[] = {
        {"SAO PAULO-SP", "SAO PAULO", "SP"},
        {"Bom Jesus-RS", "Bom Jesus", "RS"},
        {"Bom Jesus-rs", "Bom Jesus", "RS"},
        {"Bom Jesus - RS", "Bom Jesus", "RS"},
        {"Sem-Peixe-MG", "Sem-Peixe", "MG"},
        {"SANTA-BARBARA-SP", "SANTA-BARBARA", "SP"},
        {"Brasília-DF", "Brasília", "DF"},
        {"Palmas-TO ", "Palmas", "TO"},
        // Not a state, or no name before it: the value stays whole.
        {"Xangri-lá", "Xangri-lá", ""},
        {"RIO-X", "RIO-X", ""},
        {"Campinas-XX", "Campinas-XX", ""},
        {"Campinas-S", "Campinas-S", ""},
        {"Campinas-SPX", "Campinas-SPX", ""},
        {"Campinas SP", "Campinas SP", ""},
        {"-SP", "-SP", ""},
        {" - SP", " - SP", ""},
        {"SP", "SP", ""},
        {"", "", ""},
        {"Venha-Ver", "Venha-Ver", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::string value = utf8ToCp1252(c.value);
        const int state = cutStateSuffix(value);
        EXPECT_EQ(cp1252ToUtf8(value), c.name);
        EXPECT_EQ(std::string(stateAbbreviation(state)), c.state);
    }
}

TEST(StateSuffix, StateOfTableText) {
    const struct {
        const char* text;  // UTF-8
        const char* state;
    } cases[] = {
        {"SP", "SP"},
        {"sp", "SP"},
        {" rs ", "RS"},
        {"São Paulo", "SP"},
        {"SAO PAULO", "SP"},
        {"rio grande do sul", "RS"},
        {"Distrito Federal", "DF"},
        {"Paraíba", "PB"},
        {"XX", ""},
        {"", ""},
        {"Rio Grande", ""},
        {"S", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(std::string(stateAbbreviation(stateOfText(utf8ToCp1252(c.text)))), c.state);
    }
    EXPECT_EQ(std::string(stateAbbreviation(kNoState)), "");
}

}  // namespace
}  // namespace sivaro
