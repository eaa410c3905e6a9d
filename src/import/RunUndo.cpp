#include "import/RunUndo.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "import/RunHistory.h"
#include "store/FamilyFiles.h"
#include "store/FamilyRestore.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

KeptRun findRun(const std::string& dataFolder, const std::string& wanted) {
    const std::vector<KeptRun> runs = keptRuns(dataFolder);
    if (wanted.empty()) {
        for (auto it = runs.rbegin(); it != runs.rend(); ++it)
            if (it->manifest.state != kRunUndone) return *it;
        throw EInOutError("Nenhuma importação guardada para desfazer em "_cp1252 +
                          resolvePath(dataFolder, kHistoryFolder));
    }
    for (const KeptRun& r : runs)
        if (r.name == wanted) return r;
    // A path to a run's folder.
    std::error_code ec;
    const fs::path given = fs::weakly_canonical(osPath(wanted), ec);
    for (const KeptRun& r : runs)
        if (fs::equivalent(osPath(r.folder), given, ec)) return r;
    throw EInOutError("A importação '"_cp1252 + wanted + "' não está guardada em "_cp1252 +
                      resolvePath(dataFolder, kHistoryFolder) + " (veja importa --historico)");
}

std::string currentStamp(const std::string& dataFolder, const RunManifest::Changed& c) {
    const std::string path = joinPath(dataFolder, c.path);
    return c.table ? familyStamp(path) : fileStamp(path);
}

void putFileBack(const std::string& target, const std::string& copy) {
    std::ifstream in(osPath(copy), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    if (!in && !in.eof()) throw EInOutError("Não foi possível ler "_cp1252 + copy);
    // With the kept time from the moment it has its name: an undo stopped right after finds
    // the file as before the run.
    std::error_code ec;
    const fs::file_time_type time = fs::last_write_time(osPath(copy), ec);
    writeFileSafely(target, bytes.str(), ec ? std::nullopt : std::optional(time));
}

}  // namespace

std::vector<std::string> undoRun(const std::string& dataFolder, const std::string& wanted,
                                 bool force) {
    KeptRun run = findRun(dataFolder, wanted);
    const int lock = px::lockFile(run.folder, false, true);
    if (lock == -2)
        throw EInOutError("A importação "_cp1252 + run.name +
                          " ainda está em andamento; desfaça-a quando ela terminar"_cp1252);
    struct Unlock {
        int fd;
        ~Unlock() { px::unlockFile(fd); }
    } unlock{lock};
    RunManifest& m = run.manifest;
    if (m.state == kRunUndone)
        throw EInOutError("A importação "_cp1252 + run.name + " já foi desfeita em "_cp1252 +
                          m.undoneAt);

    // Every check before the first change: an undo refused changes nothing.
    std::vector<const RunManifest::Changed*> toRestore, toSettle;
    std::string conflicts, missing;
    for (const RunManifest::Changed& c : m.changed) {
        // A table whose switch was interrupted counts as its next opener will leave it.
        const std::string now = currentStamp(dataFolder, c);
        if (now == c.before) {
            // As before the run (put back already, or the run stopped before its change took
            // any file's place): only the temporaries of such a change may be left.
            if (c.table) toSettle.push_back(&c);
            continue;
        }
        for (const std::string& k : c.kept) {
            std::error_code ec;
            const std::string copy = joinPath(parentOf(joinPath(run.folder, c.path)), k);
            if (!fs::is_regular_file(osPath(copy), ec)) missing += "\n  " + copy;
        }
        // The run left it as its last change did, or as the change under way when it stopped
        // leaves it.
        const bool asTheRunLeftIt =
            (!c.after.empty() && now == c.after) || (!c.coming.empty() && now == c.coming);
        if (!asTheRunLeftIt && c.after.empty() && c.coming.empty())
            conflicts += "\n  " + c.path +
                         ": a importação parou enquanto o gravava, e não se sabe se "
                         "mudou depois"_cp1252;
        else if (!asTheRunLeftIt)
            conflicts += "\n  " + c.path + ": mudou depois da importação"_cp1252;
        toRestore.push_back(&c);
    }
    if (!missing.empty())
        throw EInOutError("A importação "_cp1252 + run.name +
                          " não pode ser desfeita: faltam arquivos guardados:"_cp1252 + missing);
    if (!conflicts.empty() && !force)
        throw EInOutError("A importação "_cp1252 + run.name +
                          " não foi desfeita, nada foi alterado:"_cp1252 + conflicts +
                          "\nUse --forcar para repor assim mesmo o que a importação "
                          "encontrou (as mudanças posteriores se perdem)."_cp1252);

    std::vector<std::string> done;
    for (const RunManifest::Changed* c : toRestore) {
        const std::string target = joinPath(dataFolder, c->path);
        const std::string keptFolder = parentOf(joinPath(run.folder, c->path));
        std::vector<std::string> copies;
        for (const std::string& k : c->kept) copies.push_back(joinPath(keptFolder, k));
        if (c->table) {
            restoreFamily(target, copies);
        } else if (copies.empty()) {
            std::error_code ec;
            fs::remove(osPath(target), ec);
        } else {
            putFileBack(target, copies[0]);
        }
        done.push_back("reposto " + c->path);
    }
    // A table held by someone else keeps its temporaries for its next opener.
    for (const RunManifest::Changed* c : toSettle) {
        try {
            settleFamily(joinPath(dataFolder, c->path));
        } catch (const std::exception&) {
            // The table's next opener tries again; the undo itself is done.
        }
    }
    m.state = kRunUndone;
    m.undoneAt = nowText();
    m.write(joinPath(run.folder, kManifestName));
    return done;
}

std::vector<std::string> historyLines(const std::string& dataFolder) {
    std::vector<std::string> lines;
    for (const KeptRun& r : keptRuns(dataFolder)) {
        const RunManifest& m = r.manifest;
        std::string head = r.name + "  " + m.state;
        if (m.state == kRunUndone) head += " em " + m.undoneAt;
        lines.push_back(head + "  (" + m.started + " a " + m.finished + ")  " + m.ranBy);
        if (!m.error.empty()) lines.push_back("    erro: " + m.error);
        for (const RunManifest::Source& s : m.sources) {
            std::string line = "    " + s.name + ": " + std::to_string(s.inserted) +
                               " inseridas, " + std::to_string(s.updated) + " atualizadas, " +
                               std::to_string(s.failed) + " com erro";
            lines.push_back(line);
        }
        std::string changed;
        for (const RunManifest::Changed& c : m.changed)
            changed += (changed.empty() ? "" : ", ") + c.path;
        if (!changed.empty()) lines.push_back("    alterados: " + changed);
    }
    return lines;
}

}  // namespace sivaro
