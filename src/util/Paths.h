#pragma once
// Paths inside the engine are Windows-1252 text built as the data folder's text, "/" and the
// rest. Names inside the data folder match without regard to case, as on the system the
// product came from: "DB/CLIENTE.DB" answers for "db/Cliente.db".

#include <filesystem>
#include <string>
#include <string_view>

namespace sivaro {

// folder + "/" + rest, the folder used as typed (no separator added or removed besides it).
std::string joinPath(std::string_view folder, std::string_view rest);

// The path on disk for an engine path: Windows-1252 text turned into the file system's UTF-8.
std::filesystem::path osPath(std::string_view path);

// An engine path for a file system path (UTF-8 names become Windows-1252 text).
std::string fromOsPath(const std::filesystem::path& path);

// Resolves `relative` ("/" or "\" separated) under `folder` component by component: an exact
// name is preferred, else the first entry equal without regard to case. Components that do
// not exist are kept as given, so the result also names a file about to be created.
std::string resolvePath(std::string_view folder, std::string_view relative);

// True when resolvePath finds every component on disk.
bool pathExists(std::string_view folder, std::string_view relative);

// The last component of a path ("/" or "\" separated).
std::string baseName(std::string_view path);

// True when a name holds "/", "\" or is "..": such a name would leave the data folder.
bool leavesFolder(std::string_view name);

}  // namespace sivaro
