// The F5xx programming sequence. Each step declares what its answer leads to and sends one frame.
#include <algorithm>

#include "loaders/msp430/bsl54xx430.h"
#include "loaders/msp430/erase_sweep.h"

namespace msp430 {
namespace {

using T = T_BSL_54XX_430;

// Where the device identifier is read from, and its length.
constexpr uint32_t kDeviceIdAddress = 0x1A04;
constexpr uint16_t kDeviceIdSize = 4;

uint32_t BlockEnd(const ImageBlock54& block) {
  return block.Address + static_cast<uint32_t>(DataCount(block));
}

}  // namespace

std::vector<uint32_t> T_BSL_54XX_430::PlanEraseSweep() const {
  return EraseSweep54(Image54, LastBlock, static_cast<uint32_t>(EraseAddress));
}

void T_BSL_54XX_430::SendPassword54() {
  Send(PasswordFrame54(PasswordWords),
       {step::kPassword, &T::RequestVersion54, nullptr, &T::SendPassword54});
}

void T_BSL_54XX_430::RequestVersion54() {
  Send(VersionFrame54(),
       {.code = step::kVersion, .onFrame = &T::OnVersion54, .onFailure = &T::RequestVersion54});
}

void T_BSL_54XX_430::OnVersion54(std::span<const uint8_t>) {
  ReadDeviceId();
}

void T_BSL_54XX_430::ReadDeviceId() {
  Send(ReadBlockFrame54(kDeviceIdAddress, kDeviceIdSize),
       {.code = step::kVersion, .onFrame = &T::OnDeviceId, .onFailure = &T::ReadDeviceId});
}

void T_BSL_54XX_430::OnDeviceId(std::span<const uint8_t>) {
  if (!PlanErase()) return;
  if (FileMarked()) {
    EraseSegment54();
  } else {
    ChangeBaudRate54();
  }
}

void T_BSL_54XX_430::ChangeBaudRate54() {
  Send(BaudRateFrame54(), {step::kBaudRate, &T::OnBaudChanged54, nullptr, &T::ChangeBaudRate54});
}

void T_BSL_54XX_430::OnBaudChanged54() {
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
  Send(EraseSegmentFrame54(EraseSegments[EraseIndex]),
       {step::kErase, &T::EraseNext54, nullptr, &T::EraseSegment54});
}

void T_BSL_54XX_430::EraseNext54() {
  ++EraseIndex;
  EraseSegment54();
}

// The vector segment, just before its first block; a retry erases it again and nothing else.
void T_BSL_54XX_430::EraseVectorSegment54() {
  Send(EraseSegmentFrame54(kVectorEraseAddress),
       {step::kVectorErase, &T::OnVectorErased54, nullptr, &T::EraseVectorSegment54});
}

void T_BSL_54XX_430::ProgramBlock54() {
  const ImageBlock54& block = Image54[static_cast<size_t>(BlockIndex)];
  if (BlockEnd(block) >= kVectorSegment && block.Address < kHighStart && !VectorPhase) {
    EraseVectorSegment54();
    return;
  }
  Send(DataBlockFrame54(block), {step::kWrite, &T::OnBlockWritten54, nullptr, &T::ProgramBlock54});
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
  Send(ReadBlockFrame54(block.Address, static_cast<uint16_t>(DataCount(block) & 0xFF)),
       {.code = step::kVerify, .onFrame = &T::CompareBlock54, .onFailure = &T::VerifyBlock54});
}

void T_BSL_54XX_430::CompareBlock54(std::span<const uint8_t> data) {
  const ImageBlock54& block = Image54[static_cast<size_t>(BlockIndex)];
  // A shorter answer proves nothing about the bytes it left out.
  const size_t count = static_cast<size_t>(DataCount(block));
  if (data.size() != count || !std::equal(data.begin(), data.end(), block.Data.begin())) {
    FailRun();  // with step::kVerify: the read-back differs
    return;
  }
  if (BlockIndex < LastBlock) {
    ++BlockIndex;
    VerifyBlock54();
    return;
  }
  BlockIndex = 0;
  StartProgram();
}

}  // namespace msp430
