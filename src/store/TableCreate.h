#pragma once
// New empty Paradox tables: version 7, 4 KB blocks, sort order "ascii", code page 1252.

#include <string>
#include <vector>

namespace sivaro::px {

struct FieldDef {
    std::string name;   // Windows-1252, at most 25 characters
    char letter = 'A';  // A D S I + N $ L M T @ # Y B (and F O G)
    int size = 0;       // A: characters; #: decimals; Y: bytes; M B F O G: bytes kept in the table
    bool key = false;
};

// Reads a schema text: one field a line, name TAB letter TAB size [TAB "*" for a key field];
// "#" starts a comment line; blank lines are skipped. Errors name the line.
std::vector<FieldDef> parseSchema(const std::string& text);

// Creates the table's files (.db, and .px for a keyed table, .mb with blob fields). Refuses an
// existing table, a key field after a non-key one, a bad name, type or size.
void createTable(const std::string& dbPath, const std::vector<FieldDef>& fields);

}  // namespace sivaro::px
