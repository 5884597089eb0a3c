// Target files, index, CSV and measurements, against values worked out by hand
// and a reader written from the file layout alone.

#include "targets/target_export.h"
#include "targets/target_file.h"
#include "targets/target_measure.h"
#include "targets/target_store.h"
#include "targets/tests/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace kestrova::targets {
namespace {

using testing::fillSnapshot;
using testing::TempFolder;

std::vector<std::uint8_t> slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void spill(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// An independent reading of the ".tgt" layout: items one after the other,
// each count read from the file itself.
struct Plain {
    std::size_t at = 0;
    const std::vector<std::uint8_t>& b;
    std::uint32_t u32() {
        std::uint32_t v = b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) |
                          (std::uint32_t{b.at(at + 3)} << 24);
        at += 4;
        return v;
    }
};
double f64At(const std::vector<std::uint8_t>& b, std::size_t off) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b.at(off + i);
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

TEST(TargetFile, AnIndependentReaderReadsWhatWeWriteAndCreateNeverOverwrites) {
    TempFolder dir;
    auto snap = std::make_unique<TargetSnapshot>();
    fillSnapshot(*snap, 5, 1, 300);
    TargetBlock block = blockFromSnapshot(*snap);
    block.length = 12.5;
    block.height = 0.75;
    const std::string path = dir.file("00003_142503.tgt");
    ASSERT_EQ(writeTargetFile(path, *snap, block, "wreck, bow north", WriteMode::Create),
              WriteStatus::Ok);
    const auto bytes = slurp(path);

    Plain p{0, bytes};
    EXPECT_EQ(bytes[0], 0x0F);
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "TGT");
    EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 12), "V1.0.000");
    p.at = 12;
    EXPECT_EQ(p.u32(), 5u * 46884u);
    EXPECT_EQ(p.u32(), 8u);
    EXPECT_EQ(p.u32(), 5u);
    EXPECT_EQ(p.u32(), 1u); // starboard
    ASSERT_EQ(p.u32(), 5u * 23260u);
    const std::size_t samples = p.at;
    auto sample = [&](std::size_t row, std::size_t j) {
        const std::size_t o = samples + (row * 23260 + j) * 2;
        return bytes.at(o) | (bytes.at(o + 1) << 8);
    };
    EXPECT_EQ(sample(2, 10), (2 * 7 + 10) & 0x7FFF);
    EXPECT_EQ(sample(4, 299), (4 * 7 + 299) & 0x7FFF);
    EXPECT_EQ(sample(4, 300), 0) << "row tails are zeros, not old samples";
    EXPECT_EQ(sample(0, 23259), 0);
    p.at = samples + 5 * 23260 * 2;
    ASSERT_EQ(p.u32(), 5u * 57u);
    const std::size_t headers = p.at;
    EXPECT_EQ(bytes.at(headers + 228 * 2 + 16), 2024 & 0xFF); // year of ping 2
    p.at += 5 * 228;
    ASSERT_EQ(p.u32(), 5u * 136u);
    const std::size_t records = p.at;
    EXPECT_DOUBLE_EQ(f64At(bytes, records + 136 * 3 + 56), 3400003.0); // northing of ping 3
    p.at += 5 * 136;
    ASSERT_EQ(p.u32(), 72u);
    const std::size_t tb = p.at;
    EXPECT_EQ(bytes[tb] | (bytes[tb + 1] << 8), 2024);
    EXPECT_EQ(bytes[tb + 2], 1);
    EXPECT_EQ(bytes[tb + 3], 31);
    EXPECT_EQ(bytes[tb + 4], 14);
    EXPECT_EQ(bytes[tb + 5], 25);
    EXPECT_EQ(bytes[tb + 6], 3); // the marked ping (index 2) is at 14:25:03
    p.at = tb + 12;
    EXPECT_EQ(p.u32(), 1002u); // its ping number
    EXPECT_EQ(p.u32(), 2u);    // marked ping index
    EXPECT_EQ(p.u32(), 75u);   // marked sample
    EXPECT_EQ(p.u32(), 300u);  // samples of the side
    p.at = tb + 32;
    EXPECT_EQ(p.u32(), 40u); // strength
    EXPECT_EQ(p.u32(), 2u);  // palette "gray.clr"
    EXPECT_EQ(p.u32(), 1u);  // inverted
    EXPECT_DOUBLE_EQ(f64At(bytes, tb + 48), 12.5);
    EXPECT_DOUBLE_EQ(f64At(bytes, tb + 64), 0.75);
    p.at = tb + 72;
    const std::uint32_t len = p.u32();
    EXPECT_EQ(std::string(bytes.begin() + static_cast<long>(p.at), bytes.end()),
              "wreck, bow north");
    EXPECT_EQ(p.at + len, bytes.size());

    // Ours reads it back whole.
    auto back = std::make_unique<TargetSnapshot>();
    TargetBlock b2;
    std::string d2;
    ASSERT_EQ(readTargetFile(path, *back, b2, d2).status, ReadStatus::Ok);
    EXPECT_EQ(back->pingCount, 5u);
    EXPECT_EQ(back->row(3)[17], snap->row(3)[17]);
    EXPECT_EQ(b2.pingNumber, 1002u);
    EXPECT_EQ(d2, "wreck, bow north");

    // A second target under the same name never replaces the first.
    TargetBlock other = block;
    other.length = 99.0;
    EXPECT_EQ(writeTargetFile(path, *snap, other, "", WriteMode::Create), WriteStatus::Exists);
    EXPECT_EQ(slurp(path), bytes);
    // An empty description ends the file with a zero length.
    ASSERT_EQ(writeTargetFile(path, *snap, block, "", WriteMode::Overwrite), WriteStatus::Ok);
    const auto empty = slurp(path);
    EXPECT_EQ(std::vector<std::uint8_t>(empty.end() - 4, empty.end()),
              (std::vector<std::uint8_t>{0, 0, 0, 0}));
}

TEST(TargetFile, CraftedFilesAreRefusedWholeWithoutReadingPastThem) {
    auto snap = std::make_unique<TargetSnapshot>();
    fillSnapshot(*snap, 3, 0, 200);
    TempFolder dir;
    const std::string path = dir.file("00001_142502.tgt");
    ASSERT_EQ(writeTargetFile(path, *snap, blockFromSnapshot(*snap), "abc", WriteMode::Create),
              WriteStatus::Ok);
    const auto good = slurp(path);
    const tgt::Layout l = tgt::layout(3);
    auto put32 = [](std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.at(off + i) = static_cast<std::uint8_t>(v >> (8 * i));
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
        ReadStatus expected;
    };
    const std::vector<Case> cases{
        {"N = 1081", [&](auto& b) { put32(b, 20, 1081); }, ReadStatus::Corrupt},
        {"N = 1081 with matching sizes",
         [&](auto& b) {
             put32(b, 12, 1081 * 46884);
             put32(b, 20, 1081);
             put32(b, 28, 1081 * 23260);
         },
         ReadStatus::Corrupt},
        {"sample count one short", [&](auto& b) { put32(b, 28, 3 * 23260 - 1); },
         ReadStatus::Corrupt},
        {"header words one more", [&](auto& b) { put32(b, l.headerCount, 3 * 57 + 1); },
         ReadStatus::Corrupt},
        {"position bytes for 1080 pings", [&](auto& b) { put32(b, l.positionCount, 1080 * 136); },
         ReadStatus::Corrupt},
        {"target block of 73 bytes", [&](auto& b) { put32(b, l.blockSize, 73); },
         ReadStatus::Corrupt},
        {"description longer than the file", [&](auto& b) { put32(b, l.descLength, 4); },
         ReadStatus::Corrupt},
        {"description of 4 GiB", [&](auto& b) { put32(b, l.descLength, 0xFFFFFFFF); },
         ReadStatus::Corrupt},
        {"marked ping beyond N", [&](auto& b) { put32(b, l.block + 16, 3); }, ReadStatus::Corrupt},
        {"cut inside the samples", [&](auto& b) { b.resize(5000); }, ReadStatus::Corrupt},
        {"wrong magic", [&](auto& b) { b[1] = 'X'; }, ReadStatus::NotTarget},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.spoil(bytes);
        auto into = std::make_unique<TargetSnapshot>();
        into->pingCount = 7;
        TargetBlock block;
        std::string text = "kept";
        const ReadResult r = readTargetBytes(bytes, *into, block, text);
        EXPECT_EQ(r.status, c.expected) << c.what;
        EXPECT_EQ(into->pingCount, 0u) << c.what << ": nothing half read to be saved back";
        EXPECT_EQ(text, "kept") << c.what;
    }
    // The operator hears about it by name.
    spill(path, std::vector<std::uint8_t>(good.begin(), good.begin() + 40));
    app::RecordingMessageSink sink;
    app::Messenger m;
    m.setEnglish(true);
    m.setSink(&sink);
    TargetStore store(m);
    store.setFolder(dir.path);
    TargetBlock b;
    std::string d;
    EXPECT_FALSE(store.readTarget("00001_142502", *snap, b, d));
    ASSERT_EQ(sink.count(), 1u);
    EXPECT_EQ(sink.messages()[0].text,
              "00001_142502.tgt is not the correct file. Please check the file format");
    EXPECT_FALSE(store.readTarget("../00001_1425", *snap, b, d));
}

TEST(TargetIndex, NamesAreBoundedRebuiltAndNumbersNeverReused) {
    TempFolder dir;
    app::RecordingMessageSink sink;
    app::Messenger m;
    m.setEnglish(true);
    m.setSink(&sink);
    TargetStore store(m);
    store.setFreeSpace([](const std::string&) { return std::uint64_t{1} << 40; });
    store.setFolder(dir.path);
    auto snap = std::make_unique<TargetSnapshot>();
    fillSnapshot(*snap, 2, 0, 100);
    const TargetBlock block = blockFromSnapshot(*snap);
    ASSERT_EQ(store.addTarget("00000_142502", *snap, block, ""), TargetStore::Outcome::Saved);
    ASSERT_EQ(store.addTarget("00004_142502", *snap, block, ""), TargetStore::Outcome::Saved);
    EXPECT_EQ(store.addTarget("00004_142502", *snap, block, ""), TargetStore::Outcome::Exists);
    EXPECT_EQ(store.entries().size(), 2u);
    // A running number of 1 (a project file set back) moves past the 4 in use.
    EXPECT_EQ(store.nextNumber(1), 5u);
    EXPECT_EQ(store.nextNumber(9), 9u);
    EXPECT_EQ(store.nextNumber(100000), std::nullopt);

    // The index holds 40-byte entries in list order.
    auto idx = slurp(dir.file("Target.idx"));
    ASSERT_EQ(idx.size(), 80u);
    EXPECT_EQ(idx[40], 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&idx[48])), "00004_142502");

    // Entries that would reach outside the folder, or unterminated names, are dropped.
    std::vector<std::uint8_t> evil(40, 0);
    std::memcpy(&evil[8], "../../etc/passwd", 16);
    std::vector<std::uint8_t> long_(40, 'A');
    idx.insert(idx.begin(), evil.begin(), evil.end());
    idx.insert(idx.end(), long_.begin(), long_.end());
    idx[40 + 4] = 1; // first real entry claims a picture that does not exist
    spill(dir.file("Target.idx"), idx);
    ASSERT_TRUE(store.loadIndex());
    ASSERT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(store.entries()[0], (TargetEntry{0, false, "00000_142502"}));

    // A missing index is rebuilt from the files, with pictures found by name.
    std::remove(dir.file("Target.idx").c_str());
    spill(dir.file("00004_142502.jpg"), {0xFF, 0xD8});
    ASSERT_TRUE(store.loadIndex());
    ASSERT_EQ(store.entries().size(), 2u);
    EXPECT_EQ(store.entries()[1], (TargetEntry{4, true, "00004_142502"}));
    EXPECT_EQ(slurp(dir.file("Target.idx")).size(), 80u);

    // Deleting removes both files and the entry.
    store.removeTargets({"00004_142502"});
    EXPECT_FALSE(std::filesystem::exists(dir.file("00004_142502.tgt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("00004_142502.jpg")));
    EXPECT_EQ(slurp(dir.file("Target.idx")).size(), 40u);
    EXPECT_EQ(sink.count(), 1u); // only the refused duplicate

    // Under 200 MiB free nothing is written.
    store.setFreeSpace([](const std::string&) { return kMinFreeBytes - 1; });
    EXPECT_EQ(store.addTarget("00005_142502", *snap, block, ""), TargetStore::Outcome::NoSpace);
    EXPECT_FALSE(std::filesystem::exists(dir.file("00005_142502.tgt")));
    EXPECT_EQ(sink.messages().back().text,
              "The disk space is less than 200M. Please modify the project directory!");
}

TEST(TargetMeasure, ShadowHeightAndItsGuards) {
    // Object at 200, shadow from 300 to 400: (400 - 300) * 200 / 400 = 50 samples,
    // 50 * 1500 * 1 / 50000 * 0.5 = 0.75 m.
    EXPECT_DOUBLE_EQ(*shadowHeightSamples(200, 300, 400), 50.0);
    EXPECT_DOUBLE_EQ(*shadowHeightMetres(200, 300, 400, 1500.0, 50000, 1), 0.75);
    EXPECT_DOUBLE_EQ(*shadowHeightMetres(200, 300, 400, 1500.0, 50000, 0), 0.75); // 0 means 1
    EXPECT_DOUBLE_EQ(*shadowHeightMetres(200, 300, 400, 1500.0, 100000, 2), 0.75);
    EXPECT_FALSE(
        shadowHeightMetres(200, 300, 0, 1500.0, 50000, 1)); // shadow end at the first sample
    EXPECT_FALSE(shadowHeightMetres(200, 400, 300, 1500.0, 50000, 1)); // end before start
    EXPECT_FALSE(shadowHeightMetres(200, 0, 300, 1500.0, 50000, 1));
    EXPECT_FALSE(shadowHeightMetres(200, 300, 400, 1500.0, 0, 1)); // no sample rate
    EXPECT_EQ(measuringHeightText(shadowHeightMetres(200, 300, 400, 1500.0, 50000, 1)),
              "Height: 0.75 m");
    EXPECT_EQ(measuringHeightText(std::nullopt), "Height: N/A");
    EXPECT_EQ(heightText(0.0), "Height:N/A");

    // The picture: 100 pings of 400 samples over 400 x 200 pixels.
    PictureGeometry g;
    g.width = 400;
    g.height = 200;
    g.pings = g.visiblePings = 100;
    g.visibleSamples = 400;
    EXPECT_EQ(pingAt(g, 0), 99u);   // newest on top
    EXPECT_EQ(pingAt(g, 100), 50u); // 100 - 100 * 100 / 200
    EXPECT_EQ(pingAt(g, 200), 0u);
    EXPECT_EQ(pingAt(g, 201), std::nullopt); // beyond the pings
    const auto m = markerAt(g, 100, 50);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->x, 100);
    EXPECT_EQ(m->y, 100);
    EXPECT_FALSE(markerAt(g, 400, 50)); // outside the visible samples: hidden
    EXPECT_FALSE(markerAt(g, 100, 0));
    EXPECT_FALSE(markerAt(g, 100, 101));
}

TEST(TargetMeasure, PortLiesToPortOfTheTrackAndTimesMustMatch) {
    auto snap = std::make_unique<TargetSnapshot>();
    testing::TrackSpec north; // heading 0
    fillSnapshot(*snap, 3, 0, 1000, north);
    // Port picture sample 0 is the outer end: 1000 samples from the towfish,
    // 1000 * 1500 / 2 / 50000 = 15 m, times swath / range = 1.
    const auto port = locateMark(*snap, 1, 0, 1500.0);
    ASSERT_TRUE(port);
    EXPECT_NEAR(port->east, north.easting - 15.0, 1e-9) << "west of a north-going track";
    EXPECT_NEAR(port->north, north.northing + 1.0, 1e-9);
    fillSnapshot(*snap, 3, 1, 1000, north);
    const auto stbd = locateMark(*snap, 1, 1000, 1500.0);
    ASSERT_TRUE(stbd);
    EXPECT_NEAR(stbd->east, north.easting + 15.0, 1e-9);
    // Heading east (90): port lies north of the track.
    testing::TrackSpec east;
    east.heading = 90.0;
    fillSnapshot(*snap, 3, 0, 1000, east);
    const auto portEast = locateMark(*snap, 0, 0, 1500.0);
    ASSERT_TRUE(portEast);
    EXPECT_NEAR(portEast->north, east.northing + 15.0, 1e-9);
    EXPECT_NEAR(portEast->east, east.easting, 1e-9);

    // A record of another second is not this ping's position.
    PingPositionRecord r = PingPositionRecord::decode({snap->positions.get(), 136});
    r.time += 1.0;
    r.encode({snap->positions.get(), 136});
    EXPECT_FALSE(locateMark(*snap, 0, 0, 1500.0));
    EXPECT_TRUE(locateMark(*snap, 1, 0, 1500.0));
    // No sample rate: no position.
    testing::TrackSpec silent;
    silent.sampleRate = 0;
    fillSnapshot(*snap, 3, 0, 1000, silent);
    EXPECT_FALSE(locateMark(*snap, 1, 0, 1500.0));
}

TEST(TargetCsv, LineFormatAndSaveAll) {
    TargetBlock b;
    b.year = 2024;
    b.month = 1;
    b.day = 31;
    b.hour = 14;
    b.minute = 25;
    b.second = 1;
    b.pingNumber = 1234;
    b.length = 1.5;
    b.height = 0.754;
    EXPECT_EQ(csvLine("00007_142501", 7, b, GeoPosition{5.25, 12.5}, GroundPoint{1000.0, 5000.004}),
              "00007_142501,7,20240131_142501,1234,05.250000000,012.500000000,1000.00,5000.00,"
              "1.50,0.00,0.75\n");
    EXPECT_EQ(csvLine("00007_142501", 7, b, GeoPosition{-5.25, -12.5}, GroundPoint{1, 2}),
              "00007_142501,7,20240131_142501,1234,-5.250000000,-12.500000000,1.00,2.00,"
              "1.50,0.00,0.75\n");
    b.width = -1.0; // measured between points without a position
    EXPECT_EQ(csvLine("00007_142501", 7, b, std::nullopt, std::nullopt),
              "00007_142501,7,20240131_142501,1234,N/A,N/A,N/A,N/A,1.50,N/A,0.75\n");

    TempFolder dir;
    app::RecordingMessageSink sink;
    app::Messenger m;
    m.setSink(&sink);
    TargetStore store(m);
    store.setFreeSpace([](const std::string&) { return std::uint64_t{1} << 40; });
    store.setFolder(dir.path);
    auto snap = std::make_unique<TargetSnapshot>();
    fillSnapshot(*snap, 3, 0, 1000);
    ASSERT_EQ(store.addTarget("00002_142502", *snap, blockFromSnapshot(*snap), ""),
              TargetStore::Outcome::Saved);
    const GridToGeo geo = [](const GroundPoint&) { return GeoPosition{31.0, 121.0}; };
    const ExportResult r = exportTargetsCsv(store, *snap, 1500.0, geo, {});
    EXPECT_EQ(r.written, 1u);
    EXPECT_TRUE(r.csvWritten);
    std::ifstream csv(dir.file("Target.csv"));
    std::string line;
    std::getline(csv, line);
    // Marked ping 1 (14:25:02, ping 1001), picture sample 250 of 1000 on port:
    // 750 samples out, 11.25 m west of easting 500000.
    EXPECT_EQ(line, "00002_142502,2,20240131_142502,1001,31.000000000,121.000000000,"
                    "499988.75,3400001.00,0.00,0.00,0.00");

    // The navigation map places the target from its file alone, at the same
    // point; a file cut short places nothing.
    const auto placed = store.markedPosition("00002_142502", 1500.0);
    ASSERT_TRUE(placed);
    EXPECT_NEAR(placed->east, 499988.75, 1e-9);
    EXPECT_NEAR(placed->north, 3400001.0, 1e-9);
    std::vector<std::uint8_t> bytes = slurp(store.tgtPath("00002_142502"));
    bytes.resize(bytes.size() - 80);
    spill(store.tgtPath("00002_142502"), bytes);
    EXPECT_FALSE(store.markedPosition("00002_142502", 1500.0));
}

} // namespace
} // namespace kestrova::targets

namespace kestrova::targets {
namespace {

// The command line reads a project's targets as the view wrote them, names a
// bad file and says so in its exit code; "csv" writes what "Save all" writes.
TEST(TargetCli, ListAndCsvReadTheFolder) {
    TempFolder dir;
    app::RecordingMessageSink sink;
    app::Messenger m;
    m.setSink(&sink);
    TargetStore store(m);
    store.setFreeSpace([](const std::string&) { return std::uint64_t{1} << 40; });
    store.setFolder(dir.path);
    auto snap = std::make_unique<TargetSnapshot>();
    fillSnapshot(*snap, 3, 1, 1000);
    TargetBlock block = blockFromSnapshot(*snap);
    block.length = 4.25;
    ASSERT_EQ(store.addTarget("00001_142502", *snap, block, "tyre"), TargetStore::Outcome::Saved);
    ASSERT_EQ(store.addTarget("00002_142502", *snap, block, ""), TargetStore::Outcome::Saved);

    const char* bin = std::getenv("KESTROVA_BIN");
    ASSERT_NE(bin, nullptr);
    auto cli = [&](const std::string& args, std::string& out) {
        const std::string file = dir.file("cli.out");
        const int status = std::system(
            (std::string(bin) + "/kestrova-cli " + args + " >" + file + " 2>&1").c_str());
        std::ifstream in(file);
        out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        std::remove(file.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string out;
    ASSERT_EQ(cli("targets list " + dir.path, out), 0) << out;
    // Marked sample 250 of 1000 on starboard: 3.75 m east of 500000 on a north-going track.
    EXPECT_NE(
        out.find("\"name\":\"00001_142502\",\"number\":1,\"time\":\"2024-01-31 14:25:02.250000\","
                 "\"ping\":1001"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find("\"x\":500003.75,\"y\":3400001.00,\"length\":4.25"), std::string::npos)
        << out;

    auto bytes = slurp(dir.file("00002_142502.tgt"));
    bytes[21] = 0xFF; // N far beyond 1080
    spill(dir.file("00002_142502.tgt"), bytes);
    EXPECT_EQ(cli("targets list " + dir.path, out), 1);
    EXPECT_NE(out.find("00002_142502.tgt: ping count outside 1..1080"), std::string::npos) << out;
    EXPECT_NE(out.find("00001_142502"), std::string::npos);

    std::remove(dir.file("00002_142502.tgt").c_str());
    ASSERT_EQ(cli("targets csv " + dir.path, out), 0) << out;
    std::ifstream csv(dir.file("Target.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line.rfind("00001_142502,1,20240131_142502,1001,", 0), 0u) << line;
    EXPECT_NE(line.find(",500003.75,3400001.00,4.25,0.00,0.00"), std::string::npos) << line;
    EXPECT_EQ(slurp(dir.file("Target.idx")).size(), 40u);
}

} // namespace
} // namespace kestrova::targets
