// Command lines and replies without sockets: every expected text below is
// worked out by hand from the sonar's line rules (c = 1500 m/s unless said).

#include "acquisition/sonar_commands.h"
#include "acquisition/sonar_commands_reply.h"

#include <gtest/gtest.h>

#include <random>

namespace kestrova::acquisition {
namespace {

using app::Frequency;

// HF and LF share the lower range levels; 7..9 exist only for LF (HF falls
// back to 50 m), and level 3 is the "other" 50 m.
TEST(SonarCommandValues, RangePulseAndEchoWindowTables) {
    EXPECT_EQ(commandRangeMetres(Frequency::HF, 0), 10);
    EXPECT_EQ(commandRangeMetres(Frequency::HF, 3), 50);
    EXPECT_EQ(commandRangeMetres(Frequency::HF, 6), 150);
    EXPECT_EQ(commandRangeMetres(Frequency::HF, 7), 50);
    EXPECT_EQ(commandRangeMetres(Frequency::LF, 7), 200);
    EXPECT_EQ(commandRangeMetres(Frequency::LF, 9), 300);
    EXPECT_EQ(commandRangeMetres(Frequency::LF, -1), 50);
    EXPECT_EQ(commandPulseUs(0), 0);
    EXPECT_EQ(commandPulseUs(7), 4000);
    EXPECT_EQ(commandPulseUs(8), 15);
    EXPECT_EQ(commandPulseUs(-3), 15); // a damaged file must not index outside the table
    EXPECT_EQ(echoWindowUs(10), 100);
    EXPECT_EQ(echoWindowUs(25), 1000);
    EXPECT_EQ(echoWindowUs(75), 2000);
    EXPECT_EQ(echoWindowUs(100), 4000);
    EXPECT_EQ(echoWindowUs(150), 4000);
}

// Samples per ping = R x 2 x 216000 / c, truncated; no sound velocity gives 19440.
TEST(SonarCommandValues, SampleLength) {
    EXPECT_EQ(sampleLength(50, 1500), 14400);
    EXPECT_EQ(sampleLength(300, 1500), 86400);
    EXPECT_EQ(sampleLength(25, 1450), 7448); // 7448.27...
    EXPECT_EQ(sampleLength(50, 0), 19440);
    // A negative or absurd value from a settings file must not print a negative length.
    EXPECT_EQ(sampleLength(50, -1500), 19440);
    EXPECT_EQ(sampleLength(300, 1e-9), 2147483647);
}

// t = 0.016 x 2R/c; x = min((P/1e6 - t)/0.016, (E/1e6 - t)/0.016);
// value = trunc(max(0.009, x) x 1000 + 1).
TEST(SonarCommandValues, PingIntervalValue) {
    EXPECT_EQ(pingIntervalValue(50, 100, 2000, 1500), 10);    // x < 0: the 0.009 floor
    EXPECT_EQ(pingIntervalValue(100, 4000, 4000, 1500), 117); // x = 0.11667
    EXPECT_EQ(pingIntervalValue(150, 4000, 4000, 1500), 51);  // x = 0.05
    EXPECT_EQ(pingIntervalValue(75, 2000, 2000, 1500), 26);   // x = 0.025
    EXPECT_EQ(pingIntervalValue(25, 1000, 1000, 1500), 30);   // x = 0.029167
    EXPECT_EQ(pingIntervalValue(50, 100, 2000, 0), 10);       // no sound velocity: floor
}

// "%.8f", cut to 10 characters, trailing "." removed.
TEST(SonarCommandValues, GainTextsAreAtMostTenCharactersWithoutTrailingDot) {
    EXPECT_EQ(gainSpreadingText(10), "2605.76689"); // 0.4342944819 x 10 x 600
    EXPECT_EQ(gainSpreadingText(30), "7817.30067"); // 7817.30067426
    EXPECT_EQ(gainAbsorptionText(10, 1500), "0.09000000");
    EXPECT_EQ(gainAbsorptionText(200, 1500), "1.80000000");
    EXPECT_EQ(gainAbsorptionText(30, 1450), "0.26100000");
    EXPECT_EQ(gainSpreadingText(473000), "123252773"); // "123252773." loses its dot
    EXPECT_EQ(gainNumberText(1234567890.5), "1234567890");
    EXPECT_EQ(gainNumberText(0), "0.00000000");
    for (int s : {-100000000, -5, 0, 7, 999, 123456, 2147483647}) {
        const std::string t = gainSpreadingText(s);
        EXPECT_LE(t.size(), 10u) << s;
        EXPECT_NE(t.back(), '.') << s;
    }
}

TEST(SonarCommandLines, SignalLineEncodesShapeFamilyAndCodeInHex) {
    const SignalCode chirp = signalCode(5);
    EXPECT_EQ(chirp.shape, 2);
    EXPECT_EQ(signalParaLine(5, chirp, 450), "$cmd,set,signalpara,5,2,450,a,7,9*ff\r\n");
    EXPECT_EQ(signalParaLine(6, signalCode(7), 150), "$cmd,set,signalpara,6,2,150,a,9,9*ff\r\n");
    EXPECT_EQ(signalParaLine(5, signalCode(3), 0), "$cmd,set,signalpara,5,1,0,5,3,9*ff\r\n");
}

TEST(SonarCommandLines, FixedFormatsOfEverySingleLine) {
    EXPECT_EQ(clockLine({2024, 5, 1, 9, 3, 7, 0}),
              "$cmd,set,rtctime,2024,05,01,09,03,07,000000*ff\r\n");
    EXPECT_EQ(clockLine({2024, 12, 31, 23, 59, 59, 250}),
              "$cmd,set,rtctime,2024,12,31,23,59,59,000250*ff\r\n");
    EXPECT_EQ(chenLine(false, false), "$cmd,set,chen,00*ff\r\n");
    EXPECT_EQ(chenLine(true, false), "$cmd,set,chen,03*ff\r\n");
    EXPECT_EQ(chenLine(false, true), "$cmd,set,chen,0c*ff\r\n");
    EXPECT_EQ(chenLine(true, true), "$cmd,set,chen,0f*ff\r\n");
    EXPECT_EQ(surveyParaLine(0, 1), "$cmd,set,surveypara,0,0,0*ff\r\n");
    EXPECT_EQ(surveyParaLine(1, 0), "$cmd,set,surveypara,1,0,0*ff\r\n");
    EXPECT_EQ(surveyParaLine(1, 1), "$cmd,set,surveypara,2,0,0*ff\r\n");
    EXPECT_EQ(sampleFrequencyLine(6), "$cmd,set,samplefreq,6,216000*ff\r\n");
    EXPECT_EQ(sampleLengthLine(5, 7448), "$cmd,set,samplelength,5,0,007448*ff\r\n");
    EXPECT_EQ(sampleRateLine(5, 4), "$cmd,set,samplerate,5,04*ff\r\n");
    EXPECT_EQ(sampleRateLine(6, 12), "$cmd,set,samplerate,6,12*ff\r\n");
    EXPECT_EQ(emitChenLine(6, false), "$cmd,set,emitchen,6,0*ff\r\n");
    EXPECT_EQ(gainParaLine(6, 12, 40, "3908.65033", "0.09000000"),
              "$cmd,set,gainpara,6,12,40,000000,001000,3908.65033,0.09000000*ff\r\n");
    EXPECT_EQ(emitTransducerLines(3),
              "$cmd,set,emittransducer,5,5*ff\r\n$cmd,set,emittransducer,6,5*ff\r\n");
    EXPECT_EQ(recvTransducerLines(9),
              "$cmd,set,recvtransducer,5,0*ff\r\n$cmd,set,recvtransducer,6,0*ff\r\n");
    EXPECT_EQ(updataSwitchLine(2).value_or(""), "$cmd,set,updataswitch,2*ff\r\n");
    EXPECT_FALSE(updataSwitchLine(3));
    EXPECT_EQ(typedIntervalLine("25").value_or(""), "$cmd,set,interval,25*ff\r\n");
    // Typed text that would end the line early or start another one is refused.
    EXPECT_FALSE(typedIntervalLine("25*ff\r\n$cmd,sysrun,1"));
    EXPECT_FALSE(typedIntervalLine(""));
}

class CommandBuilder : public ::testing::Test {
  protected:
    app::SonarSettings sonar;
    app::SystemConfig system;
    SonarCommandBuilder b{sonar, system};
    void SetUp() override { b.setChannelFrequencies(150, 450); }
};

// The default settings (HF and LF: 50 m, pulse level 4, gain 0, spreading and
// absorption level 0) give these exact lines.
TEST_F(CommandBuilder, BothChannelsGiveTheWholeBlockInOrder) {
    EXPECT_EQ(b.build_channel_block(), "$cmd,set,chen,0f*ff\r\n"
                                       "$cmd,set,samplefreq,5,216000*ff\r\n"
                                       "$cmd,set,samplelength,5,0,014400*ff\r\n"
                                       "$cmd,set,interval,10*ff\r\n"
                                       "$cmd,set,samplerate,5,04*ff\r\n"
                                       "$cmd,set,signalpara,5,1,450,5,4,9*ff\r\n"
                                       "$cmd,set,emitchen,5,1*ff\r\n"
                                       "$cmd,set,gainpara,5,0,30,000000,001000,2605.76689,"
                                       "0.09000000*ff\r\n"
                                       "$cmd,set,samplefreq,6,216000*ff\r\n"
                                       "$cmd,set,samplelength,6,0,014400*ff\r\n"
                                       "$cmd,set,interval,10*ff\r\n"
                                       "$cmd,set,samplerate,6,08*ff\r\n"
                                       "$cmd,set,signalpara,6,1,150,5,4,9*ff\r\n"
                                       "$cmd,set,emitchen,6,1*ff\r\n"
                                       "$cmd,set,gainpara,6,0,40,000000,001000,2605.76689,"
                                       "0.09000000*ff\r\n");
}

// The channel field (the one after the setting's name) of each line but chen.
std::string channelsOf(const std::string& block) {
    std::string channels;
    std::size_t at = 0;
    while ((at = block.find("$cmd,set,", at)) != std::string::npos) {
        const std::size_t comma = block.find(',', at + 9);
        if (block.compare(at + 9, 4, "chen") != 0 && block.compare(at + 9, 8, "interval") != 0)
            channels += block[comma + 1];
        at = comma;
    }
    return channels;
}

TEST_F(CommandBuilder, OnlyTheEnabledChannelsFollowTheMask) {
    sonar.lf.channelEnabled = false;
    const std::string hfOnly = b.build_channel_block();
    EXPECT_EQ(hfOnly.rfind("$cmd,set,chen,03*ff\r\n", 0), 0u);
    EXPECT_EQ(channelsOf(hfOnly),
              "555555"); // samplefreq, samplelength, samplerate, signalpara, emitchen, gainpara
    sonar.hf.channelEnabled = false;
    EXPECT_EQ(b.build_channel_block(), "$cmd,set,chen,00*ff\r\n");
    sonar.lf.channelEnabled = true;
    const std::string lfOnly = b.build_channel_block();
    EXPECT_EQ(lfOnly.rfind("$cmd,set,chen,0c*ff\r\n$cmd,set,samplefreq,6,", 0), 0u);
    EXPECT_EQ(channelsOf(lfOnly), "666666");
    sonar.hf.channelEnabled = true;
    EXPECT_EQ(channelsOf(b.build_channel_block()), "555555666666");
}

// The interval line carries the larger value, the other channel's counting
// only while that channel is enabled. HF 50 m / 0.1 ms gives 10, LF 150 m /
// 4 ms gives 51.
TEST_F(CommandBuilder, IntervalTakesTheOtherChannelOnlyWhenEnabled) {
    sonar.lf.rangeLevel = 6;
    sonar.lf.pulseLevel = 7;
    EXPECT_EQ(b.build_signal_lines(Frequency::HF).rfind("$cmd,set,interval,51*ff\r\n", 0), 0u);
    EXPECT_EQ(b.intervalValue(Frequency::HF), 10);
    EXPECT_EQ(b.intervalValue(Frequency::LF), 51);
    sonar.lf.channelEnabled = false;
    EXPECT_EQ(b.build_signal_lines(Frequency::HF).rfind("$cmd,set,interval,10*ff\r\n", 0), 0u);
    // A disabled channel's own line still carries its own value.
    EXPECT_EQ(b.build_signal_lines(Frequency::LF).rfind("$cmd,set,interval,51*ff\r\n", 0), 0u);
}

// Pulse level 5 on HF: chirp; the shape is stored back, transmit stays on.
// Pulse level 0: transmit off.
TEST_F(CommandBuilder, SignalLinesStoreTheShapeAndSwitchTheTransmitter) {
    sonar.hf.pulseLevel = 5;
    sonar.hf.signalShape = 1;
    const std::string lines = b.build_signal_lines(Frequency::HF);
    EXPECT_NE(lines.find("$cmd,set,signalpara,5,2,450,a,7,9*ff\r\n"), std::string::npos);
    EXPECT_NE(lines.find("$cmd,set,emitchen,5,1*ff\r\n"), std::string::npos);
    EXPECT_EQ(sonar.hf.signalShape, 2);
    sonar.lf.pulseLevel = 0;
    sonar.lf.signalShape = 2;
    EXPECT_NE(b.build_signal_lines(Frequency::LF).find("$cmd,set,emitchen,6,0*ff\r\n"),
              std::string::npos);
    EXPECT_EQ(sonar.lf.signalShape, 1);
}

// The display range follows the sampling lines only while the sonar is stopped;
// no sound velocity takes 10 m and 19440 samples.
TEST_F(CommandBuilder, SamplingLinesRecordTheDisplayRangeWhileStopped) {
    sonar.hf.rangeLevel = 5;
    EXPECT_EQ(b.build_sampling_lines(Frequency::HF),
              "$cmd,set,samplefreq,5,216000*ff\r\n$cmd,set,samplelength,5,0,028800*ff\r\n");
    EXPECT_EQ(sonar.commandRangeMetresHF, 100);
    b.setSonarRunning(true);
    sonar.hf.rangeLevel = 0;
    b.build_sampling_lines(Frequency::HF);
    EXPECT_EQ(sonar.commandRangeMetresHF, 100);
    b.setSonarRunning(false);
    sonar.soundSpeed = 0;
    sonar.lf.rangeLevel = 9;
    EXPECT_EQ(b.build_sampling_lines(Frequency::LF),
              "$cmd,set,samplefreq,6,216000*ff\r\n$cmd,set,samplelength,6,0,019440*ff\r\n");
    EXPECT_EQ(sonar.commandRangeMetresLF, 10);
}

// Gain line from the levels: spreading level 5 is the value 15, absorption
// level 20 the value 30; the advanced gain comes from the hidden settings.
TEST_F(CommandBuilder, GainLineFromLevelsAndAdvancedGain) {
    sonar.hf.gainLevel = 12;
    sonar.hf.setSpreadingLevel(5);
    sonar.hf.setAbsorptionLevel(20);
    sonar.soundSpeed = 1450;
    b.setAdvancedGain(Frequency::HF, 33);
    EXPECT_EQ(b.build_gain_line(Frequency::HF),
              "$cmd,set,gainpara,5,12,33,000000,001000,3908.65033,0.26100000*ff\r\n");
}

// ---- replies ----

std::vector<std::string> extractAll(ReplyAccumulator& acc) {
    std::vector<std::string> lines;
    for (int guard = 0; guard < 1000 && !acc.empty(); ++guard) {
        const std::size_t before = acc.size();
        if (auto line = extractReplyLine(acc))
            lines.push_back(*line);
        else if (acc.size() == before)
            break; // waiting for more bytes
    }
    return lines;
}

// The same bytes whole, one at a time and in random pieces give the same lines.
TEST(ReplyExtraction, AnySplitGivesTheSameLines) {
    const std::string stream = "junk$rsp,devicetype,QM-302*ff\r\n$rsp,deviceid,A1*ff\r\n"
                               "$half$rsp,freq,150,0,450,0*ff\r\n\r\n$rsp,get,version,V1*ff\r\n";
    const std::vector<std::string> want = {
        "$rsp,devicetype,QM-302*ff\r\n", "$rsp,deviceid,A1*ff\r\n", "$rsp,freq,150,0,450,0*ff\r\n",
        "$rsp,get,version,V1*ff\r\n"};
    ReplyAccumulator whole;
    whole.append(stream);
    EXPECT_EQ(extractAll(whole), want);

    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        ReplyAccumulator acc;
        std::vector<std::string> got;
        std::size_t at = 0;
        while (at < stream.size()) {
            const std::size_t n =
                round == 0 ? 1 : std::min<std::size_t>(1 + rng() % 9, stream.size() - at);
            acc.append(std::string_view(stream).substr(at, n));
            at += n;
            for (auto& l : extractAll(acc))
                got.push_back(l);
        }
        EXPECT_EQ(got, want) << "round " << round;
    }
}

TEST(ReplyExtraction, GarbageAndEarlierDollarsAreDiscarded) {
    ReplyAccumulator acc;
    acc.append("\x01\x7f noise $rsp,dev$rsp,deviceid,B2*ff\r\n$rsp,fr");
    EXPECT_EQ(extractReplyLine(acc).value_or(""), "$rsp,deviceid,B2*ff\r\n");
    EXPECT_EQ(acc.view(), "$rsp,fr"); // waits for the rest
    EXPECT_FALSE(extractReplyLine(acc));
    EXPECT_EQ(acc.view(), "$rsp,fr");
}

TEST(ReplyExtraction, NoDollarEmptiesAndNoLineEndWaitsUpToTheLimit) {
    ReplyAccumulator acc;
    acc.append("no reply here\r\n");
    EXPECT_FALSE(extractReplyLine(acc));
    EXPECT_TRUE(acc.empty());
    acc.append("$" + std::string(1023, 'x')); // 1024 characters: still waiting
    EXPECT_FALSE(extractReplyLine(acc));
    EXPECT_EQ(acc.size(), 1024u);
    acc.append("y"); // 1025 without CR LF: given up
    EXPECT_FALSE(extractReplyLine(acc));
    EXPECT_TRUE(acc.empty());
}

// Ten "$" after the first make the line noise; the reply behind it survives.
TEST(ReplyExtraction, NoisyLineIsDroppedButTheNextReplyIsKept) {
    ReplyAccumulator acc;
    acc.append("$a$b$c$d$e$f$g$h$i$j$k,deviceid,X*ff\r\n$rsp,deviceid,C3*ff\r\n");
    EXPECT_FALSE(extractReplyLine(acc));
    EXPECT_EQ(extractReplyLine(acc).value_or(""), "$rsp,deviceid,C3*ff\r\n");
    // Nine are still a line: it starts at the last "$".
    acc.append("$a$b$c$d$e$f$g$h$i$rsp,deviceid,D4*ff\r\n");
    EXPECT_EQ(extractReplyLine(acc).value_or(""), "$rsp,deviceid,D4*ff\r\n");
}

TEST(ReplyInterpretation, EveryKeyword) {
    SonarReply r = interpretReply("$rsp,deviceid,QM302-240117*ff\r\n");
    EXPECT_EQ(r.kind, ReplyKind::DeviceId);
    EXPECT_EQ(r.text, "QM302-240117");
    r = interpretReply("$rsp,devicetype,QM-101*ff\r\n");
    EXPECT_EQ(r.kind, ReplyKind::DeviceType);
    EXPECT_EQ(r.text, "QM-101");
    r = interpretReply("$rsp,mytype,ABCDEFGHIJKLMNOPQRST*ff\r\n");
    EXPECT_EQ(r.kind, ReplyKind::DeviceType);
    EXPECT_EQ(r.text, "ABCDEFGHIJKLMNOP"); // 16 characters kept
    r = interpretReply("$rsp,freq,150,9,450,9*ff\r\n");
    EXPECT_EQ(r.kind, ReplyKind::Frequencies);
    EXPECT_EQ(r.lfFrequency, 150); // first and third of four values
    EXPECT_EQ(r.hfFrequency, 450);
    r = interpretReply("$rsp,freq,120,400*ff\r\n");
    EXPECT_EQ(r.lfFrequency, 120);
    EXPECT_EQ(r.hfFrequency, 400);
    r = interpretReply("$rsp,pressureref,1013*ff\r\n");
    EXPECT_EQ(r.kind, ReplyKind::PressureReference);
    EXPECT_EQ(r.value, 1013);
    EXPECT_EQ(interpretReply("$rsp,ucUpdata,1*ff\r\n").kind, ReplyKind::UpdateOverflow);
    r = interpretReply("$rsp,get,version,V2.3.6-build-000042*ff\r\n");
    EXPECT_EQ(r.kind, ReplyKind::Version);
    EXPECT_EQ(r.text, "V2.3.6-build-000");
}

// Missing or garbled fields change nothing: the reply reads as Unknown.
TEST(ReplyInterpretation, MalformedRepliesCarryNoValue) {
    for (const char* line :
         {"$rsp,deviceid*ff\r\n", "$rsp,deviceid,*ff\r\n", "$rsp,devicetype*ff\r\n",
          "$rsp,freq,150*ff\r\n", "$rsp,freq,abc,450*ff\r\n", "$rsp,freq,150,0,,0*ff\r\n",
          "$rsp,pressureref,hPa*ff\r\n", "$rsp,get,version*ff\r\n", "$rsp,get,serial,1*ff\r\n",
          "$rsp*ff\r\n", "$rsp,deviceidX,Q*ff\r\n", "$rsp,frequency,1,2*ff\r\n"})
        EXPECT_EQ(interpretReply(line).kind, ReplyKind::Unknown) << line;
}

// A value without the "*ff" terminator must not keep the line's CR LF (the
// identifier would never match itself again).
TEST(ReplyInterpretation, ValuesNeverHoldTheLineEnd) {
    EXPECT_EQ(interpretReply("$rsp,deviceid,E5\r\n").text, "E5");
    EXPECT_EQ(interpretReply("$rsp,get,version,V9\r\n").text, "V9");
}

} // namespace
} // namespace kestrova::acquisition
