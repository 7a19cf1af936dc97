// The table of a gang run: one line per port (COM and device, instrument, serial number, step,
// percent, result), the rows shared between the sessions' threads and the thread that draws.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "update/run_record.h"

namespace shell {

enum class GangStep { kSearch, kIdentified, kProgramming, kEnded };

struct GangRow {
  std::string port;    // COM3
  std::string device;  // /dev/ttyUSB0
  std::string instrument;
  std::string serial;
  GangStep step = GangStep::kSearch;
  int percent = -1;  // -1: none shown
  std::optional<update::RunResult> result;
  bool ended = false;  // the session's run is over (with a result, or cut off by the deadline)
  bool timedOut = false;
};

// The rows, guarded: each session writes its own row from its thread, the drawing thread reads
// them all and waits for a change.
class GangBoard {
 public:
  explicit GangBoard(std::vector<GangRow> rows) : rows_(std::move(rows)) {}

  // Changes row index under the lock and wakes the drawing thread.
  template <typename Change>
  void Update(size_t index, Change change) {
    {
      std::lock_guard lock(mutex_);
      change(rows_[index]);
      ++version_;
    }
    changed_.notify_all();
  }
  std::vector<GangRow> Rows() const {
    std::lock_guard lock(mutex_);
    return rows_;
  }
  // Waits up to ms for a change after version seen; returns the version now.
  uint64_t WaitChange(uint64_t seen, uint32_t ms);
  bool AllEnded() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<GangRow> rows_;
  uint64_t version_ = 0;
};

// The table's lines in the run's language: the headings, then one line per row, columns padded
// to their widest entry.
std::vector<std::string> TableLines(const std::vector<GangRow>& rows, int32_t language);
// The one line of a row as a plain line (for output that is not a terminal).
std::string RowLine(const GangRow& row, int32_t language);
// The word of a result in the run's language.
std::string ResultText(update::RunResult result, int32_t language);

// Draws the table: on a terminal it is redrawn in place; otherwise each row is printed as a
// plain line whenever it changes in what it says (step, result, a new tenth of its percent).
class GangTable {
 public:
  GangTable(std::FILE* out, bool terminal, int32_t language)
      : out_(out), terminal_(terminal), language_(language) {}
  void Draw(const std::vector<GangRow>& rows);

 private:
  std::FILE* out_;
  bool terminal_;
  int32_t language_;
  size_t drawnLines_ = 0;
  std::vector<std::string> printed_;  // per row: what its last plain line said
};

}  // namespace shell
