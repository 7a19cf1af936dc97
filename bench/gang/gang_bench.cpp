// Real-time benchmark of gang programming: update-cli --gang against N instrument-sim programs
// that pace every byte at its wire time and spend flash time as instruments do, one per port,
// each with its own serial number. First one instrument alone (update-cli without --gang), then
// the gang of N. Figures: the gang's wall time against the one instrument's (goal: at most 1.3
// times), CPU per instrument and the gang's peak resident memory (goal: under 15 MB plus 2 MB per
// instrument).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/common/spawn.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = seed * 2654435761u + 1;
  for (uint8_t& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>((x >> 16) % 255);  // never 0xFF: erased flash differs
  }
  return bytes;
}

void Hex(std::string& text, uint32_t address, const std::vector<uint8_t>& bytes) {
  char part[8];
  std::snprintf(part, sizeof part, "@%04X", address);
  text += part;
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(part, sizeof part, "%s%02X", i % 16 ? " " : "\r\n", bytes[i]);
    text += part;
  }
  text += "\r\n";
}

// kib KiB for the classic boot loader: the version text 1.30 at 0xF000 (the identification reads
// it from the file's start), the program below it, the vectors with the reset at its start.
std::string Image(size_t kib) {
  const size_t code = kib * 1024 - 16 - 32;
  const uint32_t start = 0xF000 - static_cast<uint32_t>(code);
  std::vector<uint8_t> version = {'1', '.', '3', '0', 0, 0xFF};
  version.resize(16, 0x20);
  std::vector<uint8_t> vectors(32, 0xFF);
  vectors[30] = static_cast<uint8_t>(start);
  vectors[31] = static_cast<uint8_t>(start >> 8);
  std::string text;
  Hex(text, 0xF000, version);
  Hex(text, start, Pattern(code, 1));
  Hex(text, 0xFFE0, vectors);
  return text + "q\r\n";
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

using bench::Spawn;

struct Figures {
  bool ok = false;
  double wall = 0, cpu = 0, rssMb = 0;
};

// One update-cli run against n paced instruments on COM1..COMn; gang selects --gang.
Figures Run(const fs::path& build, int n, size_t kib, bool gang) {
  Figures f;
  const fs::path root = fs::temp_directory_path() / ("gang-bench-" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "ports");
  fs::create_directories(root / "package");
  Write(root / "package" / "Update.ini",
        "[Update]\r\nLanguage=1\r\nVersion=1.00\r\nBaud=3\r\nCom=\r\n");
  Write(root / "package" / "ProgDevice.ini",
        "[Bench]\r\nDevStartCmd=1\r\nDeviceNrDef=XXXXX\r\nDeviceNr=20363\r\nDeviceName=Bench\r\n"
        "ProgFile1=\r\nProgFile2=Image.txt\r\nProgFile3=\r\nSWKenn1=\r\nSWKenn2=@F000\\r\\n\r\n"
        "SWKenn3=\r\nBootLoadKenn=\r\nFlashErase1=\r\nFlashErase2=\r\nFlashErase3=\r\n"
        "ProgDefFile=\r\nProzTyp=149\r\n\r\nStarttextD=Start NAME\r\nStarttextE=Start NAME\r\n"
        "AbbruchtextD=Abbruch !\r\nAbbruchtextE=Abort !\r\n");
  Write(root / "package" / "Image.txt", Image(kib));
  fs::create_symlink(build / "shell" / "update-cli", root / "package" / "update-cli");
  const std::vector<std::string> env = {"UPDATE_PORT_DIR=" + (root / "ports").string(),
                                        "PATH=/usr/bin:/bin"};
  std::vector<pid_t> sims;
  for (int i = 1; i <= n; ++i) {
    const fs::path profile = root / ("profile" + std::to_string(i) + ".ini");
    Write(profile, "[identity]\nversion = 1.20\nserial = " + std::to_string(5000 + i) +
                       "\n[bootloader]\ntarget = classic\nversion = 1.60\n");
    sims.push_back(Spawn({(build / "sim" / "instrument-sim").string(), "--profile",
                          profile.string(), "--com", std::to_string(i), "--pace"},
                         env, root, root / ("sim" + std::to_string(i) + ".log")));
  }
  for (int i = 1; i <= n; ++i) {
    const fs::path log = root / ("sim" + std::to_string(i) + ".log");
    for (int t = 0; t < 100 && Read(log).find("ready") == std::string::npos; ++t) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::vector<std::string> words = {(root / "package" / "update-cli").string(),
                                    "--yes",
                                    "--timeout",
                                    "900",
                                    "--record",
                                    (root / "runs.csv").string()};
  if (gang) {
    words.insert(words.end(), {"--gang", "--logs", (root / "logs").string()});
  } else {
    words.insert(words.end(), {"--port", "COM1"});
  }
  const auto start = Clock::now();
  const pid_t cli = Spawn(words, env, root / "package", root / "cli.log");
  int status = 0;
  rusage usage{};
  if (cli > 0) wait4(cli, &status, 0, &usage);
  f.wall = std::chrono::duration<double>(Clock::now() - start).count();
  for (pid_t sim : sims) {
    if (sim <= 0) continue;
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
  }
  f.ok = cli > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!f.ok) std::fprintf(stderr, "update-cli failed:\n%s\n", Read(root / "cli.log").c_str());
  f.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
          static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  f.rssMb = static_cast<double>(usage.ru_maxrss) / 1024;
  fs::remove_all(root);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  int n = 8;
  size_t kib = 16;
  fs::path build = GANG_BINARY_DIR;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--instruments" && i + 1 < argc) {
      n = std::atoi(argv[++i]);
    } else if (arg == "--kib" && i + 1 < argc) {
      kib = static_cast<size_t>(std::atoi(argv[++i]));
    } else if (arg == "--build" && i + 1 < argc) {
      build = argv[++i];
    } else {
      std::fprintf(stderr, "usage: gang_bench [--instruments N] [--kib K] [--build DIR]\n");
      return 2;
    }
  }
  if (n < 1 || n > 64 || kib < 2 || kib > 56) {
    std::fprintf(stderr, "gang_bench: 1 to 64 instruments, 2 to 56 KiB\n");
    return 2;
  }
  const Figures one = Run(build, 1, kib, false);
  const Figures all = Run(build, n, kib, true);
  std::printf("one instrument: wall %.1f s, cpu %.2f s, peak rss %.1f MB\n", one.wall, one.cpu,
              one.rssMb);
  std::printf("gang of %d:     wall %.1f s, cpu %.2f s (%.2f s per instrument), peak rss %.1f MB\n",
              n, all.wall, all.cpu, all.cpu / n, all.rssMb);
  const double ratio = one.wall > 0 ? all.wall / one.wall : 0;
  const double rssGoal = 15.0 + 2.0 * n;
  std::printf("gang wall / one wall: %.2f (goal <= 1.30): %s\n", ratio,
              ratio <= 1.3 ? "met" : "missed");
  std::printf("gang peak rss: %.1f MB (goal < %.0f MB): %s\n", all.rssMb, rssGoal,
              all.rssMb < rssGoal ? "met" : "missed");
  return one.ok && all.ok ? 0 : 1;
}
