#pragma once
// Files the importer writes besides the tables and the INI files (lists for the operator).

#include <string>
#include <string_view>

namespace sivaro {

// Replaces the file at `path` (an engine path) by `bytes`: they go to a temporary file beside
// it, are flushed and closed, and one rename puts them in place, so a failure at any step
// leaves the old file as it was. Throws EInOutError "Unable to write to " + path.
void writeFileReplacing(const std::string& path, std::string_view bytes);

// Removes the file at `path` when it exists (never a folder); true when none is left there.
bool removeFile(const std::string& path);

}  // namespace sivaro
