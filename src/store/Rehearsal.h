#pragma once
// A rehearsal of changes to the tables: while a Rehearsal lives, tables are loaded, changed,
// restructured and their counters set exactly as at any other time, but only in memory. No file
// of a table folder is written, created or removed: a table closed by its last handle stays
// loaded with its changes (and its lock) for the rest of the rehearsal, so a later open sees
// them, and the end of the rehearsal drops every change. One rehearsal at a time.

namespace sivaro {

class Rehearsal {
  public:
    Rehearsal();
    ~Rehearsal();  // drops the tables kept in memory and their locks
    Rehearsal(const Rehearsal&) = delete;
    Rehearsal& operator=(const Rehearsal&) = delete;
};

// True while a Rehearsal lives.
bool rehearsing();

}  // namespace sivaro
