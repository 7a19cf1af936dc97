// The classic programming sequence. Each step stores the continuations of its answer, sets its
// step code and sends one command; the steps named in the continuations carry the run on.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/number_text.h"
#include "msp430/bsl430.h"
#include "msp430/erase_sweep.h"
#include "msp430/image_file.h"
#include "update/display.h"

namespace msp430 {
namespace {

constexpr int32_t kVectorSegment = 0xFE00;
constexpr uint16_t kVectorErase = 0xFFFF;  // an address inside the vector segment
constexpr int32_t kHighStart = 0x10000;
constexpr uint32_t kInfoSegment = 0x1080;  // erased with every sweep
constexpr uint32_t kSkipBelow = 0x1200;    // segments below that may refuse the erase
constexpr uint16_t kBootLoaderRestart = 0x0C22;
constexpr int32_t kProcessorF427 = 0xF427;
constexpr int32_t kVersionTextSize = 12;

uint8_t FrameByte(std::span<const uint8_t> frame, size_t i) {
  return i < frame.size() ? frame[i] : 0;
}

int32_t BlockEnd(const ImageBlock& block) {
  return block.Address + DataCount(block);
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

// The sweep's start for this run; false with the message when it lies beyond the flash.
bool T_BSL430::EraseStartKnown() {
  const update::DownloadContext& context = host_.context;
  const uint32_t start = SweepStart(BslMode, context.FlashErase2, context.FlashErase3);
  const std::string error = EraseStartError(start, kClassicFlash, LanguageIndex);
  EraseAddress = static_cast<int32_t>(start);
  if (error.empty()) return true;
  ShowBox(error);
  return false;
}

// Blocks from FirstHigh up to the marker lie 0x10000 above their stored address.
std::vector<uint32_t> T_BSL430::PlanEraseSweep() const {
  std::vector<DataExtent> data;
  bool high = false;
  for (int32_t i = 0; i <= LastBlock; ++i) {
    const ImageBlock& block = Image[static_cast<size_t>(i)];
    high = (high || i == FirstHigh) && !IsMarker(block);
    const uint32_t offset = high ? static_cast<uint32_t>(kHighStart) : 0;
    data.push_back({block.Address + offset, static_cast<uint32_t>(DataCount(block))});
  }
  const uint32_t bottom = data.size() > 1 ? data[1].Address : data[0].Address + data[0].Count;
  const uint32_t also[] = {kInfoSegment};
  return EraseSweep(data, static_cast<uint32_t>(EraseAddress), bottom, kClassicFlash, also);
}

void T_BSL430::RequestVersion() {
  OnFrame = &T_BSL430::OnVersion;
  OnAck = nullptr;
  OnFailure = &T_BSL430::VersionFallback;
  StepCode = step::kVersion;
  SendFrame(VersionFrame());
}

void T_BSL430::VersionFallback() {
  if (!PasswordSent) {
    SendPassword();
    return;
  }
  // Boot loaders without the version command: the same bytes from memory 0x0FF0.
  OnFrame = &T_BSL430::OnVersion;
  OnFailure = &T_BSL430::VersionFallback;
  StepCode = step::kVersion;
  SendFrame(ReadBlockFrame(0x0FF0, 14));
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
  if (file.size() < 5) return;
  if (file.back() == '@') {
    host_.context.SecondFileMarked = true;
    file.pop_back();
  }
  BlockIndex = 0;
  if (!ReadImageFile(file)) {
    FailRun();
    return;
  }
  if (chip == kProcessorF427) PasswordWord = 0x0E5A;
}

void T_BSL430::SendPassword() {
  OnAck = &T_BSL430::OnPasswordAccepted;
  OnFailure = &T_BSL430::SendPassword;
  StepCode = step::kPassword;
  SendFrame(PasswordFrame(static_cast<uint16_t>(PasswordWord)));
}

void T_BSL430::OnPasswordAccepted() {
  PasswordSent = true;
  if (!VersionKnown) {
    SendSync(&T_BSL430::RequestVersion);
    return;
  }
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
  if (BslVersion == 110) {
    LoadPatch();
  } else if (BslVersion >= 160 && !marked) {
    SendSync(&T_BSL430::ChangeBaudRate);
  } else {
    SendSync(&T_BSL430::EraseStep);
  }
}

void T_BSL430::ChangeBaudRate() {
  OnAck = &T_BSL430::OnBaudChanged;
  OnFailure = &T_BSL430::ChangeBaudRate;
  StepCode = step::kBaudRate;
  SendFrame(BaudRateFrame(ChipId));
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
  OnAck = &T_BSL430::AfterPatchRestart;
  OnFailure = &T_BSL430::PatchRestart;
  StepCode = step::kPatchRestart;
  SendFrame(LoadPcFrame(kBootLoaderRestart));
}

void T_BSL430::AfterPatchRestart() {
  SendSync(&T_BSL430::PatchPassword);
}

void T_BSL430::PatchPassword() {
  OnAck = &T_BSL430::AfterPatchPassword;
  OnFailure = &T_BSL430::PatchPassword;
  StepCode = step::kPassword;
  SendFrame(PasswordFrame(static_cast<uint16_t>(PasswordWord)));
}

void T_BSL430::AfterPatchPassword() {
  PatchIndex = 0;
  SendSync(&T_BSL430::PatchWrite);
}

void T_BSL430::PatchWrite() {
  OnAck = &T_BSL430::PatchWritten;
  OnFailure = &T_BSL430::PatchWrite;
  StepCode = step::kPatchWrite;
  SendFrame(DataBlockFrame(PatchImage[static_cast<size_t>(PatchIndex)]));
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
  OnFrame = &T_BSL430::PatchCompare;
  OnFailure = &T_BSL430::PatchRead;
  StepCode = step::kPatchVerify;
  SendFrame(ReadBlockFrame(block.Address, static_cast<uint8_t>(DataCount(block))));
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
  OnAck = &T_BSL430::AfterPatchCall;
  OnFailure = &T_BSL430::PatchCallStart;
  StepCode = step::kPatchCall;
  SendFrame(LoadPcFrame(PatchImage[0].Address));
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
  const bool high = address >= static_cast<uint32_t>(kHighStart);
  if (high != OffsetActive) {
    ChangeMemOffset(high ? 1 : 0, &T_BSL430::OnEraseOffset);
    return;
  }
  OnAck = &T_BSL430::EraseNext;
  // A segment below 0x1200 that cannot be erased is skipped.
  OnFailure = address < kSkipBelow ? &T_BSL430::EraseNext : &T_BSL430::EraseStep;
  StepCode = step::kErase;
  SendFrame(EraseSegmentFrame(static_cast<uint16_t>(address)));
}

// Every retry of the offset command goes on where its first attempt would have: the
// continuation is re-armed with each send.
void T_BSL430::ChangeMemOffset(int32_t offset, Step next) {
  MemOffset = offset;
  OffsetNext = next;
  SetMemOffset();
}

void T_BSL430::SetMemOffset() {
  OnAck = OffsetNext;
  OnFailure = &T_BSL430::SetMemOffset;
  StepCode = step::kMemOffset;
  SendFrame(MemOffsetFrame(static_cast<uint8_t>(MemOffset)));
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
  SendSync(&T_BSL430::EraseStep);
  OnFailure = &T_BSL430::EraseStep;
}

// The vector segment, just before its first block; a retry erases it again and nothing else.
void T_BSL430::EraseVectorSegment() {
  OnAck = &T_BSL430::OnVectorErased;
  OnFailure = &T_BSL430::EraseVectorSegment;
  StepCode = step::kVectorErase;
  SendFrame(EraseSegmentFrame(kVectorErase));
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
  OnAck = &T_BSL430::OnBlockWritten;
  OnFailure = &T_BSL430::ProgramBlock;
  StepCode = step::kWrite;
  SendFrame(DataBlockFrame(block));
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
  OnFrame = &T_BSL430::CompareBlock;
  OnFailure = &T_BSL430::VerifyBlock;
  StepCode = step::kVerify;
  SendFrame(ReadBlockFrame(block.Address, static_cast<uint8_t>(DataCount(block))));
}

void T_BSL430::OnVerifyOffset() {
  OffsetActive = MemOffset == 1;
  SendSync(&T_BSL430::VerifyBlock);
}

void T_BSL430::CompareBlock(std::span<const uint8_t> frame) {
  if (!SameData(frame, Image[static_cast<size_t>(BlockIndex)])) {
    FailRun();  // step code 9: the read-back differs
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

void T_BSL430::StartProgram() {
  OnAck = &T_BSL430::Finish;
  OnFailure = &T_BSL430::StartProgram;
  StepCode = step::kStart;
  TxFrame = LoadPcFrame(StartAddress);
  Wait(1000);
  SendFrame(TxFrame);
}

void T_BSL430::Finish() {
  InBootLoader = false;
  update::ShowProgress(host_.view, LanguageIndex, "", 100);
  Done = true;
}

}  // namespace msp430
