// instrument-sim: the simulated instrument on pseudo-terminals published as COMn in the folder
// UPDATE_PORT_DIR names. See sim/README.md.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/instrument.h"
#include "sim/pty_port.h"
#include "sim/trace.h"

namespace {

const char kUsage[] =
    "usage: instrument-sim --profile FILE --com N [--silent-ports LIST] [--trace FILE]\n"
    "                      [--state FILE] [--dump FILE] [--files DIR] [--pace]\n"
    "Plays the instrument of the profile on a pseudo-terminal published as COM<N> in the\n"
    "folder UPDATE_PORT_DIR names. --silent-ports adds ports where nobody answers (\"2,4\").\n"
    "--trace logs every byte each way; --state writes a JSON summary at exit; --dump writes\n"
    "the target's flash as TI-TXT at exit; --files stores files of the multi-file transfer;\n"
    "--pace sends and takes every byte at its wire time. SIGTERM or SIGINT end it cleanly.\n";

struct Options {
  std::string profile, trace, state, dump, files;
  int com = 0;
  std::vector<int> silent;
  bool pace = false;
};

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  [[maybe_unused]] auto n = write(g_signalPipe[1], &c, 1);
}

bool ParsePort(const std::string& text, int& port) {
  char* end = nullptr;
  long n = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || n < 1 || n > 256) return false;
  port = static_cast<int>(n);
  return true;
}

bool ParseArgs(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return error = a + " needs a value", false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--profile") {
      if (!value(o.profile)) return false;
    } else if (a == "--trace") {
      if (!value(o.trace)) return false;
    } else if (a == "--state") {
      if (!value(o.state)) return false;
    } else if (a == "--dump") {
      if (!value(o.dump)) return false;
    } else if (a == "--files") {
      if (!value(o.files)) return false;
    } else if (a == "--pace") {
      o.pace = true;
    } else if (a == "--com") {
      if (!value(v)) return false;
      if (!ParsePort(v, o.com)) return error = "--com needs a port number 1..256", false;
    } else if (a == "--silent-ports") {
      if (!value(v)) return false;
      std::stringstream in(v);
      std::string item;
      while (std::getline(in, item, ',')) {
        int port;
        if (!ParsePort(item, port)) return error = "bad port '" + item + "' in " + v, false;
        o.silent.push_back(port);
      }
    } else {
      return error = "unknown argument " + a, false;
    }
  }
  if (o.profile.empty() || o.com == 0) return error = "--profile and --com are needed", false;
  return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

class Program {
 public:
  explicit Program(const Options& o, const sim::Profile& profile)
      : options_(o),
        start_(std::chrono::steady_clock::now()),
        instrument_(profile, [this] { return NowMs(); }) {
    instrument_.SetMicrosecondClock([this] { return NowUs(); });
  }

  bool Start(const std::string& folder, std::string& error);
  void Run();
  void Finish();

 private:
  int64_t NowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }
  int64_t NowMs() const { return NowUs() / 1000; }
  // Microseconds until the instrument must look again; -1: only when bytes come.
  int64_t TimeoutUs() const;
  void PrintSummary() const;
  void ReadInstrumentPort();
  void WritePending();
  void StoreFile(const sim::ReceivedFile& file);

  Options options_;
  std::chrono::steady_clock::time_point start_;
  sim::Instrument instrument_;
  std::unique_ptr<sim::PtyPort> port_;
  std::vector<std::unique_ptr<sim::PtyPort>> silent_;
  std::vector<uint8_t> pending_;
  std::ofstream trace_;
};

bool Program::Start(const std::string& folder, std::string& error) {
  if (!options_.trace.empty()) {
    trace_.open(options_.trace, std::ios::trunc);
    if (!trace_) return error = "cannot write " + options_.trace, false;
    instrument_.SetTraceSink([this](const sim::TraceEvent& e) {
      trace_ << sim::FormatTrace(e);
      trace_.flush();
    });
  }
  if (!options_.files.empty())
    instrument_.SetFileSink([this](const sim::ReceivedFile& f) { StoreFile(f); });
  if (!options_.dump.empty() && !instrument_.Flash())
    return error = "--dump needs a profile with a boot-loader target", false;
  auto open = [&](int com) -> std::unique_ptr<sim::PtyPort> {
    auto port = sim::PtyPort::Create(error);
    if (!port || !port->Publish(folder + "/COM" + std::to_string(com), error)) return nullptr;
    std::printf("instrument-sim: COM%d -> %s%s\n", com, port->SlavePath().c_str(),
                com == options_.com ? "" : " (silent)");
    return port;
  };
  if (!(port_ = open(options_.com))) return false;
  for (int com : options_.silent) {
    if (com == options_.com) continue;
    auto port = open(com);
    if (!port) return false;
    silent_.push_back(std::move(port));
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return true;
}

int64_t Program::TimeoutUs() const {
  const int64_t now = NowUs();
  int64_t wait = -1;
  if (auto next = instrument_.NextEventUs()) wait = std::max<int64_t>(0, *next - now);
  auto atMost = [&wait](int64_t us) { wait = wait < 0 ? us : std::min(wait, us); };
  // The new firmware waits for the host's line: no event tells, so look every 20 ms.
  if (instrument_.WaitsForHostLine() && port_->IsOpen()) atMost(20000);
  if (!pending_.empty()) atMost(100000);
  if (wait >= 0) atMost(60000000);
  return wait;
}

void Program::ReadInstrumentPort() {
  uint8_t buf[4096];
  ssize_t n = port_->Read(buf, sizeof buf);
  if (n <= 0) return;
  auto line = port_->HostLine();
  instrument_.SetHostLine(line.baud, line.parity, line.dataBits, line.stopBits);
  instrument_.Receive(std::span<const uint8_t>(buf, static_cast<size_t>(n)));
}

void Program::WritePending() {
  auto due = instrument_.TakeOutputUs(NowUs());
  pending_.insert(pending_.end(), due.begin(), due.end());
  if (!port_->IsOpen()) return pending_.clear();
  bool wrote = false;
  while (!pending_.empty()) {
    ssize_t n = port_->Write(pending_.data(), pending_.size());
    if (n <= 0) break;  // the host does not read: keep the rest until it does
    pending_.erase(pending_.begin(), pending_.begin() + n);
    wrote = true;
  }
  if (wrote && pending_.empty()) instrument_.Delivered(NowUs());
}

// An announced MS-DOS date and time (local time) as a file time.
std::filesystem::file_time_type FromDosTime(uint32_t stamp) {
  std::tm local{};
  local.tm_year = static_cast<int>(stamp >> 25) + 80;
  local.tm_mon = static_cast<int>((stamp >> 21) & 0x0F) - 1;
  local.tm_mday = static_cast<int>((stamp >> 16) & 0x1F);
  local.tm_hour = static_cast<int>((stamp >> 11) & 0x1F);
  local.tm_min = static_cast<int>((stamp >> 5) & 0x3F);
  local.tm_sec = static_cast<int>(stamp & 0x1F) * 2;
  local.tm_isdst = -1;
  return std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(mktime(&local)));
}

void Program::StoreFile(const sim::ReceivedFile& file) {
  namespace fs = std::filesystem;
  fs::path path = fs::path(options_.files) / file.path;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data.data()),
            static_cast<std::streamsize>(file.data.size()));
  out.close();
  if (!out) std::fprintf(stderr, "instrument-sim: cannot store %s\n", path.c_str());
  if (file.timeStamp != 0) fs::last_write_time(path, FromDosTime(file.timeStamp), ec);
}

void Program::Run() {
  while (true) {
    std::vector<pollfd> fds{{g_signalPipe[0], POLLIN, 0}};
    if (port_->IsOpen())
      fds.push_back(
          {port_->Fd(), static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0});
    for (auto& s : silent_) fds.push_back({s->Fd(), POLLIN, 0});
    const int64_t waitUs = TimeoutUs();
    timespec wait{static_cast<time_t>(waitUs / 1000000),
                  static_cast<long>(waitUs % 1000000) * 1000};
    if (ppoll(fds.data(), fds.size(), waitUs < 0 ? nullptr : &wait, nullptr) < 0 && errno != EINTR)
      break;
    if (fds[0].revents & POLLIN) break;
    if (port_->IsOpen()) {
      if (fds[1].revents & POLLIN) ReadInstrumentPort();
      // What is due now acts on the host's line as it is now, not as it was at the last read: a
      // new firmware that starts greets only a host listening at its speed.
      const sim::LineSettings line = port_->HostLine();
      instrument_.SetHostLine(line.baud, line.parity, line.dataBits, line.stopBits);
      WritePending();
      if (instrument_.Disconnected()) port_->Close();
    }
    uint8_t sink[4096];
    for (auto& s : silent_)
      while (s->Read(sink, sizeof sink) > 0) {
      }
  }
}

// One line on where the boot loader's time went, for the benchmark and a reader of the log.
void Program::PrintSummary() const {
  const sim::BootLoaderTime t = instrument_.TimeOfBootLoader();
  if (!t.seen) return;
  std::printf(
      "instrument-sim: boot loader %.3f s: own %.3f s (wire %.3f s), host %.3f s in %lld gaps, "
      "waits %.3f s in %lld\n",
      (t.endUs - t.startUs) / 1e6, t.ownUs / 1e6, t.wireUs / 1e6, t.gapUs / 1e6,
      static_cast<long long>(t.gaps), t.waitUs / 1e6, static_cast<long long>(t.waits));
  std::fflush(stdout);
}

void Program::Finish() {
  PrintSummary();
  port_.reset();
  silent_.clear();
  if (!options_.state.empty() && !WriteFile(options_.state, instrument_.StateJson()))
    std::fprintf(stderr, "instrument-sim: cannot write %s\n", options_.state.c_str());
  if (!options_.dump.empty() && instrument_.Flash() &&
      !WriteFile(options_.dump, instrument_.Flash()->TiTxt()))
    std::fprintf(stderr, "instrument-sim: cannot write %s\n", options_.dump.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!ParseArgs(argc, argv, options, error)) {
    std::fprintf(stderr, "instrument-sim: %s\n%s", error.c_str(), kUsage);
    return 2;
  }
  const char* folder = std::getenv("UPDATE_PORT_DIR");
  if (!folder || !*folder || !std::filesystem::is_directory(folder)) {
    std::fprintf(stderr, "instrument-sim: UPDATE_PORT_DIR must name a folder for the COMn links\n");
    return 2;
  }
  sim::Profile profile;
  if (!sim::LoadProfile(options.profile, profile, error)) {
    std::fprintf(stderr, "instrument-sim: %s\n", error.c_str());
    return 2;
  }
  profile.pace = profile.pace || options.pace;

  if (pipe(g_signalPipe) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Program program(options, profile);
  bool started = program.Start(folder, error);
  if (started)
    program.Run();
  else
    std::fprintf(stderr, "instrument-sim: %s\n", error.c_str());
  program.Finish();
  return started ? 0 : 1;
}
