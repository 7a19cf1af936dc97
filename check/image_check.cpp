#include "check/image_check.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "loaders/msp430/erase_sweep.h"
#include "loaders/msp430/image_file.h"
#include "loaders/msp430/start_address.h"
#include "package/device_file.h"
#include "package/messages.h"

namespace check {
namespace {

using package::CheckLevel;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

// A run of blocks sent one after the other that fill one stretch of memory.
struct Stretch {
  uint32_t first = 0;
  uint32_t end = 0;  // one past the last byte
};

// The blocks in the order they are sent, joined where one continues the other.
std::string StretchesText(const std::vector<msp430::DataExtent>& blocks) {
  std::vector<Stretch> stretches;
  for (const msp430::DataExtent& block : blocks) {
    if (block.Count == 0) continue;
    if (!stretches.empty() && stretches.back().end == block.Address) {
      stretches.back().end += block.Count;
    } else {
      stretches.push_back({block.Address, block.Address + block.Count});
    }
  }
  std::string text;
  for (const Stretch& stretch : stretches) {
    if (!text.empty()) text += ", ";
    text += Hex(stretch.first) + "-" + Hex(stretch.end - 1);
  }
  return text;
}

// The segments to erase, highest first; neighbouring segments shown as one range.
std::string SegmentsText(const std::vector<uint32_t>& segments) {
  std::string text;
  for (size_t i = 0; i < segments.size();) {
    size_t j = i;
    while (j + 1 < segments.size() && segments[j] - segments[j + 1] <= 0x200) ++j;
    if (!text.empty()) text += ", ";
    text += j == i ? Hex(segments[i]) : Hex(segments[i]) + "-" + Hex(segments[j]);
    i = j + 1;
  }
  return text;
}

struct Facts {
  std::vector<msp430::DataExtent> blocks;  // in the order sent, at their full addresses
  std::vector<uint32_t> segments;
  std::optional<uint32_t> start;
  int32_t firstHigh = -1;    // classic: the block before which the memory offset goes to 1
  int32_t vectorBlock = -1;  // the block before which the vector segment is erased
  bool setsVectors = false;
};

bool ReachesVectors(const msp430::DataExtent& block) {
  return block.Count > 0 && block.Address < msp430::kHighStart &&
         block.Address + block.Count > msp430::kVectorSegment;
}

class ImageChecker {
 public:
  ImageChecker(package::CheckReport& report, const package::CheckPlace& place,
               const ImagePlan& plan)
      : report_(report), place_(place), plan_(plan), language_(report.language) {}

  void Run() {
    const bool f5xx = plan_.prozTyp == package::kProcessorF5xx;
    Add(CheckLevel::kOk,
        messages::Filled(f5xx ? messages::CHECK_LOADER_F5XX : messages::CHECK_LOADER_CLASSIC,
                         language_, plan_.file));
    const uint32_t sweepStart =
        msp430::SweepStart(plan_.bslMode, plan_.flashErase2, plan_.flashErase3);
    const std::optional<Facts> facts = f5xx ? ReadF5xx(sweepStart) : ReadClassic(sweepStart);
    if (!facts) return;
    const std::string eraseError = msp430::EraseStartError(
        sweepStart, f5xx ? msp430::kF5xxFlash : msp430::kClassicFlash, language_);
    if (!eraseError.empty()) Add(CheckLevel::kError, eraseError);
    Report(*facts, eraseError.empty());
  }

 private:
  void Add(CheckLevel level, std::string text) {
    report_.Add(level, std::move(text), plan_.file, place_.entry, place_.device);
  }

  void RefuseImage(const msp430::ImageError& error) {
    Add(CheckLevel::kError, msp430::ImageErrorMessage(error, language_));
  }

  std::optional<Facts> ReadClassic(uint32_t sweepStart) {
    std::vector<msp430::ImageBlock> image(msp430::kImageBlocks);
    const msp430::ImageReadResult result = msp430::ReadImageFile(plan_.file, image);
    if (!result.Ok()) {
      RefuseImage(result.Error);
      return std::nullopt;
    }
    if (msp430::HighDataWithoutVectors(image, result)) {
      Add(CheckLevel::kError,
          msp430::ImageFileLead(plan_.file, language_) +
              std::string(messages::Text(messages::MSG_IMAGE_NO_VECTOR_TABLE, language_)));
      return std::nullopt;
    }
    Facts facts;
    facts.start = msp430::ClassicStartAddress(image, result.LastBlock, result.FirstHigh);
    facts.setsVectors = msp430::SetsVectorsBesideReset(image, result.LastBlock, result.FirstHigh);
    facts.firstHigh = result.FirstHigh;
    facts.segments =
        msp430::ClassicEraseSweep(image, result.LastBlock, result.FirstHigh, sweepStart);
    // Blocks from FirstHigh up to the marker lie 0x10000 above their stored address.
    bool high = false;
    for (int32_t i = 0; i <= result.LastBlock; ++i) {
      const msp430::ImageBlock& block = image[static_cast<size_t>(i)];
      high = (high || i == result.FirstHigh) && !msp430::IsMarker(block);
      const msp430::DataExtent extent{block.Address + (high ? msp430::kHighStart : 0),
                                      static_cast<uint32_t>(msp430::DataCount(block))};
      if (facts.vectorBlock < 0 && !high && ReachesVectors(extent)) facts.vectorBlock = i;
      facts.blocks.push_back(extent);
    }
    return facts;
  }

  std::optional<Facts> ReadF5xx(uint32_t sweepStart) {
    std::vector<msp430::ImageBlock54> image(msp430::kImageBlocks);
    const msp430::Image54ReadResult result = msp430::ReadImage54File(plan_.file, image);
    if (!result.Ok()) {
      RefuseImage(result.Error);
      return std::nullopt;
    }
    Facts facts;
    facts.start = msp430::StartAddress54(image, result.LastBlock);
    if (facts.start == 0u) facts.start.reset();  // the loader refuses a start at 0 too
    facts.setsVectors = msp430::SetsVectorsBesideReset(image, result.LastBlock);
    facts.segments = msp430::EraseSweep54(image, result.LastBlock, sweepStart);
    for (int32_t i = 0; i <= result.LastBlock; ++i) {
      const msp430::ImageBlock54& block = image[static_cast<size_t>(i)];
      const msp430::DataExtent extent{block.Address,
                                      static_cast<uint32_t>(msp430::DataCount(block))};
      if (facts.vectorBlock < 0 && ReachesVectors(extent)) facts.vectorBlock = i;
      facts.blocks.push_back(extent);
    }
    return facts;
  }

  void Report(const Facts& facts, bool erasePlanned) {
    size_t sent = 0;
    for (const msp430::DataExtent& block : facts.blocks) sent += block.Count > 0 ? 1 : 0;
    Add(CheckLevel::kOk,
        messages::Filled(messages::CHECK_BLOCKS, language_, plan_.file, std::to_string(sent)) +
            StretchesText(facts.blocks));
    if (erasePlanned) {
      Add(CheckLevel::kOk, messages::Filled(messages::CHECK_ERASE, language_, plan_.file,
                                            std::to_string(facts.segments.size())) +
                               SegmentsText(facts.segments));
    }
    if (facts.firstHigh > 0) {
      Add(CheckLevel::kOk, messages::Filled(messages::CHECK_MEMORY_OFFSET, language_, plan_.file,
                                            std::to_string(facts.firstHigh + 1)));
    }
    if (facts.vectorBlock >= 0) {
      Add(CheckLevel::kOk, messages::Filled(messages::CHECK_VECTOR_SEGMENT, language_, plan_.file,
                                            std::to_string(facts.vectorBlock + 1)));
    }
    if (facts.start) {
      Add(CheckLevel::kOk,
          messages::Filled(messages::CHECK_START, language_, plan_.file, Hex(*facts.start)));
    } else {
      Add(CheckLevel::kError, msp430::NoStartAddressMessage(plan_.file, language_));
    }
    if (facts.setsVectors) {
      Add(CheckLevel::kWarning,
          messages::Filled(messages::CHECK_SETS_VECTORS, language_, "\"" + plan_.file + "\""));
    }
  }

  package::CheckReport& report_;
  const package::CheckPlace& place_;
  const ImagePlan& plan_;
  const int32_t language_;
};

}  // namespace

void CheckImage(package::CheckReport& report, const package::CheckPlace& place,
                const ImagePlan& plan) {
  ImageChecker(report, place, plan).Run();
}

}  // namespace check
