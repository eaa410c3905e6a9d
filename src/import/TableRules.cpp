#include "import/TableRules.h"

#include <cmath>
#include <limits>

#include "import/ImportEngine.h"
#include "import/SourceRun.h"
#include "store/TableFileRoutines.h"
#include "util/CodePage.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/Paths.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

constexpr std::int64_t kBranchCodeStep = 50000;
const std::string kNoText;

// The five code lookups, in their order: lookup table, code field of the table written, name
// field of the lookup table, mark of the source columns that hold the names, and whether a
// similar name may stand for one not found. A merchandise reference is a code: a reference
// that differs from a row's "codbar" by one character or by letters is another item, so
// references are taken only when a row holds them exactly.
struct LookupSpec {
    const char* table;
    const char* codeField;
    const char* nameField;
    const char* mark;
    bool bySound;
};
constexpr LookupSpec kLookups[] = {{"cidade", "codcid", "cid", "cidade", true},
                                   {"marca", "codmar", "mar", "marca", true},
                                   {"secmer", "codsecmer", "secmer", "secao", true},
                                   {"mercador", "codmer", "codbar", "referencia", false},
                                   {"padmer", "codpad", "padmer", "cor", true}};

std::int32_t branchNumber(const std::string& value) {
    std::int32_t n = 0;
    if (!tryParseInteger(value, n))
        throw EConvertError("'" + value + "' não é um número de filial válido"_cp1252);
    return n;
}

// The folder of a branch's tables: "db" and the branch value, beside "db" and spelt as on disk
// (found once a source for each value).
const std::string& branchFolder(SourceRun& run, std::string_view branch) {
    if (branch.empty()) return run.dbFolder;
    for (const auto& [value, folder] : run.branchFolders)
        if (value == branch) return folder;
    run.branchFolders.emplace_back(std::string(branch),
                                   resolvePath(run.dataFolder, "db" + std::string(branch)));
    return run.branchFolders.back().second;
}

// Amounts in the original's currency type: 64-bit counts of ten-thousandths.
std::int64_t toCurrencyUnits(double value) {
    return std::llround(value * 10000.0);
}

}  // namespace

TableRules::TableRules(ImportEngine& engine) : m_engine(engine) {}
TableRules::~TableRules() = default;

void TableRules::noteMapping(SourceRun& run, const MappingEntry& entry) {
    // Codes come from the source when a mapping's first ".COD" ends it. The old test also took
    // any three-character mapping ("cid") for one, which turned "cod" into a plain integer for
    // a source without codes and lost its rows to key violations; only a real ".cod" counts.
    const std::string upper = upperAscii(entry.beforeComma);
    const size_t found = upper.find(".COD");
    if (found != std::string::npos && found + 4 == upper.size()) run.codeMappingFlag = true;
}

void TableRules::codeFieldTypeBefore(SourceRun& run) {
    Table& main = *run.tables[0].table;
    if (run.codeMappingFlag) {
        // The type was changed in the main folder's table. The records may have left the handle
        // on a branch folder, whose table was never changed: its type says nothing of the one
        // to give back.
        if (main.databaseName() != run.dbFolder) main.setDatabaseName(run.dbFolder);
        const bool autoInc = main.storedFieldType("cod") == FieldType::AutoInc;
        if (autoInc)
            AlteraCampo(main.databaseName(), main.tableName(), "cod", "cod",
                        fieldTypeNumber(FieldType::Integer), 0);
    } else {
        AlteraCampo(main.databaseName(), main.tableName(), "cod", "cod",
                    fieldTypeNumber(FieldType::AutoInc), 0);
    }
}

RecordCheck TableRules::recordChecks(SourceRun& run) {
    Table& main = *run.tables[0].table;

    if (run.codeMappingFlag && main.fieldByName("cod").dataType() == FieldType::Integer) {
        const std::string cod = run.record.valueOf("cod");
        if (!cod.empty() && !EhInteiro(cod)) return RecordCheck::Drop;
    }

    if (run.options.campoChave == "cod") {
        for (int i = 0; i < run.record.size(); ++i) {
            const MappingEntry* m = run.mappingOf(i);
            if (m == nullptr || m->mapping != "cod") continue;
            if (!EhInteiro(run.record[i].value)) return RecordCheck::Drop;
            break;
        }
    }

    const int filial = run.record.indexOf("filial");
    const std::string_view branch =
        filial < 0 ? std::string_view() : std::string_view(run.record[filial].value);
    if (branch != run.branch) {
        const std::string wanted = branchFolder(run, branch);
        Table& tCid = m_engine.tCid();
        // Records of several branches may alternate: a second handle keeps each table loaded
        // for the rest of the source, so that a switch neither writes nor reads the table whole.
        run.keepOpen(main);
        run.keepOpen(tCid);
        main.close();
        tCid.close();
        main.setDatabaseName(wanted);
        tCid.setDatabaseName(wanted);
        tCid.open();
        main.open();
        run.invalidatePlans();
        run.branch.assign(branch);
    }

    if (run.tableListUpper == "CIDADE") {
        Table& tCid = m_engine.tCid();
        // The check is against the city table itself, whatever lookup an earlier source left.
        if (tCid.tableName() != "cidade") {
            tCid.close();
            tCid.setTableName("cidade");
        }
        tCid.open();
        for (const MappingEntry& m : run.mappings.entries()) {
            if (m.mapping != "cid") continue;
            const std::string value = run.record.valueOf(m.column);
            if (value.empty() || tCid.locate("cid", {value}, false))
                return RecordCheck::DropAndReadNext;
        }
        tCid.close();
    }
    return RecordCheck::Keep;
}

void TableRules::normalise(SourceRun& /*run*/, const std::string& fieldUpper, std::string& value) {
    if (value.empty()) return;
    std::string result;
    if (fieldUpper == "CEP" || fieldUpper == "NCM") {
        result = ApagaTexto(".", ApagaTexto(" ", ApagaTexto("-", value, 0), 0), 0);
        if (fieldUpper == "NCM" && !result.empty()) {
            const auto part = [&](size_t from, size_t count) {
                return from < result.size() ? result.substr(from, count) : std::string();
            };
            result = part(0, 4) + "." + part(4, 2) + "." + part(6, 2);
        }
    } else if (fieldUpper == "CGC") {
        result = ImportEngine::FormataCgc(value);
    } else {
        return;
    }
    if (!result.empty()) value = result;
}

// Derived names and amounts: each field, when empty, takes the other's value of the main table.
constexpr const char* kDerived[][2] = {
    {"raz", "fan"}, {"fan", "raz"}, {"valbru", "valliq"}, {"valliq", "valbru"}};

void TableRules::findRuleFields(SourceRun& run, int t) {
    TargetTable& target = run.tables[static_cast<size_t>(t)];
    for (size_t k = 0; k < std::size(kLookups); ++k)
        target.lookupCodes[k] = target.table->findField(kLookups[k].codeField);
    for (size_t k = 0; k < std::size(kDerived); ++k)
        target.derived[k] = target.table->findField(kDerived[k][0]);
}

void TableRules::perTable(SourceRun& run, int t) {
    Table& table = *run.tables[static_cast<size_t>(t)].table;
    Table& main = *run.tables[0].table;
    const std::string& fileUpper = run.tables[static_cast<size_t>(t)].fileNameUpper;

    for (size_t k = 0; k < std::size(kDerived); ++k) {
        Field* f = run.tables[static_cast<size_t>(t)].derived[k];
        if (f != nullptr && f->asString().empty())
            f->setAsString(main.fieldByName(kDerived[k][1]).asString());
    }

    if (fileUpper == "PEDSAI.DB") {
        const std::int64_t units = toCurrencyUnits(table.fieldByName("ValBru").asCurrency()) -
                                   toCurrencyUnits(table.fieldByName("ValLiq").asCurrency()) -
                                   toCurrencyUnits(table.fieldByName("ValDesTro").asCurrency());
        table.fieldByName("ValDes").setAsCurrency(static_cast<double>(units) / 10000.0);
    }

    const TargetTable& target = run.tables[static_cast<size_t>(t)];
    for (size_t k = 0; k < std::size(kLookups); ++k) {
        const LookupSpec& l = kLookups[k];
        m_lookup.lookup(run, target.lookupCodes[k], m_engine.tCid(), l.table, l.nameField, l.mark,
                        l.bySound);
    }

    const int filial = run.record.indexOf("filial");
    const std::string& branch = filial < 0 ? kNoText : run.record[filial].value;
    if (!branch.empty()) {
        const std::int64_t code = static_cast<std::int64_t>(main.fieldByName("cod").asInteger()) +
                                  static_cast<std::int64_t>(branchNumber(branch)) * kBranchCodeStep;
        if (code < std::numeric_limits<std::int32_t>::min() ||
            code > std::numeric_limits<std::int32_t>::max())
            throw EConvertError("código "_cp1252 + std::to_string(code) + " da filial " + branch +
                                " fora da faixa de um inteiro");
        table.fieldByName("cod").setAsInteger(static_cast<std::int32_t>(code));
    }

    if (run.tableListUpper == "MERCADOR") {
        Field& section = table.fieldByName("codsecmer");
        if (section.asString().empty()) section.setAsString("1");
        if (Field* codBar = table.findField("CodBar"))
            codBar->setAsString(TrocaTexto(" ", "-", codBar->asString(), 0));
        Field& ean = table.fieldByName("CodEan");
        const std::string stored = ean.asString();
        if (stored.size() == 13) {
            // The hidden barcode completes 12 digits with their check digit; a code it refuses
            // stays as it was.
            try {
                const std::string corrected = m_engine.correctEan13(stored.substr(0, 12));
                if (corrected != stored) ean.setAsString(corrected);
            } catch (const std::exception&) {
            }
        }
    }

    if (fileUpper == "PARPAG.DB" || fileUpper == "PARREC.DB") {
        Field& pag = table.fieldByName("Pag");
        if (pag.asString().empty())
            pag.setAsString(table.fieldByName("DatPag").asString().empty() ? "0" : "1");
        Field& numPar = table.fieldByName("NumPar");
        if (numPar.asString().empty()) numPar.setAsString("1");
        Field& codForPag = table.fieldByName("CodForPag");
        if (codForPag.asString().empty() && pag.asString() == "1") codForPag.setAsString("2");
        Field& vlrDif = table.fieldByName("VlrDif");
        if (vlrDif.asString().empty() && pag.asString() == "1") vlrDif.setAsString("0");
    }

    if (t == 1) table.field(1).setAsInteger(main.fieldByName("cod").asInteger());
}

void TableRules::endOfSource(SourceRun& run) {
    Table& main = *run.tables[0].table;
    if (run.codeMappingFlag) {
        // The type was changed in the main folder's table. The records may have left the handle
        // on a branch folder, whose table was never changed: its type says nothing of the one
        // to give back.
        if (main.databaseName() != run.dbFolder) main.setDatabaseName(run.dbFolder);
        const bool integer = main.storedFieldType("cod") == FieldType::Integer;
        if (integer)
            AlteraCampo(run.dbFolder, main.tableName(), "cod", "cod",
                        fieldTypeNumber(FieldType::AutoInc), 0);
    }
    if (run.tableListUpper == "MERCADOR") {
        std::unique_ptr<Query> query = m_engine.store().createQuery();
        query->setDatabaseName(run.dbFolder);
        for (const char* statement : {"update mercador set filtro = 0 where cod in (select "
                                      "max(cod) from mercador group by codbar)",
                                      "update mercador set filtro = 1 where filtro is null"}) {
            query->sql().clear();
            query->sql().push_back(statement);
            query->execSQL();
        }
    }
}

}  // namespace sivaro
