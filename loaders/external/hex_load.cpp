#include "loaders/external/hex_load.h"

#include "update/display.h"

namespace loaders {
namespace {

struct EntryNames {
  const char* plain;
  const char* decorated;
  // A 64-bit build decorates a data pointer argument differently ("PEB" for "PB").
  const char* decorated64 = nullptr;
};

// By M16Stage.
constexpr EntryNames kEntryNames[] = {
    {"M16Upd_Init", "?M16Upd_Init@@YAHH@Z"},
    {"M16Upd_IsBTLActive", "?M16Upd_IsBTLActive@@YAHXZ"},
    {"M16Upd_Clear", "?M16Upd_Clear@@YAHXZ"},
    {"M16Upd_Program", "?M16Upd_Program@@YAHPB_WHP6AXH@Z@Z", "?M16Upd_Program@@YAHPEB_WHP6AXH@Z@Z"},
    {"M16Upd_MakeValid", "?M16Upd_MakeValid@@YAHXZ"},
    {"M16Upd_ExitAndStartApplication", "?M16Upd_ExitAndStartApplication@@YAHXZ"},
    {"M16Upd_Deinit", "?M16Upd_Deinit@@YAHXZ"},
};

template <typename Fn>
void Resolve(const platform::SharedLibrary& library, M16Stage stage, Fn& entry) {
  const EntryNames& names = kEntryNames[static_cast<int32_t>(stage)];
  void* address = library.Symbol(names.plain);
  if (!address) address = library.Symbol(names.decorated);
  if (!address && names.decorated64) address = library.Symbol(names.decorated64);
  entry = reinterpret_cast<Fn>(address);
}

// The job's one wait without a library-provided delay: a real sleep.
void SleepFor(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

// The job whose library calls are under way; ProgressCallback has no other way to find it.
std::atomic<THexLoad*> activeJob{nullptr};

}  // namespace

const char* M16EntryName(M16Stage stage) {
  if (stage == M16Stage::kNone) return "";
  return kEntryNames[static_cast<int32_t>(stage)].plain;
}

M16Entries ResolveM16Entries(const platform::SharedLibrary& library) {
  M16Entries e;
  Resolve(library, M16Stage::kInit, e.M16Upd_Init);
  Resolve(library, M16Stage::kIsBTLActive, e.M16Upd_IsBTLActive);
  Resolve(library, M16Stage::kClear, e.M16Upd_Clear);
  Resolve(library, M16Stage::kProgram, e.M16Upd_Program);
  Resolve(library, M16Stage::kMakeValid, e.M16Upd_MakeValid);
  Resolve(library, M16Stage::kExitAndStartApplication, e.M16Upd_ExitAndStartApplication);
  Resolve(library, M16Stage::kDeinit, e.M16Upd_Deinit);
  return e;
}

M16Stage MissingM16Entry(const M16Entries& e) {
  if (!e.M16Upd_Init) return M16Stage::kInit;
  if (!e.M16Upd_IsBTLActive) return M16Stage::kIsBTLActive;
  if (!e.M16Upd_Clear) return M16Stage::kClear;
  if (!e.M16Upd_Program) return M16Stage::kProgram;
  if (!e.M16Upd_MakeValid) return M16Stage::kMakeValid;
  if (!e.M16Upd_ExitAndStartApplication) return M16Stage::kExitAndStartApplication;
  return M16Stage::kNone;
}

bool WideFileName(const std::string& utf8, std::array<char16_t, kM16FileNameUnits>& wide) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > utf8.size()) return false;
    char32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  if (out.size() >= kM16FileNameUnits) return false;  // the NUL needs its unit
  wide.fill(0);
  std::copy(out.begin(), out.end(), wide.begin());
  return true;
}

THexLoad::THexLoad(core::WindowSystem& windows, std::unique_ptr<platform::SharedLibrary> library,
                   Sleep sleep)
    : windows_(windows), library_(std::move(library)), sleep_(std::move(sleep)) {
  if (!sleep_) sleep_ = SleepFor;
  if (!library_) return;
  entries_ = ResolveM16Entries(*library_);
  worker_ = std::thread([this] {
    Execute();
    bool abandoned;
    {
      std::lock_guard lock(mutex_);
      abandoned = abandoned_;
    }
    if (abandoned) delete this;  // nobody else holds it any more
  });
}

void THexLoad::Abandon() {
  // Under the lock, so that the worker neither posts nor deletes the object before it is its own.
  std::lock_guard lock(mutex_);
  abandoned_ = true;
  terminate_ = true;
  worker_.detach();
  wake_.notify_all();
}

void THexLoad::Post() {
  std::lock_guard lock(mutex_);
  if (!abandoned_) windows_.PostMessage(kM16ProgressMessage, 0);
}

THexLoad::~THexLoad() {
  if (worker_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      terminate_ = true;
    }
    wake_.notify_all();
    worker_.join();
  }
}

bool THexLoad::Start(const std::string& fileName, int32_t portNumber) {
  if (!IsLoaded() || IsBusy()) return false;
  std::array<char16_t, kM16FileNameUnits> wide;
  if (!WideFileName(fileName, wide)) return false;
  {
    std::lock_guard lock(mutex_);
    FileName = wide;
    PortNumber = portNumber;
    jobPending_ = true;
    failed_.store(M16Stage::kNone, std::memory_order_release);
    Busy.store(true, std::memory_order_release);
  }
  wake_.notify_all();
  return true;
}

void THexLoad::Execute() {
  for (;;) {
    std::array<char16_t, kM16FileNameUnits> fileName;
    int32_t portNumber;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return jobPending_ || terminate_; });
      if (terminate_) {
        Busy.store(false, std::memory_order_release);
        return;
      }
      jobPending_ = false;
      fileName = FileName;
      portNumber = PortNumber;
    }
    RunJob(fileName, portNumber);
    Busy.store(false, std::memory_order_release);
    Post();  // the window thread's poll ends now
  }
}

void THexLoad::RunJob(const std::array<char16_t, kM16FileNameUnits>& fileName, int32_t portNumber) {
  const M16Entries& e = entries_;
  activeJob.store(this);
  ProgressStep(1);
  bool ok = false;
  if (!e.M16Upd_Init) {
    Fail(M16Stage::kInit);
    activeJob.store(nullptr);
    return;  // nothing was opened: nothing to close
  } else {
    ProgressStep(2);
    ok = e.M16Upd_Init(portNumber) != 0 || Fail(M16Stage::kInit);
  }
  if (ok) {
    ProgressStep(3);
    if (!e.M16Upd_IsBTLActive) {
      ok = Fail(M16Stage::kIsBTLActive);
    } else if (e.M16Upd_IsBTLActive() == 0) {
      // The boot loader may need a moment after the port was opened: ask once more.
      sleep_(std::chrono::milliseconds(200));
      ok = e.M16Upd_IsBTLActive() != 0 || Fail(M16Stage::kIsBTLActive);
    }
  }
  if (ok) {
    ProgressStep(4);
    ok = (e.M16Upd_Clear && e.M16Upd_Clear() != 0) || Fail(M16Stage::kClear);
  }
  if (ok) {
    ProgressStep(5);
    ok = (e.M16Upd_Program && e.M16Upd_Program(fileName.data(), 0, ProgressCallback) != 0) ||
         Fail(M16Stage::kProgram);
  }
  if (ok) {
    // The application is started whatever the validation said: the instrument must not be left
    // in its boot loader.
    const bool valid = e.M16Upd_MakeValid && e.M16Upd_MakeValid() != 0;
    const bool started =
        e.M16Upd_ExitAndStartApplication && e.M16Upd_ExitAndStartApplication() != 0;
    if (!valid) {
      Fail(M16Stage::kMakeValid);
    } else if (!started) {
      Fail(M16Stage::kExitAndStartApplication);
    }
  }
  if (e.M16Upd_Deinit) e.M16Upd_Deinit();
  activeJob.store(nullptr);
}

bool THexLoad::Fail(M16Stage stage) {
  failed_.store(stage, std::memory_order_release);
  return false;
}

void THexLoad::ProgressStep(int32_t step) {
  Hand({false, step});
}

void THexLoad::ProgressCallback(int32_t percent) {
  if (THexLoad* job = activeJob.load()) job->Hand({true, percent});
}

void THexLoad::Hand(Note note) {
  {
    std::lock_guard lock(notesMutex_);
    notes_.push_back(note);
  }
  Post();
}

void THexLoad::DeliverProgress(update::UpdateView& view, int32_t language) {
  std::vector<Note> notes;
  {
    std::lock_guard lock(notesMutex_);
    notes.swap(notes_);
  }
  for (const Note& note : notes) {
    if (note.percent) {
      view.SetProgress(note.value + 5);
      update::ShowProgress(view, language, "", note.value * 0.01 * 95 + 5);
    } else {
      view.SetProgress(view.Progress() + 1);
      update::ShowProgress(view, language, "", note.value);
    }
  }
}

}  // namespace loaders
