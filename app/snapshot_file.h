#pragma once
// The "Snapshot" command's file in the project folder, named
// "<local time %Y%m%d_%H%M%S>.jpg". The window writes a real JPEG of itself
// through writeSnapshotFile. The bitmap encoding below (a Windows
// device-independent bitmap, "BM": a 14-byte file header, a 40-byte
// information header and the pixel rows, 32 bits per pixel,
// blue-green-red-unused, bottom row first) serves pictures without an image
// encoder at hand.

#include "app/config/message.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova::app {

constexpr std::size_t kBitmapFileHeaderSize = 14;
constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::size_t kBitmapPixelOffset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
static_assert(kBitmapPixelOffset == 54);

// A screen picture: rows of width * 4 bytes, bottom row first, each pixel
// blue, green, red, unused.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rows;
};

// The whole file; nullopt when the rows do not hold width * height pixels.
std::optional<std::vector<std::uint8_t>> encodeScreenBitmap(const ScreenPixels& pixels);

// projectPath + "/" + "%Y%m%d_%H%M%S" + ".jpg" of the local time. A second
// snapshot within the same second gets "_1", "_2" ... rather than replacing
// the first.
std::string snapshotPath(const std::string& projectPath, std::time_t now);

// Writes the snapshot; on any failure leaves no file and shows "Failed to
// create .Jpg file. Please check the project path and disk space!". Returns
// the path written.
std::optional<std::string> writeSnapshot(const std::string& projectPath, std::time_t now,
                                         const ScreenPixels& pixels, Messenger& messenger);

// Writes already encoded picture bytes (the window's JPEG) under
// snapshotPath; the same failure handling as writeSnapshot.
std::optional<std::string> writeSnapshotFile(const std::string& projectPath, std::time_t now,
                                             std::span<const std::uint8_t> bytes,
                                             Messenger& messenger);

} // namespace kestrova::app
