#include "update/run_record.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "platform/record_file.h"

namespace update {

std::string_view ResultWord(RunResult result) {
  switch (result) {
    case RunResult::kProgrammed:
      return "programmed";
    case RunResult::kAlreadyCurrent:
      return "already current";
    case RunResult::kDeclined:
      return "declined";
    case RunResult::kNotFound:
      return "not found";
    case RunResult::kFailed:
      break;
  }
  return "failed";
}

const std::string& RecordHeader() {
  static const std::string header =
      "time,program version,package folder,port,device,instrument name,instrument number,"
      "serial number,pcb number,version before,version offered,result,failed step,failed code,"
      "seconds\r\n";
  return header;
}

std::string CsvField(std::string_view text) {
  std::string field;
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (char c : text) {
    if (c == '\r' || c == '\n') c = ' ';
    if (c == ',' || c == '"') quote = true;
    if (c == '"') field += '"';
    field += c;
  }
  if (!quote) return field;
  std::string quoted(1, '"');
  quoted.append(field);
  quoted.push_back('"');
  return quoted;
}

std::string RecordLine(const RunRecord& r) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
  std::string decimal = seconds;
  for (char& c : decimal) {
    if (c == ',') c = '.';  // whatever the locale: a point
  }
  const std::string code = r.failedStep.empty() ? std::string() : std::to_string(r.failedCode);
  const std::array<std::string_view, 15> fields = {
      r.time,           r.programVersion,     r.packageFolder, r.port,      r.device,
      r.instrumentName, r.instrumentNumber,   r.serialNumber,  r.pcbNumber, r.versionBefore,
      r.versionOffered, ResultWord(r.result), r.failedStep,    code,        decimal};
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\r\n";
}

namespace {

// Seconds of a broken-down time counted as if it were UTC, for the zone offset (days from the
// civil date, proleptic Gregorian calendar).
int64_t AsUtcSeconds(const std::tm& t) {
  const int64_t y = t.tm_year + 1900 - (t.tm_mon < 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t m = t.tm_mon + 1;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t.tm_mday - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec;
}

}  // namespace

std::string NowIso8601() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  std::tm utc{};
#ifdef _WIN32
  localtime_s(&local, &now);
  gmtime_s(&utc, &now);
#else
  localtime_r(&now, &local);
  gmtime_r(&now, &utc);
#endif
  // The offset is worked out rather than taken from %z, which names the zone on some systems.
  const int64_t offsetMinutes = (AsUtcSeconds(local) - AsUtcSeconds(utc)) / 60;
  const int64_t magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                offsetMinutes < 0 ? '-' : '+', static_cast<int>(magnitude / 60),
                static_cast<int>(magnitude % 60));
  return text;
}

std::filesystem::path DefaultRecordFile() {
  const std::filesystem::path folder = platform::UserDataFolder();
  if (folder.empty()) return {};
  return folder / "instrument-updater" / "runs.csv";
}

bool AppendRecord(const std::filesystem::path& file, const RunRecord& record, std::string& error) {
  return platform::AppendWholeLine(file, RecordHeader(), RecordLine(record), error);
}

}  // namespace update
