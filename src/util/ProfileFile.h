#pragma once
// One INI file of the data folder (Definicao.ini, ini/tabelas.ini), read and written by the rules
// the stored files were made with, so that files prepared by hand or by the old program keep
// working.
//
// Reading
// - "[name]" opens a section (the name runs to the first "]", or to the line's end without one);
//   "key=value" is an entry of the section above it (split at the first "="). Section and key
//   names match without regard to case (Windows-1252 rules); names and values lose the bytes of
//   code 32 or less around them, then one pair of matching double or single quotes around the
//   value, so a value that must keep its blanks is written in quotes.
// - Lines starting with ";" are comments, lines without "=" are ignored, and so are entries
//   before the first section; all of them, blank lines included, stay as they are when the file
//   is rewritten. Only the first section of a name counts, and in it only the first entry of a
//   key: a later duplicate is never read, listed or rewritten.
// - Lines end in CR LF, LF or a lone CR; the last line need not end. A leading UTF-8 byte order
//   mark is skipped. Bytes 128-255 are read and written unchanged.
// - A value read is cut to 2047 bytes. readSection lists key names in file order while the names,
//   each counted with one terminating byte, fit in 16384 bytes; a name that would pass that bound
//   is left out with all after it (never cut).
// - A missing or unreadable file, a missing section or key read as the caller's default, which is
//   returned as given. Integers use the grammar of tryParseInteger; other text gives the default.
//   Booleans are integers: any but 0 is true.
//
// Writing
// - Every write reaches the disk before it returns: an entry is replaced where it stands (under the
//   file's spelling of its key), else appended after the last non-blank line of its section, else
//   a section is appended at the end of the file, after a blank line. Writes keep the file's line
//   ending (the one of its first line); a new file gets CR LF. The file is created when its folder
//   exists; a folder is never created. The new text replaces the file through replaceFileSafely,
//   with the old file's permissions, so a failed write leaves the old file whole (a folder that
//   takes no new files but lets its file be written gets the file rewritten in place).
// - Writers in every process are serialised by a WriteLock held from the read of the file to the
//   rename, and each change reads the file afresh under it: entries that two workbenches, or a
//   workbench and a batch run, write at the same time are all kept.
// - A value that would not read back as written (blanks at an end, or enclosed in a matching pair
//   of quotes) is written inside double quotes.
// - Deleting a key that is not there touches nothing.
// - A write the system refuses (missing folder, read-only or unreadable file, a path through a
//   regular file) throws EInOutError "Unable to write to " + fileName(), followed by the
//   system's reason when a step of the writing itself failed (a full disk). So does a name or value
//   that the file could not hold (a line break anywhere, "=" in a key, "]" in a section, a key
//   starting with "[" or ";"), with the reason after the file name; nothing is written then.
//
// Every read sees the file as it is on disk: the parsed copy is kept only while no ProfileFile of
// this process has written since and the file is unchanged. On local file systems the kernel's
// change notifications for the file and its folder say so (a change by any process is queued
// before the writer's call returns); elsewhere, and for links, the file's identity, size,
// modification and change times must stay the same, and a file changed within the time stamps'
// granularity of a read is compared byte for byte until that window has passed. Renaming a folder
// above the file's own folder goes unnoticed on the notification path. The notifications raise
// SIGIO, which this class takes for itself unless the program handles it already; while none has
// come, a read makes no system call. One object is used by one thread.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sivaro {

class ProfileFile {
  public:
    // An engine path (Windows-1252). It need not exist. When no file has exactly that name, an
    // existing file of its folder whose name differs only in case answers for it; which file
    // answers is settled again whenever the folder changes, not once.
    explicit ProfileFile(std::string fileName);
    ProfileFile(const ProfileFile& other);
    ProfileFile& operator=(const ProfileFile& other);
    ProfileFile(ProfileFile&&) noexcept;
    ProfileFile& operator=(ProfileFile&&) noexcept;
    ~ProfileFile();

    const std::string& fileName() const;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view def) const;
    std::int32_t readInteger(std::string_view section, std::string_view key,
                             std::int32_t def) const;
    bool readBool(std::string_view section, std::string_view key, bool def) const;
    std::vector<std::string> readSection(std::string_view section) const;  // key names, file order
    bool sectionExists(std::string_view section) const;                    // its header is there
    bool keyExists(std::string_view section, std::string_view key) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, std::int32_t value);
    void writeBool(std::string_view section, std::string_view key, bool value);  // "1" or "0"
    void deleteKey(std::string_view section, std::string_view key);

    // Where the file system reports changes, reads learn of them from it instead of a stat of
    // the file each time; on by default. Tests turn it off to check the stat path.
    static void useChangeNotification(bool on);

  private:
    struct Cache;
    const Cache& current() const;
    void reload(std::uint64_t writes) const;
    std::filesystem::path locate() const;  // the file's spelling on disk now
    // Sets (or, without a value, deletes) one entry under the lock, on the text just read.
    void change(std::string_view section, std::string_view key,
                std::optional<std::string_view> value);

    std::string m_fileName;
    mutable std::filesystem::path m_osPath;
    mutable std::unique_ptr<Cache> m_cache;
};

}  // namespace sivaro
