#include <gtest/gtest.h>

#include "import/CodeLookup.h"
#include "util/Phonetic.h"

namespace sivaro {
namespace {

// The kept entry of a name must give, for every length, the very key ChaveFonetica builds.
TEST(PhoneticIndex, KeyOfEntryEqualsChaveFonetica) {
    const char* names[] = {"Bruno",
                           "Helena",
                           "S\xe3o Paulo",
                           "HHH",
                           "",
                           "B",
                           "123",
                           "SAO PAOLO",
                           "SANTOS",
                           "A",
                           "Hb",
                           "7891000100103",
                           "Jo\xe3o Pessoa",
                           "RIO DE JANEIRO",
                           "\xf1"
                           "and\xfa",
                           "H",
                           "X-Y",
                           "aeiou",
                           "Campinas-SP"};
    for (const char* name : names) {
        const PhoneticIndex::Entry e = PhoneticIndex::entryFor(name);
        for (int n = 1; n <= 20; ++n) {
            SCOPED_TRACE(std::string(name) + " N " + std::to_string(n));
            EXPECT_EQ(PhoneticIndex::keyOf(e, n), ChaveFonetica(name, n));
        }
    }
}

}  // namespace
}  // namespace sivaro
