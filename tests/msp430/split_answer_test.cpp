// Every answer of a whole run cut the same way: one byte per notification, or two reads split at
// one point. Both loaders take an answer once its last byte has come and send exactly the writes
// of a run with whole answers: no answer is lost, none is taken early, no time-out intervenes.
#include <gtest/gtest.h>

#include <functional>

#include "loaders/msp430/bsl430.h"
#include "loaders/msp430/bsl54xx430.h"
#include "tests/msp430/boot_loader_replies.h"
#include "tests/msp430/link_rig.h"

namespace msp430_test {
namespace {

using Writes = std::vector<std::vector<uint8_t>>;
using Split = std::function<std::vector<Chunk>(const Chunk&)>;

std::vector<Chunk> Whole(const Chunk& answer) {
  return {answer};
}

std::vector<Chunk> ByteWise(const Chunk& answer) {
  std::vector<Chunk> bytes;
  for (uint8_t b : answer) bytes.push_back({b});
  return bytes;
}

Split SplitAt(size_t at) {
  return [at](const Chunk& answer) -> std::vector<Chunk> {
    if (at >= answer.size()) return {answer};
    return {Chunk(answer.begin(), answer.begin() + static_cast<long>(at)),
            Chunk(answer.begin() + static_cast<long>(at), answer.end())};
  };
}

class SplitAnswer : public LinkRig {
 public:
  // A successful run whose answers are cut by split; its writes.
  Writes Classic(const Split& split) {
    classic = WillingClassic{};
    UseScript(
        [this, split](size_t, const std::vector<uint8_t>& w) { return split(classic.Answer(w)); });
    msp430::T_BSL430 loader(Host());
    EXPECT_TRUE(loader.Execute(0, image, true, false).programmed);
    return Taken();
  }
  Writes F5xx(const Split& split) {
    f5xx = WillingF5xx{};
    UseScript(
        [this, split](size_t, const std::vector<uint8_t>& w) { return split(f5xx.Answer(w)); });
    msp430::T_BSL_54XX_430 loader(Host());
    EXPECT_TRUE(loader.Execute(0, f5xxImage, true, false).programmed);
    return Taken();
  }

 protected:
  // The writes, each made only after the answer to the one before was read completely.
  Writes Taken() {
    Writes writes;
    for (const auto& write : port->writes) {
      EXPECT_EQ(write.unread, 0u) << "write " << writes.size() << " before its answer was read";
      writes.push_back(write.bytes);
    }
    return writes;
  }

  // The longest answer of a run decides how many split points there are.
  static constexpr size_t kLongestAnswer = 80;

  WillingClassic classic;
  WillingF5xx f5xx;
  std::string f5xxImage =
      folder.Write("f5xx.txt", TiTxt({{0x5C00, Pattern(64, 4)}, VectorTable(0xFF80, 0x5C00)}))
          .string();
};

TEST_F(SplitAnswer, EverySplitPointGivesTheWritesOfWholeAnswers) {
  const struct {
    const char* loader;
    std::function<Writes(SplitAnswer&, const Split&)> run;
  } loaders[] = {{"classic", &SplitAnswer::Classic}, {"F5xx", &SplitAnswer::F5xx}};
  for (const auto& l : loaders) {
    SCOPED_TRACE(l.loader);
    const Writes whole = l.run(*this, Whole);
    ASSERT_GT(whole.size(), 10u);
    EXPECT_EQ(l.run(*this, ByteWise), whole) << "one byte per notification";
    for (size_t at = 1; at < kLongestAnswer; ++at) {
      EXPECT_EQ(l.run(*this, SplitAt(at)), whole) << "split at " << at;
    }
  }
}

}  // namespace
}  // namespace msp430_test
