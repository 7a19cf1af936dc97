// The F5xx programming sequence. Each step stores the continuations of its answer, sets its step
// code and sends one frame.
#include <algorithm>

#include "msp430/bsl54xx430.h"
#include "msp430/erase_sweep.h"
#include "update/display.h"

namespace msp430 {
namespace {

constexpr int32_t kVectorSegment = 0xFE00;
constexpr uint32_t kVectorErase = 0xFFFF;  // an address inside the vector segment
constexpr int32_t kHighStart = 0x10000;
constexpr uint32_t kDeviceIdAddress = 0x1A04;

int32_t BlockEnd(const ImageBlock54& block) {
  return static_cast<int32_t>(block.Address) + DataCount(block);
}

}  // namespace

int32_t T_BSL_54XX_430::BlockOneAddress() const {
  if (LastBlock >= 1) return static_cast<int32_t>(Image54[1].Address);
  return BlockEnd(Image54[0]);
}

// The sweep's start for this run; false with the message when it lies beyond the flash.
bool T_BSL_54XX_430::EraseStartKnown() {
  const update::DownloadContext& context = host_.context;
  const uint32_t start = SweepStart(BslMode, context.FlashErase2, context.FlashErase3);
  const std::string error = EraseStartError(start, kF5xxFlash, LanguageIndex);
  EraseAddress = static_cast<int32_t>(start);
  if (error.empty()) return true;
  ShowBox(error);
  return false;
}

std::vector<uint32_t> T_BSL_54XX_430::PlanEraseSweep() const {
  std::vector<DataExtent> data;
  for (int32_t i = 0; i <= LastBlock; ++i) {
    const ImageBlock54& block = Image54[static_cast<size_t>(i)];
    data.push_back({block.Address, static_cast<uint32_t>(DataCount(block))});
  }
  return EraseSweep(data, static_cast<uint32_t>(EraseAddress),
                    static_cast<uint32_t>(BlockOneAddress()), kF5xxFlash);
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
  // The mode may have changed since the image was read (an instrument without its sensor).
  if (!EraseStartKnown()) {
    StepCode = step::kErase;
    FailRun();
    return;
  }
  const update::DownloadContext& context = host_.context;
  const int32_t k = std::min(BslMode, 1);
  const bool marked = (k == 0 && context.MainFileMarked) || (k == 1 && context.SecondFileMarked);
  EraseSegments = PlanEraseSweep();
  EraseIndex = 0;
  SetProgressMax(ProgressMax + (static_cast<int32_t>(EraseSegments.size()) + 2) * 2);
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

// Walks the planned segments from the top down; after the last the blocks follow.
void T_BSL_54XX_430::EraseSegment54() {
  if (EraseIndex >= EraseSegments.size()) {
    BlockIndex = 0;
    ProgramBlock54();
    return;
  }
  OnMessageOk = &T_BSL_54XX_430::EraseNext54;
  OnFailure = &T_BSL_54XX_430::EraseSegment54;
  StepCode = step::kErase;
  SendFrame(EraseSegmentFrame54(EraseSegments[EraseIndex]));
}

void T_BSL_54XX_430::EraseNext54() {
  ++EraseIndex;
  EraseSegment54();
}

// The vector segment, just before its first block; a retry erases it again and nothing else.
void T_BSL_54XX_430::EraseVectorSegment54() {
  OnMessageOk = &T_BSL_54XX_430::OnVectorErased54;
  OnFailure = &T_BSL_54XX_430::EraseVectorSegment54;
  StepCode = step::kVectorErase;
  SendFrame(EraseSegmentFrame54(kVectorErase));
}

void T_BSL_54XX_430::ProgramBlock54() {
  const ImageBlock54& block = Image54[static_cast<size_t>(BlockIndex)];
  if (BlockEnd(block) >= kVectorSegment && block.Address < kHighStart && !VectorPhase) {
    EraseVectorSegment54();
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
