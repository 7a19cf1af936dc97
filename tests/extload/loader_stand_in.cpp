// A stand-in for an external loader program. Each run appends one line to the file named by
// STAND_IN_RECORD: its arguments, each in brackets, and the port device it was given
// (UPDATE_PORT_DEVICE). It exits with the code of its run from STAND_IN_EXITS ("1,1,0": the
// first run 1, the second 1, the third and later 0; default 0).
//
// With STAND_IN_MARKER set it also opens the port device as the updater would (exclusively),
// sets 9600 baud 8N2 and writes the marker as one command line, so the instrument on the other
// end records it; a port still held by someone else ends the run with code 3.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

int RunsSoFar(const std::string& record) {
  std::ifstream in(record);
  int lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

int ExitCodeOfRun(int run) {
  std::stringstream codes(Env("STAND_IN_EXITS"));
  int code = 0;
  std::string item;
  for (int i = 0; i <= run && std::getline(codes, item, ','); ++i) code = std::atoi(item.c_str());
  return code;
}

// Writes the marker on the port; false when the port cannot be had.
bool WriteMarker(const std::string& device, const std::string& marker) {
  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) return false;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return false;
  }
  termios line{};
  tcgetattr(fd, &line);
  cfmakeraw(&line);
  line.c_cflag |= CSTOPB | CLOCAL | CREAD;
  cfsetispeed(&line, B9600);
  cfsetospeed(&line, B9600);
  tcsetattr(fd, TCSANOW, &line);
  const std::string text = marker + "\r\n";
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  // Take the instrument's answer off the line, so that it does not reach the updater.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  tcflush(fd, TCIOFLUSH);
  close(fd);
  return written;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::string record = Env("STAND_IN_RECORD");
  const int run = record.empty() ? 0 : RunsSoFar(record);
  std::string line;
  for (int i = 1; i < argc; ++i) line += std::string("[") + argv[i] + "]";
  line += " device=" + Env("UPDATE_PORT_DEVICE");
  int code = ExitCodeOfRun(run);
  if (const std::string marker = Env("STAND_IN_MARKER"); !marker.empty()) {
    if (!WriteMarker(Env("UPDATE_PORT_DEVICE"), marker)) {
      line += " port-busy";
      code = 3;
    }
  }
  if (!record.empty()) std::ofstream(record, std::ios::app) << line << "\n";
  return code;
}
