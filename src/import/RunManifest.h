#pragma once
// The manifest of one run kept under {data folder}/importacoes/{date-time}/importacao.ini: who ran
// it, when, how it ended, its sources with their counts, and every file it changed with the
// change stamps before and after it. Written whole (temporary file, flush, rename) at every
// change, so a run stopped at any moment leaves the manifest of its last step.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/FamilyWatcher.h"

namespace sivaro {

// The state of a run as its manifest says it.
inline constexpr const char* kRunInProgress = "em andamento";
inline constexpr const char* kRunFinished = "concluida";
inline constexpr const char* kRunCancelled = "cancelada";
inline constexpr const char* kRunStopped = "parou";
inline constexpr const char* kRunUndone = "desfeita";

struct RunManifest {
    struct Source {
        std::string name;
        std::string tables;  // the target table list
        std::int64_t inserted = 0, updated = 0, failed = 0;
        std::vector<std::string> tableCounts;  // "Cliente: 11 inseridas, 0 atualizadas"
    };
    // A file the run changed, as a path relative to the data folder ("db/Cliente.db"). A table
    // stands for its family: its previous files are kept under the same relative folder.
    struct Changed {
        std::string path;
        bool table = false;
        std::vector<std::string> kept;  // base names of the files kept (none: it did not exist)
        std::string before;             // change stamp before the run
        std::string after;              // after the run's last change; empty while changing
        // What the change under way leaves once on disk, told before any of it is; empty when
        // no change is under way (or the file cannot tell it beforehand).
        std::string coming;
    };

    std::string ranBy;
    std::string started, finished;
    std::string state = kRunInProgress;
    std::string error;
    std::string undoneAt;
    std::vector<Source> sources;
    std::vector<Changed> changed;

    Changed* find(const std::string& path);
    std::string text() const;
    // Reads a manifest; throws EInOutError naming the file when it is missing or not one.
    static RunManifest read(const std::string& path);
    void write(const std::string& path) const;
};

// The change stamp of a table's family ("NAME size modification" for each file, joined by "|"),
// or of one file; "ausente" when it does not exist. A table's family is the one a reader sees
// (store/FamilyWatcher.h, familyAsRead): an interrupted switch counts as finished.
std::string familyStamp(const std::string& dbPath);
std::string familyStamp(const std::vector<FamilyFileFacts>& family);
std::string fileStamp(const std::string& path);

// Writes `bytes` to `path` through the importer's safe write (util/SafeWrite.h); `time`, when
// given, is the file's modification time from the moment it holds the bytes. Throws EInOutError
// "Unable to write to " + path and the reason on any failure, the old file whole.
void writeFileSafely(const std::string& path, const std::string& bytes,
                     std::optional<std::filesystem::file_time_type> time = std::nullopt);

}  // namespace sivaro
