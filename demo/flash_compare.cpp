// flash-compare IMAGE DUMP: tells whether a flash dump (TI-TXT, as instrument-sim --dump writes
// it) holds every byte of a firmware image (TI-TXT). Rows the dump leaves out are erased flash
// (0xFF). Exit code 0 when they agree.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

bool ReadTiTxt(const char* path, std::map<uint32_t, uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "flash-compare: cannot read %s\n", path);
    return false;
  }
  uint32_t address = 0;
  bool haveAddress = false;
  std::string token;
  while (in >> token) {
    if (token == "q" || token == "Q") return true;
    if (token[0] == '@') {
      address = static_cast<uint32_t>(std::stoul(token.substr(1), nullptr, 16));
      haveAddress = true;
      continue;
    }
    if (!haveAddress || token.size() != 2 ||
        token.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      std::fprintf(stderr, "flash-compare: %s is not TI-TXT near \"%s\"\n", path, token.c_str());
      return false;
    }
    bytes[address++] = static_cast<uint8_t>(std::stoul(token, nullptr, 16));
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: flash-compare IMAGE DUMP\n");
    return 2;
  }
  std::map<uint32_t, uint8_t> image, dump;
  if (!ReadTiTxt(argv[1], image) || !ReadTiTxt(argv[2], dump)) return 2;
  int differences = 0;
  for (const auto& [address, expected] : image) {
    const auto found = dump.find(address);
    const uint8_t actual = found == dump.end() ? 0xFF : found->second;
    if (actual == expected) continue;
    if (++differences <= 10) {
      std::printf("0x%05X: image %02X, flash %02X\n", address, expected, actual);
    }
  }
  if (differences > 0) {
    std::printf("flash differs from the image in %d bytes\n", differences);
    return 1;
  }
  std::printf("flash equals the image (%zu bytes compared)\n", image.size());
  return 0;
}
