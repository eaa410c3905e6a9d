#pragma once
// What the import engine needs of its surroundings: the main window implements it, and so do the
// batch command and the tests. Everything here runs on the caller's one thread.

#include <cstdint>
#include <string>
#include <vector>

#include "util/MessageKinds.h"

namespace sivaro {

class ProfileFile;

// The progress gauge: its position stays between minimum and maximum, and the line counter
// shown everywhere is that clamped position.
struct Gauge {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
    bool visible = false;

    void setMaximum(int value) {
        maximum = value;
        if (minimum > maximum) minimum = maximum;
        setPosition(position);
    }
    void setMinimum(int value) {
        minimum = value;
        if (maximum < minimum) maximum = minimum;
        setPosition(position);
    }
    void setPosition(int value) {
        position = value > maximum ? maximum : (value < minimum ? minimum : value);
    }
};

// The rows one source posted into one of its target tables.
struct TableCounts {
    std::string table;  // as the target table list names it
    std::int64_t inserted = 0;
    std::int64_t updated = 0;
};

// What one source gave, for the batch command's summary.
struct SourceSummary {
    std::string source;
    std::int64_t linesRead = 0;  // lines after the header; every line of a record-type source
    // Rows of the main table written: a record whose later table failed still wrote its main row
    // and is counted here and among the failed ones.
    std::int64_t rowsInserted = 0;
    std::int64_t rowsUpdated = 0;
    std::int64_t recordsDropped = 0;  // by the record checks, without a message
    std::int64_t recordsFailed = 0;   // records with a "linha:" line in the log
    // The code lookups by name: exact, by a similar name, refused as too far, not found; and
    // the review list written for them (empty when there was nothing to review).
    std::int64_t lookupsExact = 0;
    std::int64_t lookupsSimilar = 0;
    std::int64_t lookupsRefused = 0;
    std::int64_t lookupsNotFound = 0;
    std::string reviewFile;
    double seconds = 0;
    bool imported = false;  // false when the source was passed over
    // Why a source was not imported: the source file is not there, or the source was refused
    // (a name that leads out of the folder, no or a bad target table, a key no column feeds),
    // with the message the log got. Neither is set for a source passed over after "Cancelar".
    bool missing = false;
    std::string refusal;
    bool rehearsal = false;           // the rows were posted in memory only and dropped at the end
    bool stoppedAtLimit = false;      // "LimiteFalhas" failed records stopped the source
    std::vector<TableCounts> tables;  // in the order of the target table list
};

class ImportHost {
  public:
    virtual ~ImportHost() = default;

    virtual std::string dataFolder() = 0;            // the text of eLoc
    virtual ProfileFile& definitions() = 0;          // the open Definicao.ini of that folder
    virtual std::vector<std::string> sources() = 0;  // the items of cbTab
    virtual int selectedSource() = 0;                // -1 when none
    virtual bool importAll() = 0;                    // "Todos", read again after every source

    virtual void gaugeChanged(const Gauge& gauge) = 0;            // st
    virtual void setImportingLabel(const std::string& text) = 0;  // lTab
    virtual void setLineCounter(const std::string& text) = 0;     // lLin
    virtual void addLogLine(const std::string& line) = 0;         // Memo1
    // The message window, its icon kind and button set as util/MessageKinds.h names them;
    // returns kAnswerYes for OK/Sim, kAnswerNo for Não/Esc.
    virtual int MostraMensagem(const std::string& title, const std::string& text, int iconKind,
                               int buttonSet) = 0;
    // Lets pending window events run; the window's "Cancelar" reaches the engine this way.
    virtual void processMessages() = 0;

    // Called when a source ends (also when it was passed over).
    virtual void sourceFinished(const SourceSummary& /*summary*/) {}
    // After the "linha:" line of a failed record: the source and the number of the record's first
    // line in it (the log's counter is the gauge's, not always a line number).
    virtual void recordFailed(const std::string& /*logLine*/, const std::string& /*source*/,
                              std::int64_t /*line*/) {}
    // A warning the run gives once, before it writes anything (the product open elsewhere).
    virtual void showWarning(const std::string& /*text*/) {}
    // Who runs the import, as the kept run's manifest names it: the command line or the window.
    virtual std::string ranBy() { return "importador (janela)"; }
};

}  // namespace sivaro
