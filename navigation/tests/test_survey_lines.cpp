// Survey line files as the operator meets them: files from another machine,
// hand edits, broken copies, and the Navi folder of the project.

#include "app/config/message.h"
#include "navigation/line_operations.h"
#include "navigation/survey_line.h"
#include "platform/ini.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace kestrova;
using namespace kestrova::navigation;
namespace fs = std::filesystem;

struct RefLine {
    std::string name;
    std::vector<std::pair<double, double>> points;
};

// Written from the file layout alone, with stdio as a Windows program would.
std::string referenceWrite(const std::vector<RefLine>& lines) {
    std::string out;
    char buf[128];
    std::snprintf(buf, sizeof buf, "LNS %d\r\n", static_cast<int>(lines.size()));
    out += buf;
    for (const RefLine& l : lines) {
        std::snprintf(buf, sizeof buf, "LIN %d\r\n", static_cast<int>(l.points.size()));
        out += buf;
        for (auto [x, y] : l.points) {
            std::snprintf(buf, sizeof buf, "PTS %.6lf %.6lf\r\n", x, y);
            out += buf;
        }
        out += "LNN " + l.name + "\r\nEOL\r\n";
    }
    return out;
}

std::vector<RefLine> referenceRead(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    auto next = [&] {
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    };
    std::vector<RefLine> lines;
    int n = std::atoi(next().substr(4).c_str());
    for (int i = 0; i < n; ++i) {
        RefLine l;
        int m = std::atoi(next().substr(4).c_str());
        for (int k = 0; k < m; ++k) {
            double x = 0, y = 0;
            std::sscanf(next().c_str(), "PTS %lf %lf", &x, &y);
            l.points.emplace_back(x, y);
        }
        l.name = next().substr(4);
        next();
        lines.push_back(l);
    }
    return lines;
}

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestrova-lines-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }
    void put(const std::string& name, const std::string& text) const {
        std::ofstream(path(name), std::ios::binary) << text;
    }
    std::string get(const std::string& name) const {
        std::ifstream f(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    std::string dir_;
};

TEST(LineFile, RoundTripsWithAnIndependentReaderAndWriter) {
    std::vector<RefLine> ref = {{"1", {{500123.1234567, 4100000.5}, {500200.0, 4100100.25}}},
                                {"Line north 2", {{-12.5, 0.0000004}}},
                                {"3", {}}};
    LineFileParse ours = parseLineFile(referenceWrite(ref));
    ASSERT_TRUE(ours.ok());
    ASSERT_EQ(ours.lines.size(), 3u);
    EXPECT_EQ(ours.lines[1].name, "Line north 2"); // a name with spaces read back whole
    EXPECT_DOUBLE_EQ(ours.lines[0].points[0].x, 500123.123457); // six decimals
    EXPECT_DOUBLE_EQ(ours.lines[1].points[0].y, 0.0);
    EXPECT_TRUE(ours.lines[2].points.empty());

    std::vector<RefLine> back = referenceRead(formatLineFile(ours.lines));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].name, "Line north 2");
    EXPECT_DOUBLE_EQ(back[0].points[1].first, 500200.0);
    EXPECT_DOUBLE_EQ(back[0].points[1].second, 4100100.25);
    EXPECT_EQ(formatLineFile(ours.lines), referenceWrite(back)); // byte for byte, CR LF
}

TEST(LineFile, CountsAndKeywordsFollowTheLayout) {
    EXPECT_EQ(parseLineFile("LNS 0\r\n").error, LineFileError::LineCount);
    EXPECT_EQ(parseLineFile("LNS 65536\r\n").error, LineFileError::LineCount);
    EXPECT_EQ(parseLineFile("LNX 1\r\nLIN 0\r\nLNN a\r\nEOL\r\n").error, LineFileError::Flag);
    std::string many = "LNS 65535\n";
    for (int i = 0; i < 65535; ++i)
        many += "LIN 0\nLNN x\nEOL\n";
    EXPECT_TRUE(parseLineFile(many).ok());
    // LF only, blanks around the numbers; three numbers take the first and last.
    LineFileParse p = parseLineFile("LNS 1\nLIN 2\n  PTS 1.5   2.5 \t\nPTS 7 8 9\nLNN a b\nEOL\n");
    ASSERT_TRUE(p.ok());
    EXPECT_DOUBLE_EQ(p.lines[0].points[0].x, 1.5);
    EXPECT_DOUBLE_EQ(p.lines[0].points[0].y, 2.5);
    EXPECT_DOUBLE_EQ(p.lines[0].points[1].x, 7.0);
    EXPECT_DOUBLE_EQ(p.lines[0].points[1].y, 9.0);
}

// A file cut short or with a wild count used to load with phantom (0, 0)
// points or to allocate without bound; now it is refused whole.
TEST(LineFile, ShortOrWildFilesAreRefused) {
    EXPECT_EQ(parseLineFile("LNS 2\r\nLIN 1\r\nPTS 1 2\r\nLNN 1\r\nEOL\r\n").error,
              LineFileError::Body);
    EXPECT_EQ(parseLineFile("LNS 1\r\nLIN 3\r\nPTS 1 2\r\nLNN 1\r\nEOL\r\n").error,
              LineFileError::Body);
    EXPECT_EQ(parseLineFile("LNS 1\r\nLIN 2000000000\r\nLNN 1\r\nEOL\r\n").error,
              LineFileError::Body);
    EXPECT_EQ(parseLineFile("LNS 1\r\nLIN -5\r\nLNN 1\r\nEOL\r\n").error, LineFileError::Body);
    EXPECT_EQ(parseLineFile("LNS 1\r\nLIN 1\r\nPTS 1,5 2\r\nLNN 1\r\nEOL\r\n").error,
              LineFileError::Body);
    EXPECT_EQ(parseLineFile("LNS 1\r\nLIN 1\r\nPTS nan 2\r\nLNN 1\r\nEOL\r\n").error,
              LineFileError::Body);
}

TEST_F(TempFolder, RefusedFileKeepsTheLoadedSetAndSaysWhy) {
    app::Messenger messenger;
    app::RecordingMessageSink sink;
    messenger.setSink(&sink);
    messenger.setEnglish(true);
    NavigationLineSet set;
    put("good.lnw", "LNS 2\r\nLIN 1\r\nPTS 1 2\r\nLNN 1\r\nEOL\r\nLIN 0\r\nLNN 2\r\nEOL\r\n");
    put("short.lnw", "LNS 3\r\nLIN 1\r\nPTS 1 2\r\n");
    ASSERT_TRUE(load_line_file(set, path("good.lnw"), true, messenger));
    ASSERT_TRUE(next_line(set, messenger));
    EXPECT_EQ(set.lineIndex(), 1);
    EXPECT_FALSE(load_line_file(set, path("short.lnw"), true, messenger));
    EXPECT_FALSE(load_line_file(set, path("missing.lnw"), true, messenger));
    ASSERT_EQ(sink.count(), 2u);
    EXPECT_EQ(sink.messages()[0].text, "Line file format error");
    EXPECT_EQ(sink.messages()[1].text,
              "Failed to read the file : \"" + path("missing.lnw") + "\".");
    EXPECT_EQ(set.path(), path("good.lnw"));
    EXPECT_EQ(set.lineIndex(), 1);

    // Next on the last line wraps to 0, previous on 0 to the last.
    ASSERT_TRUE(next_line(set, messenger));
    EXPECT_EQ(set.lineIndex(), 0);
    ASSERT_TRUE(previous_line(set, messenger));
    EXPECT_EQ(set.lineIndex(), 1);
}

TEST_F(TempFolder, WritingNeverLeavesAHalfFileOrAnEmptyOne) {
    std::vector<SurveyLine> lines = {{"1", {{1, 2}, {3, 4}}}};
    ASSERT_TRUE(writeLineFileAtomically(path("a.lnw"), lines));
    const std::string before = get("a.lnw");
    EXPECT_FALSE(writeLineFileAtomically(path("a.lnw"), {})); // the reader would refuse it
    EXPECT_EQ(get("a.lnw"), before);
    EXPECT_FALSE(writeLineFileAtomically(path("no/such/folder/a.lnw"), lines));
    EXPECT_EQ(parseLineFile(before).lines, lines);
}

TEST_F(TempFolder, ImportCopiesIntoNaviAndRemembersTheFile) {
    app::Messenger messenger;
    app::RecordingMessageSink sink;
    messenger.setSink(&sink);
    messenger.setEnglish(true);
    fs::create_directories(path("proj/Navi"));
    put("plan.lnw", "LNS 1\r\nLIN 2\r\nPTS 0 0\r\nPTS 10 10\r\nLNN 1\r\nEOL\r\n");
    put("plan.dxf", "0\nSECTION\n");
    put("proj/Navi/old.lnw", "LNS 1\r\nLIN 0\r\nLNN 9\r\nEOL\r\n");
    const std::string projectFile = path("proj/p.ksp");
    NavigationLineSet set;
    ImportPlace place{path("proj/Navi"), projectFile};

    EXPECT_EQ(import_line_files(set, {path("plan.dxf"), path("plan.lnw")}, place, messenger), 1);
    EXPECT_EQ(set.path(), path("proj/Navi/plan.lnw"));
    EXPECT_EQ(platform::GetPrivateProfileStringA("FileOfNavi", "CurLine", "", 260, projectFile),
              "plan.lnw");

    // Replacing asks; No keeps the file in Navi as it was.
    put("old.lnw", "LNS 1\r\nLIN 0\r\nLNN 5\r\nEOL\r\n");
    sink.setAnswer(app::IDNO);
    EXPECT_EQ(import_line_files(set, {path("old.lnw")}, place, messenger), 0);
    EXPECT_EQ(sink.messages().back().text, "The file already exists.\nDo you want to replace it?");
    EXPECT_EQ(get("proj/Navi/old.lnw"), "LNS 1\r\nLIN 0\r\nLNN 9\r\nEOL\r\n");

    // Close asks, empties the set and forgets CurLine; then the line commands refuse.
    sink.setAnswer(app::IDOK);
    ASSERT_TRUE(close_line_file(set, projectFile, messenger));
    EXPECT_FALSE(set.loaded());
    EXPECT_EQ(platform::GetPrivateProfileStringA("FileOfNavi", "CurLine", "", 260, projectFile),
              "");
    bool reverse = true;
    EXPECT_FALSE(reverse_line(set, reverse, messenger));
    EXPECT_TRUE(reverse);
    EXPECT_EQ(sink.messages().back().text, "No line is loaded");
}

} // namespace

namespace {

// The editor may delete the line the map was told to add points to.
TEST(LineFile, AddPointChecksTheRememberedLineStillExists) {
    kestrova::app::Messenger messenger;
    kestrova::app::RecordingMessageSink sink;
    messenger.setSink(&sink);
    messenger.setEnglish(true);
    std::vector<SurveyLine> lines = {{"1", {}}, {"2", {}}};
    EXPECT_TRUE(add_point_to_selected_line(&lines, 1, {5.0, 6.0}, messenger));
    EXPECT_EQ(lines[1].points, (std::vector<LinePoint>{{5.0, 6.0}}));
    lines.pop_back();
    EXPECT_FALSE(add_point_to_selected_line(&lines, 1, {5.0, 6.0}, messenger));
    EXPECT_FALSE(add_point_to_selected_line(nullptr, 0, {5.0, 6.0}, messenger));
    ASSERT_EQ(sink.count(), 2u);
    EXPECT_EQ(sink.messages()[0].text, "No line is selected, can not add point!");
}

} // namespace
