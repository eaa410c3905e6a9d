#include "util/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "util/ChangeWatch.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/SafeWrite.h"
#include "util/StringUtils.h"
#include "util/WriteLock.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

// The buffers the files were always read through: 2048 bytes for a value, 16384 for a listing.
constexpr std::size_t kMaxValue = 2047;
constexpr std::size_t kMaxListing = 16384;

// Time stamps that land within this window of a read may hide a later change of the same size:
// file systems with whole-second stamps (FAT keeps two) get the long window, the others the
// kernel's coarse clock tick with room to spare.
constexpr std::int64_t kCoarseWindowNs = 2'500'000'000;
constexpr std::int64_t kFineWindowNs = 100'000'000;

// Every successful write of any ProfileFile of this process bumps it, so that a second object on
// the same file parses again even when the write kept the size within one time stamp tick.
std::atomic<std::uint64_t> g_writes{0};

const std::array<unsigned char, 256>& foldTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<unsigned char>(upper1252(static_cast<char>(i)));
        return t;
    }();
    return table;
}

struct CaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        const auto& fold = foldTable();
        std::uint64_t h = 14695981039346656037ull;
        for (char c : s) h = (h ^ fold[static_cast<unsigned char>(c)]) * 1099511628211ull;
        return static_cast<std::size_t>(h);
    }
};

struct CaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        if (a.size() != b.size()) return false;
        const auto& fold = foldTable();
        for (std::size_t i = 0; i < a.size(); ++i)
            if (fold[static_cast<unsigned char>(a[i])] != fold[static_cast<unsigned char>(b[i])])
                return false;
        return true;
    }
};

using CaseIndex = std::unordered_map<std::string, std::size_t, CaseHash, CaseEqual>;

std::string_view trimView(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
}

bool isQuote(char c) {
    return c == '"' || c == '\'';
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A line of the file: its text is [begin, end), its line break [end, next).
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

struct Entry {
    std::string name;  // as spelled in the file
    std::string value;
    std::size_t line;
};

struct Section {
    std::string name;
    std::size_t header;  // line of "[name]"
    std::size_t last;    // last non-blank line of the section; new entries go after it
    std::vector<Entry> entries;
    CaseIndex index;

    const Entry* find(std::string_view key) const {
        const auto it = index.find(trimView(key));
        return it == index.end() ? nullptr : &entries[it->second];
    }
};

struct Parsed {
    std::string text;
    std::vector<Line> lines;
    std::vector<Section> sections;
    CaseIndex index;
    std::string eol = "\r\n";

    const Section* find(std::string_view section) const {
        const auto it = index.find(trimView(section));
        return it == index.end() ? nullptr : &sections[it->second];
    }
};

Parsed parse(std::string text) {
    Parsed p;
    p.text = std::move(text);
    const std::string_view all(p.text);
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t pos = all.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    std::size_t current = kNone;  // section the lines belong to; kNone before any or in a duplicate
    bool eolSeen = false;
    while (pos < all.size()) {
        std::size_t end = all.find_first_of("\r\n", pos);
        std::size_t next;
        if (end == std::string_view::npos)
            end = next = all.size();
        else if (all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n')
            next = end + 2;
        else
            next = end + 1;
        if (!eolSeen && next > end) {
            p.eol.assign(all.substr(end, next - end));
            eolSeen = true;
        }
        const std::size_t lineNo = p.lines.size();
        p.lines.push_back({pos, end, next});
        const std::string_view t = trimView(all.substr(pos, end - pos));
        pos = next;
        if (t.empty()) continue;
        if (t[0] == '[') {
            const std::size_t close = t.find(']');
            const std::string_view name =
                trimView(close == std::string_view::npos ? t.substr(1) : t.substr(1, close - 1));
            const auto [it, added] = p.index.try_emplace(std::string(name), p.sections.size());
            if (added) {
                p.sections.push_back(Section{std::string(name), lineNo, lineNo, {}, {}});
                current = p.sections.size() - 1;
            } else {
                current = kNone;
            }
            continue;
        }
        if (current == kNone) continue;
        Section& s = p.sections[current];
        s.last = lineNo;
        if (t[0] == ';') continue;
        const std::size_t eq = t.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view name = trimView(t.substr(0, eq));
        const auto [it, added] = s.index.try_emplace(std::string(name), s.entries.size());
        if (added)
            s.entries.push_back(
                {std::string(name), std::string(unquote(trimView(t.substr(eq + 1)))), lineNo});
    }
    return p;
}

std::string encodeValue(std::string_view v) {
    const bool quote =
        !v.empty() && (static_cast<unsigned char>(v.front()) <= 32 ||
                       static_cast<unsigned char>(v.back()) <= 32 ||
                       (v.size() >= 2 && isQuote(v.front()) && v.back() == v.front()));
    return quote ? "\"" + std::string(v) + "\"" : std::string(v);
}

struct Stamp {
    bool exists = false;
    bool regular = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
};

Stamp stampOf(const struct stat& st) {
    Stamp s;
    s.exists = true;
    s.regular = S_ISREG(st.st_mode);
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool sameStamp(const Stamp& a, const Stamp& b) {
    if (a.exists != b.exists) return false;
    if (!a.exists) return true;
    return a.regular == b.regular && a.dev == b.dev && a.ino == b.ino && a.size == b.size &&
           sameTime(a.mtime, b.mtime) && sameTime(a.ctime, b.ctime);
}

std::int64_t nanoseconds(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return nanoseconds(t);
}

// True when a change made after a read that started at readStartNs could still carry the same
// time stamps as the ones read.
bool withinTimeGranularity(const Stamp& s, std::int64_t readStartNs) {
    const bool coarse = s.mtime.tv_nsec == 0 && s.ctime.tv_nsec == 0;
    const std::int64_t window = coarse ? kCoarseWindowNs : kFineWindowNs;
    const std::int64_t changed = std::max(nanoseconds(s.mtime), nanoseconds(s.ctime));
    return changed >= readStartNs - window;
}

// Reads a regular file whole; `st` gets the stat of the descriptor read.
bool readWhole(const fs::path& path, std::string& out, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    out.clear();
    if (ok) {
        out.reserve(static_cast<std::size_t>(st.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                ok = false;
                break;
            }
            out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return ok;
}

// The file's text with `key` of `section` set to `value`: replaced where it stands (under the
// file's spelling of its key), else appended after the last non-blank line of its section, else
// in a new section at the end of the file.
std::string withValue(const Parsed& p, std::string_view section, std::string_view key,
                      std::string_view value) {
    const std::string encoded = encodeValue(value);
    std::string text = p.text;
    if (const Section* s = p.find(section)) {
        if (const Entry* e = s->find(key)) {
            const Line& line = p.lines[e->line];
            text.replace(line.begin, line.end - line.begin, e->name + "=" + encoded);
        } else {
            const Line& after = p.lines[s->last];
            std::string insert = after.next == after.end ? p.eol : std::string();
            insert += std::string(key) + "=" + encoded + p.eol;
            text.insert(after.next, insert);
        }
    } else {
        std::string append;
        if (!p.lines.empty()) {
            const Line& last = p.lines.back();
            if (last.next == last.end) append += p.eol;
            if (!trimView(std::string_view(p.text).substr(last.begin, last.end - last.begin))
                     .empty())
                append += p.eol;
        }
        append +=
            "[" + std::string(section) + "]" + p.eol + std::string(key) + "=" + encoded + p.eol;
        text += append;
    }
    return text;
}

}  // namespace

struct ProfileFile::Cache {
    bool loaded = false;
    bool readable = true;  // false when something is there that cannot be read as a file
    bool racy = false;
    bool watching = false;  // set at the first read served from the copy; the watch starts then
    std::uint64_t writes = 0;
    Stamp stamp;
    Parsed parsed;
    ChangeWatch watch;
    std::filesystem::path asNamed;  // the name exactly as asked, which wins over every other case
};

void ProfileFile::useChangeNotification(bool on) {
    ChangeWatch::useNotification(on);
}

ProfileFile::ProfileFile(std::string fileName)
    : m_fileName(std::move(fileName)), m_cache(std::make_unique<Cache>()) {
    m_osPath = locate();
}

std::filesystem::path ProfileFile::locate() const {
    // The data folder came from a system whose names ignore case; a file whose name differs only
    // in case answers for the name asked, an exact name being preferred.
    const std::size_t slash = m_fileName.find_last_of('/');
    if (slash == std::string::npos) return osPath(resolvePath("", m_fileName));
    if (slash == 0) return osPath(m_fileName);  // a file of the root folder is taken as named
    return osPath(resolvePath(std::string_view(m_fileName).substr(0, slash),
                              std::string_view(m_fileName).substr(slash + 1)));
}

ProfileFile::ProfileFile(const ProfileFile& other)
    : m_fileName(other.m_fileName), m_osPath(other.m_osPath), m_cache(std::make_unique<Cache>()) {}

ProfileFile& ProfileFile::operator=(const ProfileFile& other) {
    if (this != &other) {
        m_fileName = other.m_fileName;
        m_osPath = other.m_osPath;
        m_cache = std::make_unique<Cache>();
    }
    return *this;
}

ProfileFile::ProfileFile(ProfileFile&&) noexcept = default;
ProfileFile& ProfileFile::operator=(ProfileFile&&) noexcept = default;
ProfileFile::~ProfileFile() = default;

const std::string& ProfileFile::fileName() const {
    return m_fileName;
}

const ProfileFile::Cache& ProfileFile::current() const {
    Cache& c = *m_cache;
    const std::uint64_t writes = g_writes.load();
    if (c.loaded && c.writes == writes && c.watch.active() && !c.watch.changed()) return c;

    // The file's spelling on disk is settled at each change, not once: a "DEFINICAO.INI" that
    // appears later answers from then on, as one that goes stops answering.
    // The name exactly as asked, when it is there, answers whatever other spellings appear: only
    // another spelling, or none, is looked for again (a read checked by stat alone pays one stat).
    if (c.asNamed.empty()) c.asNamed = osPath(m_fileName);
    struct stat st;
    bool found = m_osPath == c.asNamed && ::stat(m_osPath.c_str(), &st) == 0;
    if (!found) {
        m_osPath = locate();
        found = ::stat(m_osPath.c_str(), &st) == 0;
    }
    const Stamp now = found ? stampOf(st) : Stamp{};
    if (c.loaded && c.writes == writes && !c.watch.active() && sameStamp(c.stamp, now)) {
        // An object read only once never pays for a watch: it starts at the second read. The
        // copy is then checked against the file once more, byte for byte; any later change is
        // reported by the watch.
        if (!c.watching) {
            c.watching = true;
            c.watch.start(m_osPath);
            if (c.watch.active()) {
                std::string text;
                const bool same = c.stamp.exists
                                      ? readWhole(m_osPath, text, st) && text == c.parsed.text
                                      : ::stat(m_osPath.c_str(), &st) != 0;
                if (!same) reload(writes);
                return c;
            }
        }
        if (!c.racy) return c;
        const std::int64_t start = nowNs();
        std::string text;
        if (readWhole(m_osPath, text, st) && sameStamp(stampOf(st), now) && text == c.parsed.text) {
            c.racy = withinTimeGranularity(now, start);
            return c;
        }
    }
    reload(writes);
    return c;
}

void ProfileFile::reload(std::uint64_t writes) const {
    Cache& c = *m_cache;
    // Watch first, so that a change made while the file is read is noticed at the next read.
    if (c.watching) c.watch.start(m_osPath);
    c.loaded = true;
    c.readable = true;
    c.racy = false;
    c.writes = writes;
    c.parsed = Parsed{};
    struct stat st;
    c.stamp = ::stat(m_osPath.c_str(), &st) == 0 ? stampOf(st) : Stamp{};
    if (!c.stamp.exists) return;
    const std::int64_t start = nowNs();
    std::string text;
    if (!c.stamp.regular || !readWhole(m_osPath, text, st)) {
        c.readable = false;
        return;
    }
    c.stamp = stampOf(st);
    c.racy = withinTimeGranularity(c.stamp, start);
    c.parsed = parse(std::move(text));
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view def) const {
    const Parsed& p = current().parsed;
    const Section* s = p.find(section);
    const Entry* e = s ? s->find(key) : nullptr;
    if (!e) return std::string(def);
    return e->value.substr(0, kMaxValue);
}

std::int32_t ProfileFile::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t def) const {
    const Parsed& p = current().parsed;
    const Section* s = p.find(section);
    const Entry* e = s ? s->find(key) : nullptr;
    std::int32_t value = def;
    if (e && !tryParseInteger(std::string_view(e->value).substr(0, kMaxValue), value)) value = def;
    return value;
}

bool ProfileFile::readBool(std::string_view section, std::string_view key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

std::vector<std::string> ProfileFile::readSection(std::string_view section) const {
    std::vector<std::string> names;
    const Section* s = current().parsed.find(section);
    if (!s) return names;
    std::size_t used = 0;
    for (const Entry& e : s->entries) {
        used += e.name.size() + 1;
        if (used > kMaxListing) break;
        names.push_back(e.name);
    }
    return names;
}

bool ProfileFile::sectionExists(std::string_view section) const {
    return current().parsed.find(section) != nullptr;
}

bool ProfileFile::keyExists(std::string_view section, std::string_view key) const {
    const Section* s = current().parsed.find(section);
    return s && s->find(key);
}

void ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    const std::string sectionName(trimView(section));
    const std::string keyName(trimView(key));
    // Names and values the file cannot hold would come back as other sections or keys.
    const auto refuse = [&](const std::string& why) {
        throw EInOutError("Unable to write to " + m_fileName + ": " + why);
    };
    if (hasLineBreak(sectionName) || sectionName.find(']') != std::string::npos)
        refuse("the section name \"" + sectionName + "\" cannot hold a line break or \"]\"");
    if (hasLineBreak(keyName) || keyName.find('=') != std::string::npos)
        refuse("the key name \"" + keyName + "\" cannot hold a line break or \"=\"");
    if (!keyName.empty() && (keyName[0] == '[' || keyName[0] == ';'))
        refuse("the key name \"" + keyName + "\" cannot start with \"[\" or \";\"");
    if (hasLineBreak(value)) refuse("the value of key \"" + keyName + "\" holds a line break");
    change(sectionName, keyName, value);
}

void ProfileFile::writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    writeString(section, key, std::to_string(value));
}

void ProfileFile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

void ProfileFile::deleteKey(std::string_view section, std::string_view key) {
    // A key that is not there touches nothing, not even the lock.
    if (!keyExists(section, key)) return;
    change(section, key, std::nullopt);
}

void ProfileFile::change(std::string_view section, std::string_view key,
                         std::optional<std::string_view> value) {
    const std::string failure = "Unable to write to " + m_fileName;
    // From the read to the rename no other writer, in this process or another, may come between:
    // its entry would be lost with the text it did not see.
    const WriteLock lock([this] { return locate(); }, failure);
    m_osPath = lock.path();
    reload(g_writes.load());
    const Cache& c = *m_cache;
    // Something that is there but cannot be read must not be replaced by a file of one entry.
    if (!c.readable) throw EInOutError(failure);
    const Parsed& p = c.parsed;
    std::string text;
    if (value) {
        text = withValue(p, section, key, *value);
    } else {
        const Section* s = p.find(section);
        const Entry* e = s ? s->find(key) : nullptr;
        if (!e) return;  // deleted by another writer meanwhile
        const Line& line = p.lines[e->line];
        text = p.text;
        text.erase(line.begin, line.next - line.begin);
    }

    // What the system refuses outright keeps the message the stored imports were made with.
    struct stat st;
    if (::stat(m_osPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) throw EInOutError(failure);
    const fs::path folder = m_osPath.has_parent_path() ? m_osPath.parent_path() : fs::path(".");
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) throw EInOutError(failure);
    SafeWriteOptions options;
    options.inPlaceWhenFolderRefuses = true;
    try {
        replaceFileSafely(fromOsPath(m_osPath), text, failure, options);
    } catch (...) {
        ++g_writes;
        m_cache->loaded = false;
        throw;
    }
    ++g_writes;
    m_cache->loaded = false;
}

}  // namespace sivaro
