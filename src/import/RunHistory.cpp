#include "import/RunHistory.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "import/ImportHost.h"
#include "store/FamilyFiles.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

std::string twoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::tm localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return t;
}

// The run folder's name: its start, sorting as the runs came.
std::string folderName(const std::tm& t) {
    return std::to_string(t.tm_year + 1900) + "-" + twoDigits(t.tm_mon + 1) + "-" +
           twoDigits(t.tm_mday) + "_" + twoDigits(t.tm_hour) + "-" + twoDigits(t.tm_min) + "-" +
           twoDigits(t.tm_sec);
}

// A copy that takes the original's place only once it is whole, with the original's time.
void keepCopy(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::create_directories(osPath(to).parent_path(), ec);
    const std::string temp = to + ".tmp";
    fs::copy_file(osPath(from), osPath(temp), fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::last_write_time(osPath(temp), fs::last_write_time(osPath(from), ec), ec);
    if (!ec) fs::rename(osPath(temp), osPath(to), ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(osPath(temp), ignored);
        throw EInOutError("Não foi possível guardar a cópia de "_cp1252 + from + " em " + to +
                          ": " + ec.message() + "; o arquivo não foi alterado"_cp1252);
    }
}

std::int64_t sizeOfFolder(const std::string& folder) {
    std::int64_t total = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(osPath(folder), ec))
        if (e.is_regular_file(ec)) total += static_cast<std::int64_t>(e.file_size(ec));
    return total;
}

}  // namespace

std::string nowText() {
    const std::tm t = localNow();
    return twoDigits(t.tm_mday) + "/" + twoDigits(t.tm_mon + 1) + "/" +
           std::to_string(t.tm_year + 1900) + " " + twoDigits(t.tm_hour) + ":" +
           twoDigits(t.tm_min) + ":" + twoDigits(t.tm_sec);
}

RunHistory::RunHistory(std::string dataFolder, std::string ranBy, const ProfileFile& definitions)
    : m_dataFolder(std::move(dataFolder)) {
    m_manifest.ranBy = std::move(ranBy);
    m_manifest.started = nowText();
    m_keep = definitions.readInteger("Importacoes", "Manter", 10);
    const std::int32_t mb = definitions.readInteger("Importacoes", "TamanhoMaximoMB", 0);
    m_maxBytes = mb > 0 ? static_cast<std::int64_t>(mb) * 1024 * 1024 : 0;
    if (m_keep > 0) m_previous = setFamilyWatcher(this);
}

RunHistory::~RunHistory() {
    if (m_keep > 0) setFamilyWatcher(m_previous);
    px::unlockFile(m_lock);
}

std::string RunHistory::relative(const std::string& path) const {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(osPath(m_dataFolder), ec);
    const fs::path full = fs::weakly_canonical(osPath(path), ec);
    const fs::path rel = full.lexically_relative(base);
    if (ec || rel.empty() || *rel.begin() == "..") return baseName(path);
    return fromOsPath(rel.generic_string());
}

void RunHistory::open() {
    if (!m_folder.empty()) return;
    const std::string history = resolvePath(m_dataFolder, kHistoryFolder);
    std::error_code ec;
    fs::create_directories(osPath(history), ec);
    const std::string name = folderName(localNow());
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate =
            joinPath(history, n == 1 ? name : name + "_" + std::to_string(n));
        if (fs::create_directory(osPath(candidate), ec)) {
            m_folder = candidate;
            break;
        }
        if (ec) break;
    }
    if (m_folder.empty())
        throw EInOutError("Não foi possível criar a pasta da importação em "_cp1252 + history +
                          (ec ? ": " + ec.message() : std::string()));
    // Held while the run goes on: an undo of this run waits for its end.
    m_lock = px::lockFile(m_folder, false, true);
    save();
}

void RunHistory::save() {
    if (!m_folder.empty()) m_manifest.write(joinPath(m_folder, kManifestName));
}

void RunHistory::beforeChange(const std::string& dbPath) {
    const std::string rel = relative(dbPath);
    if (m_manifest.find(rel) != nullptr) return;  // kept at its first change of the run
    open();
    RunManifest::Changed entry;
    entry.path = rel;
    entry.table = true;
    entry.before = familyStamp(dbPath);
    const std::string keptPath = joinPath(m_folder, rel);
    const std::string keptFolder = keptPath.substr(0, keptPath.find_last_of('/'));
    for (const std::string& file : familyFilesOnDisk(dbPath)) {
        keepCopy(file, joinPath(keptFolder, baseName(file)));
        entry.kept.push_back(baseName(file));
    }
    m_manifest.changed.push_back(std::move(entry));
    save();
}

void RunHistory::changeComing(const std::string& dbPath,
                              const std::vector<FamilyFileFacts>& family) {
    RunManifest::Changed* entry = m_manifest.find(relative(dbPath));
    if (entry == nullptr) return;
    // On disk before the first file of the change takes its name: a run killed from here until
    // afterChange is heard leaves this family, or the one before it, and nothing else.
    entry->coming = familyStamp(family);
    save();
}

void RunHistory::afterChange(const std::string& dbPath) {
    RunManifest::Changed* entry = m_manifest.find(relative(dbPath));
    if (entry == nullptr) return;
    entry->after = familyStamp(dbPath);
    entry->coming.clear();
    save();
}

void RunHistory::beforeFileChange(const std::string& path) {
    if (m_keep <= 0) return;
    const std::string rel = relative(path);
    if (m_manifest.find(rel) != nullptr) return;
    open();
    RunManifest::Changed entry;
    entry.path = rel;
    entry.before = fileStamp(path);
    std::error_code ec;
    if (fs::is_regular_file(osPath(path), ec)) {
        keepCopy(path, joinPath(m_folder, rel));
        entry.kept.push_back(baseName(path));
    }
    m_manifest.changed.push_back(std::move(entry));
    save();
}

void RunHistory::fileChangeComing(const std::string& path, const std::string& replacement) {
    RunManifest::Changed* entry = m_manifest.find(relative(path));
    if (entry == nullptr) return;
    // A rename keeps the size and the time the stamp is made of; one file stamps as a family
    // of one.
    std::vector<FamilyFileFacts> toBe;
    std::error_code ec;
    if (!replacement.empty()) {
        FamilyFileFacts facts;
        facts.path = path;
        facts.size = fs::file_size(osPath(replacement), ec);
        if (!ec) facts.time = fs::last_write_time(osPath(replacement), ec);
        toBe.push_back(facts);
    }
    entry->coming = ec ? std::string() : familyStamp(toBe);
    save();
}

void RunHistory::afterFileChange(const std::string& path) {
    RunManifest::Changed* entry = m_manifest.find(relative(path));
    if (entry == nullptr) return;
    entry->after = fileStamp(path);
    entry->coming.clear();
    save();
}

void RunHistory::sourceFinished(const SourceSummary& summary) {
    if (!summary.imported) return;
    RunManifest::Source s;
    s.name = summary.source;
    for (std::size_t i = 0; i < summary.tables.size(); ++i)
        s.tables += (i ? "," : "") + summary.tables[i].table;
    s.inserted = summary.rowsInserted;
    s.updated = summary.rowsUpdated;
    s.failed = summary.recordsFailed;
    for (const TableCounts& t : summary.tables)
        s.tableCounts.push_back(t.table + ": " + std::to_string(t.inserted) + " inseridas, " +
                                std::to_string(t.updated) + " atualizadas");
    m_manifest.sources.push_back(std::move(s));
    save();
}

void RunHistory::finish(const std::string& state, const std::string& error) {
    if (m_folder.empty()) return;  // a run that changed nothing leaves nothing to undo
    m_manifest.state = state;
    m_manifest.error = error;
    m_manifest.finished = nowText();
    save();
    px::unlockFile(m_lock);
    m_lock = -1;

    // Older runs past the bounds go, the oldest first; this one stays whatever its size.
    std::vector<KeptRun> runs = keptRuns(m_dataFolder);
    runs.erase(std::remove_if(runs.begin(), runs.end(),
                              [&](const KeptRun& r) { return r.folder == m_folder; }),
               runs.end());
    std::int64_t total = sizeOfFolder(m_folder);
    std::vector<std::int64_t> sizes;
    for (const KeptRun& r : runs) {
        sizes.push_back(sizeOfFolder(r.folder));
        total += sizes.back();
    }
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const std::size_t left = runs.size() - i + 1;  // with this run
        const bool tooMany = left > static_cast<std::size_t>(m_keep);
        const bool tooBig = m_maxBytes > 0 && total > m_maxBytes;
        if (!tooMany && !tooBig) break;
        const int lock = px::lockFile(runs[i].folder, false, true);
        if (lock < 0) continue;  // still under way in another process
        px::unlockFile(lock);
        std::error_code ec;
        fs::remove_all(osPath(runs[i].folder), ec);
        total -= sizes[i];
    }
}

std::vector<KeptRun> keptRuns(const std::string& dataFolder) {
    std::vector<KeptRun> runs;
    const std::string history = resolvePath(dataFolder, kHistoryFolder);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(osPath(history), ec)) {
        if (!e.is_directory(ec)) continue;
        KeptRun run;
        run.name = fromOsPath(e.path().filename());
        run.folder = joinPath(history, run.name);
        try {
            run.manifest = RunManifest::read(joinPath(run.folder, kManifestName));
        } catch (const std::exception&) {
            continue;
        }
        runs.push_back(std::move(run));
    }
    std::sort(runs.begin(), runs.end(),
              [](const KeptRun& a, const KeptRun& b) { return a.name < b.name; });
    return runs;
}

}  // namespace sivaro
