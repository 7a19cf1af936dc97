// THexLoad: programs an instrument through the M16 loader library. A worker thread, parked
// between jobs, walks the library through its fixed sequence for each job (open, check the boot
// loader, erase, program with progress, validate, start the application, close) while the window
// thread stays responsive. The worker never touches the window: it hands its progress over and
// posts kM16ProgressMessage, and the window thread applies it with DeliverProgress.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/window_system.h"
#include "platform/shared_library.h"
#include "update/update_view.h"

namespace loaders {

// Posted to the window by the worker when it has progress to show or has finished a job.
inline constexpr uint32_t kM16ProgressMessage = 0x8810;

// The library's entry points, in the order of a job.
enum class M16Stage : int32_t {
  kInit,
  kIsBTLActive,
  kClear,
  kProgram,
  kMakeValid,
  kExitAndStartApplication,
  kDeinit,
  kNone,
};

// The plain name of a stage's entry point ("M16Upd_Init", ...).
const char* M16EntryName(M16Stage stage);

struct M16Entries {
  using ProgressFn = void (*)(int32_t percent);
  int32_t (*M16Upd_Init)(int32_t portNumber) = nullptr;
  int32_t (*M16Upd_Deinit)() = nullptr;
  int32_t (*M16Upd_IsBTLActive)() = nullptr;
  int32_t (*M16Upd_Clear)() = nullptr;
  int32_t (*M16Upd_Program)(const char16_t* fileName, int32_t zero, ProgressFn progress) = nullptr;
  int32_t (*M16Upd_MakeValid)() = nullptr;
  int32_t (*M16Upd_ExitAndStartApplication)() = nullptr;
};

// Looks each entry point up by its plain name, then by its decorated name; one that is found
// under neither stays null.
M16Entries ResolveM16Entries(const platform::SharedLibrary& library);
// The first entry point a job needs that is missing (M16Upd_Deinit is optional); kNone when the
// library has them all.
M16Stage MissingM16Entry(const M16Entries& entries);

// The file name as the library takes it: UTF-16, NUL-terminated, in kFileNameUnits units. False
// when the name does not fit or is not valid UTF-8 (nothing is clipped).
inline constexpr size_t kM16FileNameUnits = 80;
bool WideFileName(const std::string& utf8, std::array<char16_t, kM16FileNameUnits>& wide);

class THexLoad {
 public:
  // The worker's one wait (before the second boot-loader check); tests pass their own.
  using Sleep = std::function<void(std::chrono::milliseconds)>;

  // Takes the loaded library (null: none was found, IsLoaded is false and no thread runs) and
  // parks the worker until the first Start.
  THexLoad(core::WindowSystem& windows, std::unique_ptr<platform::SharedLibrary> library,
           Sleep sleep = {});
  // Wakes the worker to end; a job under way is finished first. The library is unloaded after.
  ~THexLoad();
  THexLoad(const THexLoad&) = delete;
  THexLoad& operator=(const THexLoad&) = delete;

  bool IsLoaded() const { return library_ != nullptr; }
  const M16Entries& Entries() const { return entries_; }
  // Starts one job with the file and the 1-based COM port number. False, and nothing started,
  // when no library is loaded, a job is running or the file name does not fit.
  bool Start(const std::string& fileName, int32_t portNumber);
  bool IsBusy() const { return Busy.load(std::memory_order_acquire); }
  // Window thread: shows the progress the worker has handed over since the last call: each
  // stage moves the bar by one and shows its number as a percentage; the library's percent p
  // sets the bar to p + 5 and shows p * 0.95 + 5.
  void DeliverProgress(update::UpdateView& view, int32_t language);
  // After a job: the stage whose call failed (or whose entry point is missing), kNone when the
  // job went through.
  M16Stage FailedStage() const { return failed_.load(std::memory_order_acquire); }
  // Window thread, for a job whose call into the library does not return: hands the object to
  // its worker, which deletes it (and unloads the library) once the call has returned. From then
  // on the worker posts nothing to the window; the caller must not touch the object again.
  void Abandon();

  // What the worker hands to the window thread.
  struct Note {
    bool percent;  // false: a stage's step number
    int32_t value;
  };

 private:
  void Execute();
  void RunJob(const std::array<char16_t, kM16FileNameUnits>& fileName, int32_t portNumber);
  // A stage's call failed: later stages are skipped.
  bool Fail(M16Stage stage);
  void ProgressStep(int32_t step);
  void Hand(Note note);
  // Posts kM16ProgressMessage unless the loader was abandoned.
  void Post();
  static void ProgressCallback(int32_t percent);

  core::WindowSystem& windows_;
  std::unique_ptr<platform::SharedLibrary> library_;
  M16Entries entries_;
  Sleep sleep_;

  std::mutex mutex_;  // guards the job's fields and the worker's wake-up
  std::condition_variable wake_;
  bool jobPending_ = false;
  bool terminate_ = false;
  bool abandoned_ = false;
  std::array<char16_t, kM16FileNameUnits> FileName{};
  int32_t PortNumber = 0;
  std::atomic<bool> Busy{false};
  std::atomic<M16Stage> failed_{M16Stage::kNone};

  std::mutex notesMutex_;
  std::vector<Note> notes_;
  std::thread worker_;
};

}  // namespace loaders
