// Real-time benchmark of whole runs: update-cli against instrument-sim over pseudo-terminals, the
// simulator pacing every byte at its wire time and spending flash time as an instrument does.
// Three runs of each case, the median of each figure:
//   classic  a 56 KiB image through the classic boot loader 1.60 (speed change to 38400)
//   f5xx     a 56 KiB image through the F5xx boot loader at 38400
//   demo     the demo package: the instrument on the third of three ports, found at the second
//            baud rate of the list, then the whole update
//   window   the demo run through the window program (offscreen, OK pressed by UPDATE_AUTO_RUN)
// Where a run's time goes: the boot-loader phase as the simulator saw it, split into the
// simulator's own time (wire, reaction, flash), the updater's deliberate waits and the rest: the
// updater's dead time between an answer's last byte and its next command.
// --awake keeps every core busy with a spinner of the idle scheduling class, which yields to any
// other thread at once: on a virtual machine a core that went idle can take milliseconds to wake,
// and both the simulator's pacing and the updater's wake-ups would show that instead.
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/spawn.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Section {
  uint32_t address;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>((x >> 16) % 255);  // never 0xFF: erased flash differs
  }
  return bytes;
}

std::string TiTxt(const std::vector<Section>& sections) {
  std::string text;
  char hex[8];
  for (const Section& s : sections) {
    std::snprintf(hex, sizeof hex, "@%04X", s.address);
    text += hex;
    for (size_t i = 0; i < s.bytes.size(); ++i) {
      std::snprintf(hex, sizeof hex, "%s%02X", i % 16 ? " " : "\r\n", s.bytes[i]);
      text += hex;
    }
    text += "\r\n";
  }
  return text + "q\r\n";
}

// 56 KiB: the version text first (the identification reads it from the file's start), the
// program, a little behind the version, the vectors (reset to codeStart) and what lies above
// 0xFFFF.
std::string Image56k(uint32_t codeStart, size_t high) {
  std::vector<uint8_t> version = {'1', '.', '3', '0', 0, 0xFF};
  version.resize(16, 0x20);
  std::vector<uint8_t> vectors(32, 0xFF);
  vectors[30] = static_cast<uint8_t>(codeStart);
  vectors[31] = static_cast<uint8_t>(codeStart >> 8);
  const size_t code = 0xF000 - codeStart;
  const size_t rest = 57344 - 16 - code - 32 - high;
  std::vector<Section> sections = {{0xF000, version},
                                   {codeStart, Pattern(code, 1)},
                                   {0xF010, Pattern(rest, 2)},
                                   {0xFFE0, vectors}};
  if (high > 0) sections.push_back({0x10000, Pattern(high, 3)});
  return TiTxt(sections);
}

void Write(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Case {
  std::string name;
  std::string profile;  // instrument-sim profile text; empty: the demo's
  std::string prozTyp;
  std::string image;  // empty: the demo package
  int com = 1;
  std::string silent;
  bool window = false;  // the window program instead of update-cli
};

void WritePackage(const Case& c, const fs::path& folder, const fs::path& source) {
  if (c.image.empty()) {
    for (const char* file : {"Update.ini", "ProgDevice.ini", "Demo340.txt"}) {
      fs::copy_file(source / "demo" / file, folder / file);
    }
    return;
  }
  Write(folder / "Update.ini", "[Update]\r\nLanguage=0\r\nVersion=1.00\r\nBaud=3\r\nCom=\r\n");
  Write(folder / "ProgDevice.ini",
        "[Bench]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=20363\r\nDeviceName=Bench\r\n"
        "ProgFile1=\r\nProgFile2=Image.txt\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@F000\\r\\n\r\n"
        "SWKenn3=\r\nBootLoadKenn=\r\nFlashErase1=\r\nFlashErase2=\r\nFlashErase3=\r\n"
        "ProgDefFile=\r\nProzTyp=" +
            c.prozTyp +
            "\r\n\r\nStarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
            "AbbruchtextD=Abbruch !\r\nAbbruchtextE=Abort !\r\n");
  Write(folder / "Image.txt", c.image);
}

using bench::Spawn;

int64_t JsonInt(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\": ");
  return at == std::string::npos ? -1 : std::atoll(json.c_str() + at + key.size() + 4);
}

// The boot-loader commands the simulator counted, of every kind.
int64_t FrameCount(const std::string& json) {
  const size_t open = json.find("\"frames\": {");
  const size_t close = json.find('}', open);
  if (open == std::string::npos || close == std::string::npos) return 0;
  int64_t total = 0;
  for (size_t at = json.find(':', open + 10); at != std::string::npos && at < close;
       at = json.find(':', at + 1)) {
    total += std::atoll(json.c_str() + at + 1);
  }
  return total;
}

struct Figures {
  bool ok = false;
  double wall = 0, search = 0, phase = 0, own = 0, wire = 0, waits = 0, hostGaps = 0;
  double deadPerCommandMs = 0, deadPerExchangeMs = 0, medianGapMs = 0, p99GapMs = 0, maxGapMs = 0,
         cpu = 0, cpuPercent = 0, maxRssMb = 0;
  int64_t commands = 0, exchanges = 0, waitCount = 0;
};

// update-cli prints lines as it goes; the first status line naming the answering port ends
// the port search.
double SearchSeconds(const std::string& output, const std::vector<double>& lineTimes) {
  std::istringstream lines(output);
  std::string line;
  for (size_t i = 0; std::getline(lines, line) && i < lineTimes.size(); ++i) {
    if (line.rfind("[status 1] Com", 0) == 0) return lineTimes[i];
  }
  return -1;
}

// With keep, the run's folder stays, with the simulator's trace of every byte in it.
Figures RunOnce(const Case& c, const fs::path& source, const fs::path& build, bool keep) {
  Figures f;
  const fs::path root = fs::temp_directory_path() / ("realtime-bench-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "ports");
  fs::create_directories(root / "package");
  WritePackage(c, root / "package", source);
  const std::string program = c.window ? "update" : "update-cli";
  fs::create_symlink(build / "shell" / program, root / "package" / program);
  fs::path profile = source / "demo" / "demo-instrument.ini";
  if (!c.profile.empty()) Write(profile = root / "profile.ini", c.profile);

  std::vector<std::string> env = {"UPDATE_PORT_DIR=" + (root / "ports").string(),
                                  "PATH=/usr/bin:/bin"};
  std::vector<std::string> simWords = {(build / "sim" / "instrument-sim").string(),
                                       "--profile",
                                       profile.string(),
                                       "--com",
                                       std::to_string(c.com),
                                       "--pace",
                                       "--state",
                                       (root / "state.json").string()};
  if (!c.silent.empty()) simWords.insert(simWords.end(), {"--silent-ports", c.silent});
  if (keep) simWords.insert(simWords.end(), {"--trace", (root / "trace.txt").string()});
  const pid_t sim = Spawn(simWords, env, root, (root / "sim.log").string());
  if (sim <= 0) {
    // kill and wait must never see -1: that would mean every process of this user.
    std::fprintf(stderr, "%s: cannot start %s\n", c.name.c_str(), simWords[0].c_str());
    fs::remove_all(root);
    return f;
  }
  for (int i = 0; i < 100 && Read(root / "sim.log").find("ready") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  // update-cli's output goes to a terminal, so it comes line by line with its time.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  grantpt(master);
  unlockpt(master);
  const std::string slave = ptsname(master);
  const auto start = Clock::now();
  std::vector<std::string> words = {(root / "package" / program).string()};
  if (c.window) {
    env.insert(env.end(), {"QT_QPA_PLATFORM=offscreen", "UPDATE_AUTO_RUN=1",
                           "UPDATE_AUTO_ANSWER=yes", "HOME=" + root.string()});
  } else {
    words.insert(words.end(), {"--yes", "--timeout", "600"});
  }
  const pid_t cli = Spawn(words, env, root / "package", slave);
  if (cli <= 0) {
    std::fprintf(stderr, "%s: cannot start %s from %s\n", c.name.c_str(), program.c_str(),
                 build.c_str());
    close(master);
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    fs::remove_all(root);
    return f;
  }
  std::string output;
  std::vector<double> lineTimes;
  char buffer[4096];
  // The window has no time-out of its own: a run that hangs is ended here.
  const auto deadline = start + std::chrono::seconds(900);
  for (;;) {
    pollfd ready = {master, POLLIN, 0};
    const int polled = poll(&ready, 1, 1000);
    if (polled < 0 && errno != EINTR) break;
    if (polled <= 0) {
      if (Clock::now() < deadline) continue;
      kill(cli, SIGKILL);
      break;
    }
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the program has closed its side
    const double now = std::chrono::duration<double>(Clock::now() - start).count();
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\r') continue;
      output += buffer[i];
      if (buffer[i] == '\n') lineTimes.push_back(now);
    }
  }
  int status = 0;
  rusage usage{};
  wait4(cli, &status, 0, &usage);
  f.wall = std::chrono::duration<double>(Clock::now() - start).count();
  close(master);
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);

  const std::string state = Read(root / "state.json");
  f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!f.ok) {
    std::fprintf(stderr, "%s: %s failed:\n%s\n", c.name.c_str(), program.c_str(), output.c_str());
  }
  f.search = SearchSeconds(output, lineTimes);
  f.phase = static_cast<double>(JsonInt(state, "phase_us")) / 1e6;
  f.own = static_cast<double>(JsonInt(state, "own_us")) / 1e6;
  f.wire = static_cast<double>(JsonInt(state, "wire_us")) / 1e6;
  f.hostGaps = static_cast<double>(JsonInt(state, "host_gap_us")) / 1e6;
  f.waits = static_cast<double>(JsonInt(state, "wait_us")) / 1e6;
  f.waitCount = JsonInt(state, "waits");
  f.exchanges = JsonInt(state, "host_gaps");
  f.commands = FrameCount(state);
  f.medianGapMs = static_cast<double>(JsonInt(state, "host_gap_median_us")) / 1e3;
  f.p99GapMs = static_cast<double>(JsonInt(state, "host_gap_p99_us")) / 1e3;
  f.maxGapMs = static_cast<double>(JsonInt(state, "host_gap_max_us")) / 1e3;
  f.deadPerCommandMs = f.commands > 0 ? f.hostGaps * 1e3 / static_cast<double>(f.commands) : 0;
  f.deadPerExchangeMs = f.exchanges > 0 ? f.hostGaps * 1e3 / static_cast<double>(f.exchanges) : 0;
  f.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  f.cpuPercent = f.wall > 0 ? 100 * f.cpu / f.wall : 0;
  f.maxRssMb = static_cast<double>(usage.ru_maxrss) / 1024;
  if (keep) {
    std::printf("kept: %s\n", root.c_str());
  } else {
    fs::remove_all(root);
  }
  return f;
}

void Print(const char* label, const Figures& f) {
  // The window prints nothing that names the answering port.
  char search[16] = "   n/a";
  if (f.search >= 0) std::snprintf(search, sizeof search, "%5.2f s", f.search);
  std::printf(
      "%-8s wall %6.2f s | search %s | boot loader %6.2f s: simulator %6.2f s (wire %6.2f s), "
      "waits %5.2f s (%lld), dead %6.2f s = %6.3f ms/command (%lld), %6.3f ms/exchange (%lld), "
      "median %5.3f ms, p99 %5.3f ms, max %6.2f ms | "
      "cpu %5.3f s = %5.2f %% | rss %5.1f MB%s\n",
      label, f.wall, search, f.phase, f.own, f.wire, f.waits, static_cast<long long>(f.waitCount),
      f.hostGaps, f.deadPerCommandMs, static_cast<long long>(f.commands), f.deadPerExchangeMs,
      static_cast<long long>(f.exchanges), f.medianGapMs, f.p99GapMs, f.maxGapMs, f.cpu,
      f.cpuPercent, f.maxRssMb, f.ok ? "" : "  FAILED");
  std::fflush(stdout);
}

double Median(std::vector<Figures>& runs, double Figures::*field) {
  std::vector<double> values;
  for (const Figures& f : runs) values.push_back(f.*field);
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

Figures MedianOf(std::vector<Figures>& runs) {
  Figures m = runs[runs.size() / 2];
  for (double Figures::*field :
       {&Figures::wall, &Figures::search, &Figures::phase, &Figures::own, &Figures::wire,
        &Figures::waits, &Figures::hostGaps, &Figures::deadPerCommandMs,
        &Figures::deadPerExchangeMs, &Figures::medianGapMs, &Figures::p99GapMs, &Figures::maxGapMs,
        &Figures::cpu, &Figures::cpuPercent, &Figures::maxRssMb}) {
    m.*field = Median(runs, field);
  }
  m.ok = std::all_of(runs.begin(), runs.end(), [](const Figures& f) { return f.ok; });
  return m;
}

std::vector<Case> Cases() {
  return {
      {"classic",
       "[identity]\nversion = 1.20\n[line]\nbaud = 9600\n[bootloader]\ntarget = classic\n"
       "chip_id = 0xF149\nversion = 1.60\nreset_vector = 0x1100\n",
       "149", Image56k(0x1100, 0), 1, ""},
      {"f5xx",
       "[identity]\nversion = 1.20\n[protocol]\npassword_groups = 2\n[bootloader]\n"
       "target = f5xx\nflash_end = 0x25BFF\nreset_vector = 0x5C00\n",
       "5438", Image56k(0x5C00, 19200), 1, ""},
      {"demo", "", "", "", 3, "1,2"},
      {"window", "", "", "", 3, "1,2", true},
  };
}

// Spinners of the idle class on every core while it lives.
class Awake {
 public:
  Awake() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < cores; ++i) {
      spinners_.emplace_back([this] {
        sched_param none{};
        if (sched_setscheduler(0, SCHED_IDLE, &none) != 0) return;  // never spin at normal rank
        while (!stop_.load(std::memory_order_relaxed)) {
        }
      });
    }
  }
  ~Awake() {
    stop_ = true;
    for (std::thread& t : spinners_) t.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> spinners_;
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::vector<std::string> only;
  fs::path build = REALTIME_BINARY_DIR;
  bool keep = false, awake = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--build") == 0 && i + 1 < argc) {
      build = fs::absolute(argv[++i]);  // the programs run in the run's folder
    } else if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else if (std::strcmp(argv[i], "--awake") == 0) {
      awake = true;
    } else if (argv[i][0] != '-') {
      only.push_back(argv[i]);
    } else {
      std::fprintf(stderr,
                   "usage: realtime_bench [--runs N] [--build DIR] [--keep] [--awake]\n"
                   "                      [classic] [f5xx] [demo] [window]\n");
      return 2;
    }
  }
  const fs::path source = REALTIME_SOURCE_DIR;
  std::optional<Awake> spinners;
  if (awake) spinners.emplace();
  bool allOk = true;
  for (const Case& c : Cases()) {
    if (!only.empty() && std::find(only.begin(), only.end(), c.name) == only.end()) continue;
    std::vector<Figures> results;
    for (int r = 0; r < runs; ++r) {
      results.push_back(RunOnce(c, source, build, keep));
      Print(("  " + std::to_string(r + 1)).c_str(), results.back());
    }
    const Figures median = MedianOf(results);
    Print(c.name.c_str(), median);
    allOk = allOk && median.ok;
  }
  return allOk ? 0 : 1;
}
