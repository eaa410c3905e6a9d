#include "store/TableFileRoutines.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "store/FamilyFiles.h"
#include "store/FamilyWatcher.h"
#include "store/LittleEndian.h"
#include "store/ParadoxFormat.h"
#include "store/ParadoxStore.h"
#include "store/Rehearsal.h"
#include "store/SharedTable.h"
#include "store/TableStore.h"
#include "util/CodePage.h"
#include "util/Errors.h"
#include "util/Paths.h"

namespace sivaro {

namespace {

// The modification time a counter written in place gives the .db: now, and later than the time
// it has, so the change shows in the file's time whatever the clock's steps.
std::filesystem::file_time_type counterWriteTime(const std::string& dbPath) {
    std::error_code ec;
    auto time = std::filesystem::file_time_type::clock::now();
    const auto current = std::filesystem::last_write_time(osPath(dbPath), ec);
    if (!ec && time <= current) time = current + std::chrono::microseconds(1);
    return time;
}

// The family as it is, the .db with `time`: what a counter written in place leaves.
std::vector<FamilyFileFacts> familyWithTime(const std::string& dbPath,
                                            std::filesystem::file_time_type time) {
    std::vector<FamilyFileFacts> family = familyAsRead(dbPath);
    for (FamilyFileFacts& f : family)
        if (upperAscii(baseName(f.path)) == upperAscii(baseName(dbPath))) f.time = time;
    return family;
}

// The engine's own type codes, as the original toolkit numbers them.
constexpr std::uint16_t kEngineString = 1, kEngineDate = 2, kEngineBlob = 3, kEngineBool = 4,
                        kEngineInt16 = 5, kEngineInt32 = 6, kEngineFloat = 7, kEngineBcd = 8,
                        kEngineBytes = 9, kEngineTime = 10, kEngineTimestamp = 11,
                        kEngineMoney = 260, kEngineAutoInc = 271;

FieldType fieldTypeOfEngineCode(std::uint16_t code) {
    switch (code) {
        case kEngineString:
            return FieldType::String;
        case kEngineDate:
            return FieldType::Date;
        case kEngineBlob:
            return FieldType::Memo;
        case kEngineBool:
            return FieldType::Boolean;
        case kEngineInt16:
            return FieldType::Smallint;
        case kEngineInt32:
            return FieldType::Integer;
        case kEngineFloat:
            return FieldType::Float;
        case kEngineBcd:
            return FieldType::BCD;
        case kEngineBytes:
            return FieldType::Bytes;
        case kEngineTime:
            return FieldType::Time;
        case kEngineTimestamp:
            return FieldType::DateTime;
        case kEngineMoney:
            return FieldType::Currency;
        case kEngineAutoInc:
            return FieldType::AutoInc;
        default:
            return FieldType::Unknown;
    }
}

// The engine type code for a caller's type number (0 for none).
std::uint16_t engineTypeCode(int typeNumber) {
    switch (typeNumber) {
        case 1:
            return kEngineString;
        case 2:
            return kEngineInt16;
        case 3:
            return kEngineInt32;
        case 5:
            return kEngineBool;
        case 6:
            return kEngineFloat;
        case 7:
            return kEngineMoney;
        case 8:
            return kEngineBcd;
        case 9:
            return kEngineDate;
        case 10:
            return kEngineTime;
        case 11:
            return kEngineTimestamp;
        case 12:
            return kEngineBytes;
        case 14:
            return kEngineAutoInc;
        case 16:
            return kEngineBlob;
        default:
            return 0;
    }
}

}  // namespace

bool GravaAutoInc(const std::string& path, std::int32_t value) {
    std::string upper = upperAscii(path);
    if (upper.find(".DB") == std::string::npos) upper += ".DB";
    // The upper-cased name answers for the file whatever its case on disk.
    std::string resolved;
    if (!upper.empty() && (upper[0] == '/' || upper[0] == '\\'))
        resolved = "/" + resolvePath("/", upper.substr(1)).substr(1);
    else
        resolved = resolvePath(".", upper).substr(2);
    while (resolved.size() > 1 && resolved[0] == '/' && resolved[1] == '/') resolved.erase(0, 1);
    if (rehearsing()) return px::rehearseCounter(resolved, static_cast<std::uint32_t>(value));
    // Exclusive use: a table held open keeps a lock on its .db (store/FamilyFiles.h).
    auto openLocked = [&] {
        const int fd = ::open(osPath(resolved).c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    };
    int fd = openLocked();
    if (fd < 0) return false;
    std::error_code ec;
    if (std::filesystem::exists(osPath(resolved + ".switch"), ec)) {
        // A writer stopped while replacing the family: the counter written into the old .db
        // would be lost when the new one takes its name, so the switch is finished first.
        try {
            px::recoverFamily(resolved);
        } catch (const std::exception&) {
            ::close(fd);
            return false;
        }
        ::close(fd);
        fd = openLocked();
        if (fd < 0) return false;
    }
    bool ok = false;
    FamilyWatcher* watcher = familyWatcher();
    try {
        if (::lseek(fd, px::kAutoInc, SEEK_SET) == px::kAutoInc) {
            std::optional<std::filesystem::file_time_type> time;
            if (watcher) {
                watcher->beforeChange(resolved);
                time = counterWriteTime(resolved);
                watcher->changeComing(resolved, familyWithTime(resolved, *time));
            }
            std::uint8_t bytes[4];
            px::writeLe32(bytes, static_cast<std::uint32_t>(value));
            ok = ::write(fd, bytes, 4) == 4;
            // The time told beforehand, so the family is the one the watcher expects.
            if (ok && time) std::filesystem::last_write_time(osPath(resolved), *time, ec);
            if (ok && watcher) watcher->afterChange(resolved);
        }
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    return ok;
}

void AlteraCampo(const std::string& databaseName, const std::string& tableName,
                 const std::string& fieldName, const std::string& newName, std::uint8_t typeNumber,
                 std::uint16_t size) {
    auto store = createParadoxStore();
    std::unique_ptr<Table> table = store->createTable();  // closes the table however we leave
    table->setDatabaseName(databaseName);
    table->setTableName(tableName);
    table->setExclusive(true);
    table->open();
    Field* field = table->findField(fieldName);
    if (!field) throw EDatabaseError("Field '" + fieldName + "' not found");
    const int index = field->index();

    FieldDescriptor change;
    change.name = newName.substr(0, 31);
    const std::uint16_t code = engineTypeCode(typeNumber);
    change.type = fieldTypeOfEngineCode(code);
    change.size = size > 0 ? size : 0;

    if (!table->active()) throw EDatabaseError("Table must be opened to restructure");
    if (!table->exclusive()) throw EDatabaseError("Table must be opened exclusivelyto restructure");
    const std::string type = table->tableType();
    if (type != "PARADOX" && type != "DBASE")
        throw EDatabaseError("Field altering can only occur on Paradox or dBASE tables");
    const std::vector<FieldDescriptor> current = table->fieldDescriptors();
    FieldDescriptor wanted = current[index];
    wanted.name = change.name;
    if (change.type != FieldType::Unknown) wanted.type = change.type;
    // Sizes are the table's own for every type but text, BCD and blobs: a new type keeps them.
    const bool sized = wanted.type == FieldType::String || wanted.type == FieldType::BCD ||
                       wanted.type == FieldType::Bytes || wanted.type == FieldType::Memo;
    wanted.size = change.size > 0
                      ? change.size
                      : (sized && wanted.type == current[index].type ? current[index].size : 0);
    if (wanted.type == current[index].type && change.size == 0) wanted.size = 0;
    table->restructure(index, wanted);
    table->close();
}

}  // namespace sivaro
