#include "msp430/image_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

#include "core/text.h"

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

std::string Reason(const ImageError& error, bool english) {
  const std::string limit = std::to_string(error.Limit);
  switch (error.Kind) {
    case ImageErrorKind::None:
      return "";
    case ImageErrorKind::Unreadable:
      return english ? "cannot be read." : "kann nicht gelesen werden.";
    case ImageErrorKind::TooLarge:
      return english ? "is larger than " + limit + " bytes."
                     : "ist größer als " + limit + " Bytes.";
    case ImageErrorKind::NoData:
      return english ? "contains no data." : "enthält keine Daten.";
    case ImageErrorKind::DataBeforeAddress:
      return english ? "data before the first address line (@)."
                     : "Daten vor der ersten Adresszeile (@).";
    case ImageErrorKind::BadCharacter:
      return english ? CharacterText(error.Character) + " is not a hexadecimal digit."
                     : CharacterText(error.Character) + " ist keine Hexadezimalziffer.";
    case ImageErrorKind::BadByte:
      return english ? "a byte is not written as two hexadecimal digits."
                     : "ein Byte ist nicht mit zwei Hexadezimalziffern geschrieben.";
    case ImageErrorKind::LineTooLong:
      return english ? "more than 16 bytes in one line." : "mehr als 16 Bytes in einer Zeile.";
    case ImageErrorKind::BadAddress:
      return english ? "the address line holds no valid hexadecimal address."
                     : "die Adresszeile enthält keine gültige Hexadezimaladresse.";
    case ImageErrorKind::AddressOutOfRange:
      return english ? "address outside the memory the boot loader reaches (below " +
                           Hex(error.Limit) + ")."
                     : "Adresse außerhalb des Speichers, den der Bootloader erreicht (unter " +
                           Hex(error.Limit) + ").";
    case ImageErrorKind::OutOfOrder:
      return english ? "data below 0x10000 after data above 0xFFFF; the sections must be in "
                       "ascending order."
                     : "Daten unter 0x10000 nach Daten über 0xFFFF; die Abschnitte müssen "
                       "aufsteigend geordnet sein.";
    case ImageErrorKind::OddBlock:
      return english ? "odd number of bytes inside a section; the boot loader writes whole words."
                     : "ungerade Anzahl Bytes innerhalb eines Abschnitts; der Bootloader schreibt "
                       "nur ganze Wörter.";
    case ImageErrorKind::TooManyBlocks:
      return english ? "more blocks than the table holds (" + limit + ")."
                     : "mehr Blöcke, als die Tabelle fasst (" + limit + ").";
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
  const bool english = languageIndex == 1;
  return (english ? "Firmware file \"" : "Firmware-Datei \"") + fileName + "\": ";
}

std::string NoStartAddressMessage(const std::string& fileName, int32_t languageIndex) {
  return ImageFileLead(fileName, languageIndex) +
         (languageIndex == 1
              ? "no start address in the image (no word at 0xFFFC, no reset vector)."
              : "keine Startadresse im Abbild (kein Wort bei 0xFFFC, kein Reset-Vektor).");
}

std::string ImageErrorMessage(const ImageError& error, int32_t languageIndex) {
  if (error.Kind == ImageErrorKind::None) return "";
  const bool english = languageIndex == 1;
  std::string text = english ? "Firmware file \"" : "Firmware-Datei \"";
  text += error.File + "\"";
  if (error.Line > 0) text += (english ? ", line " : ", Zeile ") + std::to_string(error.Line);
  text += error.Line > 0 ? ": " : " ";
  return text + Reason(error, english);
}

}  // namespace msp430
