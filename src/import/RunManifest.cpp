#include "import/RunManifest.h"

#include <charconv>
#include <filesystem>

#include "store/FamilyWatcher.h"
#include "util/CodePage.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/SafeWrite.h"

namespace sivaro {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMissing = "ausente";

std::string joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
    return out;
}

std::vector<std::string> cut(const std::string& text, char separator) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        items.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return items;
}

std::int64_t number(const std::string& text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string stampOf(const FamilyFileFacts& f) {
    return upperAscii(baseName(f.path)) + " " + std::to_string(f.size) + " " +
           std::to_string(f.time.time_since_epoch().count());
}

std::string stampOf(const std::string& path) {
    std::error_code ec;
    FamilyFileFacts facts;
    facts.path = path;
    facts.size = fs::file_size(osPath(path), ec);
    if (ec) return kMissing;
    facts.time = fs::last_write_time(osPath(path), ec);
    if (ec) return kMissing;
    return stampOf(facts);
}

}  // namespace

RunManifest::Changed* RunManifest::find(const std::string& path) {
    for (Changed& c : changed)
        if (c.path == path) return &c;
    return nullptr;
}

std::string RunManifest::text() const {
    std::string t;
    const auto entry = [&t](const std::string& key, const std::string& value) {
        t += key + "=" + value + "\r\n";
    };
    t += "[Importacao]\r\n";
    entry("ExecutadaPor", ranBy);
    entry("Inicio", started);
    entry("Fim", finished);
    entry("Estado", state);
    if (!error.empty()) entry("Erro", error);
    if (!undoneAt.empty()) entry("DesfeitaEm", undoneAt);
    t += "\r\n[Origens]\r\n";
    for (const Source& s : sources) entry(s.name, s.tables);
    for (const Source& s : sources) {
        t += "\r\n[Origem " + s.name + "]\r\n";
        entry("Inseridas", std::to_string(s.inserted));
        entry("Atualizadas", std::to_string(s.updated));
        entry("ComErro", std::to_string(s.failed));
        for (std::size_t i = 0; i < s.tableCounts.size(); ++i)
            entry("Tabela" + std::to_string(i + 1), s.tableCounts[i]);
    }
    t += "\r\n[Alteradas]\r\n";
    for (const Changed& c : changed) entry(c.path, c.table ? "tabela" : "arquivo");
    for (const Changed& c : changed) {
        t += "\r\n[" + c.path + "]\r\n";
        entry("Guardados", joined(c.kept, ","));
        entry("Antes", c.before);
        entry("Depois", c.after);
        if (!c.coming.empty()) entry("Previsto", c.coming);
    }
    return t;
}

RunManifest RunManifest::read(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(osPath(path), ec))
        throw EInOutError("O manifesto " + path + " não existe"_cp1252);
    const ProfileFile file(path);
    if (!file.sectionExists("Importacao"))
        throw EInOutError("O arquivo " + path + " não é um manifesto de importação"_cp1252);
    RunManifest m;
    m.ranBy = file.readString("Importacao", "ExecutadaPor", "");
    m.started = file.readString("Importacao", "Inicio", "");
    m.finished = file.readString("Importacao", "Fim", "");
    m.state = file.readString("Importacao", "Estado", kRunInProgress);
    m.error = file.readString("Importacao", "Erro", "");
    m.undoneAt = file.readString("Importacao", "DesfeitaEm", "");
    for (const std::string& name : file.readSection("Origens")) {
        Source s;
        s.name = name;
        s.tables = file.readString("Origens", name, "");
        const std::string section = "Origem " + name;
        s.inserted = number(file.readString(section, "Inseridas", "0"));
        s.updated = number(file.readString(section, "Atualizadas", "0"));
        s.failed = number(file.readString(section, "ComErro", "0"));
        for (int i = 1; file.keyExists(section, "Tabela" + std::to_string(i)); ++i)
            s.tableCounts.push_back(file.readString(section, "Tabela" + std::to_string(i), ""));
        m.sources.push_back(std::move(s));
    }
    for (const std::string& name : file.readSection("Alteradas")) {
        Changed c;
        c.path = name;
        c.table = file.readString("Alteradas", name, "") == "tabela";
        c.kept = cut(file.readString(name, "Guardados", ""), ',');
        c.before = file.readString(name, "Antes", kMissing);
        c.after = file.readString(name, "Depois", "");
        c.coming = file.readString(name, "Previsto", "");
        m.changed.push_back(std::move(c));
    }
    return m;
}

void RunManifest::write(const std::string& path) const {
    writeFileSafely(path, text());
}

std::string familyStamp(const std::string& dbPath) {
    return familyStamp(familyAsRead(dbPath));
}

std::string familyStamp(const std::vector<FamilyFileFacts>& family) {
    if (family.empty()) return kMissing;
    std::vector<std::string> stamps;
    for (const FamilyFileFacts& f : family) stamps.push_back(stampOf(f));
    return joined(stamps, "|");
}

std::string fileStamp(const std::string& path) {
    return stampOf(path);
}

void writeFileSafely(const std::string& path, const std::string& bytes,
                     std::optional<fs::file_time_type> time) {
    SafeWriteOptions options;
    options.modificationTime = time;
    replaceFileSafely(path, bytes, "Unable to write to " + path, options);
}

}  // namespace sivaro
