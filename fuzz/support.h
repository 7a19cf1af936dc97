// What the fuzz harnesses share: a scratch folder for the readers that take files, a reader of
// the fuzz input in pieces, and views and reports that keep nothing.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "package/file_report.h"
#include "update/update_view.h"

namespace fuzz {

// A folder of its own for the whole process, removed when the process ends normally. It lies
// in memory where it can: the settings writer syncs every file it writes.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "updater-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path Write(const std::string& name, std::string_view bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }

 private:
  std::filesystem::path path_;
};

inline ScratchFolder& Scratch() {
  static ScratchFolder folder;
  return folder;
}

// The fuzz input taken from the front: single bytes as choices, and pieces of it as data.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return position_ >= size_; }
  size_t Remaining() const { return size_ - position_; }
  // The next byte, 0 once the input is used up.
  uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }
  // Up to count bytes.
  std::string_view Bytes(size_t count) {
    count = std::min(count, Remaining());
    std::string_view piece(reinterpret_cast<const char*>(data_ + position_), count);
    position_ += count;
    return piece;
  }
  std::string_view Rest() { return Bytes(Remaining()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

class NullReport : public package::FileReport {
 public:
  void ShowError(std::string_view, std::string_view) override { ++errors; }
  void Note(std::string_view) override { ++notes; }
  int errors = 0;
  int notes = 0;
};

// A window that answers every box with its first button and keeps only counts.
class NullView : public update::UpdateView {
 public:
  void AppendLog(std::string_view) override {}
  void ClearLog() override {}
  void SetDeviceField(update::DeviceField, std::string_view) override {}
  void SetStatusPanel(int, std::string_view) override {}
  void RepaintStatusBar() override {}
  void SetApplicationTitle(std::string_view) override {}
  void SetProgress(int32_t position) override { position_ = position; }
  int32_t Progress() const override { return position_; }
  void SetProgressMax(int32_t maximum) override { maximum_ = maximum; }
  int32_t ProgressMax() const override { return maximum_; }
  update::BoxAnswer ShowMessage(update::BoxIcon, update::BoxButtons buttons, std::string_view,
                                std::string_view) override {
    ++boxes;
    return buttons == update::BoxButtons::Ok ? update::BoxAnswer::Ok : update::BoxAnswer::Yes;
  }
  void SetOkEnabled(bool) override {}
  void SetWaitPanelVisible(bool) override {}
  void SetSecTimerRunning(bool) override {}
  void EnableProgrammingMenu() override {}
  void CloseWindow() override {}
  void RunFinished() override { ++finished; }

  int boxes = 0;
  int finished = 0;

 private:
  int32_t position_ = 0;
  int32_t maximum_ = 0;
};

// A harness's own check failed: libFuzzer keeps the input as a crash.
[[noreturn]] inline void Fail() {
  std::abort();
}

}  // namespace fuzz
