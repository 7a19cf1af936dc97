// T_BSL430: the classic MSP430 ROM boot loader on the shared step chain. Its frames carry an XOR
// checksum; every command is answered by one byte (acknowledgement or rejection) or, for the
// reads, by a reply frame, and every command is preceded by a synchronisation character. The
// sequence: version, password, the 1.10 patch, speed change, erase sweep with memory offsets,
// blocks, read-back, start.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "loaders/msp430/bsl_frame.h"
#include "loaders/msp430/erase_sweep.h"
#include "loaders/msp430/image_reader.h"
#include "loaders/msp430/step_chain.h"

namespace msp430 {

// The classic link as the step chain uses it.
struct ClassicLink {
  using Frame = BslFrame;
  using Answer = BslAnswer;
  using Receiver = BslReceiver;
  // One step fails the run on its fourth failure.
  static constexpr size_t kHistorySlots = 3;
  // A time-out throws away what has come without being an answer.
  static constexpr bool kTimeoutDropsReceived = true;
  static constexpr int32_t kStartDelayMs = 1000;
  static constexpr FlashLayout kFlash = kClassicFlash;
};

class T_BSL430 : public StepChain<T_BSL430, ClassicLink> {
 public:
  explicit T_BSL430(const LoaderHost& host);

  // The instrument named its password (ev::kAnswerPassword, ev::kAnswerPasswordB): the hexadecimal
  // word at the start of text (0x prefix allowed) is the reset vector of the password; it is
  // remembered for the run and the entry command follows.
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
  void OnNoSensorPrompt() override { AltEntry = false; }
  bool TakeAnswers() override;
  void Retry(Step failed) override;
  std::vector<uint32_t> PlanEraseSweep() const override;
  std::optional<BslFrame> StartFrame() const override { return LoadPcFrame(StartAddress); }

 private:
  // Link.
  void SendSync(Step next, Step onFailure = &T_BSL430::ResendSync);
  void ResendSync();
  void WriteSync();
  void TakeAnswer(const BslScan& scan);
  void AcceptPasswordWord(int32_t word);
  bool HighPasswordPart() const;

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

  bool ReadImageFile(const std::string& fileName);

  Step SavedNext = nullptr;
  Step OffsetNext = nullptr;  // goes on after the memory offset is acknowledged

  bool PasswordWordKnown = false;
  bool PasswordSent = false;
  bool VersionKnown = false;
  bool PatchLoaded = false;
  bool OffsetActive = false;
  int32_t ChipId = 0;
  int32_t BslVersion = 0;
  std::string VersionText;
  int32_t PasswordWord = 0;
  int32_t MemOffset = 0;
  int32_t FirstHigh = -1;
  int32_t PatchIndex = 0;
  int32_t LastPatchBlock = -1;
  uint16_t StartAddress = 0;
  std::vector<ImageBlock> Image;
  std::vector<ImageBlock> PatchImage;
};

}  // namespace msp430
