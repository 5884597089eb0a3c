// The text accumulator and the binary buffer are stream parsers over a serial
// line or a socket: whatever the split of the bytes into reads, they must find
// the same sentences and frames, and their limits must hold.

#include "position/binary_frames.h"
#include "position/sentence_accumulator.h"
#include "tools/nav-sim/nav_model.h"

#include <gtest/gtest.h>

#include <random>

using namespace kestrova;
using namespace kestrova::position;

namespace {

std::vector<std::uint8_t> simulatedStream(navsim::MessageType type, int seconds, bool faults) {
    navsim::NavConfig cfg;
    cfg.type = type;
    cfg.rateHz = 5.0;
    cfg.seed = 7;
    cfg.faults.badChecksum = faults;
    cfg.faults.cut = faults;
    cfg.faults.noise = faults;
    cfg.faults.rate = 0.2;
    navsim::NavSource source(cfg);
    std::vector<std::uint8_t> all;
    for (int i = 0; i < seconds * 5; ++i) {
        auto e = source.next();
        all.insert(all.end(), e.bytes.begin(), e.bytes.end());
    }
    return all;
}

// Feeds the bytes in pieces cut by `cut` (piece lengths), draining after each.
std::vector<std::string> sentencesOf(const std::vector<std::uint8_t>& bytes,
                                     const std::vector<std::size_t>& cuts) {
    SentenceAccumulator acc;
    std::vector<std::string> out;
    std::size_t at = 0, k = 0;
    while (at < bytes.size()) {
        std::size_t n =
            cuts.empty() ? bytes.size() : std::min(cuts[k++ % cuts.size()], bytes.size() - at);
        acc.append(std::span<const std::uint8_t>(bytes.data() + at, n));
        at += n;
        while (auto s = acc.extract_sentence())
            out.push_back(*s);
    }
    return out;
}

template <typename Take>
std::vector<std::vector<std::uint8_t>> framesOf(const std::vector<std::uint8_t>& bytes,
                                                const std::vector<std::size_t>& cuts, Take take) {
    BinaryBuffer buffer;
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t at = 0, k = 0;
    while (at < bytes.size()) {
        std::size_t n =
            cuts.empty() ? bytes.size() : std::min(cuts[k++ % cuts.size()], bytes.size() - at);
        EXPECT_TRUE(buffer.append(std::span<const std::uint8_t>(bytes.data() + at, n)));
        at += n;
        while (auto f = take(buffer))
            out.emplace_back(f->begin(), f->end());
    }
    return out;
}

std::vector<std::size_t> randomCuts(unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::size_t> cuts(97);
    for (auto& c : cuts)
        c = 1 + rng() % 200;
    return cuts;
}

std::vector<std::uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}

} // namespace

TEST(SentenceAccumulator, SameSentencesWhateverTheSplit) {
    // A TCP or serial read can end anywhere, even between "\r" and "\n".
    auto stream = simulatedStream(navsim::MessageType::Gga, 30, true);
    auto whole = sentencesOf(stream, {});
    ASSERT_GT(whole.size(), 100u);
    EXPECT_EQ(sentencesOf(stream, {1}), whole);
    EXPECT_EQ(sentencesOf(stream, {2, 3}), whole);
    for (unsigned seed = 1; seed <= 5; ++seed)
        EXPECT_EQ(sentencesOf(stream, randomCuts(seed)), whole);
}

TEST(SentenceAccumulator, CutSentenceYieldsOnlyTheNewOne) {
    auto s = sentencesOf(bytesOf("noise$GPGGA,0102$GPZDA,010203.00,01,06,2024,00,00\r\n"), {});
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0], "$GPZDA,010203.00,01,06,2024,00,00\r\n");
    SentenceAccumulator acc;
    acc.append(std::string_view("xx$GPGGA,0102$GPZDA,1\r\n"));
    EXPECT_EQ(acc.stats().cutSentences, 1u);
    EXPECT_EQ(acc.stats().noiseBytes, 2u);
}

TEST(SentenceAccumulator, TenStartsInOneCandidateDropIt) {
    std::string nine = "$A" + std::string(9, '$') + "GPZDA,1\r\n$B\r\n";
    auto kept = sentencesOf(bytesOf(nine), {});
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0], "$GPZDA,1\r\n");
    std::string ten = "$A" + std::string(10, '$') + "GPZDA,1\r\n$B\r\n";
    auto dropped = sentencesOf(bytesOf(ten), {});
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0], "$B\r\n");
}

TEST(SentenceAccumulator, OverlongCandidateDroppedAndInputRecovers) {
    // No end marker within 4095 characters: the candidate goes, the next sentence is found.
    std::string longText = "$" + std::string(5000, 'A') + "\r\n$GPZDA,2\r\n";
    for (auto cuts : {std::vector<std::size_t>{}, std::vector<std::size_t>{1}, randomCuts(9)}) {
        SentenceAccumulator acc;
        auto s = sentencesOf(bytesOf(longText), cuts);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_EQ(s[0], "$GPZDA,2\r\n");
    }
    // 4095 characters with the end marker is still a sentence.
    std::string limit = "$" + std::string(4092, 'A') + "\r\n";
    ASSERT_EQ(limit.size(), 4095u);
    EXPECT_EQ(sentencesOf(bytesOf(limit), {}).size(), 1u);
    EXPECT_EQ(sentencesOf(bytesOf("$" + std::string(4093, 'A') + "\r\n"), {}).size(), 0u);
}

// Guards: every sentence of a source that strips the CR (or sends CR alone)
// lost without a word.
TEST(SentenceAccumulator, BareLfOrCrEndsASentenceToo) {
    const std::string a = "$GPZDA,1", b = "$GPGGA,2";
    for (const std::string end : {"\n", "\r", "\r\n"}) {
        SentenceAccumulator acc;
        acc.append(std::string_view(a + end + b + end));
        EXPECT_EQ(acc.extract_sentence(), a + "\r\n");
        EXPECT_EQ(acc.extract_sentence(), b + "\r\n");
        EXPECT_EQ(acc.stats().noiseBytes, 0u);
    }
}

TEST(SentenceAccumulator, ClearForgetsThePartialSentence) {
    SentenceAccumulator acc;
    acc.append(std::string_view("$GPZDA,12"));
    acc.clear();
    acc.append(std::string_view("34\r\n$GPZDA,5\r\n"));
    auto s = acc.extract_sentence();
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, "$GPZDA,5\r\n");
    EXPECT_FALSE(acc.extract_sentence());
}

TEST(BinaryFrames, SameFramesWhateverTheSplitAmidNoise) {
    for (auto type : {navsim::MessageType::Ins, navsim::MessageType::Custom}) {
        auto stream = simulatedStream(type, 30, true);
        auto take = [type](BinaryBuffer& b) -> std::optional<std::vector<std::uint8_t>> {
            if (type == navsim::MessageType::Ins) {
                auto f = takeInsFrame(b);
                if (!f) return std::nullopt;
                return std::vector<std::uint8_t>(f->begin(), f->end());
            }
            auto f = takeCustomFrame(b);
            if (!f) return std::nullopt;
            return std::vector<std::uint8_t>(f->begin(), f->end());
        };
        auto whole = framesOf(stream, {}, take);
        ASSERT_GT(whole.size(), 80u);
        EXPECT_EQ(framesOf(stream, {1}, take), whole);
        for (unsigned seed = 1; seed <= 4; ++seed)
            EXPECT_EQ(framesOf(stream, randomCuts(seed), take), whole);
    }
}

TEST(BinaryFrames, InsFrameFoundAtByteThreeAndDecoded) {
    InsFrame in;
    in.year = 2024;
    in.month = 6;
    in.day = 1;
    in.hour = 23;
    in.minute = 59;
    in.second = 58;
    in.longitude = 118.14;
    in.latitude = -24.4;
    in.speed = 2.5f;
    in.height = 13.5f;
    in.heading = 271.0f;
    auto frame = encode(in);
    EXPECT_EQ(frame[0], 0xAA);
    EXPECT_EQ(frame[1], 0x55);
    EXPECT_EQ(frame[2], 0x55);
    EXPECT_EQ(frame[3], 0xAA);
    EXPECT_EQ(frame[60], 0x77);
    EXPECT_EQ(frame[61], 0xEE);
    std::vector<std::uint8_t> bytes = {0x01, 0xAA, 0x55};
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    BinaryBuffer buffer;
    buffer.append(bytes);
    auto taken = takeInsFrame(buffer);
    ASSERT_TRUE(taken);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.stats().skippedBytes, 3u);
    auto out = decodeInsFrame(*taken);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->year, 2024);
    EXPECT_EQ(out->second, 58);
    EXPECT_DOUBLE_EQ(out->latitude, -24.4);
    EXPECT_FLOAT_EQ(out->heading, 271.0f);
}

TEST(BinaryFrames, WithoutAFrameOnlyTheLastSizeMinusOneBytesStay) {
    BinaryBuffer buffer;
    std::vector<std::uint8_t> junk(200, 0x11);
    buffer.append(junk);
    EXPECT_FALSE(takeInsFrame(buffer));
    EXPECT_EQ(buffer.size(), 63u);
    EXPECT_FALSE(takeCustomFrame(buffer));
    EXPECT_EQ(buffer.size(), 43u);
    // Fewer bytes than a frame: kept as they are.
    BinaryBuffer small;
    small.append(std::vector<std::uint8_t>(40, 0x22));
    EXPECT_FALSE(takeCustomFrame(small));
    EXPECT_EQ(small.size(), 40u);
}

TEST(BinaryFrames, HeaderWithoutTrailerIsNoFrame) {
    CustomFrame c;
    c.time = 3600.5f;
    auto frame = encode(c);
    auto damaged = frame;
    damaged[40] = 0;
    std::vector<std::uint8_t> bytes(damaged.begin(), damaged.end());
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    BinaryBuffer buffer;
    buffer.append(bytes);
    auto taken = takeCustomFrame(buffer);
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, frame);
    EXPECT_EQ(buffer.stats().skippedBytes, 44u);
}

TEST(BinaryFrames, BufferOverTwoMebibytesIsEmptied) {
    BinaryBuffer buffer;
    std::vector<std::uint8_t> block(1 << 20, 0x33);
    EXPECT_TRUE(buffer.append(block));
    EXPECT_TRUE(buffer.append(block));
    EXPECT_EQ(buffer.size(), 2097152u);
    EXPECT_FALSE(buffer.append(std::vector<std::uint8_t>(1, 0x44)));
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(buffer.stats().overflowBytes, 2097153u);
}
