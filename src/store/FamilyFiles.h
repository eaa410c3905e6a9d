#pragma once
// Locks and the all-or-nothing replacement of a table's family of files.
//
// A table held open keeps an advisory lock (flock) on its .db: shared while it is only read,
// exclusive from its first change on (or from the open, for exclusive use). So several
// processes may read a table, none may change one that another holds, and GravaAutoInc, which
// takes the exclusive lock, fails on any table held open in this process or another. A new family
// is written beside the old one as NAME.EXT.new files; a journal NAME.DB.switch lists them once
// they are complete; then each is renamed over its final name and the journal removed. The new .db
// is locked before it takes the table's name, so the table is never seen unlocked while its holder
// keeps it open. An interrupted switch is finished (journal present) or discarded (journal absent)
// by the next opener, so a crash at any moment leaves either the old or the new family. An
// opener that cannot write the folder cannot finish a switch: it reads the new family the
// journal lists (FamilyView), never the old files of some extensions with the new of others.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sivaro::px {

// The folder of a path ("" when it names none) and a file's name without its extension.
std::string folderOf(const std::string& path);
std::string stemOf(const std::string& path);
// Whether the extension of `path` starts with a small letter (the family's files follow it).
bool lowerExtension(const std::string& path);
// The path a new file of the family of the .db at `dbPath` takes: the .db's folder and stem,
// `ext` in the letter case of the .db's extension.
std::string newFamilyName(const std::string& dbPath, const std::string& ext);

// Opens and locks `path`; -1 when the file cannot be opened, -2 when another opener holds it.
int lockFile(const std::string& path, bool writable, bool exclusive);
// Turns a shared lock exclusive; false (the shared lock kept) when another opener holds it.
bool upgradeLock(int fd);
void unlockFile(int fd);

// Finishes or discards an interrupted switch of the family of the .db at `dbPath`.
void recoverFamily(const std::string& dbPath);

// The family of a .db as a reader must see it. Without a journal, the files as they are (the
// .new files of a switch that never committed are no part of it). With one, the new family it
// lists: each file whose .new still waits is read from there, each file it removes is gone.
// Raises, naming the table, when a journal exists that cannot be read.
class FamilyView {
  public:
    explicit FamilyView(const std::string& dbPath);
    bool switchPending() const { return m_pending; }
    // The file that holds the content of the family file `path`.
    std::string source(const std::string& path) const;
    // False for a file the pending switch removes.
    bool present(const std::string& path) const;
    // Final paths of the files the pending switch writes (some may exist only as .new).
    const std::vector<std::string>& written() const { return m_written; }

  private:
    bool m_pending = false;
    std::map<std::string, std::string> m_sources;  // upper-cased name -> file to read
    std::set<std::string> m_removed;               // upper-cased names
    std::vector<std::string> m_written;
};

// Tests only: called before each step of a switch, numbered 0 (the journal takes its name),
// 1 to n (file i of the new family takes its name) and n + 1 (the journal is removed). A hook
// that ends the process leaves the family as a crash at that step would.
using SwitchStepHook = void (*)(int step);
void setSwitchStepHook(SwitchStepHook hook);

// A file of the new family, written through a buffer to FINAL.new.
class NewFile {
  public:
    explicit NewFile(std::string finalPath);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    void write(const void* data, std::size_t n);
    void writeAt(std::uint64_t offset, const void* data, std::size_t n);  // after the end: no
    std::uint64_t size() const { return m_written + m_buffer.size(); }
    void finish();  // flush and sync
    const std::string& finalPath() const { return m_final; }
    const std::string& tempPath() const { return m_temp; }
    int fd() const { return m_fd; }
    int releaseFd();  // keeps the descriptor open for the caller
    // Listed in a switch's journal: from then on the file is the next opener's to rename.
    void markCommitted() { m_committed = true; }
    bool committed() const { return m_committed; }

  private:
    void flush();
    std::string m_final, m_temp;
    int m_fd = -1;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_written = 0;
    bool m_committed = false;
};

// Switches the family: the journal, the renames, the removal of `obsolete` files, each step
// checked and flushed with its folder. A failure before the journal is on disk leaves the old
// family; one after it raises too, and the next opener finishes the switch.
void switchFamily(const std::string& dbPath, const std::vector<NewFile*>& files,
                  const std::vector<std::string>& obsolete);

// Removes temporaries of a switch that failed before its journal was written (those of a
// committed switch stay for the next opener).
void discardNewFiles(const std::vector<NewFile*>& files);

}  // namespace sivaro::px
