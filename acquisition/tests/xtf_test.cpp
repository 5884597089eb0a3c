// XTF export read back with a reader written from the published format: file
// header and channel info, every ping's header, channel headers, sample counts,
// samples in their order, record sizes and padding; splits and a full disk.

#include "acquisition/tests/recording_support.h"
#include "acquisition/tests/xtf_reader.h"
#include "acquisition/xtf_writer.h"

#include <gtest/gtest.h>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::TempFolder;
namespace rd = kestrova::testing::xtf_read;

// A ping header with the fields the export reads, as the sonar sends them.
Bytes pingHeader(std::uint32_t pingNumber, std::uint32_t np, std::uint32_t ns) {
    PingSpec s;
    s.pingNumber = pingNumber;
    s.np = np;
    s.ns = ns;
    Bytes f = pingFrame(s);
    f.resize(PingHeader::kSize);
    ByteWriter w(f);
    w.u16le(16, 2024);
    w.u8(18, 3);
    w.u8(19, 1);
    w.u8(20, 13);
    w.u8(21, 45);
    w.u8(22, 30);
    w.u32le(24, 567890);  // microseconds
    w.u16le(84 + 2, 900); // port frequency
    w.u16le(140 + 2, 900);
    w.i16le(196, -150);  // roll -1.5
    w.i16le(198, 275);   // pitch 2.75
    w.i16le(200, -12);   // heave -0.12
    w.u16le(202, 27000); // heading 270
    return f;
}

struct Line {
    Bytes header;
    std::vector<std::uint16_t> port, starboard;
    XtfPingInput input() const { return {header, port, starboard}; }
};

Line line(std::uint32_t pingNumber, std::uint32_t np, std::uint32_t ns) {
    Line l{pingHeader(pingNumber, np, ns), {}, {}};
    for (std::uint32_t i = 0; i < np; ++i)
        l.port.push_back(static_cast<std::uint16_t>(100 + i));
    for (std::uint32_t i = 0; i < ns; ++i)
        l.starboard.push_back(static_cast<std::uint16_t>(30000 + i));
    return l;
}

class XtfTest : public ::testing::Test {
  protected:
    XtfTest() : page(queue) { make(); }
    void make() {
        RecordingEnvironment env = clocks.environment();
        env.splitBytes = splitBytes;
        env.fileSizeLimit = fileSizeLimit;
        writer = std::make_unique<XtfWriter>(notices, &queue, env);
        writer->setProjectFolder(project.path());
        writer->setDiskPage(page.window);
    }
    rd::File read(const std::string& name) {
        auto f = rd::parse(readBytes(project.file("Data/" + name)));
        EXPECT_TRUE(f);
        return f ? *f : rd::File{};
    }
    TempFolder project;
    ManualClocks clocks;
    NoticeList notices;
    platform::MessageQueue queue;
    DiskPageLog page;
    std::uint64_t splitBytes = kSplitBytes;
    std::uint64_t fileSizeLimit = 0;
    std::unique_ptr<XtfWriter> writer;
};

// Guards: a file header other readers cannot take (wrong format byte, channel
// count, sample width, frequencies or beam angles per file).
TEST_F(XtfTest, FileHeadersOfBothFiles) {
    ASSERT_TRUE(writer->toggle_xtf_recording());
    EXPECT_EQ(writer->displayedName(0), "20240501_101500_HF.xtf");
    EXPECT_EQ(writer->displayedName(1), "20240501_101500_LF.xtf");
    writer->toggle_xtf_recording();
    for (int f = 0; f < 2; ++f) {
        const std::string name = f == 0 ? "20240501_101500_HF.xtf" : "20240501_101500_LF.xtf";
        rd::File x = read(name);
        const rd::FileHeader& h = x.header;
        EXPECT_EQ(h.fileFormat, 0x7B);
        EXPECT_EQ(h.systemType, 1);
        EXPECT_EQ(h.recordingProgramName, "Vornack");
        EXPECT_EQ(h.recordingProgramVersion, "223");
        EXPECT_EQ(h.sonarName, "QM-302.exe");
        EXPECT_EQ(h.sonarType, 0);
        EXPECT_EQ(h.noteString, "Ostravent QM-302");
        const std::string full = project.file("Data/" + name);
        EXPECT_EQ(h.thisFileName, full.size() > 63 ? full.substr(full.size() - 63) : full);
        EXPECT_EQ(h.navUnits, 3);
        EXPECT_EQ(h.numberOfSonarChannels, 2);
        EXPECT_EQ(h.numberOfBathymetryChannels, 0);
        const float freq = f == 0 ? 900.0f : 450.0f;
        for (int c = 0; c < 2; ++c) {
            const rd::ChanInfo& ci = h.chan[c];
            EXPECT_EQ(ci.typeOfChannel, c == 0 ? 1 : 2);
            EXPECT_EQ(ci.subChannelNumber, c);
            EXPECT_EQ(ci.correctionFlags, 1);
            EXPECT_EQ(ci.uniPolar, 1);
            EXPECT_EQ(ci.bytesPerSample, 2);
            EXPECT_EQ(ci.channelName,
                      std::string(c == 0 ? "Port " : "Starboard ") + (f == 0 ? "900" : "450"));
            EXPECT_EQ(ci.voltScale, 5.0f);
            EXPECT_EQ(ci.frequency, freq);
            EXPECT_EQ(ci.horizBeamAngle, f == 0 ? 0.26f : 0.5f);
            EXPECT_EQ(ci.tiltAngle, 30.0f);
            EXPECT_EQ(ci.beamWidth, 50.0f);
        }
        EXPECT_EQ(h.chan[2].typeOfChannel, 0);
        EXPECT_TRUE(x.pings.empty());
        EXPECT_TRUE(x.clean);
    }
}

TEST_F(XtfTest, LongDeviceTypeAndFrequencyAreCut) {
    DeviceSessionBlock s;
    s.deviceType = "ABCDEFGHIJKLMNOP";
    s.hfFrequency = 1234567.0f;
    writer->setSession(s);
    writer->toggle_xtf_recording();
    writer->toggle_xtf_recording();
    rd::File x = read("20240501_101500_HF.xtf");
    EXPECT_EQ(x.header.sonarName, "ABCDEFGHIJK.exe");
    EXPECT_EQ(x.header.noteString, "Ostravent ABCDEFGHIJK");
    EXPECT_EQ(x.header.chan[0].channelName, "Port 12345");
    EXPECT_EQ(x.header.chan[1].channelName, "Starboard 12345");
}

// Guards: every ping header field, the record size with its padding, the port
// side reversed and the starboard side in order.
TEST_F(XtfTest, PingRecordFields) {
    writer->setSoundVelocity(1500.0f);
    writer->toggle_xtf_recording();
    Line l = line(77, 1000, 1000);
    XtfPingContext ctx{22.5, 113.25, 12.5f};
    writer->write_xtf_ping(0, l.input(), ctx);
    writer->toggle_xtf_recording();
    rd::File x = read("20240501_101500_HF.xtf");
    ASSERT_EQ(x.pings.size(), 1u);
    EXPECT_TRUE(x.clean);
    const rd::Ping& p = x.pings[0];
    EXPECT_EQ(p.magic, 0xFACE);
    EXPECT_EQ(p.headerType, 0);
    EXPECT_EQ(p.subChannel, 0);
    EXPECT_EQ(p.numChansToFollow, 2);
    EXPECT_EQ(p.numBytesThisRecord, 4416u); // 384 + 4000 rounded up to 64
    EXPECT_EQ(p.padding, Bytes(32, 0));
    EXPECT_EQ(p.year, 2024);
    EXPECT_EQ(p.month, 3);
    EXPECT_EQ(p.day, 1);
    EXPECT_EQ(p.hour, 13);
    EXPECT_EQ(p.minute, 45);
    EXPECT_EQ(p.second, 30);
    EXPECT_EQ(p.hSeconds, 56);
    EXPECT_EQ(p.julianDay, 61); // 1 March of a leap year
    EXPECT_EQ(p.eventNumber, 0u);
    EXPECT_EQ(p.pingNumber, 77u);
    EXPECT_EQ(p.soundVelocity, 750.0f);
    EXPECT_EQ(p.shipY, 22.5);
    EXPECT_EQ(p.sensorY, 22.5);
    EXPECT_EQ(p.shipX, 113.25);
    EXPECT_EQ(p.sensorX, 113.25);
    EXPECT_EQ(p.altitude, 12.5f);
    EXPECT_FLOAT_EQ(p.roll, -1.5f);
    EXPECT_FLOAT_EQ(p.pitch, 2.75f);
    EXPECT_FLOAT_EQ(p.heave, -0.12f);
    EXPECT_FLOAT_EQ(p.heading, 270.0f);
    ASSERT_EQ(p.channels.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        const rd::ChannelHeader& ch = p.channels[static_cast<std::size_t>(c)];
        EXPECT_EQ(ch.channelNumber, c);
        // 1500 / 2 * 14400 samples / 216000 Hz
        EXPECT_FLOAT_EQ(ch.slantRange, 50.0f);
        EXPECT_FLOAT_EQ(ch.timeDuration, 14400.0f / 216000.0f);
        EXPECT_EQ(ch.frequency, 900);
        EXPECT_EQ(ch.bandWidth, 60);
        EXPECT_EQ(ch.numSamples, 1000u);
    }
    EXPECT_EQ(p.channels[0].samples.front(), 100 + 999) << "farthest port sample first";
    EXPECT_EQ(p.channels[0].samples.back(), 100);
    EXPECT_EQ(p.channels[1].samples.front(), 30000);
    EXPECT_EQ(p.channels[1].samples.back(), 30999);
}

TEST(XtfRules, JulianDayAndRecordSize) {
    EXPECT_EQ(xtf::julianDay(2024, 3, 1), 61);
    EXPECT_EQ(xtf::julianDay(2023, 3, 1), 60);
    EXPECT_EQ(xtf::julianDay(2000, 12, 31), 366);    // 2000 is a leap year
    EXPECT_EQ(xtf::julianDay(1900 + 200, 3, 1), 60); // 2100 is not
    EXPECT_EQ(xtf::julianDay(1970, 1, 1), 1);
    EXPECT_EQ(xtf::julianDay(1969, 6, 1), 0);
    EXPECT_EQ(xtf::julianDay(2024, 13, 1), 0);
    EXPECT_EQ(xtf::julianDay(2024, 0, 1), 0);
    EXPECT_EQ(xtf::julianDay(2024, 5, 0), 0);
    EXPECT_EQ(xtf::julianDay(2024, 5, 32), 0);
    EXPECT_EQ(xtf::recordSize(1000, 1000), 4416u);
    EXPECT_EQ(xtf::recordSize(16, 16), 448u); // 384 + 64: already whole
    EXPECT_EQ(xtf::recordSize(0, 0), 384u);
    // Sides of different lengths: sized by what the record holds.
    EXPECT_EQ(xtf::recordSize(10, 6), 448u); // 384 + 32 = 416 -> 448
}

// Guards: a zero sample rate (a damaged ping) must not divide by zero.
TEST_F(XtfTest, ZeroSampleRateGivesZeroRange) {
    writer->toggle_xtf_recording();
    Line l = line(1, 8, 8);
    ByteWriter(l.header).u32le(84 + 28, 0);
    writer->write_xtf_ping(1, l.input(), {});
    writer->write_xtf_ping(2, l.input(), {}); // no such frequency: ignored
    writer->toggle_xtf_recording();
    rd::File x = read("20240501_101500_LF.xtf");
    ASSERT_EQ(x.pings.size(), 1u);
    EXPECT_EQ(x.pings[0].channels[0].slantRange, 0.0f);
    EXPECT_EQ(x.pings[0].channels[0].timeDuration, 0.0f);
    EXPECT_FLOAT_EQ(x.pings[0].channels[1].slantRange, 50.0f);
    EXPECT_TRUE(read("20240501_101500_HF.xtf").pings.empty());
}

TEST_F(XtfTest, HistoryLineCarriesCountsFromItsHeader) {
    Bytes hist(history_line::kSize, 0);
    Bytes h = pingHeader(5, 3, 2);
    std::copy(h.begin(), h.end(), hist.begin());
    ByteWriter w(hist);
    for (int i = 0; i < 3; ++i)
        w.u16le(228 + 2 * i, static_cast<std::uint16_t>(10 + i));
    for (int i = 0; i < 2; ++i)
        w.u16le(46520 + 2 * i, static_cast<std::uint16_t>(20 + i));
    std::vector<std::uint16_t> port, stbd;
    auto in = xtfInputFromHistoryLine(hist, port, stbd);
    ASSERT_TRUE(in);
    writer->toggle_xtf_recording();
    writer->write_xtf_ping(0, *in, {});
    writer->toggle_xtf_recording();
    rd::File x = read("20240501_101500_HF.xtf");
    ASSERT_EQ(x.pings.size(), 1u);
    EXPECT_EQ(x.pings[0].channels[0].samples, (std::vector<std::uint16_t>{12, 11, 10}));
    EXPECT_EQ(x.pings[0].channels[1].samples, (std::vector<std::uint16_t>{20, 21}));
    // A line whose header claims more samples than a line holds is cut, not overrun.
    ByteWriter(hist).u32le(136, 4000000000u);
    auto big = xtfInputFromHistoryLine(hist, port, stbd);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->port.size(), history_line::kMaxPort);
    EXPECT_FALSE(
        xtfInputFromHistoryLine(std::span<const std::uint8_t>(hist.data(), 1000), port, stbd));
}

TEST_F(XtfTest, SplitMakesANewPairAndKeepsRecording) {
    const std::uint32_t rec = xtf::recordSize(8, 8);
    splitBytes = 1024 + 2 * rec;
    make();
    writer->toggle_xtf_recording();
    for (std::uint32_t n = 1; n <= 3; ++n)
        writer->write_xtf_ping(0, line(n, 8, 8).input(), {});
    EXPECT_TRUE(writer->recording());
    writer->toggle_xtf_recording();
    EXPECT_EQ(filesIn(project.file("Data")),
              (std::vector<std::string>{"20240501_101500_1_HF.xtf", "20240501_101500_1_LF.xtf",
                                        "20240501_101500_HF.xtf", "20240501_101500_LF.xtf"}));
    EXPECT_EQ(read("20240501_101500_HF.xtf").pings.size(), 2u);
    rd::File second = read("20240501_101500_1_HF.xtf");
    ASSERT_EQ(second.pings.size(), 1u);
    EXPECT_EQ(second.pings[0].pingNumber, 3u);
}

// Guards: a converted recording split at 2 GiB must keep its own name, not
// take the time of the conversion.
TEST_F(XtfTest, NamedFilesKeepTheirNameAcrossASplit) {
    splitBytes = 1024 + xtf::recordSize(8, 8);
    make();
    const std::string folder = project.file("out");
    std::filesystem::create_directory(folder);
    ASSERT_TRUE(writer->createNamed(folder, "survey"));
    for (std::uint32_t n = 1; n <= 2; ++n)
        writer->write_xtf_ping(1, line(n, 8, 8).input(), {});
    writer->close_xtf_files();
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"survey_1_HF.xtf", "survey_1_LF.xtf",
                                                         "survey_HF.xtf", "survey_LF.xtf"}));
}

// Guards: a full disk used to lose the XTF data silently while XTF recording
// showed on.
TEST_F(XtfTest, FullDiskClosesBothFilesKeepingWholePings) {
    const std::uint32_t rec = xtf::recordSize(100, 100);
    fileSizeLimit = 1024 + 2 * rec + 10;
    make();
    ASSERT_TRUE(writer->toggle_xtf_recording());
    page.take();
    for (std::uint32_t n = 1; n <= 4; ++n)
        writer->write_xtf_ping(0, line(n, 100, 100).input(), {});
    EXPECT_FALSE(writer->recording());
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].english, notice::kXtfWriteFailed.english);
    EXPECT_FALSE(notices.all()[0].chinese.empty());
    auto ids = page.ids();
    EXPECT_NE(std::find(ids.begin(), ids.end(), WM_XTF_STATE), ids.end());
    rd::File x = read("20240501_101500_HF.xtf");
    EXPECT_TRUE(x.clean) << "the file ends on a whole ping record";
    ASSERT_EQ(x.pings.size(), 2u);
    EXPECT_EQ(x.pings[1].pingNumber, 2u);
    EXPECT_EQ(writer->path(0), "");
    EXPECT_EQ(writer->path(1), "");
}

TEST_F(XtfTest, LowDiskOrNoProjectRefusesToStart) {
    clocks.freeBytes = (2ull << 30) - 1;
    EXPECT_FALSE(writer->toggle_xtf_recording());
    EXPECT_EQ(notices.english().back(), notice::kDiskBelow2G.english);
    clocks.freeBytes = 100ull << 30;
    writer->setProjectFolder("");
    EXPECT_FALSE(writer->toggle_xtf_recording());
    EXPECT_EQ(notices.english().back(), notice::kXtfCreateFailed.english);
}

TEST_F(XtfTest, SizeReportsPerFileAtMostOncePerSecond) {
    writer->toggle_xtf_recording();
    page.take();
    writer->write_xtf_ping(0, line(1, 8, 8).input(), {});
    writer->write_xtf_ping(1, line(1, 8, 8).input(), {});
    clocks.tickMs += 500;
    writer->write_xtf_ping(0, line(2, 8, 8).input(), {});
    clocks.tickMs += 500;
    writer->write_xtf_ping(0, line(3, 8, 8).input(), {});
    const std::uintptr_t rec = xtf::recordSize(8, 8);
    EXPECT_EQ(page.take(), (std::vector<PostedMessage>{{WM_XTF_SIZE_HF, 1024},
                                                       {WM_FREE_SPACE, 0},
                                                       {WM_XTF_SIZE_LF, 1024},
                                                       {WM_FREE_SPACE, 0},
                                                       {WM_XTF_SIZE_HF, 1024 + 2 * rec},
                                                       {WM_FREE_SPACE, 0}}));
}

} // namespace
} // namespace kestrova::acquisition::testing
