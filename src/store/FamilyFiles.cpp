#include "store/FamilyFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "store/FamilyWatcher.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/SafeWrite.h"

namespace sivaro::px {

namespace fs = std::filesystem;

namespace {

std::string journalPath(const std::string& dbPath) {
    return dbPath + ".switch";
}

// The file writers of util raise EInOutError; inside the table engine every failure is a
// database error, with the same words.
template <typename Step>
void checked(Step step) {
    try {
        step();
    } catch (const EInOutError& e) {
        throw EDatabaseError(e.what());
    }
}

// The renames and removals in the table's folder reach the disk, or the switch fails.
void syncFolder(const std::string& anyFile) {
    const std::string folder = folderOf(anyFile);
    checked([&] {
        flushFolder(folder.empty() ? "." : folder, "Cannot flush the folder of " + anyFile);
    });
}

std::string join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

[[noreturn]] void fail(const std::string& what, const std::string& path) {
    throw EDatabaseError(what + " " + path + ": " + std::strerror(errno));
}

// A journal left behind would make the next opener replay it over the temporaries of a later
// switch that never committed: its removal must succeed.
void removeJournal(const std::string& journal) {
    std::error_code ec;
    if (!fs::remove(osPath(journal), ec) && ec)
        throw EDatabaseError("Cannot remove " + journal + ": " + ec.message());
}

SwitchStepHook& stepHook() {
    static SwitchStepHook hook = nullptr;
    return hook;
}

void step(int n) {
    if (SwitchStepHook hook = stepHook()) hook(n);
}

struct JournalLine {
    char op;  // 'R' a file takes its new content, 'D' a file goes
    std::string name;
};

// The lines of a committed switch's journal. The journal takes its name whole (written as .tmp,
// synced, renamed), so a line it cannot hold means damage: the table is not read on a guess.
std::vector<JournalLine> readJournal(const std::string& dbPath) {
    const std::string journal = journalPath(dbPath);
    std::ifstream in(osPath(journal), std::ios::binary);
    if (!in)
        throw EDatabaseError("Table " + dbPath + " has an unfinished update whose journal " +
                             journal + " cannot be read");
    std::vector<JournalLine> lines;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) continue;
        if (line.size() < 3 || (line[0] != 'R' && line[0] != 'D') || line[1] != ' ' ||
            line.find('/') != std::string::npos)
            throw EDatabaseError("Table " + dbPath + " has an unfinished update whose journal " +
                                 journal + " is damaged");
        lines.push_back({line[0], line.substr(2)});
    }
    return lines;
}

}  // namespace

std::string folderOf(const std::string& path) {
    const std::size_t pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string stemOf(const std::string& path) {
    const std::string name = baseName(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool lowerExtension(const std::string& path) {
    const std::string name = baseName(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && dot + 1 < name.size() && name[dot + 1] >= 'a' &&
           name[dot + 1] <= 'z';
}

std::string newFamilyName(const std::string& dbPath, const std::string& ext) {
    const std::string folder = folderOf(dbPath);
    const std::string name =
        stemOf(dbPath) + "." + (lowerExtension(dbPath) ? lower1252(ext) : upperAscii(ext));
    return folder.empty() ? name : folder + "/" + name;
}

void setSwitchStepHook(SwitchStepHook hook) {
    stepHook() = hook;
}

FamilyView::FamilyView(const std::string& dbPath) {
    std::error_code ec;
    if (!fs::exists(osPath(journalPath(dbPath)), ec)) return;
    m_pending = true;
    const std::string folder = folderOf(dbPath);
    for (const JournalLine& line : readJournal(dbPath)) {
        const std::string target = join(folder, line.name);
        const std::string key = upperAscii(line.name);
        if (line.op == 'D') {
            m_removed.insert(key);
            continue;
        }
        // Renamed already, or still waiting as its temporary.
        const std::string temp = target + ".new";
        m_sources[key] = fs::exists(osPath(temp), ec) ? temp : target;
        m_written.push_back(target);
    }
}

std::string FamilyView::source(const std::string& path) const {
    if (!m_pending) return path;
    const auto it = m_sources.find(upperAscii(baseName(path)));
    return it == m_sources.end() ? path : it->second;
}

bool FamilyView::present(const std::string& path) const {
    return !m_pending || m_removed.count(upperAscii(baseName(path))) == 0;
}

int lockFile(const std::string& path, bool writable, bool exclusive) {
    const int fd = ::open(osPath(path).c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        ::close(fd);
        return -2;
    }
    return fd;
}

bool upgradeLock(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    // A failed conversion may drop the lock held; take the shared one back.
    ::flock(fd, LOCK_SH | LOCK_NB);
    return false;
}

void unlockFile(int fd) {
    if (fd >= 0) ::close(fd);  // closing the descriptor drops its lock
}

void recoverFamily(const std::string& dbPath) {
    const std::string journal = journalPath(dbPath);
    const std::string folder = folderOf(dbPath);
    std::error_code ec;
    if (fs::exists(osPath(journal), ec)) {
        for (const JournalLine& line : readJournal(dbPath)) {
            const std::string target = join(folder, line.name);
            if (line.op == 'R') {
                const std::string temp = target + ".new";
                if (fs::exists(osPath(temp), ec)) fs::rename(osPath(temp), osPath(target), ec);
                if (ec) throw EDatabaseError("Cannot finish the update of " + target);
            } else {
                fs::remove(osPath(target), ec);
            }
        }
        syncFolder(dbPath);
        removeJournal(journal);
        syncFolder(dbPath);
        return;
    }
    // No journal: a switch that never committed. Its temporaries are the only trace.
    fs::remove(osPath(journal + ".tmp"), ec);
    const std::string base = upperAscii(baseName(dbPath));
    const std::string stem = base.substr(0, base.rfind('.'));
    for (const auto& entry : fs::directory_iterator(osPath(folder.empty() ? "." : folder), ec)) {
        const std::string name = upperAscii(fromOsPath(entry.path().filename()));
        if (name.size() > stem.size() + 5 && name.compare(0, stem.size() + 1, stem + ".") == 0 &&
            name.compare(name.size() - 4, 4, ".NEW") == 0 &&
            name.find('.', stem.size() + 1) == name.size() - 4)
            fs::remove(entry.path(), ec);
    }
}

NewFile::NewFile(std::string finalPath) : m_final(std::move(finalPath)), m_temp(m_final + ".new") {
    m_fd = ::open(osPath(m_temp).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_fd < 0) fail("Cannot write", m_temp);
    m_buffer.reserve(1 << 20);
}

NewFile::~NewFile() {
    if (m_fd >= 0) ::close(m_fd);
}

void NewFile::flush() {
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Cannot write", m_temp);
        }
        done += static_cast<std::size_t>(n);
    }
    m_written += m_buffer.size();
    m_buffer.clear();
}

void NewFile::write(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (m_buffer.size() + n > (1u << 20)) flush();
    if (n > (1u << 20)) {
        m_buffer.assign(p, p + n);
        flush();
        return;
    }
    m_buffer.insert(m_buffer.end(), p, p + n);
}

void NewFile::writeAt(std::uint64_t offset, const void* data, std::size_t n) {
    if (offset >= m_written) {
        std::memcpy(m_buffer.data() + (offset - m_written), data, n);
        return;
    }
    flush();
    if (::pwrite(m_fd, data, n, static_cast<off_t>(offset)) != static_cast<ssize_t>(n))
        fail("Cannot write", m_temp);
}

void NewFile::finish() {
    flush();
    if (::fsync(m_fd) != 0) fail("Cannot write", m_temp);
}

int NewFile::releaseFd() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void switchFamily(const std::string& dbPath, const std::vector<NewFile*>& files,
                  const std::vector<std::string>& obsolete) {
    const std::string journal = journalPath(dbPath);
    std::string list;
    for (const NewFile* f : files) list += "R " + baseName(f->finalPath()) + "\n";
    for (const std::string& o : obsolete) list += "D " + baseName(o) + "\n";
    SafeWriteOptions options;
    options.temporaryPath = journal + ".tmp";  // the name recoverFamily clears
    if (FamilyWatcher* watcher = familyWatcher()) {
        // Told while nothing has its new name yet: whoever keeps the table's history knows the
        // family that a stop from here on leaves (the next opener completes it) before it exists.
        std::vector<std::pair<std::string, std::string>> written;
        for (const NewFile* f : files) written.emplace_back(f->finalPath(), f->tempPath());
        watcher->changeComing(dbPath, familyAfterSwitch(dbPath, written, obsolete));
    }
    step(0);
    try {
        checked([&] { replaceFileSafely(journal, list, "Cannot write " + journal, options); });
    } catch (...) {
        // Not committed while its folder entry may not be on disk: the old family stays.
        std::error_code ec;
        fs::remove(osPath(journal), ec);
        throw;
    }
    // Committed: from here on the next opener finishes the switch if we stop, so the new files
    // must stay whatever fails below.
    for (NewFile* f : files) f->markCommitted();
    const std::string later = "; the table's next opening completes the change";
    int n = 0;
    for (const NewFile* f : files) {
        step(++n);
        checked([&] {
            renameFile(f->tempPath(), f->finalPath(), "Cannot replace " + f->finalPath() + later);
        });
    }
    std::error_code ec;
    for (const std::string& o : obsolete) fs::remove(osPath(o), ec);
    checked([&] {
        flushFolder(folderOf(dbPath).empty() ? "." : folderOf(dbPath),
                    "Cannot flush the folder of " + dbPath + later);
    });
    step(n + 1);
    removeJournal(journal);
    syncFolder(dbPath);
}

void discardNewFiles(const std::vector<NewFile*>& files) {
    std::error_code ec;
    for (const NewFile* f : files)
        if (!f->committed()) fs::remove(osPath(f->tempPath()), ec);
}

}  // namespace sivaro::px
