#include "app/snapshot_file.h"

#include "acquisition/recording_common.h"
#include "platform/bytes.h"
#include "platform/fs.h"

#include <cstdio>

namespace kestrova::app {
namespace {

constexpr const char* kFailedZh = "新建.jpg文件失败，请检查工程路径和磁盘空间！";
constexpr const char* kFailedEn =
    "Failed to create .Jpg file. Please check the project path and disk space!";

} // namespace

std::optional<std::vector<std::uint8_t>> encodeScreenBitmap(const ScreenPixels& p) {
    if (p.width <= 0 || p.height <= 0) return std::nullopt;
    const std::uint64_t pixelBytes = std::uint64_t(p.width) * std::uint64_t(p.height) * 4u;
    if (pixelBytes != p.rows.size() || pixelBytes + kBitmapPixelOffset > 0xFFFFFFFFull)
        return std::nullopt;
    std::vector<std::uint8_t> file(kBitmapPixelOffset + p.rows.size());
    ByteWriter w(file);
    // BITMAPFILEHEADER
    w.u8(0, 'B');
    w.u8(1, 'M');
    w.u32le(2, static_cast<std::uint32_t>(file.size()));
    w.u32le(6, 0); // reserved
    w.u32le(10, static_cast<std::uint32_t>(kBitmapPixelOffset));
    // BITMAPINFOHEADER: positive height, rows bottom-up as the screen returns them.
    w.u32le(14, static_cast<std::uint32_t>(kBitmapInfoHeaderSize));
    w.u32le(18, static_cast<std::uint32_t>(p.width));
    w.u32le(22, static_cast<std::uint32_t>(p.height));
    w.u16le(26, 1);  // planes
    w.u16le(28, 32); // bits per pixel, the screen's depth
    w.u32le(30, 0);  // uncompressed
    w.u32le(34, static_cast<std::uint32_t>(pixelBytes));
    w.u32le(38, 0); // pixels per metre, not known
    w.u32le(42, 0);
    w.u32le(46, 0); // colours used
    w.u32le(50, 0); // important colours
    if (!w.ok()) return std::nullopt;
    std::copy(p.rows.begin(), p.rows.end(), file.begin() + kBitmapPixelOffset);
    return file;
}

std::string snapshotPath(const std::string& projectPath, std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    std::string base = acquisition::timeStampName(local);
    return acquisition::uniqueRecordingPath(projectPath, base, ".jpg");
}

std::optional<std::string> writeSnapshot(const std::string& projectPath, std::time_t now,
                                         const ScreenPixels& pixels, Messenger& messenger) {
    const auto bytes = encodeScreenBitmap(pixels);
    if (!bytes) {
        messenger.ShowMessage(kFailedZh, kFailedEn, mb::kWarningOkCancel);
        return std::nullopt;
    }
    return writeSnapshotFile(projectPath, now, *bytes, messenger);
}

std::optional<std::string> writeSnapshotFile(const std::string& projectPath, std::time_t now,
                                             std::span<const std::uint8_t> bytes,
                                             Messenger& messenger) {
    auto fail = [&]() -> std::optional<std::string> {
        messenger.ShowMessage(kFailedZh, kFailedEn, mb::kWarningOkCancel);
        return std::nullopt;
    };
    if (bytes.empty() || projectPath.empty() || !platform::isDirectory(projectPath)) return fail();
    const std::string path = snapshotPath(projectPath, now);
    std::FILE* f = std::fopen(path.c_str(), "wbx");
    if (!f) return fail();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) {
        // A half-written picture is worse than none: the operator retries.
        std::remove(path.c_str());
        return fail();
    }
    return path;
}

} // namespace kestrova::app
