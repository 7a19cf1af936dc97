#include "sim/frame_boot_loader.h"

#include <string>
#include <vector>

#include "sim/faults.h"

namespace sim {
namespace {

constexpr uint8_t kFrameEnd = 0x16;
constexpr int64_t kAnswerUs = 5000;

struct Variant {
  const char* head;
  uint8_t start, end;  // markers around the identification text
};
constexpr Variant kVariants[] = {{"h00h", 0x1D, 0x0C}, {"h11h", 0x1E, 0x0A}, {"h,,h", 0x19, 0x0C}};

}  // namespace

FrameBootLoader::FrameBootLoader(Machine& machine, int64_t nowUs) : m_(machine) {
  // The wake-up of the port search comes at 38400 baud.
  m_.link.Listen({38400, Parity::None, 8, 1}, nowUs);
}

void FrameBootLoader::OnByte(uint8_t byte, int64_t nowUs) {
  if (byte != kFrameEnd) return;
  const BootLoaderProfile& p = m_.profile.bootLoader;
  const Variant& v = kVariants[p.frameVariant];
  const UnitFaults faults = FaultsFor(m_.profile.bootLoaderFaults, ++unit_);
  ++m_.record.frames["request"];
  if (faults.silent) return m_.link.Note("fault: frame not answered", nowUs);
  std::vector<uint8_t> answer(v.head, v.head + 4);
  answer.insert(answer.end(), {0x00, 0x01, v.start});
  answer.insert(answer.end(), p.frameId.begin(), p.frameId.end());
  answer.insert(answer.end(), {v.end, 0x00, kFrameEnd});
  SendAnswer(m_.link, m_.profile.bootLoaderFaults, faults, answer, nowUs + kAnswerUs);
}

}  // namespace sim
