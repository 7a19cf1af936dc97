// The offered-version decoders on any firmware bytes and any pattern: the text they find is
// made of what the bytes hold and never longer than they allow.
#include <cstdint>
#include <string>

#include "fuzz/support.h"
#include "update/offered_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input input(data, size);
  const std::string pattern(input.Bytes(input.Byte() % 32));
  const std::string bytes(input.Rest());
  // Two hexadecimal digits give each byte of a text version.
  if (update::DecodeHexVersion(bytes, pattern).size() > bytes.size() / 2) fuzz::Fail();
  (void)update::DecodeProgramVersion(bytes, pattern);
  (void)update::VersionModeFor(pattern, bytes);
  return 0;
}
