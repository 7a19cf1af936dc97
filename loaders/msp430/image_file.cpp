#include "loaders/msp430/image_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "core/text.h"
#include "package/messages.h"

namespace msp430 {

ImageText LoadImageText(const std::string& fileName, size_t limit) {
  ImageText result;
  result.Error.File = fileName;
  // The name may come from a package written on Windows.
  const std::string path = core::PackagePath(fileName);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) {
    result.Error.Kind = ImageErrorKind::Unreadable;
    return result;
  }
  // Read one byte past the limit, so an oversized file is recognised without reading it all.
  std::array<char, 65536> chunk;
  while (result.Text.size() <= limit) {
    const size_t want = std::min(chunk.size(), limit + 1 - result.Text.size());
    const size_t got = std::fread(chunk.data(), 1, want, file.get());
    result.Text.append(chunk.data(), got);
    if (got < want) break;
  }
  if (std::ferror(file.get())) {  // e.g. a folder: fopen succeeds, reading does not
    result.Error.Kind = ImageErrorKind::Unreadable;
  } else if (result.Text.size() > limit) {
    result.Error.Kind = ImageErrorKind::TooLarge;
    result.Error.Limit = static_cast<uint32_t>(limit);
  }
  if (result.Error.Kind != ImageErrorKind::None) result.Text.clear();
  return result;
}

namespace {

template <typename Result, typename Reader, typename Table>
Result ReadFile(const std::string& fileName, size_t textLimit, Reader reader, Table table) {
  ImageText text = LoadImageText(fileName, textLimit);
  Result result;
  if (text.Error.Kind == ImageErrorKind::None) {
    result = reader(text.Text, table);
  } else {
    std::fill(table.begin(), table.end(), typename Table::value_type{});  // nothing stale survives
    result.Error = text.Error;
  }
  result.Error.File = fileName;
  return result;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

std::string CharacterText(uint8_t c) {
  if (c > 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

std::string Reason(const ImageError& error, int32_t language) {
  using messages::Filled;
  using messages::MessageId;
  const auto plain = [language](MessageId id) { return std::string(messages::Text(id, language)); };
  switch (error.Kind) {
    case ImageErrorKind::None:
      return "";
    case ImageErrorKind::Unreadable:
      return plain(messages::MSG_IMAGE_UNREADABLE);
    case ImageErrorKind::TooLarge:
      return Filled(messages::MSG_IMAGE_TOO_LARGE, language, std::to_string(error.Limit));
    case ImageErrorKind::NoData:
      return plain(messages::MSG_IMAGE_NO_DATA);
    case ImageErrorKind::DataBeforeAddress:
      return plain(messages::MSG_IMAGE_DATA_BEFORE_ADDRESS);
    case ImageErrorKind::BadCharacter:
      return Filled(messages::MSG_IMAGE_BAD_CHARACTER, language, CharacterText(error.Character));
    case ImageErrorKind::BadByte:
      return plain(messages::MSG_IMAGE_BAD_BYTE);
    case ImageErrorKind::LineTooLong:
      return plain(messages::MSG_IMAGE_LINE_TOO_LONG);
    case ImageErrorKind::BadAddress:
      return plain(messages::MSG_IMAGE_BAD_ADDRESS);
    case ImageErrorKind::AddressOutOfRange:
      return Filled(messages::MSG_IMAGE_ADDRESS_OUT_OF_RANGE, language, Hex(error.Limit));
    case ImageErrorKind::OutOfOrder:
      return plain(messages::MSG_IMAGE_OUT_OF_ORDER);
    case ImageErrorKind::OddBlock:
      return plain(messages::MSG_IMAGE_ODD_BLOCK);
    case ImageErrorKind::TooManyBlocks:
      return Filled(messages::MSG_IMAGE_TOO_MANY_BLOCKS, language, std::to_string(error.Limit));
  }
  return "";
}

}  // namespace

ImageReadResult ReadImageFile(const std::string& fileName, std::span<ImageBlock> table,
                              size_t textLimit) {
  return ReadFile<ImageReadResult>(fileName, textLimit, &ReadImage, table);
}

Image54ReadResult ReadImage54File(const std::string& fileName, std::span<ImageBlock54> table,
                                  size_t textLimit) {
  return ReadFile<Image54ReadResult>(fileName, textLimit, &ReadImage54, table);
}

ImageReadResult ReadPatchFile(std::span<ImageBlock> table, const std::string& fileName) {
  return ReadImageFile(fileName, table, kPatchTextSize);
}

std::string ImageFileLead(const std::string& fileName, int32_t languageIndex) {
  return messages::Filled(messages::MSG_IMAGE_FILE_LEAD, languageIndex, fileName);
}

std::string NoStartAddressMessage(const std::string& fileName, int32_t languageIndex) {
  return ImageFileLead(fileName, languageIndex) +
         std::string(messages::Text(messages::MSG_IMAGE_NO_START_ADDRESS, languageIndex));
}

std::string ImageErrorMessage(const ImageError& error, int32_t languageIndex) {
  if (error.Kind == ImageErrorKind::None) return "";
  const std::string lead =
      error.Line > 0 ? messages::Filled(messages::MSG_IMAGE_FILE_LINE, languageIndex, error.File,
                                        std::to_string(error.Line))
                     : messages::Filled(messages::MSG_IMAGE_FILE_NAMED, languageIndex, error.File);
  return lead + Reason(error, languageIndex);
}

}  // namespace msp430
