#include "shell/gang_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

#include "core/thread_window_system.h"
#include "package/messages.h"
#include "serial/port_inventory.h"
#include "serial/port_names.h"
#include "shell/console_view.h"
#include "shell/gang_table.h"
#include "shell/update_session.h"
#include "update/display.h"

namespace shell {
namespace {

// How long the main thread waits for a change before it draws anyway.
constexpr uint32_t kRedrawMs = 500;
// How long a session thread sleeps when nothing arrives (it wakes earlier for any message).
constexpr uint32_t kIdleWakeMs = 1000;
// After the deadline the sessions have this long to record their end before the program ends
// without them.
constexpr int kGraceSeconds = 10;

uint32_t DeadlineMs(int seconds) {
  constexpr uint32_t kLongest = 24u * 24 * 3600 * 1000;
  return static_cast<uint32_t>(std::min<int64_t>(int64_t{seconds} * 1000, kLongest));
}

// The view of one gang session: the console's log into the session's own file, and what the
// table shows into the session's row.
class GangView : public ConsoleView {
 public:
  GangView(std::FILE* log, bool answerYes, int32_t language, GangBoard& board, size_t row)
      : ConsoleView(log, answerYes, language), board_(board), row_(row) {}

  void SetDeviceField(update::DeviceField field, std::string_view text) override {
    ConsoleView::SetDeviceField(field, text);
    // The window clears the fields of an instrument it leaves; the table keeps what it showed.
    if (text.empty()) return;
    if (field != update::DeviceField::Name && field != update::DeviceField::Serial) return;
    board_.Update(row_, [&](GangRow& row) {
      (field == update::DeviceField::Name ? row.instrument : row.serial) = std::string(text);
      if (row.step == GangStep::kSearch) row.step = GangStep::kIdentified;
    });
  }
  void SetStatusPanel(int panel, std::string_view text) override {
    ConsoleView::SetStatusPanel(panel, text);
    if (panel != 4 || text.find('%') == std::string_view::npos) return;
    const size_t digit = text.find_first_of("0123456789");
    if (digit == std::string_view::npos) return;
    const int percent = std::atoi(std::string(text.substr(digit)).c_str());
    board_.Update(row_, [&](GangRow& row) {
      row.step = GangStep::kProgramming;
      row.percent = std::clamp(percent, 0, 100);
    });
  }

 private:
  GangBoard& board_;
  size_t row_;
};

// One port's session with everything it owns. Built on the main thread (one after the other, so
// no session's inventory meets another's port half open), then run and torn down on its own
// thread.
struct Slot {
  int comIndex = 0;
  std::FILE* log = nullptr;
  package::Settings settings;
  package::DeviceDescription devices;
  core::ThreadWindowSystem windows;
  std::unique_ptr<GangView> view;
  std::unique_ptr<UpdateSession> session;
  std::thread thread;
};

std::string Stamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// The ports of the gang: those chosen, else every port that can be opened now.
std::vector<int> GangPorts(const std::vector<int>& chosen) {
  if (!chosen.empty()) return chosen;
  serial::PortInventory inventory;
  inventory.Take();
  return std::vector<int>(inventory.UseableList.begin(),
                          inventory.UseableList.begin() + inventory.UseableCount);
}

UpdateSession::RunEnd EndOf(ConsoleView::Outcome outcome) {
  switch (outcome) {
    case ConsoleView::Outcome::Success:
      return UpdateSession::RunEnd::kSuccess;
    case ConsoleView::Outcome::Closed:
      return UpdateSession::RunEnd::kClosed;
    default:
      return UpdateSession::RunEnd::kFailed;
  }
}

// The session's thread: OK once, messages until the run has ended, the record, the end.
void RunSlot(Slot& slot, GangBoard& board, size_t row, int timeoutSeconds) {
  bool ended = false;
  slot.view->SetOnEnd([](void* flag) { *static_cast<bool*>(flag) = true; }, &ended);
  auto finish = [&](UpdateSession::RunEnd end) {
    const update::RunRecord record = slot.session->RecordRun(end, slot.view->AnsweredNo());
    board.Update(row, [&](GangRow& r) {
      r.step = GangStep::kEnded;
      r.result = record.result;
      if (!record.instrumentName.empty()) r.instrument = record.instrumentName;
      if (!record.serialNumber.empty()) r.serial = record.serialNumber;
      r.ended = true;
    });
  };
  // The deadline also ends a run that hangs inside a nested wait: the run is recorded as failed
  // and the line given back; the main thread then ends the program.
  std::unique_ptr<core::WindowTimer> deadline = slot.windows.CreateTimer();
  deadline->SetInterval(DeadlineMs(timeoutSeconds));
  deadline->SetHandler([&](core::WindowTimer& timer) {
    timer.SetEnabled(false);
    if (ended) return;
    ended = true;
    slot.view->AppendLog(messages::Filled(messages::CLI_NO_END, slot.settings.LanguageIndex,
                                          std::to_string(timeoutSeconds)));
    // Marked before the row ends: the main thread reads the exit code once every row has ended.
    board.Update(row, [](GangRow& r) { r.timedOut = true; });
    finish(UpdateSession::RunEnd::kFailed);
    slot.session->Ports().CloseAll();
  });
  deadline->SetEnabled(true);

  slot.session->PressOk();
  while (!ended) slot.windows.WaitMessages(slot.windows.TickCount() + kIdleWakeMs);
  deadline.reset();
  if (!board.Rows()[row].ended) finish(EndOf(slot.view->Result()));
  slot.session.reset();
}

int ExitCode(const std::vector<GangRow>& rows) {
  const bool anyFound = std::any_of(rows.begin(), rows.end(), [](const GangRow& row) {
    return row.result && *row.result != update::RunResult::kNotFound;
  });
  if (!anyFound) return kGangNoneFound;
  const bool anyBad = std::any_of(rows.begin(), rows.end(), [](const GangRow& row) {
    return !row.result || *row.result == update::RunResult::kFailed ||
           *row.result == update::RunResult::kDeclined;
  });
  return anyBad ? kGangSomeFailed : kGangAllGood;
}

void PrintSummary(std::FILE* out, const std::vector<GangRow>& rows, int32_t language) {
  int found = 0;
  int good = 0;
  for (const GangRow& row : rows) {
    if (!row.result || *row.result == update::RunResult::kNotFound) continue;
    ++found;
    if (*row.result == update::RunResult::kProgrammed ||
        *row.result == update::RunResult::kAlreadyCurrent) {
      ++good;
    }
  }
  if (found == 0) {
    std::fprintf(out, "update-cli: %s\n",
                 std::string(messages::Text(messages::GANG_NONE_FOUND, language)).c_str());
    return;
  }
  std::fprintf(out, "update-cli: %s\n",
               messages::Filled(messages::GANG_SUMMARY, language, std::to_string(good),
                                std::to_string(found))
                   .c_str());
}

}  // namespace

int RunGang(GangSetup setup) {
  const int32_t language = setup.settings.LanguageIndex;
  std::FILE* out = setup.out;
  auto say = [&](const std::string& text) { std::fprintf(out, "update-cli: %s\n", text.c_str()); };

  const std::vector<int> ports = GangPorts(setup.ports);
  if (ports.empty()) {
    say(std::string(messages::Text(messages::GANG_NO_PORT, language)));
    return kGangNoneFound;
  }
  std::error_code folderError;
  std::filesystem::create_directories(setup.logFolder, folderError);

  std::vector<GangRow> rows;
  for (int port : ports) {
    GangRow row;
    row.port = serial::PortDisplayName(port);
    row.device = serial::PortDevicePath(port);
    rows.push_back(row);
  }
  GangBoard board(rows);

  const std::string stamp = Stamp();
  std::vector<std::unique_ptr<Slot>> slots;
  for (size_t i = 0; i < ports.size(); ++i) {
    auto slot = std::make_unique<Slot>();
    slot->comIndex = ports[i];
    const std::filesystem::path logFile =
        setup.logFolder / (stamp + "-" + serial::PortDisplayName(ports[i]) + ".log");
    slot->log = std::fopen(logFile.string().c_str(), "w");
    if (!slot->log) {
      say(messages::Filled(messages::GANG_LOG_NOT_OPEN, language, logFile.string(),
                           std::strerror(errno)));
      for (auto& built : slots) std::fclose(built->log);
      return kGangSomeFailed;
    }
    slot->settings = setup.settings;
    slot->settings.ComGiven = 1;
    slot->settings.ComIndex = ports[i];
    slot->devices = setup.devices;
    slot->view = std::make_unique<GangView>(slot->log, setup.answerYes, language, board, i);
    for (const std::string& line : setup.firmwareLog) slot->view->AppendLog(line);
    update::DownloadContext empty;
    slot->view->AppendLog(
        update::ExpandMessage(slot->devices.StartTextIn(language), language, empty, -1));
    GangView& view = *slot->view;
    slot->session = std::make_unique<UpdateSession>(
        slot->windows, view, slot->settings, slot->devices, setup.firmwareFiles,
        [&view](const std::string& caption, const std::string& text) {
          view.ShowError(caption, text);
        });
    slot->session->SetRecordFile(setup.recordFile);
    if (const std::string problem = slot->session->PortProblem(); !problem.empty()) {
      // A port chosen but taken by another program (or gone): this port's run fails at once.
      view.ShowError(messages::Text(messages::CAPTION_ERROR, language), problem);
      update::RunRecord record = slot->session->RecordOf(UpdateSession::RunEnd::kFailed, false);
      record.result = update::RunResult::kFailed;
      record.failedStep = "open port";
      if (std::string why;
          !setup.recordFile.empty() && !update::AppendRecord(setup.recordFile, record, why)) {
        view.AppendLog(messages::Filled(messages::MSG_RECORD_NOT_WRITTEN, language,
                                        setup.recordFile.string(), why));
      }
      board.Update(i, [](GangRow& r) {
        r.step = GangStep::kEnded;
        r.result = update::RunResult::kFailed;
        r.ended = true;
      });
      slot->session.reset();
    } else {
      view.SetStatusPanel(0, slot->session->OpenPorts());
      for (const std::string& note : slot->session->PortNotes()) view.AppendLog(note);
    }
    slots.push_back(std::move(slot));
  }

  say(messages::Filled(messages::GANG_LOGS, language, setup.logFolder.string()));
  if (!setup.recordFile.empty()) {
    say(messages::Filled(messages::GANG_RECORD_FILE, language, setup.recordFile.string()));
  }
  GangTable table(out, setup.terminal, language);
  table.Draw(board.Rows());

  for (size_t i = 0; i < slots.size(); ++i) {
    Slot& slot = *slots[i];
    if (!slot.session) continue;
    slot.thread = std::thread(RunSlot, std::ref(slot), std::ref(board), i, setup.timeoutSeconds);
  }

  const auto giveUp =
      std::chrono::steady_clock::now() + std::chrono::seconds(setup.timeoutSeconds + kGraceSeconds);
  uint64_t seen = 0;
  bool cutOff = false;
  while (!board.AllEnded()) {
    if (std::chrono::steady_clock::now() >= giveUp) {
      cutOff = true;
      break;
    }
    seen = board.WaitChange(seen, kRedrawMs);
    table.Draw(board.Rows());
  }
  const std::vector<GangRow> last = board.Rows();
  table.Draw(last);
  const bool timedOut = cutOff || std::any_of(last.begin(), last.end(),
                                              [](const GangRow& row) { return row.timedOut; });
  if (timedOut) {
    say(messages::Filled(messages::CLI_NO_END, language, std::to_string(setup.timeoutSeconds)));
    PrintSummary(out, last, language);
    std::fflush(out);
    for (auto& slot : slots) std::fflush(slot->log);
    // A session may still hang in a nested wait: the program ends without it.
    std::_Exit(kGangTimeout);
  }
  for (auto& slot : slots) {
    if (slot->thread.joinable()) slot->thread.join();
    std::fclose(slot->log);
  }
  PrintSummary(out, last, language);
  return ExitCode(last);
}

}  // namespace shell
