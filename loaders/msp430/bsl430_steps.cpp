// The classic programming sequence. Each step declares what its answer leads to and sends one
// command; the steps it names carry the run on.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/number_text.h"
#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/chip_table.h"
#include "loaders/msp430/erase_sweep.h"
#include "loaders/msp430/image_file.h"

namespace msp430 {
namespace {

constexpr uint32_t kSkipBelow = 0x1200;  // segments below that may refuse the erase
constexpr uint16_t kBootLoaderRestart = 0x0C22;
constexpr int32_t kVersionTextSize = 12;
// Where boot loaders without the version command keep the bytes of its answer.
constexpr uint16_t kVersionCopyAddress = 0x0FF0;
constexpr uint8_t kVersionCopySize = 14;
// Boot loader versions, in hundredths: 1.10 needs the correction patch, 1.60 and later change
// their speed.
constexpr int32_t kPatchedVersion = 110;
constexpr int32_t kFirstFastVersion = 160;

uint8_t FrameByte(std::span<const uint8_t> frame, size_t i) {
  return i < frame.size() ? frame[i] : 0;
}

uint32_t BlockEnd(const ImageBlock& block) {
  return block.Address + static_cast<uint32_t>(DataCount(block));
}

// The reply's data equal the block's data: same count, same bytes. A shorter reply proves
// nothing about the bytes it left out.
bool SameData(std::span<const uint8_t> frame, const ImageBlock& block) {
  const size_t count = FrameByte(frame, 2);
  if (count != static_cast<size_t>(DataCount(block)) || frame.size() < count + 6) return false;
  return std::equal(frame.begin() + 4, frame.begin() + 4 + static_cast<long>(count),
                    block.Data.begin());
}

}  // namespace

std::vector<uint32_t> T_BSL430::PlanEraseSweep() const {
  return ClassicEraseSweep(Image, LastBlock, FirstHigh, static_cast<uint32_t>(EraseAddress));
}

void T_BSL430::RequestVersion() {
  Send(VersionFrame(), {.code = step::kVersion,
                        .onFrame = &T_BSL430::OnVersion,
                        .onFailure = &T_BSL430::VersionFallback});
}

void T_BSL430::VersionFallback() {
  if (!PasswordSent) {
    SendPassword();
    return;
  }
  // Boot loaders without the version command: the same bytes from memory 0x0FF0.
  Send(ReadBlockFrame(kVersionCopyAddress, kVersionCopySize),
       {.code = step::kVersion,
        .onFrame = &T_BSL430::OnVersion,
        .onFailure = &T_BSL430::VersionFallback});
}

void T_BSL430::OnVersion(std::span<const uint8_t> frame) {
  VersionKnown = true;
  ChipId = FrameByte(frame, 4) * 256 + FrameByte(frame, 5);
  char text[kVersionTextSize];
  std::snprintf(text, sizeof text, "%X.%2X", FrameByte(frame, 14), FrameByte(frame, 15));
  VersionText = text;
  BslVersion = static_cast<int32_t>(100 * core::ReadDecimal(text).value_or(0) + 0.0001);
  if (host_.context.NoSensorContinue) {
    ReloadImageForChip(ChipId);
    if (Done) return;
  }
  SendSync(&T_BSL430::SendPassword);
}

void T_BSL430::ReloadImageForChip(int32_t chip) {
  std::string file = host_.defaultFileForProcessor ? host_.defaultFileForProcessor(chip) : "";
  if (!update::FileNamed(file)) return;
  if (file.back() == '@') {
    host_.MarkSecondFile();
    file.pop_back();
  }
  BlockIndex = 0;
  if (!ReadImageFile(file)) {
    FailRun();
    return;
  }
  if (InTable(kDefaultPasswordAfterReload, chip)) PasswordWord = kDefaultPasswordWord;
}

void T_BSL430::SendPassword() {
  Send(PasswordFrame(static_cast<uint16_t>(PasswordWord)),
       {step::kPassword, &T_BSL430::OnPasswordAccepted, nullptr, &T_BSL430::SendPassword});
}

void T_BSL430::OnPasswordAccepted() {
  PasswordSent = true;
  if (!VersionKnown) {
    SendSync(&T_BSL430::RequestVersion);
    return;
  }
  if (!PlanErase()) return;
  if (BslVersion == kPatchedVersion) {
    LoadPatch();
  } else if (BslVersion >= kFirstFastVersion && !FileMarked()) {
    SendSync(&T_BSL430::ChangeBaudRate);
  } else {
    SendSync(&T_BSL430::EraseStep);
  }
}

void T_BSL430::ChangeBaudRate() {
  Send(BaudRateFrame(ChipId),
       {step::kBaudRate, &T_BSL430::OnBaudChanged, nullptr, &T_BSL430::ChangeBaudRate});
}

void T_BSL430::OnBaudChanged() {
  Wait(1000);
  host_.port.ChangeV24Parameter(serial::B_38400, serial::S_1, serial::Even, false);
  Wait(1000);
  SendSync(&T_BSL430::EraseStep);
}

// Boot loader 1.10 runs a correction patch from RAM before every block command.
void T_BSL430::LoadPatch() {
  PatchIndex = 0;
  const ImageReadResult patch = ReadPatchFile(PatchImage, PatchFileName);
  if (!patch.Ok()) {
    // Without the patch this boot loader cannot be programmed: the run ends as a failure.
    AppendLog(ImageErrorMessage(patch.Error, LanguageIndex));
    StepCode = step::kPatchRestart;
    FailRun();
    return;
  }
  LastPatchBlock = patch.LastBlock;
  SetProgressMax(8 * (LastBlock + 1) + 8 + 4 * (LastPatchBlock + 1) + 246);
  SendSync(&T_BSL430::PatchRestart);
}

void T_BSL430::PatchRestart() {
  Send(LoadPcFrame(kBootLoaderRestart),
       {step::kPatchRestart, &T_BSL430::AfterPatchRestart, nullptr, &T_BSL430::PatchRestart});
}

void T_BSL430::AfterPatchRestart() {
  SendSync(&T_BSL430::PatchPassword);
}

void T_BSL430::PatchPassword() {
  Send(PasswordFrame(static_cast<uint16_t>(PasswordWord)),
       {step::kPassword, &T_BSL430::AfterPatchPassword, nullptr, &T_BSL430::PatchPassword});
}

void T_BSL430::AfterPatchPassword() {
  PatchIndex = 0;
  SendSync(&T_BSL430::PatchWrite);
}

void T_BSL430::PatchWrite() {
  Send(DataBlockFrame(PatchImage[static_cast<size_t>(PatchIndex)]),
       {step::kPatchWrite, &T_BSL430::PatchWritten, nullptr, &T_BSL430::PatchWrite});
}

void T_BSL430::PatchWritten() {
  if (PatchIndex < LastPatchBlock) {
    ++PatchIndex;
    SendSync(&T_BSL430::PatchWrite);
    return;
  }
  PatchIndex = 0;
  SendSync(&T_BSL430::PatchRead);
}

void T_BSL430::PatchRead() {
  const ImageBlock& block = PatchImage[static_cast<size_t>(PatchIndex)];
  Send(ReadBlockFrame(block.Address, static_cast<uint8_t>(DataCount(block))),
       {.code = step::kPatchVerify,
        .onFrame = &T_BSL430::PatchCompare,
        .onFailure = &T_BSL430::PatchRead});
}

void T_BSL430::PatchCompare(std::span<const uint8_t> frame) {
  if (!SameData(frame, PatchImage[static_cast<size_t>(PatchIndex)])) {
    FailRun();
    return;
  }
  if (PatchIndex < LastPatchBlock) {
    ++PatchIndex;
    SendSync(&T_BSL430::PatchRead);
    return;
  }
  PatchIndex = 0;
  PatchLoaded = true;
  SendSync(&T_BSL430::EraseStep);
}

void T_BSL430::PatchCall(Step next) {
  SavedNext = next;
  SendSync(&T_BSL430::PatchCallStart);
}

void T_BSL430::PatchCallStart() {
  Send(LoadPcFrame(PatchImage[0].Address),
       {step::kPatchCall, &T_BSL430::AfterPatchCall, nullptr, &T_BSL430::PatchCallStart});
}

void T_BSL430::AfterPatchCall() {
  SendSync(SavedNext);
}

void T_BSL430::SyncOrPatchCall(Step next) {
  if (PatchLoaded) {
    PatchCall(next);
  } else {
    SendSync(next);
  }
}

// Walks the planned segments from the top down, with the memory offset on for those above 0xFFFF.
void T_BSL430::EraseStep() {
  if (EraseIndex >= EraseSegments.size()) {
    if (OffsetActive) {
      ChangeMemOffset(0, &T_BSL430::OnEraseOffset);
      return;
    }
    BlockIndex = 0;
    SyncOrPatchCall(&T_BSL430::ProgramBlock);
    return;
  }
  const uint32_t address = EraseSegments[EraseIndex];
  const bool high = address >= kHighStart;
  if (high != OffsetActive) {
    ChangeMemOffset(high ? 1 : 0, &T_BSL430::OnEraseOffset);
    return;
  }
  // A segment below 0x1200 that cannot be erased is skipped.
  const Step onFailure = address < kSkipBelow ? &T_BSL430::EraseNext : &T_BSL430::EraseStep;
  Send(EraseSegmentFrame(static_cast<uint16_t>(address)),
       {step::kErase, &T_BSL430::EraseNext, nullptr, onFailure});
}

// Every retry of the offset command goes on where its first attempt would have: the
// continuation is re-armed with each send.
void T_BSL430::ChangeMemOffset(int32_t offset, Step next) {
  MemOffset = offset;
  OffsetNext = next;
  SetMemOffset();
}

void T_BSL430::SetMemOffset() {
  Send(MemOffsetFrame(static_cast<uint8_t>(MemOffset)),
       {step::kMemOffset, OffsetNext, nullptr, &T_BSL430::SetMemOffset});
}

void T_BSL430::OnEraseOffset() {
  OffsetActive = MemOffset == 1;
  SendSync(&T_BSL430::EraseStep);
}

void T_BSL430::EraseNext() {
  ++EraseIndex;
  if (EraseIndex >= EraseSegments.size() && !OffsetActive) {
    BlockIndex = 0;
    SyncOrPatchCall(&T_BSL430::ProgramBlock);
    return;
  }
  // A failed synchronisation character here is retried as the erase step, with a fresh one.
  SendSync(&T_BSL430::EraseStep, &T_BSL430::EraseStep);
}

// The vector segment, just before its first block; a retry erases it again and nothing else.
void T_BSL430::EraseVectorSegment() {
  Send(EraseSegmentFrame(static_cast<uint16_t>(kVectorEraseAddress)),
       {step::kVectorErase, &T_BSL430::OnVectorErased, nullptr, &T_BSL430::EraseVectorSegment});
}

void T_BSL430::ProgramBlock() {
  const ImageBlock& block = Image[static_cast<size_t>(BlockIndex)];
  const bool vectorDue =
      !VectorPhase && (FirstHigh == -1 ? BlockEnd(block) >= kVectorSegment : IsMarker(block));
  if (vectorDue) {
    if (MemOffset == 1 && OffsetActive) {
      ChangeMemOffset(0, &T_BSL430::OnProgramOffset);
      return;
    }
    if (FirstHigh != -1) ++BlockIndex;  // past the marker
    EraseVectorSegment();
    return;
  }
  if (BlockIndex == FirstHigh && !OffsetActive) {
    ChangeMemOffset(1, &T_BSL430::OnProgramOffset);
    return;
  }
  Send(DataBlockFrame(block),
       {step::kWrite, &T_BSL430::OnBlockWritten, nullptr, &T_BSL430::ProgramBlock});
}

void T_BSL430::OnProgramOffset() {
  OffsetActive = MemOffset == 1;
  SendSync(&T_BSL430::ProgramBlock);
}

void T_BSL430::OnVectorErased() {
  VectorPhase = true;
  SyncOrPatchCall(&T_BSL430::ProgramBlock);
}

void T_BSL430::OnBlockWritten() {
  if (BlockIndex < LastBlock) {
    ++BlockIndex;
    SyncOrPatchCall(&T_BSL430::ProgramBlock);
    return;
  }
  BlockIndex = 0;
  SyncOrPatchCall(&T_BSL430::VerifyBlock);
}

void T_BSL430::VerifyBlock() {
  if (FirstHigh != -1 && IsMarker(Image[static_cast<size_t>(BlockIndex)])) {
    if (MemOffset == 1 && OffsetActive) {
      ChangeMemOffset(0, &T_BSL430::OnVerifyOffset);
      return;
    }
    ++BlockIndex;
  }
  if (BlockIndex == FirstHigh && !OffsetActive) {
    ChangeMemOffset(1, &T_BSL430::OnVerifyOffset);
    return;
  }
  const ImageBlock& block = Image[static_cast<size_t>(BlockIndex)];
  Send(ReadBlockFrame(block.Address, static_cast<uint8_t>(DataCount(block))),
       {.code = step::kVerify,
        .onFrame = &T_BSL430::CompareBlock,
        .onFailure = &T_BSL430::VerifyBlock});
}

void T_BSL430::OnVerifyOffset() {
  OffsetActive = MemOffset == 1;
  SendSync(&T_BSL430::VerifyBlock);
}

void T_BSL430::CompareBlock(std::span<const uint8_t> frame) {
  if (!SameData(frame, Image[static_cast<size_t>(BlockIndex)])) {
    FailRun();  // with step::kVerify: the read-back differs
    return;
  }
  if (BlockIndex < LastBlock) {
    ++BlockIndex;
    SyncOrPatchCall(&T_BSL430::VerifyBlock);
    return;
  }
  BlockIndex = 0;
  SendSync(&T_BSL430::StartProgram);
}

}  // namespace msp430
