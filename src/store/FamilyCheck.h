#pragma once
// The facts and the consistency of a table's family of files, for `pxtool info` and the tests:
// the .db's block chain and counts, memo pointers, every entry of the .px at every level against
// the blocks it stands for, every .Xnn record against its row (values, key, block number, one
// record a row, in order) and every entry of its .Ynn against the .Xnn's blocks.

#include <string>
#include <vector>

namespace sivaro::px {

struct FamilyReport {
    std::vector<std::string> facts;     // "name: value" lines
    std::vector<std::string> problems;  // empty when the family is sound
};

FamilyReport inspectFamily(const std::string& dbPath);

}  // namespace sivaro::px
