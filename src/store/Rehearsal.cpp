#include "store/Rehearsal.h"

#include "store/SharedTable.h"
#include "util/Errors.h"

namespace sivaro {

namespace {
bool g_rehearsing = false;
}

Rehearsal::Rehearsal() {
    if (g_rehearsing) throw EDatabaseError("A rehearsal is already under way");
    g_rehearsing = true;
}

Rehearsal::~Rehearsal() {
    g_rehearsing = false;
    px::dropRehearsedTables();
}

bool rehearsing() {
    return g_rehearsing;
}

}  // namespace sivaro
