#pragma once
// A small PNG writer for pictures of the waterfalls without the toolkit: 8-bit
// RGB, no interlace, the image data in stored (uncompressed) deflate blocks
// inside a zlib stream, with the chunk CRC-32 and the stream's Adler-32. Any
// PNG reader opens it; it is larger than a compressed one, which a snapshot
// can afford.

#include "display/waterfall.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova::display {

std::uint32_t crc32(std::span<const std::uint8_t> bytes, std::uint32_t crc = 0);
std::uint32_t adler32(std::span<const std::uint8_t> bytes, std::uint32_t adler = 1);

// The whole PNG file of the image; empty for an empty image.
std::vector<std::uint8_t> encodePng(const RgbImage& image);
// Writes it through a temporary file so a failed write leaves no half file.
bool writePng(const RgbImage& image, const std::string& path, std::string* error = nullptr);

} // namespace kestrova::display
