// The F5xx programming sequence. Each step stores the continuations of its answer, sets its step
// code and sends one frame.
#include <algorithm>

#include "msp430/bsl54xx430.h"
#include "update/display.h"

namespace msp430 {
namespace {

constexpr int32_t kSweepStart = 0xFC00;
constexpr int32_t kVectorSegment = 0xFE00;
constexpr int32_t kVectorErase = 0xFFFF;  // an address inside the vector segment
constexpr int32_t kHighStart = 0x10000;
constexpr int32_t kSegment = 0x200;
constexpr int32_t kNoEraseAtOrBelow = 0x1800;
constexpr uint32_t kDeviceIdAddress = 0x1A04;

int32_t BlockEnd(const ImageBlock54& block) {
  return static_cast<int32_t>(block.Address) + DataCount(block);
}

}  // namespace

int32_t T_BSL_54XX_430::BlockOneAddress() const {
  if (LastBlock >= 1) return static_cast<int32_t>(Image54[1].Address);
  return BlockEnd(Image54[0]);
}

void T_BSL_54XX_430::SendPassword54() {
  OnMessageOk = &T_BSL_54XX_430::RequestVersion54;
  OnFailure = &T_BSL_54XX_430::SendPassword54;
  StepCode = step::kPassword;
  SendFrame(PasswordFrame54(PasswordWords));
}

void T_BSL_54XX_430::RequestVersion54() {
  OnFrame = &T_BSL_54XX_430::OnVersion54;
  OnMessageOk = nullptr;
  OnFailure = &T_BSL_54XX_430::RequestVersion54;
  StepCode = step::kVersion;
  SendFrame(VersionFrame54());
}

void T_BSL_54XX_430::OnVersion54(std::span<const uint8_t>) {
  OnFrame = nullptr;
  ReadDeviceId();
}

void T_BSL_54XX_430::ReadDeviceId() {
  OnFrame = &T_BSL_54XX_430::OnDeviceId;
  OnMessageOk = nullptr;
  OnFailure = &T_BSL_54XX_430::ReadDeviceId;
  StepCode = step::kVersion;
  SendFrame(ReadBlockFrame54(kDeviceIdAddress, 4));
}

void T_BSL_54XX_430::OnDeviceId(std::span<const uint8_t>) {
  OnFrame = nullptr;
  const update::DownloadContext& context = host_.context;
  const int32_t k = std::min(BslMode, 1);
  EraseAddress = kSweepStart;
  if (k == 0 && context.FlashErase2 > 0) EraseAddress = context.FlashErase2;
  if (k == 1 && context.FlashErase3 > 0) EraseAddress = context.FlashErase3;
  const bool marked = (k == 0 && context.MainFileMarked) || (k == 1 && context.SecondFileMarked);
  SetProgressMax(ProgressMax + ((EraseAddress - BlockOneAddress()) / 512 + 2) * 2);
  if (marked) {
    EraseSegment54();
  } else {
    ChangeBaudRate54();
  }
}

void T_BSL_54XX_430::ChangeBaudRate54() {
  OnAck = &T_BSL_54XX_430::OnBaudChanged54;
  OnFailure = &T_BSL_54XX_430::ChangeBaudRate54;
  StepCode = step::kBaudRate;
  SendFrame(BaudRateFrame54());
}

void T_BSL_54XX_430::OnBaudChanged54() {
  OnAck = nullptr;
  host_.port.ChangeV24Parameter(serial::B_38400, serial::S_1, serial::Even, false);
  Wait(1000);
  EraseSegment54();
}

void T_BSL_54XX_430::EraseSegment54() {
  OnMessageOk = &T_BSL_54XX_430::EraseNext54;
  StepCode = step::kErase;
  // Information memory and below are not erased: nothing is sent, and the time-out retries.
  if (EraseAddress <= kNoEraseAtOrBelow) return;
  OnFailure = &T_BSL_54XX_430::EraseSegment54;
  SendFrame(EraseSegmentFrame54(static_cast<uint32_t>(EraseAddress)));
}

void T_BSL_54XX_430::EraseNext54() {
  const int32_t a0 = static_cast<int32_t>(Image54[0].Address);
  const int32_t a1 = BlockOneAddress();
  const bool atBottom = SweepAtBottom;
  SweepAtBottom = false;
  EraseAddress -= kSegment;
  if (EraseAddress == kVectorSegment) EraseAddress -= kSegment;  // coming down from above 0xFFFF
  if (atBottom || EraseAddress < a1 - kSegment) {
    BlockIndex = 0;
    ProgramBlock54();
    return;
  }
  if (EraseAddress == a1 - 0x100) EraseAddress = a1;
  if (EraseAddress < a1) {
    // The last segment of the sweep. Block 0 may lie above block 1 (an image that starts with
    // its vector table): the sweep must not climb back up and start over.
    EraseAddress = std::min(a0, a1);
    SweepAtBottom = true;
  }
  OnFailure = &T_BSL_54XX_430::EraseSegment54;
  EraseSegment54();
}

void T_BSL_54XX_430::ProgramBlock54() {
  const ImageBlock54& block = Image54[static_cast<size_t>(BlockIndex)];
  if (BlockEnd(block) >= kVectorSegment && block.Address < kHighStart && !VectorPhase) {
    EraseAddress = kVectorErase;
    EraseSegment54();
    StepCode = step::kVectorErase;
    OnMessageOk = &T_BSL_54XX_430::OnVectorErased54;
    return;
  }
  OnFailure = &T_BSL_54XX_430::ProgramBlock54;
  StepCode = step::kWrite;
  OnMessageOk = &T_BSL_54XX_430::OnBlockWritten54;
  SendFrame(DataBlockFrame54(block));
}

void T_BSL_54XX_430::OnVectorErased54() {
  VectorPhase = true;
  ProgramBlock54();
}

void T_BSL_54XX_430::OnBlockWritten54() {
  if (BlockIndex < LastBlock) {
    ++BlockIndex;
    ProgramBlock54();
    return;
  }
  BlockIndex = 0;
  VerifyBlock54();
}

void T_BSL_54XX_430::VerifyBlock54() {
  const ImageBlock54& block = Image54[static_cast<size_t>(BlockIndex)];
  OnFrame = &T_BSL_54XX_430::CompareBlock54;
  OnFailure = &T_BSL_54XX_430::VerifyBlock54;
  StepCode = step::kVerify;
  SendFrame(ReadBlockFrame54(block.Address, static_cast<uint16_t>(DataCount(block) & 0xFF)));
}

void T_BSL_54XX_430::CompareBlock54(std::span<const uint8_t> data) {
  const ImageBlock54& block = Image54[static_cast<size_t>(BlockIndex)];
  // A shorter answer proves nothing about the bytes it left out.
  const size_t count = static_cast<size_t>(DataCount(block));
  if (data.size() != count || !std::equal(data.begin(), data.end(), block.Data.begin())) {
    FailRun();  // step code 9: the read-back differs
    return;
  }
  if (BlockIndex < LastBlock) {
    ++BlockIndex;
    VerifyBlock54();
    return;
  }
  BlockIndex = 0;
  OnFrame = nullptr;
  StartProgram54();
}

void T_BSL_54XX_430::StartProgram54() {
  OnAck = &T_BSL_54XX_430::Finish54;
  OnFailure = &T_BSL_54XX_430::StartProgram54;
  StepCode = step::kStart;
  TxFrame = LoadPcFrame54(StartAddress);
  Wait(3000);
  SendFrame(TxFrame);
}

void T_BSL_54XX_430::Finish54() {
  InBootLoader = false;
  update::ShowProgress(host_.view, LanguageIndex, "", 100);
  Done = true;
}

}  // namespace msp430
