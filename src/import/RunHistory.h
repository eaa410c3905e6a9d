#pragma once
// The history of the runs of a data folder: before a run changes a table (or another file it
// writes), the previous files are kept in {data folder}/importacoes/{date-time}/ beside the run's
// manifest (import/RunManifest.h), so that the run can be undone (import/RunUndo.h). Settings in
// Definicao.ini, section "Importacoes": "Manter", the number of runs kept (default 10; 0 keeps
// none and the runs cannot be undone), and "TamanhoMaximoMB", the most the kept runs may take
// together (default 0, no bound); older runs are removed past either bound when a run ends.

#include <cstdint>
#include <string>
#include <vector>

#include "import/RunManifest.h"
#include "store/FamilyWatcher.h"

namespace sivaro {

class ProfileFile;
struct SourceSummary;

inline constexpr const char* kHistoryFolder = "importacoes";
inline constexpr const char* kManifestName = "importacao.ini";

class RunHistory : public FamilyWatcher {
  public:
    // Becomes the process's family watcher until destroyed. Nothing is written before the run
    // changes its first file.
    RunHistory(std::string dataFolder, std::string ranBy, const ProfileFile& definitions);
    ~RunHistory() override;
    RunHistory(const RunHistory&) = delete;
    RunHistory& operator=(const RunHistory&) = delete;

    void beforeChange(const std::string& dbPath) override;
    void changeComing(const std::string& dbPath,
                      const std::vector<FamilyFileFacts>& family) override;
    void afterChange(const std::string& dbPath) override;
    // Keeps a file that is not a table before the run writes or removes it.
    void beforeFileChange(const std::string& path);
    // The file that will take the place of `path` once complete (empty: `path` goes away), told
    // before it does, so a run stopped there leaves a file its undo knows.
    void fileChangeComing(const std::string& path, const std::string& replacement);
    void afterFileChange(const std::string& path);

    void sourceFinished(const SourceSummary& summary);
    // The end of the run: its state (kRunFinished...) and, for a stopped run, the error. Removes
    // old runs past the bounds.
    void finish(const std::string& state, const std::string& error);

    // The run's folder; empty while the run has changed nothing.
    const std::string& folder() const { return m_folder; }

  private:
    void open();
    void save();
    std::string relative(const std::string& path) const;

    std::string m_dataFolder;
    std::string m_folder;
    RunManifest m_manifest;
    int m_keep = 10;
    std::int64_t m_maxBytes = 0;
    int m_lock = -1;
    FamilyWatcher* m_previous = nullptr;
};

// A kept run of the folder: its folder name ({date-time}) and its manifest.
struct KeptRun {
    std::string name;
    std::string folder;
    RunManifest manifest;
};

// The kept runs of a data folder, oldest first; folders without a readable manifest are left out.
std::vector<KeptRun> keptRuns(const std::string& dataFolder);

// The local date and time as the history writes them ("dd/mm/yyyy hh:mm:ss").
std::string nowText();

}  // namespace sivaro
