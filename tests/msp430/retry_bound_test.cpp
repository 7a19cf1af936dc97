// The classic loader's retries end: a boot loader that rejects every command and every other
// synchronisation character makes two steps fail by turns, which the per-step history alone
// would retry for ever.
#include <gtest/gtest.h>

#include "loaders/msp430/bsl430.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

constexpr uint8_t kAck = 0x90, kNak = 0xA0, kSync = 0x80;
constexpr size_t kScriptEnd = 400;  // then the boot loader falls silent and the run ends anyway

class ClassicRetryBound : public LinkRig {};

TEST_F(ClassicRetryBound, StepsFailingByTurnsEndTheRun) {
  image = folder.Write("plain.txt", TiTxt({{0x1100, Pattern(64, 3)}, VectorTable(0xFFE0, 0x1100)}))
              .string();
  size_t syncs = 0;
  UseScript([&](size_t index, const std::vector<uint8_t>& written) -> std::vector<Chunk> {
    if (index >= kScriptEnd) return {};
    if (written.size() == 1 && written[0] == kSync) return {{++syncs % 2 ? kNak : kAck}};
    return {{kNak}};
  });
  msp430::T_BSL430 loader(Host());
  EXPECT_FALSE(loader.Execute(0, image, true, false).programmed);
  // Bounded by the retry rule, not by the boot loader falling silent at last.
  EXPECT_LT(port->writes.size(), 80u);
  EXPECT_FALSE(view.boxes.empty());
}

}  // namespace
}  // namespace msp430_test
