#pragma once
// Undoing a kept run (import/RunHistory.h): every file it changed gets back the files kept
// before its first change, each table through the all-or-nothing switch of its family. Nothing
// is put back while any of those files changed after the run (its change stamp differs from the
// one the run left) unless forced; a file already as it was before the run is left alone, so an
// undo stopped midway can simply be run again.

#include <string>
#include <vector>

namespace sivaro {

// `run`: a folder name under {data folder}/importacoes or a path to a run's folder; empty for the
// last run not undone yet. Returns what was put back, one line a file. Raises EInOutError with a
// message in Portuguese naming the run and the files when it refuses; nothing is changed then.
std::vector<std::string> undoRun(const std::string& dataFolder, const std::string& run, bool force);

// The kept runs of a data folder, oldest first, as lines for the operator.
std::vector<std::string> historyLines(const std::string& dataFolder);

}  // namespace sivaro
