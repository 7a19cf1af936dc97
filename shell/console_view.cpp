#include "shell/console_view.h"

#include <cstdlib>

namespace shell {
namespace {

// One printed line per text line: CR LF, a lone CR and LF all break.
std::string Flatten(std::string_view text, std::string_view indent) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += '\n';
      out += indent;
    } else {
      out += c;
    }
  }
  while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
  return out;
}

const char* FieldName(update::DeviceField field) {
  switch (field) {
    case update::DeviceField::Name:
      return "name";
    case update::DeviceField::Serial:
      return "serial number";
    case update::DeviceField::Pcb:
      return "PCB number";
    case update::DeviceField::Software:
      return "version";
  }
  return "";
}

// The text on one line, for the closing line of a run.
std::string OneLine(std::string_view text) {
  std::string line = Flatten(text, "");
  for (char& c : line) {
    if (c == '\n') c = ' ';
  }
  return line;
}

}  // namespace

void ConsoleView::Line(std::string_view prefix, std::string_view text) {
  std::fprintf(out_, "%.*s%s\n", static_cast<int>(prefix.size()), prefix.data(),
               Flatten(text, "    ").c_str());
  std::fflush(out_);
}

void ConsoleView::AppendLog(std::string_view text) {
  Line("", text);
  if (trace_) {
    // One entry a line: the line end a command carries is not repeated.
    std::string_view entry = text;
    while (!entry.empty() && (entry.back() == '\r' || entry.back() == '\n')) entry.remove_suffix(1);
    std::fprintf(trace_, "%.*s\n", static_cast<int>(entry.size()), entry.data());
    std::fflush(trace_);
  }
  if (!text.empty()) reason_ = OneLine(text);
}

void ConsoleView::SetDeviceField(update::DeviceField field, std::string_view text) {
  if (text.empty()) return;
  Line(std::string("[device] ") + FieldName(field) + ": ", text);
}

bool ConsoleView::NewTenth(std::string_view text) {
  const size_t digit = text.find_first_of("0123456789");
  if (digit == std::string_view::npos || text.find('%') == std::string_view::npos) {
    tenth_ = -1;
    return true;
  }
  const int tenth = std::atoi(std::string(text.substr(digit)).c_str()) / 10;
  if (tenth == tenth_) return false;
  tenth_ = tenth;
  return true;
}

void ConsoleView::SetStatusPanel(int panel, std::string_view text) {
  if (panel < 0 || panel >= kStatusPanels || text == panels_[panel]) return;
  panels_[panel] = text;
  // A transfer updates its percentage per block: print each tenth only.
  if (text.empty() || (panel == 4 && !NewTenth(text))) return;
  Line("[status " + std::to_string(panel) + "] ", text);
}

void ConsoleView::SetApplicationTitle(std::string_view title) {
  if (title == title_) return;
  title_ = title;
  // A percentage in the title repeats status panel 4.
  if (title.find('%') == std::string_view::npos) Line("[title] ", title);
}

void ConsoleView::SetProgress(int32_t position) {
  // The percentage in the status panel says the same; the bar is kept for Progress().
  progress_ = position;
}

update::BoxAnswer ConsoleView::ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                           std::string_view caption, std::string_view text) {
  Line("[" + std::string(caption) + "] ", text);
  if (icon == update::BoxIcon::Error) reason_ = OneLine(text);
  if (buttons == update::BoxButtons::Ok) return update::BoxAnswer::Ok;
  Line("[answer] ", answerYes_ ? "Yes" : "No");
  return answerYes_ ? update::BoxAnswer::Yes : update::BoxAnswer::No;
}

void ConsoleView::SetOkEnabled(bool enabled) {
  // OK offered again while a run was going: the run has ended without success.
  if (enabled) End(Outcome::Failed);
}

void ConsoleView::CloseWindow() {
  End(Outcome::Closed);
}

void ConsoleView::RunFinished() {
  End(Outcome::Success);
}

void ConsoleView::Beep() {
  std::fputc('\a', out_);
  std::fflush(out_);
}

void ConsoleView::End(Outcome outcome) {
  if (outcome_ != Outcome::Running) return;
  outcome_ = outcome;
  if (onEnd_) onEnd_(endContext_);
}

}  // namespace shell
