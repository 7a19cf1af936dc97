#include "shell/gang_table.h"

#include <algorithm>
#include <chrono>

#include "package/messages.h"

namespace shell {
namespace {

std::string StepText(GangStep step, int32_t language) {
  switch (step) {
    case GangStep::kSearch:
      return std::string(messages::Text(messages::GANG_STEP_SEARCH, language));
    case GangStep::kIdentified:
      return std::string(messages::Text(messages::GANG_STEP_IDENTIFIED, language));
    case GangStep::kProgramming:
      return std::string(messages::Text(messages::GANG_STEP_PROGRAMMING, language));
    case GangStep::kEnded:
      break;
  }
  return std::string(messages::Text(messages::GANG_STEP_ENDED, language));
}

std::vector<std::string> Headings(int32_t language) {
  std::vector<std::string> headings;
  std::string text(messages::Text(messages::GANG_HEADINGS, language));
  for (size_t start = 0;;) {
    const size_t bar = text.find('|', start);
    headings.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  headings.resize(7);
  return headings;
}

std::vector<std::string> Cells(const GangRow& row, int32_t language) {
  return {row.port,
          row.device,
          row.instrument,
          row.serial,
          StepText(row.step, language),
          row.percent >= 0 ? std::to_string(row.percent) : "",
          row.result ? ResultText(*row.result, language) : ""};
}

// Characters as the terminal counts them: UTF-8 continuation bytes take no column.
size_t Columns(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string Joined(const std::vector<std::string>& cells, const std::vector<size_t>& widths) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += "  ";
    line += cells[i];
    if (i + 1 < cells.size()) line.append(widths[i] - Columns(cells[i]), ' ');
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

}  // namespace

uint64_t GangBoard::WaitChange(uint64_t seen, uint32_t ms) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return version_ != seen; });
  return version_;
}

bool GangBoard::AllEnded() const {
  std::lock_guard lock(mutex_);
  return std::all_of(rows_.begin(), rows_.end(), [](const GangRow& row) { return row.ended; });
}

std::string ResultText(update::RunResult result, int32_t language) {
  messages::MessageId id = messages::GANG_RESULT_FAILED;
  switch (result) {
    case update::RunResult::kProgrammed:
      id = messages::GANG_RESULT_PROGRAMMED;
      break;
    case update::RunResult::kAlreadyCurrent:
      id = messages::GANG_RESULT_CURRENT;
      break;
    case update::RunResult::kDeclined:
      id = messages::GANG_RESULT_DECLINED;
      break;
    case update::RunResult::kNotFound:
      id = messages::GANG_RESULT_NOT_FOUND;
      break;
    case update::RunResult::kFailed:
      break;
  }
  return std::string(messages::Text(id, language));
}

std::vector<std::string> TableLines(const std::vector<GangRow>& rows, int32_t language) {
  std::vector<std::vector<std::string>> table{Headings(language)};
  for (const GangRow& row : rows) table.push_back(Cells(row, language));
  std::vector<size_t> widths(table.front().size(), 0);
  for (const auto& cells : table) {
    for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], Columns(cells[i]));
  }
  std::vector<std::string> lines;
  for (const auto& cells : table) lines.push_back(Joined(cells, widths));
  return lines;
}

std::string RowLine(const GangRow& row, int32_t language) {
  std::vector<std::string> cells = Cells(row, language);
  if (!cells[5].empty()) cells[5] += " %";
  std::string line;
  for (const std::string& cell : cells) {
    if (cell.empty()) continue;
    if (!line.empty()) line += "  ";
    line += cell;
  }
  return line;
}

void GangTable::Draw(const std::vector<GangRow>& rows) {
  if (terminal_) {
    // Back to the table's first line, then every line anew (each cleared to its end).
    if (drawnLines_ > 0) std::fprintf(out_, "\x1b[%zuA", drawnLines_);
    const std::vector<std::string> lines = TableLines(rows, language_);
    for (const std::string& line : lines) std::fprintf(out_, "\r%s\x1b[K\n", line.c_str());
    drawnLines_ = lines.size();
    std::fflush(out_);
    return;
  }
  printed_.resize(rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    GangRow shown = rows[i];
    if (shown.percent >= 0) shown.percent = shown.percent / 10 * 10;
    const std::string line = RowLine(shown, language_);
    if (line == printed_[i]) continue;
    printed_[i] = line;
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fflush(out_);
}

}  // namespace shell
