#pragma once
// The facts and the consistency of a table's family of files, for `pxtool info` and the tests:
// the .db's block chain and counts, memo pointers, the .px against the data blocks, every
// .Xnn against the rows (count, order, block numbers) and its .Ynn against the .Xnn.

#include <string>
#include <vector>

namespace sivaro::px {

struct FamilyReport {
    std::vector<std::string> facts;     // "name: value" lines
    std::vector<std::string> problems;  // empty when the family is sound
};

FamilyReport inspectFamily(const std::string& dbPath);

}  // namespace sivaro::px
