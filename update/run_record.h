// The run record: one CSV line (RFC 4180 quoting) per run of the updater, single or gang, window
// or update-cli, appended to a file the user keeps (by default in the user's data folder). The
// columns and the result words are fixed English tokens whatever the run's language, so that a
// spreadsheet or a script reads every record alike.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace update {

enum class RunResult { kProgrammed, kAlreadyCurrent, kDeclined, kFailed, kNotFound };

// The word a result is recorded as ("programmed", "already current", ...).
std::string_view ResultWord(RunResult result);

struct RunRecord {
  std::string time;  // ISO 8601 with the zone, e.g. 2026-12-11T13:05:09+01:00
  std::string programVersion;
  std::string packageFolder;
  std::string port;    // e.g. COM3
  std::string device;  // e.g. /dev/ttyUSB0
  std::string instrumentName;
  std::string instrumentNumber;
  std::string serialNumber;
  std::string pcbNumber;
  std::string versionBefore;
  std::string versionOffered;
  RunResult result = RunResult::kFailed;
  std::string failedStep;  // empty unless the run failed
  int32_t failedCode = 0;
  double seconds = 0;
};

// The first line of a new record file (CR LF ends every line, as RFC 4180 has it).
const std::string& RecordHeader();
// One record as a CSV line with its line end.
std::string RecordLine(const RunRecord& record);
// A field as CSV: quoted when it holds a comma, a quote, a line break or blanks at either end;
// quotes doubled. Line breaks become blanks, so one run is one physical line.
std::string CsvField(std::string_view text);

// The local time now as ISO 8601 with its zone offset.
std::string NowIso8601();

// Where the record goes unless told otherwise: instrument-updater/runs.csv in the user's data
// folder; empty when the system names no such folder.
std::filesystem::path DefaultRecordFile();

// Appends the record whole (with the header when the file is new). False with the reason in
// error when it could not; the run's result stands either way.
bool AppendRecord(const std::filesystem::path& file, const RunRecord& record, std::string& error);

}  // namespace update
