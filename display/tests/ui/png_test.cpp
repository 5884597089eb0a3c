// The toolkit-free PNG writer read back by an independent reader (Qt's), and
// the snapshot command's picture as a whole: a file any viewer opens, with
// both waterfalls in it.

#include "display/png_image.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kestrova::display {
namespace {

std::string binFolder() {
    const char* bin = std::getenv("KESTROVA_BIN");
    return bin ? bin : "build/bin";
}

std::string sourceFolder() {
    const char* src = std::getenv("KESTROVA_SOURCE");
    return src ? src : ".";
}

void expectSame(const RgbImage& img, const QImage& back) {
    ASSERT_FALSE(back.isNull());
    ASSERT_EQ(back.width(), img.width);
    ASSERT_EQ(back.height(), img.height);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            ASSERT_EQ(back.pixel(x, y) & 0xFFFFFFu, img.at(x, y)) << x << "," << y;
}

// Known check values: CRC-32 and Adler-32 of "123456789" and of "Wikipedia".
TEST(Png, ChecksumsOfPublishedExamples) {
    const std::string digits = "123456789";
    const std::string wiki = "Wikipedia";
    auto bytes = [](const std::string& s) {
        return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()),
                                             s.size());
    };
    EXPECT_EQ(crc32(bytes(digits)), 0xCBF43926u);
    EXPECT_EQ(adler32(bytes(wiki)), 0x11E60398u);
    EXPECT_EQ(adler32({}), 1u);
}

// A reader must get every pixel back, across several stored blocks too.
TEST(Png, ReaderGetsEveryPixelBack) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{37, 11}, std::pair{30000, 3}}) {
        RgbImage img;
        img.resize(w, h);
        std::uint32_t v = 0x12345u;
        for (auto& p : img.pixels) {
            v = v * 1103515245u + 12345u;
            p = v >> 8;
        }
        const auto png = encodePng(img);
        expectSame(img, QImage::fromData(png.data(), static_cast<int>(png.size()), "PNG"));
    }
    EXPECT_TRUE(encodePng(RgbImage{}).empty());
}

// A failed write leaves nothing behind and says so.
TEST(Png, UnwritablePathFailsWithoutAFile) {
    RgbImage img;
    img.resize(4, 4);
    std::string error;
    EXPECT_FALSE(writePng(img, "/nonexistent-folder/x.png", &error));
    EXPECT_FALSE(error.empty());
}

// The snapshot command from a file of frames: one PNG, HF left, LF right.
TEST(Snapshot, FileOfFramesBecomesOnePictureOfBothWaterfalls) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.path() + "/snap.png";
    QProcess p;
    p.start(QString::fromStdString(binFolder() + "/kestrova-cli"),
            {"snapshot", "--file",
             QString::fromStdString(sourceFolder() + "/display/tests/data/sim_display.bin"),
             "--out", out, "--width", "300", "--height", "260", "--bottom"});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(p.readAllStandardOutput().toStdString(),
              "snapshot " + out.toStdString() + " hf=117 lf=116\n");
    QImage pic(out);
    ASSERT_FALSE(pic.isNull());
    EXPECT_EQ(pic.width(), 300 + 4 + 300);
    EXPECT_EQ(pic.height(), 260);
    // 117 pings drawn from the top of each waterfall, the rest still black;
    // the seabed (beyond the 15 m altitude) is lit, the water column is not.
    for (int left : {0, 304}) {
        const int c = left + 150;
        auto grey = [&](int x, int y) {
            const QRgb v = pic.pixel(x, y);
            return (qRed(v) + qGreen(v) + qBlue(v)) / 3;
        };
        double water = 0, bed = 0;
        for (int y = 71; y < 71 + 100; ++y) {
            water += grey(c + 10, y) + grey(c - 10, y);
            bed += grey(c + 120, y) + grey(c - 120, y);
        }
        EXPECT_GT(bed, 3 * water + 500) << "view at " << left;
        EXPECT_EQ(grey(c + 100, 71 + 150), 0);
    }

    // Nothing to read: the command fails and says why.
    QProcess bad;
    bad.start(QString::fromStdString(binFolder() + "/kestrova-cli"),
              {"snapshot", "--file", dir.path() + "/missing.bin", "--out", out});
    ASSERT_TRUE(bad.waitForFinished(20000));
    EXPECT_EQ(bad.exitCode(), 1);
    QProcess usage;
    usage.start(QString::fromStdString(binFolder() + "/kestrova-cli"), {"snapshot"});
    ASSERT_TRUE(usage.waitForFinished(20000));
    EXPECT_EQ(usage.exitCode(), 2);
}

} // namespace
} // namespace kestrova::display
