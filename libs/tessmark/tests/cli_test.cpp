// kestrova-cli geo run as the surveyor runs it: a file of points on standard
// input, converted lines on standard output, bad lines named on stderr.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int exitCode = -1;
    std::vector<std::string> out;
    std::string err;
};

std::string readFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        result.push_back(line);
    return result;
}

class GeoCli : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("KESTROVA_BIN");
        const char* src = std::getenv("KESTROVA_SOURCE");
        ASSERT_NE(bin, nullptr);
        ASSERT_NE(src, nullptr);
        cli_ = fs::path(bin) / "kestrova-cli";
        data_ = fs::path(src) / "libs/tessmark/tests/data/cli";
        char dirTemplate[] = "/tmp/tessmark-cli-XXXXXX";
        ASSERT_NE(mkdtemp(dirTemplate), nullptr);
        tmp_ = dirTemplate;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(tmp_, ec);
    }

    CliRun run(const std::string& args, const fs::path& input) {
        const fs::path out = tmp_ / "out.txt";
        const fs::path err = tmp_ / "err.txt";
        const std::string command = "'" + cli_.string() + "' " + args + " < '" + input.string() +
                                    "' > '" + out.string() + "' 2> '" + err.string() + "'";
        CliRun r;
        const int status = std::system(command.c_str());
        if (status != -1 && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
        r.out = lines(readFile(out));
        r.err = readFile(err);
        return r;
    }

    fs::path writeInput(const std::string& text) {
        const fs::path p = tmp_ / "in.txt";
        std::ofstream(p) << text;
        return p;
    }

    fs::path cli_, data_, tmp_;
};

std::vector<double> numbers(const std::string& line) {
    std::vector<double> v;
    std::istringstream in(line);
    double d;
    while (in >> d)
        v.push_back(d);
    return v;
}

TEST_F(GeoCli, ForwardConvertsGoodLinesAndNamesTheBadOnes) {
    const CliRun r = run("geo forward", data_ / "forward.txt");
    // Bad lines must not turn the run into a success.
    EXPECT_EQ(r.exitCode, 1);
    ASSERT_EQ(r.out.size(), 4u) << r.err;
    const double want[4][3] = {{3323905.467, 789525.463, 0.0},
                               {0.0, 500000.0, 12.5},
                               {4984944.378, 500000.0, 0.0},
                               {10001965.729, 500000.0, -3.25}};
    const std::regex mm(R"(^-?\d+\.\d{3} -?\d+\.\d{3} -?\d+\.\d{3}$)");
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::regex_match(r.out[i], mm)) << r.out[i];
        const std::vector<double> got = numbers(r.out[i]);
        ASSERT_EQ(got.size(), 3u);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(got[k], want[i][k], 0.0011) << r.out[i];
    }
    // Lines 6, 7 and 8 of the file are the bad ones; the comment lines, the
    // blank line and the good lines are no complaints.
    for (const char* badLine : {"line 6:", "line 7:", "line 8:"})
        EXPECT_NE(r.err.find(badLine), std::string::npos) << r.err;
    for (const char* goodLine : {"line 1:", "line 2:", "line 3:", "line 9:", "line 10:"})
        EXPECT_EQ(r.err.find(goodLine), std::string::npos) << r.err;
}

TEST_F(GeoCli, InverseGivesNineDecimalsOfDegrees) {
    const CliRun r = run("geo inverse", data_ / "inverse.txt");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    ASSERT_EQ(r.out.size(), 2u);
    const std::regex format(R"(^-?\d+\.\d{9} -?\d+\.\d{9} -?\d+\.\d{3}$)");
    const double want[2][3] = {{30.0, 120.0, 0.0}, {0.0, 117.0, 12.5}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(std::regex_match(r.out[i], format)) << r.out[i];
        const std::vector<double> got = numbers(r.out[i]);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_NEAR(got[0], want[i][0], 1e-8);
        EXPECT_NEAR(got[1], want[i][1], 1e-8);
        EXPECT_NEAR(got[2], want[i][2], 0.0005);
    }
}

TEST_F(GeoCli, ForwardOutputReadsBackThroughInverse) {
    const CliRun fwd = run("geo forward", writeInput("22.5 118.25 4.321\n-10 116 0\n"));
    ASSERT_EQ(fwd.exitCode, 0) << fwd.err;
    std::string grid;
    for (const auto& l : fwd.out)
        grid += l + "\n";
    const CliRun inv = run("geo inverse", writeInput(grid));
    ASSERT_EQ(inv.exitCode, 0) << inv.err;
    ASSERT_EQ(inv.out.size(), 2u);
    const std::vector<double> a = numbers(inv.out[0]);
    const std::vector<double> b = numbers(inv.out[1]);
    // Millimetre output: back within a millimetre (1e-8 degrees).
    EXPECT_NEAR(a[0], 22.5, 1e-8);
    EXPECT_NEAR(a[1], 118.25, 1e-8);
    EXPECT_NEAR(a[2], 4.321, 1e-9);
    EXPECT_NEAR(b[0], -10.0, 1e-8);
    EXPECT_NEAR(b[1], 116.0, 1e-8);
}

// --show prints a project's coordinate set-up as the settings dialog shows
// it: packed angles with their separators, choices by name, and what the
// dialog could not show as stored (a choice outside its list, a text that is
// not a packed angle and gives the engine's fallback).
TEST_F(GeoCli, ShowPrintsTheRecordAsTheDialogShowsIt) {
    const fs::path ini = tmp_ / "Survey.ini";
    std::ofstream(ini) << "[ParaOfGeo]\nTargetEllipsoid=2\nTargetSemimajor=6378245.0\n"
                          "ProjectionType=9\nCentralMeridian=120300000000E\n"
                          "DatumLatitude=00000000000\nPTransRa=-001300000000\n";
    const CliRun r = run("geo --show --config '" + ini.string() + "'", writeInput(""));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    for (const char* line :
         {"Version = 001.000", "[Ellipsoid]", "SourceEllipsoid = 1 WGS-84",
          "TargetEllipsoid = 2 Beijing54", "TargetSemimajor = 6378245.0",
          "ProjectionType = 9 (not in the list)", "CentralMeridian = 120:30:00.00000 E",
          "DatumLatitude = 00:00:00.00000 N (stored \"00000000000\" is not a packed angle)",
          "PTransRa = -001:30:00.00000", "ETransType = 0 N/A", "CTransDz = 0.0",
          "PROJ = none: the projection type 9 puts every position at 0, 0"})
        EXPECT_NE(std::find(r.out.begin(), r.out.end(), line), r.out.end()) << line;
    EXPECT_EQ(run("geo --show forward", writeInput("")).exitCode, 2);

    // A Gauss-Krueger zone on Krassowsky: what a GIS program needs to place the grid.
    std::ofstream(ini) << "[ParaOfGeo]\nTargetEllipsoid=2\nTargetSemimajor=6378245.0\n"
                          "TargetFlattening=298.3\nProjectionType=1\n"
                          "CentralMeridian=117000000000E\nEastConst=500000.0\n";
    const CliRun gk = run("geo --show --config '" + ini.string() + "'", writeInput(""));
    ASSERT_FALSE(gk.out.empty()) << gk.err;
    EXPECT_EQ(gk.out.back().rfind("PROJ = +proj=tmerc +lat_0=0 +lon_0=117", 0), 0u) << gk.out.back();
    EXPECT_NE(gk.out.back().find("+x_0=500000"), std::string::npos) << gk.out.back();
    EXPECT_NE(gk.out.back().find("+ellps=krass"), std::string::npos) << gk.out.back();
}

TEST_F(GeoCli, UsageErrors) {
    const fs::path in = writeInput("1 2 3\n");
    EXPECT_EQ(run("geo", in).exitCode, 2);
    EXPECT_EQ(run("geo sideways", in).exitCode, 2);
    EXPECT_EQ(run("geo forward extra", in).exitCode, 2);
    EXPECT_EQ(run("geo forward --config", in).exitCode, 2);
}

TEST_F(GeoCli, UnreadableConfigurationIsNeverASuccess) {
    // Converting with the defaults when the project's set-up could not be read
    // would hand the surveyor plausible but wrong coordinates.
    const CliRun r = run("geo forward --config /nonexistent/project.ini", writeInput("30 120 0\n"));
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(r.err.empty());
}

TEST_F(GeoCli, BadNumbersAreNotConverted) {
    const CliRun r =
        run("geo inverse", writeInput("nan 500000 0\n1e999 0 0\n3323905.467 789525.463\n"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("line 3:"), std::string::npos) << r.err;
}

} // namespace
