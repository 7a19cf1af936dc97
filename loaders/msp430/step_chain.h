// The step chain both MSP430 boot loaders run on. A step declares what it expects of the answer
// to its frame (the step that follows a confirmation or a reply frame, the step that is retried
// when the boot loader rejects the frame or stays silent, and the step code that names the error)
// and only then sends the frame. The chain takes the answers off the line, runs what the step
// declared and applies the retry rule. A boot loader adds its frames, its answer scan and its
// steps; its link description (Link) names the frame, answer and receiver types and the few
// numbers in which the two boot loaders differ.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "loaders/msp430/erase_sweep.h"
#include "loaders/msp430/failure_history.h"
#include "loaders/msp430/loader_run.h"
#include "loaders/msp430/port_input.h"
#include "update/display.h"

namespace msp430 {

template <typename Loader, typename Link>
class StepChain : public Msp430Loader {
 public:
  // A step of the boot loader, or empty; a frame step receives the reply frame's bytes.
  using Step = void (Loader::*)();
  using FrameStep = void (Loader::*)(std::span<const uint8_t> frame);
  using Frame = typename Link::Frame;
  using Answer = typename Link::Answer;

  // What a step expects of the answer to the frame it is about to send.
  struct Expect {
    int32_t code = step::kNone;   // the step code: the error message when the run ends here
    Step onAck = nullptr;         // the boot loader has confirmed the command
    FrameStep onFrame = nullptr;  // a reply frame with a correct checksum has come
    Step onFailure = nullptr;     // rejected or unanswered: retried under the rule below
  };

  explicit StepChain(const LoaderHost& host) : Msp430Loader(host) {}

 protected:
  // Declares what the step expects, then sends frame. An empty frame (one the codec cannot
  // build) ends the run as a failure of the declared step.
  void Send(const std::optional<Frame>& frame, const Expect& expect) {
    Declare(expect, frame ? AnswerOf(*frame) : Answer{});
    SendFrame(frame);
  }

  // The expectation of a write whose answer is of the given kind, before it is written.
  void Declare(const Expect& expect, Answer answer) {
    StepCode = expect.code;
    SetConfirmation(answer, expect.onAck);
    OnFrame = expect.onFrame;
    OnFailure = expect.onFailure;
  }

  // Where the step after a confirmation is kept; the F5xx boot loader confirms most commands
  // with a status response rather than with its acknowledgement byte.
  virtual void SetConfirmation(Answer, Step next) { OnAck = next; }

  void SendFrame(const std::optional<Frame>& frame) {
    TxFrame = frame;
    if (!TxFrame) {  // a block or an address the frame cannot carry; the readers never produce one
      FailRun();
      return;
    }
    Write(TxFrame->View(), AnswerOf(*TxFrame));
  }

  // Nothing received before a write can answer it: what is left (a late or repeated answer) goes,
  // with what the port holds unread (its read returns at once). A late answer that came during a
  // wait or while a time-out was handled is never taken for the answer to this write.
  void Write(std::span<const uint8_t> bytes, Answer answer) {
    TakeArrived();
    Rx.Clear();
    Awaited = answer;
    host_.port.Write(bytes.data(), static_cast<int32_t>(bytes.size()), false);
  }

  void Run(Step step) {
    if (step && !Done) (static_cast<Loader*>(this)->*step)();
  }
  void RunFrame(std::span<const uint8_t> frame) {
    if (OnFrame) (static_cast<Loader*>(this)->*OnFrame)(frame);
  }

  // Each write is answered once. Bytes that answer nothing outstanding (a late or repeated
  // answer, a reply after its time-out) are dropped without effect.
  void ProcessReceived() final {
    if (!TakeArrived()) return;
    // Once the program has been started, the new firmware's greeting confirms the start, also
    // when the boot loader's acknowledgement of it was lost or comes too late.
    if (StartSent && HoldsPromptLine(Rx.Pending())) {
      GreetingHeard(Rx.Pending());
      Finish();
      return;
    }
    while (Awaited && !Done) {
      if (!TakeAnswers()) return;  // the answer has not come, or not completely
    }
    if (!Awaited) Rx.Clear();
  }

  // Moves what the port has received into the receiver; false when the port refused the read.
  bool TakeArrived() { return ReadArrived(host_.port, Rx); }

  // One scan of the received bytes, acting on what it found; false when it found nothing whole.
  virtual bool TakeAnswers() = 0;

  void HandleTimeout() final {
    if (Link::kTimeoutDropsReceived) Rx.Clear();
    HandleFailure();
  }

  // The retry rule: the failing step is retried until the history refuses it (the same step
  // failing once more than the history has slots, or failures without progress in between);
  // then the run has failed with the step code of the step under way.
  void HandleFailure() {
    const Step failed = OnFailure;
    if (!failed) return;
    if (!History.Record(failed)) {
      FailRun();
      return;
    }
    Retry(failed);
  }

  // How a failed step is tried again; each step resends its own frame.
  virtual void Retry(Step failed) { Run(failed); }

  // The sweep's start for this run; false with the message when it lies beyond the flash.
  bool EraseStartKnown() {
    const update::DownloadContext& context = host_.context;
    const uint32_t start = SweepStart(BslMode, context.FlashErase2, context.FlashErase3);
    const std::string error = EraseStartError(start, Link::kFlash, LanguageIndex);
    EraseAddress = static_cast<int32_t>(start);
    if (error.empty()) return true;
    ShowBox(error);
    return false;
  }

  // The firmware file of this run ended with the "@" mark: the line keeps its speed.
  bool FileMarked() const {
    const update::DownloadContext& context = host_.context;
    const int32_t k = std::min(BslMode, 1);
    return (k == 0 && context.MainFileMarked) || (k == 1 && context.SecondFileMarked);
  }

  // Once the boot loader is known: the segments to erase, and the progress they add. False when
  // the run has failed (the mode may have changed the sweep's start since the image was read).
  bool PlanErase() {
    if (!EraseStartKnown()) {
      StepCode = step::kErase;
      FailRun();
      return false;
    }
    EraseSegments = PlanEraseSweep();
    EraseIndex = 0;
    SetProgressMax(ProgressMax + (static_cast<int32_t>(EraseSegments.size()) + 2) * 2);
    return true;
  }
  virtual std::vector<uint32_t> PlanEraseSweep() const = 0;

  // The jump to the new program, after the boot loader's settling time; its confirmation ends
  // the run as a success.
  void StartProgram() {
    const std::optional<Frame> frame = StartFrame();
    Wait(Link::kStartDelayMs);
    StartSent = true;
    Send(frame, {step::kStart, &StepChain::Finish, nullptr, &StepChain::StartProgram});
  }
  virtual std::optional<Frame> StartFrame() const = 0;

  void Finish() {
    InBootLoader = false;
    update::ShowProgress(host_.view, LanguageIndex, "", 100);
    Done = true;
  }

  typename Link::Receiver Rx;
  std::optional<Frame> TxFrame;
  // The answer the last write waits for; empty once it has come.
  std::optional<Answer> Awaited;
  FrameStep OnFrame = nullptr;
  Step OnAck = nullptr;
  Step OnFailure = nullptr;
  FailureHistory<Step, Link::kHistorySlots> History;

  bool StartSent = false;    // the jump to the new program has gone out
  bool VectorPhase = false;  // the vector segment has been erased
  int32_t EraseAddress = 0;  // where the sweep starts
  std::vector<uint32_t> EraseSegments;
  size_t EraseIndex = 0;
  int32_t BlockIndex = 0;
  int32_t LastBlock = -1;
};

}  // namespace msp430
