// A view of the update sequence for tests: records everything shown and answers message boxes
// from a script (Yes/No questions take the next scripted answer; without one the test fails).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "update/update_view.h"

namespace test {

struct RecordingView : update::UpdateView {
  struct Box {
    update::BoxIcon icon;
    update::BoxButtons buttons;
    std::string caption;
    std::string text;
  };

  std::vector<std::string> log;
  std::array<std::string, 4> fields;
  std::array<std::string, kStatusPanels> panels;
  std::string title;
  int32_t position = 0;
  int32_t maximum = 40;
  bool okEnabled = true;
  bool waitPanel = false;
  bool secTimer = false;
  bool programmingMenu = false;
  int repaints = 0;
  int closed = 0;
  int finished = 0;
  int beeps = 0;
  std::vector<Box> boxes;
  std::deque<bool> answers;  // scripted answers of Yes/No boxes

  void AppendLog(std::string_view text) override { log.emplace_back(text); }
  void ClearLog() override { log.clear(); }
  void SetDeviceField(update::DeviceField field, std::string_view text) override {
    fields[static_cast<size_t>(field)] = text;
  }
  void SetStatusPanel(int panel, std::string_view text) override {
    panels.at(static_cast<size_t>(panel)) = text;
  }
  void RepaintStatusBar() override { ++repaints; }
  void SetApplicationTitle(std::string_view text) override { title = text; }
  void SetProgress(int32_t value) override { position = value; }
  int32_t Progress() const override { return position; }
  void SetProgressMax(int32_t value) override { maximum = value; }
  int32_t ProgressMax() const override { return maximum; }
  update::BoxAnswer ShowMessage(update::BoxIcon icon, update::BoxButtons buttons,
                                std::string_view caption, std::string_view text) override {
    boxes.push_back(Box{icon, buttons, std::string(caption), std::string(text)});
    if (buttons == update::BoxButtons::Ok) return update::BoxAnswer::Ok;
    if (answers.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return update::BoxAnswer::No;
    }
    const bool yes = answers.front();
    answers.pop_front();
    return yes ? update::BoxAnswer::Yes : update::BoxAnswer::No;
  }
  void SetOkEnabled(bool enabled) override { okEnabled = enabled; }
  void SetWaitPanelVisible(bool visible) override { waitPanel = visible; }
  void SetSecTimerRunning(bool running) override { secTimer = running; }
  void EnableProgrammingMenu() override { programmingMenu = true; }
  void CloseWindow() override { ++closed; }
  void RunFinished() override { ++finished; }
  void Beep() override { ++beeps; }

  bool LogHas(const std::string& part) const {
    for (const std::string& line : log) {
      if (line.find(part) != std::string::npos) return true;
    }
    return false;
  }
};

}  // namespace test
