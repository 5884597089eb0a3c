// Raw recording: the ".ksf" header at every offset, recordings read back frame
// for frame, unique names, the free-space rule, the 2 GiB split (a small limit
// here), "Cut KSF", and a disk that fills up or a split that fails.

#include "acquisition/ksf_header.h"
#include "acquisition/playback.h"
#include "acquisition/raw_recorder.h"
#include "acquisition/tests/recording_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrova::acquisition::testing {
namespace {

using kestrova::testing::TempFolder;

std::uint32_t le32(const Bytes& b, std::size_t o) {
    return std::uint32_t{b[o]} | (std::uint32_t{b[o + 1]} << 8) | (std::uint32_t{b[o + 2]} << 16) |
           (std::uint32_t{b[o + 3]} << 24);
}

bool allZero(const Bytes& b, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i)
        if (b[i] != 0) return false;
    return true;
}

// Guards: a header field written at the wrong offset or with the wrong width
// makes every recording unreadable to other tools and to older versions.
TEST(KsfHeader, DefaultsAtEveryOffset) {
    KsfHeaderBytes h = encodeKsfHeader(KsfInstallation{}, DeviceSessionBlock{});
    Bytes b(h.begin(), h.end());
    EXPECT_EQ(b[0], 0x0F);
    EXPECT_EQ(std::string(b.begin() + 1, b.begin() + 4), "KSF");
    EXPECT_EQ(std::string(b.begin() + 4, b.begin() + 12), "V1.1.000");
    EXPECT_TRUE(allZero(b, 12, 16));
    EXPECT_EQ(le32(b, 16), 0x44BB8000u); // 1500.0f sound velocity
    EXPECT_EQ(le32(b, 20), 0x3F800000u); // 1.0f density
    EXPECT_EQ(le32(b, 24), 1u);          // ship speed from the fixed value
    EXPECT_EQ(le32(b, 28), 0x40A00000u); // 5.0f
    EXPECT_TRUE(allZero(b, 32, 96));     // offsets, tow data, reserved, sync: all zero
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[96])), "QM-302");
    EXPECT_TRUE(allZero(b, 102, 112));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[112])), "00000000");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[128])), "v1.2.3.6");
    EXPECT_EQ(le32(b, 144), 2u);
    EXPECT_TRUE(allZero(b, 148, 152));
    EXPECT_EQ(le32(b, 152), 0x44610000u); // 900.0f
    EXPECT_EQ(le32(b, 156), 0x43E10000u); // 450.0f
    EXPECT_TRUE(allZero(b, 160, 184));
    EXPECT_EQ(Bytes(b.begin() + 184, b.begin() + 188), (Bytes{1, 1, 1, 1}));
    EXPECT_TRUE(allZero(b, 188, 1024));
}

TEST(KsfHeader, InstallationAndSessionFieldsAtTheirOffsets) {
    KsfInstallation in;
    in.soundVelocity = 1480.0f; // 0x44B90000
    in.density = 1.025f;
    in.useShipSpeed = 0;
    in.shipSpeed = 4.0f;  // 0x40800000
    in.gpsX = 1.0f;       // 0x3F800000
    in.gpsY = 2.0f;       // 0x40000000
    in.gpsZ = -1.0f;      // 0xBF800000
    in.towLength = 50.0f; // 0x42480000
    in.useTowfishDepth = 1;
    in.towfishDepth = 8.0f;    // 0x41000000
    in.towPointToWater = 3.0f; // 0x40400000
    in.gpsChoice = 1;
    in.headingSource = 1;
    in.syncMode = 2;
    in.syncPolarity = 1;
    DeviceSessionBlock s;
    s.deviceType = "QM-208";
    s.deviceId = "A1B2C3D4E5F60718-extra"; // only 16 characters kept
    s.firmwareVersion = "v2.0";
    s.channelCountCode = 1;
    s.hfFrequency = 870.0f;
    s.lfFrequency = 410.0f;
    s.capabilityFlags = {1, 0, 1, 0};
    s.modelFlags = 0xBEEF;
    KsfHeaderBytes h = encodeKsfHeader(in, s);
    Bytes b(h.begin(), h.end());
    EXPECT_EQ(le32(b, 16), 0x44B90000u);
    EXPECT_EQ(le32(b, 24), 0u);
    EXPECT_EQ(le32(b, 28), 0x40800000u);
    EXPECT_EQ(le32(b, 32), 0x3F800000u);
    EXPECT_EQ(le32(b, 36), 0x40000000u);
    EXPECT_EQ(le32(b, 40), 0xBF800000u);
    EXPECT_EQ(le32(b, 44), 0x42480000u);
    EXPECT_EQ(le32(b, 48), 1u);
    EXPECT_EQ(le32(b, 52), 0x41000000u);
    EXPECT_TRUE(allZero(b, 56, 72));
    EXPECT_EQ(le32(b, 72), 0x40400000u);
    EXPECT_EQ(le32(b, 76), 1u);
    EXPECT_EQ(le32(b, 80), 1u);
    EXPECT_EQ(le32(b, 84), 0u);
    EXPECT_EQ(le32(b, 88), 2u);
    EXPECT_EQ(le32(b, 92), 1u);
    EXPECT_EQ(std::string(b.begin() + 112, b.begin() + 128), "A1B2C3D4E5F60718");
    EXPECT_EQ(le32(b, 144), 1u);
    EXPECT_EQ(Bytes(b.begin() + 184, b.begin() + 188), (Bytes{1, 0, 1, 0}));
    EXPECT_EQ(b[188], 0xEF);
    EXPECT_EQ(b[189], 0xBE);

    auto back = decodeKsfHeader(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->variant, KsfHeaderVariant::Current);
    EXPECT_EQ(back->install, in);
    EXPECT_EQ(back->deviceType, "QM-208");
    EXPECT_EQ(back->firmwareVersion, "v2.0");
    EXPECT_EQ(back->hfFrequency, 870.0f);
    EXPECT_EQ(back->lfFrequency, 410.0f);
}

// Guards: recordings of the older program put the installation parameters four
// bytes earlier and the device texts elsewhere; reading them as the current
// layout would select no model and take nonsense settings.
TEST(KsfHeader, OlderVariantIsReadFromItsOwnOffsets) {
    Bytes b(1024, 0);
    b[0] = 0x0F;
    std::memcpy(&b[1], "KSF", 3);
    std::memcpy(&b[4], "V1.0.007", 8);
    ByteWriter w(b);
    w.f32le(12, 1490.0f); // sound velocity
    w.u32le(20, 1);       // ship speed flag
    w.f32le(68, 2.5f);    // tow point to water
    w.u32le(88, 1);       // sync polarity
    std::memcpy(&b[128], "QM-301", 6);
    std::memcpy(&b[140], "0000ABCD", 8);
    std::memcpy(&b[152], "870", 3);
    std::memcpy(&b[158], "420", 3);
    auto h = decodeKsfHeader(b);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->variant, KsfHeaderVariant::Older);
    EXPECT_EQ(h->install.soundVelocity, 1490.0f);
    EXPECT_EQ(h->install.useShipSpeed, 1u);
    EXPECT_EQ(h->install.towPointToWater, 2.5f);
    EXPECT_EQ(h->install.syncPolarity, 1u);
    EXPECT_EQ(h->deviceType, "QM-301");
    EXPECT_EQ(h->deviceId, "0000ABCD");
    EXPECT_EQ(h->hfFrequency, 870.0f);
    EXPECT_EQ(h->lfFrequency, 420.0f);
}

TEST(KsfHeader, ShortOrForeignBytesAreNoRecording) {
    KsfHeaderBytes h = encodeKsfHeader({}, {});
    EXPECT_FALSE(decodeKsfHeader(std::span<const std::uint8_t>(h.data(), 1023)));
    Bytes foreign(h.begin(), h.end());
    foreign[0] = 0x0E;
    EXPECT_FALSE(decodeKsfHeader(foreign));
    foreign = Bytes(h.begin(), h.end());
    foreign[3] = 'G';
    EXPECT_FALSE(decodeKsfHeader(foreign));
}

class RecorderTest : public ::testing::Test {
  protected:
    RecorderTest() {
        page = std::make_unique<DiskPageLog>(queue);
        makeRecorder();
    }
    void makeRecorder() {
        RecordingEnvironment env = clocks.environment();
        env.splitBytes = splitBytes;
        env.fileSizeLimit = fileSizeLimit;
        recorder = std::make_unique<RawRecorder>(notices, &queue, env);
        recorder->setProjectFolder(project.path());
        recorder->setDiskPage(page->window);
        sink = std::make_unique<RecorderSink>(*recorder);
        assembler = std::make_unique<FrameAssembler>(*sink, status, &fakeTick);
    }
    // One read of the bytes into the live assembler.
    void receive(const Bytes& bytes) {
        std::uint32_t fill = 0;
        std::memcpy(assembler->buffer(), bytes.data(), bytes.size());
        fill = static_cast<std::uint32_t>(bytes.size());
        assembler->feed(fill);
        ASSERT_EQ(fill, 0u);
    }
    std::string data() const { return project.file("Data"); }

    TempFolder project;
    ManualClocks clocks;
    NoticeList notices;
    platform::MessageQueue queue;
    std::unique_ptr<DiskPageLog> page;
    SonarStatus status;
    std::uint64_t splitBytes = kSplitBytes;
    std::uint64_t fileSizeLimit = 0;
    std::unique_ptr<RawRecorder> recorder;
    std::unique_ptr<RecorderSink> sink;
    std::unique_ptr<FrameAssembler> assembler;
};

// Pings with empty attitude words and an attitude frame after every third;
// `completed` gives the stream as the live assembler records it: every ping
// after the first attitude frame carries that frame's values.
Bytes survey(int pings, bool completed = false, std::uint32_t firstNumber = 1) {
    Bytes all;
    for (int i = 0; i < pings; ++i) {
        PingSpec s;
        if (completed && i > 0) {
            s.roll = 100;
            s.pitch = -200;
            s.heave = 3;
            s.heading = 9000;
        }
        s.hf = i % 2 == 0;
        s.pingNumber = firstNumber + static_cast<std::uint32_t>(i);
        s.np = 20 + static_cast<std::uint32_t>(i);
        s.ns = 20 + static_cast<std::uint32_t>(i);
        s.firstSample = 5000 + 7 * static_cast<std::uint32_t>(i);
        append(all, pingFrame(s));
        if (i % 3 == 0) append(all, attitudeFrame(100, -200, 3, 9000));
    }
    return all;
}

// Guards: a recording that is not the received frames byte for byte (frames
// dropped, reordered, altered, or the header missing) plays back differently
// from the survey.
TEST_F(RecorderTest, RecordingReadsBackFrameForFrame) {
    ASSERT_TRUE(recorder->toggle_raw_recording());
    EXPECT_EQ(recorder->displayedName(), "20240501_101500.ksf");
    Bytes stream = survey(12);
    receive(stream);
    recorder->toggle_raw_recording();
    EXPECT_FALSE(recorder->recording());

    Bytes file = readBytes(data() + "/20240501_101500.ksf");
    ASSERT_EQ(file.size(), 1024 + stream.size());
    EXPECT_EQ(Bytes(file.begin() + 1024, file.end()), survey(12, true));
    EXPECT_NE(survey(12, true), stream);
    EXPECT_TRUE(decodeKsfHeader(file));

    // Played back through another assembler, the same pings come out.
    SonarStatus playStatus;
    playStatus.playbackMode = true;
    RecordingSink played;
    FrameAssembler again(played, playStatus, &fakeTick);
    auto r = playWithoutPacing(data() + "/20240501_101500.ksf", again);
    EXPECT_EQ(r.status, KsfReader::Status::Ok);
    EXPECT_EQ(r.bytes, file.size());
    EXPECT_EQ(played.events, sink->events);
    EXPECT_EQ(played.events.size(), 12u + 4u);
    EXPECT_TRUE(notices.all().empty());
}

TEST_F(RecorderTest, StateNameAndSizeMessagesReachTheDiskPage) {
    recorder->toggle_raw_recording();
    auto first = page->take();
    EXPECT_EQ(first, (std::vector<PostedMessage>{{WM_RAW_NAME, 0}, {WM_RAW_STATE, 0}}));
    const Bytes ping = pingFrame(PingSpec{});
    receive(ping);
    // The first size report carries the position before the frame: the header.
    EXPECT_EQ(page->take(), (std::vector<PostedMessage>{{WM_RAW_SIZE, 1024}, {WM_FREE_SPACE, 0}}));
    PingSpec s2;
    s2.pingNumber = 2;
    clocks.tickMs += 999;
    receive(pingFrame(s2));
    EXPECT_TRUE(page->take().empty()) << "size reports at most once a second";
    PingSpec s3;
    s3.pingNumber = 3;
    clocks.tickMs += 1;
    receive(pingFrame(s3));
    EXPECT_EQ(page->take(), (std::vector<PostedMessage>{{WM_RAW_SIZE, 1024 + 2 * ping.size()},
                                                        {WM_FREE_SPACE, 0}}));
    recorder->toggle_raw_recording();
    EXPECT_EQ(page->take(),
              (std::vector<PostedMessage>{
                  {WM_RAW_NAME, 0}, {WM_RAW_SIZE, 0}, {WM_FREE_SPACE, 0}, {WM_RAW_STATE, 0}}));
}

// Guards: two recordings started in the same second must not overwrite or
// append to each other.
TEST_F(RecorderTest, RecordingsInOneSecondGetNumberedNames) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(recorder->toggle_raw_recording());
        recorder->toggle_raw_recording();
    }
    EXPECT_EQ(filesIn(data()),
              (std::vector<std::string>{"20240501_101500.ksf", "20240501_101500_1.ksf",
                                        "20240501_101500_2.ksf"}));
    for (const auto& n : filesIn(data()))
        EXPECT_EQ(readBytes(data() + "/" + n).size(), 1024u);
}

TEST_F(RecorderTest, LessThan2GiBFreeRefusesToStart) {
    clocks.freeBytes = 0x80000000ull - 1;
    EXPECT_FALSE(recorder->toggle_raw_recording());
    EXPECT_EQ(notices.english(),
              (std::vector<std::string>{
                  "The disk space is less than 2G. Please modify the project directory!"}));
    EXPECT_FALSE(notices.all()[0].chinese.empty());
    EXPECT_TRUE(filesIn(data()).empty());
    clocks.freeBytes = 0x80000000ull; // exactly 2 GiB is enough
    EXPECT_TRUE(recorder->toggle_raw_recording());
}

TEST_F(RecorderTest, NoProjectFolderIsAFailedCreate) {
    recorder->setProjectFolder("");
    EXPECT_FALSE(recorder->toggle_raw_recording());
    EXPECT_EQ(notices.english(),
              (std::vector<std::string>{"Failed to create .ksf file. Please check the project "
                                        "path and disk space!"}));
    EXPECT_EQ(recorder->free_disk_space(), kUnknownFreeSpace);
}

TEST_F(RecorderTest, HeaderCarriesTheSessionAsHeldAtCreation) {
    recorder->setHeaderSource([](KsfInstallation& in, DeviceSessionBlock& s) {
        in.soundVelocity = 1510.0f;
        s.deviceType = "QM-303";
        s.hfFrequency = 1200.0f;
    });
    recorder->toggle_raw_recording();
    recorder->toggle_raw_recording();
    auto h = decodeKsfHeader(readBytes(data() + "/20240501_101500.ksf"));
    ASSERT_TRUE(h);
    EXPECT_EQ(h->install.soundVelocity, 1510.0f);
    EXPECT_EQ(h->deviceType, "QM-303");
    EXPECT_EQ(h->hfFrequency, 1200.0f);
    EXPECT_EQ(h->deviceId, "00000000");
}

// Guards: the split must happen before a frame that would start at the limit,
// never split a frame, and give the new file its own header.
TEST_F(RecorderTest, SplitExactlyAtTheLimit) {
    const Bytes one = pingFrame(PingSpec{});
    splitBytes = 1024 + 3 * one.size();
    makeRecorder();
    ASSERT_TRUE(recorder->toggle_raw_recording());
    Bytes stream = survey(0);
    for (std::uint32_t n = 1; n <= 5; ++n) {
        PingSpec s;
        s.pingNumber = n;
        append(stream, pingFrame(s));
    }
    clocks.local.tm_sec = 7; // the second file is made a few seconds later
    receive(stream);
    EXPECT_TRUE(recorder->recording());
    recorder->toggle_raw_recording();
    auto names = filesIn(data());
    ASSERT_EQ(names, (std::vector<std::string>{"20240501_101500.ksf", "20240501_101507.ksf"}));
    Bytes a = readBytes(data() + "/" + names[0]);
    Bytes b = readBytes(data() + "/" + names[1]);
    EXPECT_EQ(a.size(), splitBytes);
    EXPECT_EQ(Bytes(a.begin() + 1024, a.end()),
              Bytes(stream.begin(), stream.begin() + 3 * static_cast<long>(one.size())));
    ASSERT_EQ(b.size(), 1024 + 2 * one.size());
    EXPECT_TRUE(decodeKsfHeader(b));
    EXPECT_EQ(Bytes(b.begin() + 1024, b.end()),
              Bytes(stream.begin() + 3 * static_cast<long>(one.size()), stream.end()));
}

TEST_F(RecorderTest, AFrameStartingBelowTheLimitStaysWhole) {
    const Bytes one = pingFrame(PingSpec{});
    splitBytes = 1024 + 2 * one.size() + 1;
    makeRecorder();
    recorder->toggle_raw_recording();
    Bytes stream;
    for (std::uint32_t n = 1; n <= 4; ++n) {
        PingSpec s;
        s.pingNumber = n;
        append(stream, pingFrame(s));
    }
    receive(stream);
    recorder->toggle_raw_recording();
    auto names = filesIn(data());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(readBytes(data() + "/" + names[0]).size(), 1024 + 3 * one.size());
    EXPECT_EQ(readBytes(data() + "/" + names[1]).size(), 1024 + 1 * one.size());
}

// Guards: "Cut KSF" pressed twice in a second must not leave an empty file.
TEST_F(RecorderTest, CutAtMostOncePerSecond) {
    EXPECT_FALSE(recorder->cut_raw_file()) << "nothing to cut while not recording";
    EXPECT_TRUE(filesIn(data()).empty());
    recorder->toggle_raw_recording();
    EXPECT_TRUE(recorder->cut_raw_file());
    clocks.microseconds += 999'999;
    EXPECT_FALSE(recorder->cut_raw_file());
    clocks.microseconds += 1;
    EXPECT_TRUE(recorder->cut_raw_file());
    EXPECT_TRUE(recorder->recording());
    EXPECT_EQ(filesIn(data()).size(), 3u);
}

// Guards: a full disk used to lose the survey while recording showed on. The
// file must keep every whole frame, recording must go off, and the operator
// must be told in both languages.
TEST_F(RecorderTest, FullDiskStopsRecordingAndKeepsWholeFrames) {
    const Bytes one = pingFrame(PingSpec{});
    fileSizeLimit = 1024 + 2 * one.size() + one.size() / 2; // the third frame does not fit
    makeRecorder();
    ASSERT_TRUE(recorder->toggle_raw_recording());
    page->take();
    Bytes stream;
    for (std::uint32_t n = 1; n <= 5; ++n) {
        PingSpec s;
        s.pingNumber = n;
        append(stream, pingFrame(s));
    }
    receive(stream);
    EXPECT_FALSE(recorder->recording());
    EXPECT_FALSE(sink->rawRecordingOn()) << "the assembler stops handing frames over";
    ASSERT_EQ(notices.all().size(), 1u);
    EXPECT_EQ(notices.all()[0].english, notice::kKsfWriteFailed.english);
    EXPECT_FALSE(notices.all()[0].chinese.empty());
    auto ids = page->ids();
    EXPECT_NE(std::find(ids.begin(), ids.end(), WM_RAW_STATE), ids.end());
    EXPECT_EQ(recorder->displayedName(), "");

    const std::string path = data() + "/20240501_101500.ksf";
    Bytes file = readBytes(path);
    ASSERT_EQ(file.size(), 1024 + 2 * one.size()) << "cut back to the last whole frame";
    SonarStatus playStatus;
    playStatus.playbackMode = true;
    RecordingSink played;
    FrameAssembler again(played, playStatus, &fakeTick);
    playWithoutPacing(path, again);
    EXPECT_EQ(played.kinds(), (std::vector<std::string>{"HF#1", "HF#2"}));
}

// The same through the kernel: a file-size limit (SIGXFSZ ignored) makes the
// real write calls fail part-way, as a full disk does. Run in a child process
// so the limit stays there.
TEST_F(RecorderTest, KernelFileSizeLimitStopsRecordingAndKeepsWholeFrames) {
    const Bytes one = pingFrame(PingSpec{});
    const rlim_t limit = 1024 + 2 * one.size() + one.size() / 2;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {
            limit, limit
        };
        if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) ::_exit(3);
        if (!recorder->toggle_raw_recording()) ::_exit(4);
        for (std::uint32_t n = 1; n <= 5 && recorder->recording(); ++n) {
            PingSpec s;
            s.pingNumber = n;
            recorder->writeFrame(pingFrame(s));
        }
        const bool told =
            notices.english() == std::vector<std::string>{notice::kKsfWriteFailed.english};
        ::_exit(recorder->recording() ? 5 : (told ? 0 : 6));
    }
    int exit = 0;
    ASSERT_EQ(::waitpid(child, &exit, 0), child);
    ASSERT_TRUE(WIFEXITED(exit));
    EXPECT_EQ(WEXITSTATUS(exit), 0) << "3 setrlimit, 4 no file, 5 still on, 6 no message";
    const std::string path = data() + "/20240501_101500.ksf";
    EXPECT_EQ(readBytes(path).size(), 1024 + 2 * one.size());
    SonarStatus playStatus;
    playStatus.playbackMode = true;
    RecordingSink played;
    FrameAssembler again(played, playStatus, &fakeTick);
    playWithoutPacing(path, again);
    EXPECT_EQ(played.kinds(), (std::vector<std::string>{"HF#1", "HF#2"}));
}

// Guards: a failed split used to leave no file open and drop every later frame
// while recording still showed on.
TEST_F(RecorderTest, FailedSplitSwitchesRecordingOffWithAMessage) {
    const Bytes one = pingFrame(PingSpec{});
    splitBytes = 1024 + one.size();
    makeRecorder();
    ASSERT_TRUE(recorder->toggle_raw_recording());
    page->take();
    PingSpec s;
    receive(pingFrame(s));
    clocks.freeBytes = 1u << 20; // the disk filled up meanwhile
    s.pingNumber = 2;
    receive(pingFrame(s));
    EXPECT_FALSE(recorder->recording());
    EXPECT_EQ(notices.english(), (std::vector<std::string>{notice::kDiskBelow2G.english,
                                                           notice::kKsfSplitFailed.english}));
    auto ids = page->ids();
    EXPECT_NE(std::find(ids.begin(), ids.end(), WM_RAW_STATE), ids.end());
    EXPECT_EQ(readBytes(data() + "/20240501_101500.ksf").size(), 1024 + one.size());
}

TEST_F(RecorderTest, FailedCutSwitchesRecordingOff) {
    recorder->toggle_raw_recording();
    clocks.freeBytes = 1u << 20;
    EXPECT_FALSE(recorder->cut_raw_file());
    EXPECT_FALSE(recorder->recording());
    EXPECT_EQ(notices.english().back(), notice::kKsfSplitFailed.english);
}

// Guards: the navigation input's records must land in the same file, in
// arrival order, and only while recording.
TEST_F(RecorderTest, PositionRecordsJoinTheRecording) {
    const Bytes pos = positionFrame(static_cast<std::uint16_t>(FrameType::Position), 0x42);
    recorder->writePositionFrame(pos); // not recording: dropped
    recorder->toggle_raw_recording();
    receive(pingFrame(PingSpec{}));
    recorder->writePositionFrame(pos);
    recorder->toggle_raw_recording();
    Bytes file = readBytes(data() + "/20240501_101500.ksf");
    ASSERT_EQ(file.size(), 1024 + pingFrame(PingSpec{}).size() + 172);
    EXPECT_EQ(Bytes(file.end() - 172, file.end()), pos);

    SonarStatus playStatus;
    playStatus.playbackMode = true;
    RecordingSink played;
    FrameAssembler again(played, playStatus, &fakeTick);
    playWithoutPacing(data() + "/20240501_101500.ksf", again);
    EXPECT_EQ(played.kinds(), (std::vector<std::string>{"HF#1", "position6"}));
}

// The playback pause per read, worked out from the pacing rule by hand.
TEST(PlaybackPacing, PauseFollowsTheLastPingSize) {
    EXPECT_EQ(Playback::pacingMs(0, 3), 9u);      // (0 + 10) * 9 / 9 - 1
    EXPECT_EQ(Playback::pacingMs(2160, 3), 19u);  // (10 + 10) - 1
    EXPECT_EQ(Playback::pacingMs(2160, 1), 4u);   // 20 / 9 - 1 = 1.2, at least 4
    EXPECT_EQ(Playback::pacingMs(2160, 5), 54u);  // 20 * 25 / 9 - 1 = 54.6
    EXPECT_EQ(Playback::pacingMs(10800, 1), 5u);  // (50 + 10) / 9 - 1 = 5.7
    EXPECT_EQ(Playback::pacingMs(10800, 2), 25u); // 60 * 4 / 9 - 1 = 25.7
    EXPECT_EQ(Playback::pacingMs(100, 3), 9u);    // 100 / 216 = 0.46: 10.46 - 1 = 9.46
}

} // namespace
} // namespace kestrova::acquisition::testing
