// Firmware images and the boot-loader patch read from their files. Every failure comes back as a
// result naming the file (and the line), never as an exception, so the loader can refuse the run
// before it sends anything and show the message itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "loaders/msp430/image_reader.h"

namespace msp430 {

struct ImageText {
  std::string Text;
  ImageError Error;
};

// The whole file, refused when it cannot be read or holds more than limit bytes.
ImageText LoadImageText(const std::string& fileName, size_t limit);

ImageReadResult ReadImageFile(const std::string& fileName, std::span<ImageBlock> table,
                              size_t textLimit = kImageTextSize);
Image54ReadResult ReadImage54File(const std::string& fileName, std::span<ImageBlock54> table,
                                  size_t textLimit = kImage54TextSize);
// The classic reader with the patch's own, smaller text buffer; "Patch.TXT" of the current
// folder unless another file is named.
ImageReadResult ReadPatchFile(std::span<ImageBlock> table,
                              const std::string& fileName = kPatchFileName);

// "Firmware file "name": ", the start of a message about the file, German (0) or English (1).
std::string ImageFileLead(const std::string& fileName, int32_t languageIndex);
// The message for an image with neither a start word at 0xFFFC nor a reset vector.
std::string NoStartAddressMessage(const std::string& fileName, int32_t languageIndex);

// The user's message for a refused image, German (0) or English (1); other indices count as 0.
std::string ImageErrorMessage(const ImageError& error, int32_t languageIndex);

}  // namespace msp430
