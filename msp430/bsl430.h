// T_BSL430: the classic MSP430 ROM boot loader. The link (synchronisation character, frames,
// acknowledgements, retries) and the programming sequence (version, password, the 1.10 patch,
// speed change, erase sweep with memory offsets, blocks, read-back, start) as a chain of steps:
// each step sends one command and names the step that follows its answer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "msp430/bsl_frame.h"
#include "msp430/failure_history.h"
#include "msp430/image_reader.h"
#include "msp430/loader_run.h"

namespace msp430 {

class T_BSL430 : public Msp430Loader {
 public:
  explicit T_BSL430(const LoaderHost& host);

  // Answer 80/81: the hexadecimal word at the start of text (0x prefix allowed) is the reset
  // vector of the password; remembered in the run's record; the entry command follows.
  void SetPasswordWord(const std::string& text);
  // Switches the line and starts the sequence, with a synchronisation character first or not.
  void EnterBootLoader(bool syncFirst);

  // Patch file of boot loader 1.10, read from the working folder by default.
  std::string PatchFileName = kPatchFileName;

 protected:
  bool LoadImage(const std::string& fileName) override;
  void StartInBootLoader() override;
  void SetDefaultPassword() override;
  void SetPasswordText(const std::string& text) override { SetPasswordWord(text); }
  bool PasswordIsKnown() const override { return PasswordWordKnown; }
  void EnterBootLoader() override { EnterBootLoader(true); }
  void ProcessReceived() override;
  void HandleTimeout() override;
  void OnNoSensorPrompt() override { AltEntry = false; }

 private:
  // A continuation: a step of this loader, or empty.
  using Step = void (T_BSL430::*)();
  using FrameStep = void (T_BSL430::*)(std::span<const uint8_t> frame);

  // Link.
  void SendFrame(const std::optional<BslFrame>& frame);
  void SendSync(Step next);
  void ResendSync();
  void WriteSync();
  void Write(std::span<const uint8_t> bytes, BslAnswer answer);
  void TakeAnswer(const BslScan& scan);
  void HandleFailure();
  void Run(Step step);

  // Sequence.
  void RequestVersion();
  void VersionFallback();
  void OnVersion(std::span<const uint8_t> frame);
  void ReloadImageForChip(int32_t chip);
  void SendPassword();
  void OnPasswordAccepted();
  void ChangeBaudRate();
  void OnBaudChanged();
  void LoadPatch();
  void PatchRestart();
  void AfterPatchRestart();
  void PatchPassword();
  void AfterPatchPassword();
  void PatchWrite();
  void PatchWritten();
  void PatchRead();
  void PatchCompare(std::span<const uint8_t> frame);
  void PatchCall(Step next);
  void PatchCallStart();
  void AfterPatchCall();
  void SyncOrPatchCall(Step next);
  void EraseStep();
  void ChangeMemOffset(int32_t offset, Step next);
  void SetMemOffset();
  void OnEraseOffset();
  void EraseNext();
  void EraseVectorSegment();
  void ProgramBlock();
  void OnProgramOffset();
  void OnVectorErased();
  void OnBlockWritten();
  void VerifyBlock();
  void OnVerifyOffset();
  void CompareBlock(std::span<const uint8_t> frame);
  void StartProgram();
  void Finish();

  bool ReadImageFile(const std::string& fileName);
  bool EraseStartKnown();
  std::vector<uint32_t> PlanEraseSweep() const;

  BslReceiver Rx;
  std::optional<BslFrame> TxFrame;
  // The answer the last write waits for; empty once it has come.
  std::optional<BslAnswer> Awaited;
  FrameStep OnFrame = nullptr;
  Step OnAck = nullptr;
  Step OnFailure = nullptr;
  FailureHistory<Step, 3> History;
  Step SavedNext = nullptr;
  Step OffsetNext = nullptr;  // goes on after the memory offset is acknowledged

  bool PasswordWordKnown = false;
  bool PasswordSent = false;
  bool VersionKnown = false;
  bool VectorPhase = false;
  bool PatchLoaded = false;
  bool OffsetActive = false;
  int32_t ChipId = 0;
  int32_t BslVersion = 0;
  std::string VersionText;
  int32_t PasswordWord = 0;
  int32_t EraseAddress = 0;  // where the sweep starts
  std::vector<uint32_t> EraseSegments;
  size_t EraseIndex = 0;
  int32_t MemOffset = 0;
  int32_t BlockIndex = 0;
  int32_t LastBlock = -1;
  int32_t FirstHigh = -1;
  int32_t PatchIndex = 0;
  int32_t LastPatchBlock = -1;
  uint16_t StartAddress = 0;
  std::vector<ImageBlock> Image;
  std::vector<ImageBlock> PatchImage;
};

}  // namespace msp430
