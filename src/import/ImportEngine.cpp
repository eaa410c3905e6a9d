#include "import/ImportEngine.h"

#include <chrono>
#include <filesystem>

#include "barcode/paint/BarcodeControlForm.h"
#include "import/RunHistory.h"
#include "import/SourceRun.h"
#include "import/TableRules.h"
#include "store/Rehearsal.h"
#include "store/TableFileRoutines.h"
#include "util/CodePage.h"
#include "util/Cp1252Literal.h"
#include "util/Errors.h"
#include "util/FormatSettings.h"
#include "util/MessageKinds.h"
#include "util/Paths.h"
#include "util/ProfileFile.h"
#include "util/StringUtils.h"

namespace sivaro {

namespace {

// Cuts a list at every occurrence of the separator, from the left, until it is used up.
std::vector<std::string> cutList(std::string text, std::string_view separator) {
    std::vector<std::string> items;
    while (!text.empty()) items.push_back(SeparaCampos(text, separator));
    return items;
}

// The original's Copy(text, start, count): a start below 1 counts as 1.
std::string copyText(const std::string& text, int start, int count) {
    if (start < 1) start = 1;
    if (count <= 0 || static_cast<size_t>(start) > text.size()) return {};
    return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
}

std::int32_t layoutNumber(const std::string& text, const std::string& section,
                          const std::string& key, const std::string& entry) {
    std::int32_t value = 0;
    if (!tryParseInteger(text, value))
        throw EConvertError("Layout inválido em ["_cp1252 + section + "] " + key + "=" + entry +
                            ": '" + text + "' não é um número inteiro"_cp1252);
    return value;
}

}  // namespace

void SourceRun::keepOpen(Table& handle) {
    if (!handle.active() || store == nullptr) return;
    for (const auto& k : kept)
        if (k->databaseName() == handle.databaseName() &&
            sameText(k->tableName(), handle.tableName()))
            return;
    std::unique_ptr<Table> keeper = store->createTable();
    keeper->setDatabaseName(handle.databaseName());
    keeper->setTableName(handle.tableName());
    keeper->open();
    kept.push_back(std::move(keeper));
}

void SourceRun::closeKept() {
    for (auto& k : kept) k->close();
    kept.clear();
}

SourceRun::~SourceRun() {
    for (auto& k : kept) {
        try {
            k->close();
        } catch (...) {
            // As below: the run already reported its error.
        }
    }
    for (TargetTable& t : tables) {
        if (!t.table) continue;
        try {
            if (t.table->active()) {
                if (t.table->state() == DataSetState::Insert ||
                    t.table->state() == DataSetState::Edit)
                    t.table->cancel();
                t.table->close();
            }
        } catch (...) {
            // A table that cannot be closed here already reported its error to the run.
        }
    }
}

void SourceRun::invalidatePlans() {
    for (TargetTable& t : tables) t.planValid = false;
}

const MappingEntry* SourceRun::mappingOf(int i) {
    // Pairs are only ever added at the end, and the mapping list stays as read.
    while (static_cast<int>(pairMappings.size()) < record.size())
        pairMappings.push_back(mappings.find(record[static_cast<int>(pairMappings.size())].name));
    return pairMappings[static_cast<size_t>(i)];
}

const std::vector<int>& SourceRun::keyPairs() {
    if (keyPairsFor == record.size()) return keyPairIndexes;
    keyPairIndexes.clear();
    for (const std::string& keyName : options.keyFields) {
        for (int i = 0; i < record.size(); ++i) {
            const MappingEntry* m = mappingOf(i);
            if (m != nullptr && sameText(m->keyFieldPart, keyName)) {
                keyPairIndexes.push_back(record.indexOf(record[i].name));
                break;
            }
        }
    }
    keyPairsFor = record.size();
    return keyPairIndexes;
}

ImportEngine::ImportEngine(ImportHost& host, StoreFactory storeFactory)
    : m_host(host),
      m_storeFactory(std::move(storeFactory)),
      m_rules(std::make_unique<TableRules>(*this)) {
    loadBarcodeControl(m_b, kBarcodeForm);
}

const char* const ImportEngine::kBarcodeForm =
    "Left = 8\n"
    "Top = 8\n"
    "Width = 115\n"
    "Height = 95\n"
    "BarCodeType = bcEAN_13\n"
    "BarColor = Black\n"
    "BarWidth = 0.015\n"
    "Data = '0000000000000'\n"
    "WideBarRatio = 3\n"
    "Color = White\n"
    "Font.Name = 'Courier New'\n"
    "Visible = False\n";

std::string ImportEngine::correctEan13(const std::string& twelveDigits) {
    m_barcode->SetData(twelveDigits);
    // Assigning the data the model already holds does nothing, so a code it refused for the
    // previous record would pass unchecked and come back as its 12 characters: check it again.
    m_barcode->CheckData();
    // Painting builds the pattern, which completes the data with its check digit. The barcode
    // is never shown: it paints on an image of its own when no window paints it.
    m_barcode->Paint();
    const std::string& completed = m_barcode->Data();
    if (completed.size() != 13 || completed.compare(0, 12, twelveDigits) != 0)
        throw EBarCodeError("EAN-13 barcodes must be 12 digits (13 with check digit)");
    return completed;
}

ImportEngine::~ImportEngine() = default;

TableStore& ImportEngine::store() {
    if (!m_store) m_store = m_storeFactory(m_host.dataFolder());
    return *m_store;
}

Table& ImportEngine::tCid() {
    if (!m_tCid) {
        m_tCid = store().createTable();
        m_tCid->setTableName("cidade.db");
        if (!m_tCidFolder.empty()) m_tCid->setDatabaseName(m_tCidFolder);
    }
    return *m_tCid;
}

void ImportEngine::pointCityTable() {
    m_tCidFolder = resolvePath(m_host.dataFolder(), "db");
    if (m_tCid) {
        m_tCid->close();
        m_tCid->setDatabaseName(m_tCidFolder);
    }
}

std::string ImportEngine::productWarning(const std::string& dataFolder) {
    // The product's engine keeps a user file in the net folder and lock files beside the
    // tables, but a live session cannot be told from the files a stopped one left behind, and
    // it knows nothing of this importer's locks: only the operator can make sure it is closed.
    std::string text =
        "Aviso: feche o SIVARO PLUS em todas as estações que usam a pasta "_cp1252 + dataFolder +
        " antes de importar; ele não respeita as travas deste importador, e os seus arquivos "
        "de trava não dizem se ele está aberto."_cp1252;
    std::string found;
    for (const char* file : {"net/PDOXUSRS.NET", "db/PDOXUSRS.LCK", "db/PARADOX.LCK"})
        if (pathExists(dataFolder, file)) found += std::string(found.empty() ? "" : ", ") + file;
    if (!found.empty())
        text +=
            " Arquivos de trava do produto na pasta (de uma sessão aberta ou restos de "
            "uma encerrada): "_cp1252 +
            found + ".";
    return text;
}

void ImportEngine::runSources() {
    store();  // set-up of the connection, once per program run
    FormatSettings& settings = formatSettings();
    settings.dateSeparator = '/';
    settings.shortDateFormat = "dd/mm/yyyy";
    m_cancel = false;

    int index = m_host.importAll() ? 0 : m_host.selectedSource();
    if (index < 0) return;
    if (!m_rehearsing) m_host.showWarning(productWarning(m_host.dataFolder()));
    // A real run keeps the previous files of whatever it changes, so that it can be undone.
    std::unique_ptr<RunHistory> history;
    if (!m_rehearsing)
        history =
            std::make_unique<RunHistory>(m_host.dataFolder(), m_host.ranBy(), m_host.definitions());
    struct Forget {
        RunHistory*& current;
        ~Forget() { current = nullptr; }
    } forget{m_history};
    m_history = history.get();
    try {
        for (;;) {
            const std::vector<std::string> sources = m_host.sources();
            if (index >= static_cast<int>(sources.size())) break;
            const std::string& name = sources[static_cast<size_t>(index)];
            Importa(name, m_host.definitions().readString("arquivos", name, ""));
            ++index;
            if (!m_host.importAll()) break;
        }
    } catch (const std::exception& e) {
        if (history) {
            try {
                history->finish(kRunStopped, e.what());
            } catch (const std::exception&) {
                // The run's own error is the one to report.
            }
        }
        throw;
    }
    if (history) history->finish(m_cancel ? kRunCancelled : kRunFinished, "");
}

void ImportEngine::rehearse() {
    Rehearsal rehearsal;
    m_rehearsing = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{m_rehearsing};
    runSources();
}

void ImportEngine::refuse(SourceRun& run, const std::string& message) {
    m_host.addLogLine(message);
    m_host.MostraMensagem("Erro ao importar", message, kIconStop, kButtonsOk);
    run.summary.imported = false;
    run.summary.refusal = message;
}

int ImportEngine::counter(const SourceRun& run) const {
    return run.gauge.position;
}

void ImportEngine::advanceCounter(SourceRun& run) {
    run.gauge.setPosition(run.gauge.position + 1);
    m_host.gaugeChanged(run.gauge);
    m_host.setLineCounter(std::to_string(run.gauge.position));
}

void ImportEngine::Importa(const std::string& source, const std::string& tableList) {
    if (m_cancel) return;
    const auto started = std::chrono::steady_clock::now();

    SourceRun run;
    run.source = source;
    run.tableList = tableList;
    run.tableListUpper = upperAscii(tableList);
    run.dataFolder = m_host.dataFolder();
    // Sub-folders are matched without regard to case, as every name inside the data folder.
    run.dbFolder = resolvePath(run.dataFolder, "db");
    run.summary.source = source;
    run.summary.rehearsal = m_rehearsing;

    // A source or table name must not lead out of the data folder.
    if (leavesFolder(source)) {
        refuse(run, "Arquivo de origem recusado: o nome '" + source +
                        "' aponta para fora da pasta de dados");
        m_host.sourceFinished(run.summary);
        return;
    }
    const std::string sourcePath = resolvePath(run.dataFolder, source);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(osPath(sourcePath), ec)) {
        // Passed over without a word in the window; the batch command says so.
        run.summary.missing = true;
        m_host.sourceFinished(run.summary);
        return;
    }
    const std::vector<std::string> tableNames = cutList(tableList, ",");
    if (tableNames.empty()) {
        run.summary.refusal =
            "Arquivo " + source + " sem tabela de destino em [Arquivos]: não importado"_cp1252;
        m_host.addLogLine(run.summary.refusal);
        m_host.sourceFinished(run.summary);
        return;
    }
    for (const std::string& name : tableNames) {
        if (name.empty() || leavesFolder(name)) {
            refuse(run, "Arquivo " + source + " recusado: a tabela de destino '" + name +
                            "' não é um nome de tabela da pasta db"_cp1252);
            m_host.sourceFinished(run.summary);
            return;
        }
    }
    run.summary.imported = true;

    m_host.setImportingLabel("Importando: " + source);
    tCid().close();

    prepare(run);
    if (!run.summary.imported) {
        m_host.sourceFinished(run.summary);
        return;
    }
    recordLoop(run);
    endSource(run);
    writeReview(run);

    run.summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (m_history) m_history->sourceFinished(run.summary);
    m_host.sourceFinished(run.summary);
    // The source's last line in the log, after the batch command's summary.
    if (run.review.lookups() > 0)
        m_host.addLogLine(run.review.summaryLine(source, run.summary.reviewFile));
}

void ImportEngine::writeReview(SourceRun& run) {
    const ReviewList& review = run.review;
    run.summary.lookupsExact = review.exact();
    run.summary.lookupsSimilar = review.similar();
    run.summary.lookupsRefused = review.refused();
    run.summary.lookupsNotFound = review.notFound();
    const std::string name = ReviewList::fileName(run.source);
    if (m_rehearsing) {
        // Nothing on disk changes in a rehearsal: the log names the list a real run would write.
        if (!review.items().empty()) run.summary.reviewFile = name;
        return;
    }
    if (review.items().empty() && !pathExists(run.dataFolder, name)) return;
    const std::string path = resolvePath(run.dataFolder, name);
    try {
        // A run that is undone takes its list away, or puts back the one before it.
        if (m_history) m_history->beforeFileChange(path);
        run.summary.reviewFile = review.write(run.dataFolder, run.source);
        if (m_history) m_history->afterFileChange(path);
    } catch (const std::exception& e) {
        // The rows are written; only the list for checking them is missing, and the log says so.
        m_host.addLogLine(utf8ToCp1252("Lista de revisão de ") + run.source +
                          utf8ToCp1252(" não gravada: ") + e.what());
    }
}

void ImportEngine::prepare(SourceRun& run) {
    ProfileFile& defs = m_host.definitions();
    const std::string opcoes = run.source + ".opcoes";
    const std::string campos = run.source + ".campos";

    // Mapping list, noting whether codes come from the source.
    for (const std::string& column : defs.readSection(campos)) {
        MappingEntry entry = MappingEntry::parse(column, defs.readString(campos, column, ""));
        m_rules->noteMapping(run, entry);
        run.mappings.add(std::move(entry));
    }
    const std::string valorDefault = run.source + ".valordefault";
    for (const std::string& field : defs.readSection(valorDefault))
        run.defaults.emplace_back(field, defs.readString(valorDefault, field, ""));

    run.options.limparTabela = defs.readInteger(opcoes, "LimparTabela", 0);
    // A ";" typed at an end, or twice, leaves an empty name that no table has.
    for (const std::string& name : cutList(defs.readString(opcoes, "CampoChave", ""), ";")) {
        std::string keyName = trim(name);
        if (keyName.empty()) continue;
        if (!run.options.campoChave.empty()) run.options.campoChave += ';';
        run.options.campoChave += keyName;
        run.options.keyFields.push_back(std::move(keyName));
    }
    run.options.delCamp = defs.readString(opcoes, "DelCamp", "\t");
    run.options.delReg = defs.readInteger(opcoes, "DelReg", 0);
    run.options.umPorLin = defs.readBool(opcoes, "UmPorLin", true);
    run.options.limiteFalhas = defs.readInteger(opcoes, "LimiteFalhas", 0);

    const std::string sourcePath = resolvePath(run.dataFolder, run.source);
    run.reader.open(sourcePath);
    if (run.options.umPorLin) {
        std::string header = run.reader.readLine();
        run.rawHeader = header;
        if (run.options.delReg == 1)
            header = header.size() <= 2 ? std::string() : header.substr(1, header.size() - 2);
        for (std::string& name : cutList(header, run.options.delCamp))
            run.record.add(std::move(name));
    } else {
        for (const std::string& column : defs.readSection(campos)) run.record.add(column);
    }

    int count = 0;
    while (!run.reader.eof()) {
        run.reader.skipLine();
        ++count;
    }
    run.reader.close();
    run.reader.open(sourcePath);
    if (run.options.umPorLin) {
        run.reader.readLine();
    } else if (!run.reader.eof()) {
        // The first line of a record-type source may start a record: keep it for the search.
        // It is a line of the source like any other, and is counted as read.
        run.pendingLine = run.reader.readLine();
        run.hasPendingLine = true;
        ++run.summary.linesRead;
        run.pendingLineNumber = run.summary.linesRead;
    }
    run.gauge.setMaximum(count);
    m_host.gaugeChanged(run.gauge);

    run.store = &store();
    for (const std::string& name : cutList(run.tableList, ",")) {
        TargetTable target;
        target.name = name;
        target.fileName = name + ".db";
        target.fileNameUpper = upperAscii(target.fileName);
        target.table = store().createTable();
        target.table->setDatabaseName(run.dbFolder);
        target.table->setTableName(target.fileName);
        run.tables.push_back(std::move(target));
        run.summary.tables.push_back(TableCounts{name, 0, 0});
    }

    for (size_t k = 1; k <= run.tables.size(); ++k) {
        std::string extra = defs.readString(opcoes, std::to_string(k), "");
        if (!extra.empty()) run.record.add(std::move(extra));
    }

    // A key that no mapped column feeds could never be looked up: refuse before writing.
    if (!run.options.campoChave.empty()) {
        for (const std::string& keyName : run.options.keyFields) {
            bool fed = false;
            for (int i = 0; i < run.record.size() && !fed; ++i) {
                const MappingEntry* m = run.mappings.find(run.record[i].name);
                fed = m != nullptr && sameText(m->keyFieldPart, keyName);
            }
            if (!fed) {
                refuse(run, "Arquivo " + run.source + " recusado: o Campo Chave '" + keyName +
                                "' não corresponde a nenhuma coluna associada"_cp1252);
                return;
            }
        }
    }

    pointCityTable();

    if (run.options.limparTabela == 1) {
        for (TargetTable& t : run.tables) {
            t.table->emptyTable();
            GravaAutoInc(joinPath(t.table->databaseName(), t.fileName), 0);
        }
    }

    m_rules->codeFieldTypeBefore(run);

    for (TargetTable& t : run.tables) {
        t.table->open();
        t.written.assign(static_cast<size_t>(t.table->fieldCount()), 0);
    }
    if (!m_rehearsing) {
        FailedRecords::Layout layout;
        layout.delimited = run.options.umPorLin;
        layout.delimiter = run.options.delCamp;
        layout.delReg = run.options.delReg;
        layout.header = run.rawHeader;
        layout.recordStart = defs.readString(opcoes, "IniReg", "");
        run.failed = std::make_unique<FailedRecords>(
            resolvePath(run.dataFolder, FailedRecords::fileName(run.source)), run.source, layout);
    }
    run.gauge.setMinimum(0);
    run.gauge.setPosition(1);
    run.gauge.visible = true;
    m_host.gaugeChanged(run.gauge);
}

bool ImportEngine::readDelimitedRecord(SourceRun& run) {
    // A record dropped by the city check reads the next one without an end-of-file test: past
    // the end there is no line to count.
    if (!run.reader.eof()) ++run.summary.linesRead;
    run.reader.readLine(run.line);
    run.recordLine = run.summary.linesRead + 1;  // after the header
    run.recordLines.assign(1, run.line);
    std::string_view line = run.line;
    if (run.options.delReg == 1)
        line = line.size() <= 2 ? std::string_view() : line.substr(1, line.size() - 2);
    if (line.empty()) return false;
    int k = 0;
    while (!line.empty()) {
        if (k >= run.record.size()) {
            m_host.MostraMensagem("Erro ao importar",
                                  "Favor verificar a linha " + std::to_string(counter(run)) +
                                      " pois deve ter caracteres estranhos",
                                  kIconStop, kButtonsOk);
            break;
        }
        const std::string_view piece = trimmed(SeparaCampos(line, run.options.delCamp));
        if (!piece.empty()) run.record[k].value.assign(piece);
        ++k;
    }
    return true;
}

bool ImportEngine::readRecordTypeRecord(SourceRun& run) {
    ProfileFile& defs = m_host.definitions();
    const std::string opcoes = run.source + ".opcoes";
    advanceCounter(run);
    const int numLinReg = defs.readInteger(opcoes, "NumLinReg", 0);
    const std::string iniReg = defs.readString(opcoes, "IniReg", "");

    // Search the record start, beginning with the line not yet examined, if any. An empty
    // start text never matches.
    for (;;) {
        if (run.hasPendingLine) {
            if (!iniReg.empty() && run.pendingLine.find(iniReg) != std::string::npos) break;
            run.hasPendingLine = false;
        }
        if (run.reader.eof()) return false;  // no start before the end: no record
        advanceCounter(run);
        run.pendingLine = run.reader.readLine();
        ++run.summary.linesRead;
        run.pendingLineNumber = run.summary.linesRead;
        run.hasPendingLine = true;
    }
    std::string line = std::move(run.pendingLine);
    run.hasPendingLine = false;
    run.recordLine = run.pendingLineNumber;
    run.recordLines.assign(1, line);

    for (int k = 1; k <= numLinReg; ++k) {
        const std::string section = run.source + ".campos.linha" + std::to_string(k);
        for (const std::string& key : defs.readSection(section)) {
            const std::string entry = defs.readString(section, key, "");
            const size_t comma = entry.find(',');
            const std::string startText =
                comma == std::string::npos ? std::string() : entry.substr(0, comma);
            const std::string lengthText =
                entry.substr(comma == std::string::npos ? 0 : comma + 1, 100);
            const int start = layoutNumber(startText, section, key, entry);
            const int length = layoutNumber(lengthText, section, key, entry);
            std::string value = trim(copyText(line, start, length));
            const int i = run.record.indexOf(key);
            if (i >= 0) {
                run.record[i].value = std::move(value);
            } else {
                run.record.add(key, std::move(value));
                run.invalidatePlans();
            }
        }
        const bool atEnd = run.reader.eof();
        line = run.reader.readLine();
        if (!atEnd) ++run.summary.linesRead;
        if (!atEnd && k < numLinReg) run.recordLines.push_back(line);
        advanceCounter(run);
        // The line after the last layout line may start the next record.
        run.hasPendingLine = !atEnd;
    }
    if (run.hasPendingLine) {
        // The line after the last layout line: the next record may start there.
        run.pendingLine = std::move(line);
        run.pendingLineNumber = run.summary.linesRead;
    }
    return true;
}

bool ImportEngine::lookupKey(SourceRun& run) {
    std::vector<std::string>& values = run.keyValues;
    values.clear();
    for (const int pair : run.keyPairs()) values.push_back(run.record[pair].value);
    return run.tables[0].table->locate(run.options.campoChave, values, false);
}

void ImportEngine::writeDefaults(SourceRun& run) {
    for (TargetTable& t : run.tables) {
        for (const auto& [name, value] : run.defaults) {
            Field* f = t.table->findField(name);
            if (f == nullptr) continue;
            f->setAsString(value);
            t.written[static_cast<size_t>(f->index())] = 1;
        }
    }
}

void ImportEngine::buildPlan(SourceRun& run, int t) {
    TargetTable& target = run.tables[static_cast<size_t>(t)];
    target.plan.clear();
    for (int i = 0; i < run.record.size(); ++i) {
        const MappingEntry* m = run.mappingOf(i);
        if (m == nullptr) continue;
        if (m->tablePart + ".db" != target.fileName) continue;
        Field* f = target.table->findField(m->fieldPart);
        if (f == nullptr) continue;
        if (m->beforeComma == run.options.campoChave) continue;
        WritePlan p;
        p.pair = i;
        p.valuePair = run.record.indexOf(run.record[i].name);
        p.field = f;
        p.fieldPartUpper = upperAscii(m->fieldPart);
        target.plan.push_back(std::move(p));
    }
    target.written.assign(static_cast<size_t>(target.table->fieldCount()), 0);
    m_rules->findRuleFields(run, t);
    target.planValid = true;
}

void ImportEngine::writeMappedValues(SourceRun& run, int t) {
    TargetTable& target = run.tables[static_cast<size_t>(t)];
    const char decimalSeparator = formatSettings().decimalSeparator;
    const size_t dateLength = formatSettings().shortDateFormat.size();
    for (const WritePlan& p : target.plan) {
        std::string& stored = run.record[p.valuePair].value;
        std::string value = stored;
        m_rules->normalise(run, p.fieldPartUpper, value);
        if (!value.empty() && value != stored) stored = value;

        Field& f = *p.field;
        const FieldType type = f.dataType();
        if (type == FieldType::Date && !value.empty()) {
            value = value.substr(0, dateLength);
            stored = value;
        } else if (type == FieldType::Float && value.size() >= 8 && decimalSeparator != '.') {
            // The first "." is a thousands separator where the decimal one is ","; where "." is
            // the decimal separator removing it would change the amount, so it stays.
            const size_t dot = value.find('.');
            if (dot != std::string::npos) value.erase(dot, 1);
            stored = value;
        }

        char& written = target.written[static_cast<size_t>(f.index())];
        if (type == FieldType::String && written) {
            const std::string current = f.asString();
            f.setAsString(current.empty() ? value : current + " " + value);
        } else {
            f.setAsString(value);
        }
        written = 1;
    }
}

void ImportEngine::cancelPendingRows(SourceRun& run) {
    for (TargetTable& t : run.tables) {
        if (!t.table->active()) continue;
        const DataSetState s = t.table->state();
        if (s == DataSetState::Insert || s == DataSetState::Edit) t.table->cancel();
    }
}

void ImportEngine::logRecordError(SourceRun& run, const std::string& message, bool withCode) {
    std::string code;
    if (withCode && !run.tables.empty() && run.tables[0].table->active()) {
        try {
            if (Field* cod = run.tables[0].table->findField("cod")) code = cod->asString();
        } catch (const std::exception&) {
        }
    }
    const std::string line = "linha:" + std::to_string(counter(run)) + " " + message + code;
    m_host.addLogLine(line);
    m_host.recordFailed(line, run.source, run.recordLine);
    if (run.failed) run.failed->add(run.recordLine, run.recordLines, message + code);
}

void ImportEngine::recordLoop(SourceRun& run) {
    ProfileFile& defs = m_host.definitions();
    const std::string opcoes = run.source + ".opcoes";
    bool skipCounter = false;  // a record dropped by the city check goes straight to the next

    while (skipCounter || !run.reader.eof() || run.hasPendingLine) {
        if (!skipCounter) {
            advanceCounter(run);
            m_host.processMessages();
            if (m_cancel) break;
        }
        skipCounter = false;
        run.record.clearValues();

        const bool delimited = defs.readBool(opcoes, "UmPorLin", true);
        if (delimited ? !readDelimitedRecord(run) : !readRecordTypeRecord(run)) continue;

        switch (m_rules->recordChecks(run)) {
            case RecordCheck::Keep:
                break;
            case RecordCheck::Drop:
                ++run.summary.recordsDropped;
                continue;
            case RecordCheck::DropAndReadNext:
                ++run.summary.recordsDropped;
                skipCounter = true;
                continue;
        }

        bool found = false;
        if (!run.options.campoChave.empty()) {
            try {
                found = lookupKey(run);
            } catch (const EConvertError& e) {
                // A key value the key field cannot hold matches no row and could not be
                // written either: the record fails alone instead of stopping the run.
                ++run.summary.recordsFailed;
                logRecordError(run, e.what(), false);
                if (failureLimitReached(run)) break;
                continue;
            }
        }

        for (size_t t = 0; t < run.tables.size(); ++t) {
            TargetTable& target = run.tables[t];
            if (!target.planValid) buildPlan(run, static_cast<int>(t));
            std::fill(target.written.begin(), target.written.end(), 0);
            // Only the main table is looked up; the other tables always receive new rows,
            // never an edit of whatever row they happen to stand on.
            if (t == 0 && found)
                target.table->edit();
            else
                target.table->insert();
        }

        writeDefaults(run);

        try {
            for (size_t t = 0; t < run.tables.size(); ++t) {
                writeMappedValues(run, static_cast<int>(t));
                m_rules->perTable(run, static_cast<int>(t));
                Table& table = *run.tables[t].table;
                const bool editing = table.state() == DataSetState::Edit;
                table.post();
                TableCounts& counts = run.summary.tables[t];
                ++(editing ? counts.updated : counts.inserted);
                // The main row stays written whatever becomes of the other tables' rows.
                if (t == 0) ++(found ? run.summary.rowsUpdated : run.summary.rowsInserted);
            }
        } catch (const std::exception& e) {
            ++run.summary.recordsFailed;
            logRecordError(run, e.what(), true);
            cancelPendingRows(run);
            if (failureLimitReached(run)) break;
        }
    }
}

bool ImportEngine::failureLimitReached(SourceRun& run) {
    const int limit = run.options.limiteFalhas;
    if (limit <= 0 || run.summary.recordsFailed < limit) return false;
    // A wrong mapping fails every record: the rest of the source is not read.
    cancelPendingRows(run);
    run.summary.stoppedAtLimit = true;
    m_host.addLogLine(
        "Origem " + run.source + " interrompida na linha " + std::to_string(counter(run)) + ": " +
        std::to_string(run.summary.recordsFailed) +
        " registros com erro atingiram o limite LimiteFalhas=" + std::to_string(limit) + " de [" +
        run.source + ".opcoes]");
    return true;
}

void ImportEngine::endSource(SourceRun& run) {
    if (run.failed) run.failed->finish(m_history);
    for (TargetTable& t : run.tables) t.table->close();
    tCid().close();
    run.closeKept();
    m_rules->endOfSource(run);
    run.gauge.visible = false;
    m_host.gaugeChanged(run.gauge);
}

}  // namespace sivaro
