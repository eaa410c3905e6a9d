#pragma once
// The import engine: the run over the registered sources of a data folder and the import of one
// source into its target tables. Headless; it speaks to the window, the batch command or a test
// through ImportHost. A record's error becomes a "linha:" line in the log and the run goes on;
// any other error leaves runSources (the whole run stops) with the tables closed and whole.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "barcode/paint/TVxBarcode.h"
#include "import/ImportHost.h"
#include "store/TableStore.h"

namespace sivaro {

class RunHistory;
class TableRules;
struct SourceRun;

class ImportEngine {
  public:
    // Makes the table store for a data folder; called by the first run only.
    using StoreFactory = std::function<std::unique_ptr<TableStore>(const std::string& dataFolder)>;

    ImportEngine(ImportHost& host, StoreFactory storeFactory);
    ~ImportEngine();

    // Imports the host's selected source, or every source from the first while the host says
    // all; clears the cancel flag first.
    void runSources();
    // runSources rehearsed: the very same run, its preparation, rules, lookups and posts
    // included, with every table changed in memory only and dropped at the end, so that no file
    // of the data folder changes. The log and the summaries are those of the real run.
    void rehearse();
    bool rehearsing() const { return m_rehearsing; }
    // Sets the cancel flag: the run stops at its next record.
    void cancel() { m_cancel = true; }
    bool cancelled() const { return m_cancel; }

    // Imports one source into the tables of its target table list.
    void Importa(const std::string& source, const std::string& tableList);

    // Points the city table handle tCid at {data folder}/db.
    void pointCityTable();

    // The warning of every real run: the product must be closed on every workstation.
    static std::string productWarning(const std::string& dataFolder);

    // Gives an 11-character CPF or a 14-character CGC its punctuation.
    static std::string FormataCgc(std::string_view value);

    // The hidden barcode b as the main window's form stores it: EAN-13 at 0.015 inch, 115
    // pixels wide, not visible.
    static const char* const kBarcodeForm;

    // The hidden EAN-13 barcode b: 12 digits in, painted, the 13-digit code with its check
    // digit out. Raises EBarCodeError for data it refuses.
    std::string correctEan13(const std::string& twelveDigits);
    // The main window's own hidden barcode, used instead of the engine's (kept alive by it).
    void setBarcode(TVxBarcode& b) { m_barcode = &b; }

    ImportHost& host() { return m_host; }
    TableStore& store();
    Table& tCid();  // made on first use, bound to "cidade.db"

  private:
    friend class TableRules;

    void prepare(SourceRun& run);
    void recordLoop(SourceRun& run);
    void endSource(SourceRun& run);
    // The review list of the source's code lookups, and their counts in its summary.
    void writeReview(SourceRun& run);
    bool readDelimitedRecord(SourceRun& run);
    bool readRecordTypeRecord(SourceRun& run);
    bool lookupKey(SourceRun& run);
    void writeDefaults(SourceRun& run);
    void writeMappedValues(SourceRun& run, int t);
    void buildPlan(SourceRun& run, int t);
    void logRecordError(SourceRun& run, const std::string& message, bool withCode);
    void cancelPendingRows(SourceRun& run);
    // True, with the log's reason, when the source's failed records reached "LimiteFalhas".
    bool failureLimitReached(SourceRun& run);
    void refuse(SourceRun& run, const std::string& message);
    void advanceCounter(SourceRun& run);
    int counter(const SourceRun& run) const;

    ImportHost& m_host;
    StoreFactory m_storeFactory;
    std::unique_ptr<TableStore> m_store;
    std::unique_ptr<Table> m_tCid;
    std::string m_tCidFolder;
    std::unique_ptr<TableRules> m_rules;
    TVxBarcode m_b;
    TVxBarcode* m_barcode = &m_b;
    bool m_cancel = false;
    bool m_rehearsing = false;
    RunHistory* m_history = nullptr;  // the real run under way, if any
};

}  // namespace sivaro
