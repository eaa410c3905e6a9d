#pragma once
// Puts kept copies of a table's files back in place of its family, through the same
// all-or-nothing switch that writes a table (store/FamilyFiles.h): a stop at any moment leaves
// either the family as it was or the kept one. The files get the kept copies' modification
// times, so the table reads as it did when it was kept.

#include <string>
#include <vector>

namespace sivaro {

// `dbPath` names the table's .db; `kept` the copies, each named as the family file it stands
// for. Files of the current family that have no copy are removed; with no copy at all the table
// goes away. Raises EDatabaseError when the table is open in this process or another, or a file
// cannot be written; the family is then unchanged.
void restoreFamily(const std::string& dbPath, const std::vector<std::string>& kept);

// Finishes or discards an interrupted switch of the family of the .db at `dbPath`, as the table's
// next opener would; false, doing nothing, when the table is open in this process or another.
bool settleFamily(const std::string& dbPath);

}  // namespace sivaro
