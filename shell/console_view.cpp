#include "shell/console_view.h"

#include <cstdlib>

#include "package/messages.h"

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

messages::MessageId FieldLabel(update::DeviceField field) {
  switch (field) {
    case update::DeviceField::Name:
      return messages::CLI_LABEL_NAME;
    case update::DeviceField::Serial:
      return messages::CLI_LABEL_SERIAL;
    case update::DeviceField::Pcb:
      return messages::CLI_LABEL_PCB;
    case update::DeviceField::Software:
      break;
  }
  return messages::CLI_LABEL_VERSION;
}

// "[label] " in the language.
std::string Tag(messages::MessageId label, int32_t language) {
  return "[" + std::string(messages::Text(label, language)) + "] ";
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
               Flatten(messages::ForConsole(text), "    ").c_str());
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
  if (!text.empty()) reason_ = OneLine(messages::ForConsole(text));
}

void ConsoleView::SetDeviceField(update::DeviceField field, std::string_view text) {
  if (text.empty()) return;
  Line(Tag(messages::CLI_LABEL_DEVICE, language_) +
           std::string(messages::Text(FieldLabel(field), language_)) + ": ",
       text);
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
  if (title.find('%') == std::string_view::npos)
    Line(Tag(messages::CLI_LABEL_TITLE, language_), title);
}

void ConsoleView::SetProgress(int32_t position) {
  // The percentage in the status panel says the same; the bar is kept for Progress().
  progress_ = position;
}

update::BoxAnswer ConsoleView::ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                           std::string_view caption, std::string_view text) {
  // The window shows a hint box again on each search; here it answers itself, and the same
  // lines once more would only repeat themselves.
  const bool repeated = icon == update::BoxIcon::Information && text == lastInfo_;
  if (icon == update::BoxIcon::Information) lastInfo_ = text;
  if (!repeated) Line("[" + std::string(caption) + "] ", text);
  if (icon == update::BoxIcon::Error) reason_ = OneLine(messages::ForConsole(text));
  if (buttons == update::BoxButtons::Ok) return update::BoxAnswer::Ok;
  std::string answer(
      messages::Text(answerYes_ ? messages::BUTTON_YES : messages::BUTTON_NO, language_));
  std::erase(answer, '&');
  Line(Tag(messages::CLI_LABEL_ANSWER, language_), answer);
  if (!answerYes_) answeredNo_ = true;
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
