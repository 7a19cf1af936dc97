#include "loaders/msp430/image_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "loaders/msp430/image_file.h"
#include "test_bytes.h"

namespace msp430 {
namespace {

namespace fs = std::filesystem;
using msp430_test::Bytes;
using msp430_test::Hex;

// A TI-TXT section: its address line and count bytes (first, first + 1, ...) in 16-byte lines.
std::string Section(uint32_t address, int count, int first = 0) {
  char text[16];
  std::snprintf(text, sizeof text, "@%X\r\n", address);
  std::string section = text;
  for (int i = 0; i < count; ++i) {
    std::snprintf(text, sizeof text, "%02X", (first + i) & 0xFF);
    section += text;
    section += (i % 16 == 15 || i == count - 1) ? "\r\n" : " ";
  }
  return section;
}

std::string Lines(const std::string& line, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += line;
  return text;
}

// Sections of two bytes at increasing addresses, one block each.
std::string ManySections(int count, uint32_t from = 0x1100) {
  std::string text;
  for (int i = 0; i < count; ++i) text += Section(from + 4 * i, 2);
  return text;
}

struct Expected {
  uint32_t address;
  uint16_t length;
  std::string data = "";  // the first data bytes, when they matter
};

class ImageFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("msp430-image-" + std::to_string(getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& text) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  template <typename Block>
  static void ExpectBlocks(std::span<const Block> table, const std::vector<Expected>& expected,
                           const std::string& name) {
    for (size_t i = 0; i < expected.size(); ++i) {
      const Block& block = table[i];
      EXPECT_EQ(block.Address, expected[i].address) << name << ", block " << i;
      EXPECT_EQ(block.Length, expected[i].length) << name << ", block " << i;
      const std::vector<uint8_t> data = Bytes(expected[i].data);
      EXPECT_EQ(Hex({block.Data.data(), data.size()}), expected[i].data) << name << ", block " << i;
    }
  }

  fs::path folder_;
};

TEST_F(ImageFiles, ClassicBlockTables) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Expected> blocks;
    int32_t firstHigh = -1;
  };
  const Case cases[] = {
      {"one block", "@1100\r\n31 40 00 0A \r\nq\r\n", {{0x1100, 8, "31 40 00 0A"}}},
      {"odd section padded before the next address line",
       "@1100\r\n31 40 00\r\n@FFFE\r\n00 11\r\nq\r\n",
       {{0x1100, 8, "31 40 00 FF"}, {0xFFFE, 6, "00 11"}}},
      {"odd last section padded too", "@1100\r\n31 40 00\r\n", {{0x1100, 8, "31 40 00 FF"}}},
      {"a block ends after 15 lines", Section(0xC000, 320), {{0xC000, 244}, {0xC0F0, 84, "F0"}}},
      {"15 lines with an odd count that end their section are padded",
       "@1100\r\n01 02 03\r\n" + Lines("01 02\r\n", 14) + "@1200\r\n05 06\r\n",
       {{0x1100, 4 + 32}, {0x1200, 6}}},
      {"an address line without data leaves no block",
       "@1000\r\n@1100\r\n31 40\r\nq\r\n",
       {{0x1100, 6, "31 40"}}},
      {"vector block moved behind the high blocks and the marker",
       Section(0x1100, 16) + Section(0xFFE0, 32) + Section(0x10000, 32, 0x80),
       {{0x1100, 20}, {0x0000, 36, "80 81"}, {0, 0}, {0xFFE0, 36}},
       1},
      {"a section crossing 0x10000 is split there",
       Section(0x1100, 16) + Section(0xFFF0, 32),
       {{0x1100, 20}, {0x0000, 20, "10 11"}, {0, 0}, {0xFFF0, 20, "00 01"}},
       1},
      {"without high blocks the file order stays",
       Section(0x1100, 16) + Section(0xFFE0, 32),
       {{0x1100, 20}, {0xFFE0, 36}}},
      {"without high blocks a vector block in front still moves last",
       Section(0xFF80, 128) + Section(0x5C00, 32) + Section(0x6000, 16),
       {{0x5C00, 36}, {0x6000, 20}, {0xFF80, 132}}},
      {"vector blocks in front of the high blocks move, in their order",
       Section(0xFFE0, 16) + Section(0x1100, 16) + Section(0xFFF0, 16) + Section(0x10000, 16),
       {{0x1100, 20}, {0x0000, 20}, {0, 0}, {0xFFE0, 20}, {0xFFF0, 20}},
       1},
      {"only high blocks: no marker", Section(0x10000, 32), {{0x0000, 36}}, 0},
      {"LF line ends", "@1100\n31 40\n@1200\n01 02\nq\n", {{0x1100, 6, "31 40"}, {0x1200, 6}}},
      {"CR line ends", "@1100\r31 40\r@1200\r01 02\rq\r", {{0x1100, 6, "31 40"}, {0x1200, 6}}},
      {"blanks, tabs, lower case, blank lines, no q",
       "\r\n@0x1100 \r\n  aa\tBB  cc dd\r\n\r\n",
       {{0x1100, 8, "AA BB CC DD"}}},
      {"text after q is ignored", "@1100\r\n31 40\r\nq\r\n@1200\r\nzz\r\n", {{0x1100, 6}}},
  };
  std::vector<ImageBlock> table(kImageBlocks);
  for (const Case& c : cases) {
    const ImageReadResult result = ReadImageFile(Write("image.txt", c.text), table);
    ASSERT_TRUE(result.Ok()) << c.name << ": " << ImageErrorMessage(result.Error, 1);
    EXPECT_EQ(result.LastBlock, static_cast<int32_t>(c.blocks.size()) - 1) << c.name;
    EXPECT_EQ(result.FirstHigh, c.firstHigh) << c.name;
    ExpectBlocks<ImageBlock>(table, c.blocks, c.name);
    EXPECT_EQ(table[c.blocks.size()].Length, 0) << c.name << ": nothing behind the last block";
  }
}

TEST_F(ImageFiles, F5xxBlockTables) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Expected> blocks;
    int32_t vectorFirst;
    int32_t vectorCount;
  };
  std::vector<Expected> manyVectorsLast = {{0x5C00, 8}, {0x6000, 8}};
  for (uint32_t i = 0; i < 20; ++i) manyVectorsLast.push_back({0xFF00 + 4 * i, 8});
  const Case cases[] = {
      {"vector block moved behind the block above 0xFFFF",
       Section(0x5C00, 32) + Section(0xFF80, 128) + Section(0x10000, 32),
       {{0x5C00, 38}, {0x10000, 38}, {0xFF80, 134}},
       1,
       1},
      {"vector block first moves too",
       Section(0xFF80, 128) + Section(0x5C00, 32) + Section(0x6000, 16),
       {{0x5C00, 38}, {0x6000, 22}, {0xFF80, 134}},
       0,
       1},
      {"only the vector blocks move, also when others stand between them",
       Section(0x5C00, 32) + Section(0xFF80, 16) + Section(0x6000, 16) + Section(0xFFA0, 16),
       {{0x5C00, 38}, {0x6000, 22}, {0xFF80, 22}, {0xFFA0, 22}},
       1,
       2},
      {"more than 16 vector blocks all move",
       Section(0x5C00, 2) + ManySections(20, 0xFF00) + Section(0x6000, 2), manyVectorsLast, 1, 20},
      {"every block of a long vector section moves",
       Section(0x5C00, 32) + Section(0xFE00, 512) + Section(0x10000, 16),
       {{0x5C00, 38}, {0x10000, 22}, {0xFE00, 246}, {0xFEF0, 246}, {0xFFE0, 38}},
       1,
       3},
      {"a vector section of exactly 15 lines still moves last",
       Section(0x5C00, 32) + Section(0xFF00, 240) + Section(0x10000, 16),
       {{0x5C00, 38}, {0x10000, 22}, {0xFF00, 246}},
       1,
       1},
      {"odd section padded only before an address line",
       "@5C00\r\n01 02 03\r\n@5D00\r\n04\r\nq\r\n",
       {{0x5C00, 10, "01 02 03 FF"}, {0x5D00, 7, "04"}},
       -1,
       0},
      {"full addresses above 0x1FFFF", Section(0x24400, 16), {{0x24400, 22}}, -1, 0},
  };
  std::vector<ImageBlock54> table(kImageBlocks);
  for (const Case& c : cases) {
    const Image54ReadResult result = ReadImage54File(Write("image54.txt", c.text), table);
    ASSERT_TRUE(result.Ok()) << c.name << ": " << ImageErrorMessage(result.Error, 1);
    EXPECT_EQ(result.LastBlock, static_cast<int32_t>(c.blocks.size()) - 1) << c.name;
    EXPECT_EQ(result.VectorFirst, c.vectorFirst) << c.name;
    EXPECT_EQ(result.VectorCount, c.vectorCount) << c.name;
    ExpectBlocks<ImageBlock54>(table, c.blocks, c.name);
  }
}

TEST_F(ImageFiles, RefusesTextItCannotTake) {
  struct Case {
    const char* name;
    std::string text;
    ImageErrorKind kind;
    int32_t line;
  };
  const Case cases[] = {
      {"non-hex character", "@1100\r\n31 4G\r\n", ImageErrorKind::BadCharacter, 2},
      {"17 bytes in a line", "@1100\r\n" + Lines("00 ", 17) + "\r\n", ImageErrorKind::LineTooLong,
       2},
      {"data before the first @", "\r\n31 40\r\n@1100\r\n", ImageErrorKind::DataBeforeAddress, 2},
      {"three digits", "@1100\r\n314 0\r\n", ImageErrorKind::BadByte, 2},
      {"one digit", "@1100\r\n31 4\r\n", ImageErrorKind::BadByte, 2},
      {"address with a stray character", "@11G0\r\n", ImageErrorKind::BadAddress, 1},
      {"address line without address", "@\r\n", ImageErrorKind::BadAddress, 1},
      {"address above 0x1FFFF", "@20000\r\n00 11\r\n", ImageErrorKind::AddressOutOfRange, 1},
      {"data running past 0x1FFFF", "@1FFFE\r\n00 11 22 33\r\n", ImageErrorKind::AddressOutOfRange,
       2},
      {"negative address", "@-10\r\n", ImageErrorKind::AddressOutOfRange, 1},
      {"low section after a high one", "@10000\r\n00 11\r\n@1100\r\n22 33\r\n",
       ImageErrorKind::OutOfOrder, 3},
      {"odd count inside a section", "@1100\r\n01 02 03\r\n" + Lines("01 02\r\n", 14) + "03 04\r\n",
       ImageErrorKind::OddBlock, 16},
      {"empty file", "", ImageErrorKind::NoData, 0},
      {"only the end mark", "q\r\n", ImageErrorKind::NoData, 0},
      {"address without data", "@1100\r\nq\r\n", ImageErrorKind::NoData, 0},
      {"more blocks than the table holds", ManySections(1281), ImageErrorKind::TooManyBlocks,
       2 * 1281},
      {"no room left for the marker", ManySections(1279) + Section(0x10000, 2),
       ImageErrorKind::TooManyBlocks, 2 * 1280},
  };
  std::vector<ImageBlock> table(kImageBlocks);
  for (const Case& c : cases) {
    const std::string file = Write("bad.txt", c.text);
    table[0].Length = 99;  // the table must not keep anything from before
    const ImageReadResult result = ReadImageFile(file, table);
    EXPECT_EQ(result.Error.Kind, c.kind) << c.name << ": " << ImageErrorMessage(result.Error, 1);
    EXPECT_EQ(result.Error.Line, c.line) << c.name;
    EXPECT_EQ(result.Error.File, file) << c.name;
    EXPECT_EQ(result.LastBlock, -1) << c.name;
    EXPECT_EQ(table[0].Length, 0) << c.name;
  }

  std::vector<ImageBlock54> table54(kImageBlocks);
  const Image54ReadResult result =
      ReadImage54File(Write("bad54.txt", "@1000000\r\n00\r\n"), table54);
  EXPECT_EQ(result.Error.Kind, ImageErrorKind::AddressOutOfRange);
  EXPECT_EQ(result.Error.Line, 1);
}

TEST_F(ImageFiles, FileSizeAndReadability) {
  const std::string image = "@1100\r\n31 40\r\nq\r\n";
  const std::string fits = image + std::string(kImageTextSize - image.size(), ' ');
  std::vector<ImageBlock> table(kImageBlocks);
  EXPECT_TRUE(ReadImageFile(Write("fits.txt", fits), table).Ok());
  // A name from a package written on Windows opens with its backslash read as a slash.
  fs::create_directory(folder_ / "sub");
  Write("sub/fw.txt", image);
  EXPECT_TRUE(ReadImageFile((folder_ / "sub").string() + "\\fw.txt", table).Ok());

  struct Case {
    const char* name;
    ImageReadResult result;
    ImageErrorKind kind;
    uint32_t limit;
  };
  std::vector<ImageBlock> patch(kPatchBlocks);
  const Case cases[] = {
      {"one byte over the text buffer", ReadImageFile(Write("big.txt", fits + " "), table),
       ImageErrorKind::TooLarge, kImageTextSize},
      {"missing file", ReadImageFile((folder_ / "missing.txt").string(), table),
       ImageErrorKind::Unreadable, 0},
      {"a folder", ReadImageFile(folder_.string(), table), ImageErrorKind::Unreadable, 0},
      {"patch over its text buffer",
       ReadPatchFile(patch, Write("Patch.TXT", image + std::string(kPatchTextSize, ' '))),
       ImageErrorKind::TooLarge, kPatchTextSize},
      {"patch with more blocks than its table",
       ReadPatchFile(patch, Write("Patch.TXT", ManySections(21))), ImageErrorKind::TooManyBlocks,
       kPatchBlocks},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result.Error.Kind, c.kind) << c.name;
    EXPECT_EQ(c.result.Error.Limit, c.limit) << c.name;
  }

  const ImageReadResult read = ReadPatchFile(patch, Write("Patch.TXT", ManySections(20)));
  EXPECT_TRUE(read.Ok());
  EXPECT_EQ(read.LastBlock, 19);
}

TEST_F(ImageFiles, MessagesNameTheFileAndTheLine) {
  std::vector<ImageBlock> table(kImageBlocks);
  const std::string bad = Write("bad.txt", "@1100\r\n31 4G\r\n");
  const ImageError error = ReadImageFile(bad, table).Error;
  EXPECT_EQ(ImageErrorMessage(error, 1),
            "Firmware file \"" + bad + "\", line 2: 'G' is not a hexadecimal digit.");
  EXPECT_EQ(ImageErrorMessage(error, 0),
            "Firmware-Datei \"" + bad + "\", Zeile 2: 'G' ist keine Hexadezimalziffer.");
  EXPECT_EQ(ImageErrorMessage(error, 7), ImageErrorMessage(error, 0));

  const std::string missing = (folder_ / "missing.txt").string();
  EXPECT_EQ(ImageErrorMessage(ReadImageFile(missing, table).Error, 1),
            "Firmware file \"" + missing + "\" cannot be read.");
  EXPECT_EQ(ImageErrorMessage(ImageError{}, 1), "");
}

}  // namespace
}  // namespace msp430
