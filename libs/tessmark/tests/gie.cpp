#include "libs/tessmark/tests/gie.h"

#include "libs/tessmark/tessmark.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace kestrova::tessmark::test {
namespace {

using Record = _DefGeodetsyParameterSetting;
using TextField = char (Record::*)[32];
using IntField = std::int32_t Record::*;
using FlagField = std::uint8_t Record::*;

const std::map<std::string, TextField>& textFields() {
    static const std::map<std::string, TextField> fields = {
        {"SourceSemimajor", &Record::SourceSemimajor},
        {"SourceFlattening", &Record::SourceFlattening},
        {"TargetSemimajor", &Record::TargetSemimajor},
        {"TargetFlattening", &Record::TargetFlattening},
        {"CentralMeridian", &Record::CentralMeridian},
        {"NorthConst", &Record::NorthConst},
        {"EastConst", &Record::EastConst},
        {"ScaleRadio", &Record::ScaleRadio},
        {"ProjectonAltitude", &Record::ProjectonAltitude},
        {"DatumLatitude", &Record::DatumLatitude},
        {"NorthParallel", &Record::NorthParallel},
        {"SouthParallel", &Record::SouthParallel},
        {"SkewAzimuth", &Record::SkewAzimuth},
        {"ETransDx", &Record::ETransDx},
        {"ETransDy", &Record::ETransDy},
        {"ETransDz", &Record::ETransDz},
        {"ETransRx", &Record::ETransRx},
        {"ETransRy", &Record::ETransRy},
        {"ETransRz", &Record::ETransRz},
        {"ETransSc", &Record::ETransSc},
        {"PTransDx", &Record::PTransDx},
        {"PTransDy", &Record::PTransDy},
        {"PTransRa", &Record::PTransRa},
        {"PTransSc", &Record::PTransSc},
        {"PTransONorth", &Record::PTransONorth},
        {"HFittingA", &Record::HFittingA},
        {"HFittingB", &Record::HFittingB},
        {"HFittingC", &Record::HFittingC},
        {"HFittingD", &Record::HFittingD},
        {"HFittingE", &Record::HFittingE},
        {"HFittingF", &Record::HFittingF},
        {"HFittingX0", &Record::HFittingX0},
        {"HFittingY0", &Record::HFittingY0},
        {"CTransDx", &Record::CTransDx},
        {"CTransDy", &Record::CTransDy},
        {"CTransDz", &Record::CTransDz},
    };
    return fields;
}

const std::map<std::string, IntField>& intFields() {
    static const std::map<std::string, IntField> fields = {
        {"SourceEllipsoid", &Record::SourceEllipsoid},
        {"TargetEllipsoid", &Record::TargetEllipsoid},
        {"ProjectionType", &Record::ProjectionType},
        {"ETransType", &Record::ETransType},
        {"PTransType", &Record::PTransType},
        {"HFittingType", &Record::HFittingType},
    };
    return fields;
}

const std::map<std::string, FlagField>& flagFields() {
    static const std::map<std::string, FlagField> fields = {
        {"AddBandnumber", &Record::AddBandnumber}, {"PositiveSouth", &Record::PositiveSouth},
        {"PositiveWest", &Record::PositiveWest},   {"PTransNorthDR", &Record::PTransNorthDR},
        {"PTransEastDR", &Record::PTransEastDR},
    };
    return fields;
}

bool parseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

// Metres per degree on a mean sphere: enough to weigh a residual.
constexpr double kMetresPerDegree = 6371000.0 * 3.14159265358979323846 / 180.0;

struct Triple {
    double a = 0, b = 0, c = 0;
};

// Distance between two results in metres: grid results directly, geographic
// results with the angles turned into ground distance at the point.
double residual(const Triple& got, const Triple& want, bool geographic) {
    if (!geographic) {
        return std::max(
            {std::fabs(got.a - want.a), std::fabs(got.b - want.b), std::fabs(got.c - want.c)});
    }
    const double cosB = std::cos(want.a * 3.14159265358979323846 / 180.0);
    double dL = std::fabs(got.b - want.b);
    if (dL > 180.0) dL = 360.0 - dL;
    return std::max({std::fabs(got.a - want.a) * kMetresPerDegree, dL * kMetresPerDegree * cosB,
                     std::fabs(got.c - want.c)});
}

bool parseTolerance(std::istringstream& in, double& metres) {
    std::string value, unit;
    in >> value >> unit;
    double v = 0;
    if (!parseNumber(value, v)) return false;
    if (unit == "mm") {
        metres = v / 1000.0;
    } else if (unit == "m") {
        metres = v;
    } else {
        return false;
    }
    return true;
}

} // namespace

bool parseAngle(const std::string& text, double& degrees) {
    if (text.empty()) return false;
    std::string body = text;
    double sign = 1.0;
    const char last = body.back();
    if (last == 'N' || last == 'S' || last == 'E' || last == 'W') {
        if (last == 'S' || last == 'W') sign = -1.0;
        body.pop_back();
    }
    if (!body.empty() && (body[0] == '-' || body[0] == '+')) {
        if (body[0] == '-') sign = -sign;
        body.erase(0, 1);
    }
    double parts[3] = {0, 0, 0};
    int count = 0;
    std::size_t start = 0;
    while (count < 3) {
        std::size_t colon = body.find(':', start);
        std::string piece = body.substr(start, colon == std::string::npos ? colon : colon - start);
        if (!parseNumber(piece, parts[count])) return false;
        ++count;
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    degrees = sign * (parts[0] + parts[1] / 60.0 + parts[2] / 3600.0);
    return true;
}

bool setRecordField(Record& record, const std::string& name, const std::string& value) {
    if (auto it = textFields().find(name); it != textFields().end()) {
        char(&field)[32] = record.*(it->second);
        if (value.size() > 31) return false;
        std::memset(field, 0, sizeof field);
        std::memcpy(field, value.data(), value.size());
        return true;
    }
    if (auto it = intFields().find(name); it != intFields().end()) {
        record.*(it->second) = std::atoi(value.c_str());
        return true;
    }
    if (auto it = flagFields().find(name); it != flagFields().end()) {
        record.*(it->second) = static_cast<std::uint8_t>(std::atoi(value.c_str()) != 0);
        return true;
    }
    return false;
}

GieResult runGieFile(const std::string& path) {
    GieResult result;
    std::ifstream file(path);
    if (!file) {
        result.failures.push_back({0, "cannot open " + path});
        return result;
    }
    Tessmark* engine = CreateTessmark();
    Record record = defaultGeodeticRecord();
    bool inverse = false;
    bool haveAccept = false;
    double tolerance = 0.001;
    std::string title;
    Triple input;
    Triple output;

    auto fail = [&](int line, const std::string& message) {
        result.failures.push_back({line, title + ": " + message});
    };
    auto convert = [&](bool backwards, const Triple& in) {
        Triple out;
        if (backwards) {
            engine->xyhtoBLH(in.a, in.b, in.c, out.a, out.b, out.c);
        } else {
            engine->BLHtoxyh(in.a, in.b, in.c, out.a, out.b, out.c);
        }
        return out;
    };
    // The first two values of a geographic triple are angles.
    auto readTriple = [&](std::istringstream& in, bool geographic, Triple& t) {
        std::string a, b, c;
        in >> a >> b >> c;
        if (geographic) return parseAngle(a, t.a) && parseAngle(b, t.b) && parseNumber(c, t.c);
        return parseNumber(a, t.a) && parseNumber(b, t.b) && parseNumber(c, t.c);
    };

    std::string text;
    int lineNo = 0;
    while (std::getline(file, text)) {
        ++lineNo;
        if (auto hash = text.find('#'); hash != std::string::npos) text.erase(hash);
        std::istringstream in(text);
        std::string keyword;
        if (!(in >> keyword)) continue;
        if (keyword == "operation") {
            std::getline(in >> std::ws, title);
            record = defaultGeodeticRecord();
            inverse = false;
            haveAccept = false;
            tolerance = 0.001;
            engine->SetGeodetsyParameter(record);
        } else if (keyword == "set") {
            std::string name, value;
            in >> name >> value;
            if (!setRecordField(record, name, value)) fail(lineNo, "bad set " + name);
            engine->SetGeodetsyParameter(record);
        } else if (keyword == "direction") {
            std::string d;
            in >> d;
            if (d != "forward" && d != "inverse") fail(lineNo, "bad direction " + d);
            inverse = d == "inverse";
        } else if (keyword == "tolerance") {
            if (!parseTolerance(in, tolerance)) fail(lineNo, "bad tolerance");
        } else if (keyword == "accept") {
            if (!readTriple(in, !inverse, input)) {
                fail(lineNo, "bad accept");
                continue;
            }
            output = convert(inverse, input);
            haveAccept = true;
        } else if (keyword == "expect") {
            Triple want;
            if (!haveAccept || !readTriple(in, inverse, want)) {
                fail(lineNo, "bad expect");
                continue;
            }
            ++result.checks;
            const double r = residual(output, want, inverse);
            if (!(r <= tolerance)) {
                char buf[256];
                std::snprintf(buf, sizeof buf,
                              "got %.10f %.10f %.6f, want %.10f %.10f %.6f: off by %.4f mm "
                              "(tolerance %.4f mm)",
                              output.a, output.b, output.c, want.a, want.b, want.c, r * 1000.0,
                              tolerance * 1000.0);
                fail(lineNo, buf);
            }
        } else if (keyword == "roundtrip") {
            double limit = 0;
            if (!haveAccept || !parseTolerance(in, limit)) {
                fail(lineNo, "bad roundtrip");
                continue;
            }
            ++result.checks;
            const Triple back = convert(!inverse, output);
            const double r = residual(back, input, !inverse);
            if (!(r <= limit)) {
                char buf[160];
                std::snprintf(buf, sizeof buf, "round trip off by %.4f mm (limit %.4f mm)",
                              r * 1000.0, limit * 1000.0);
                fail(lineNo, buf);
            }
        } else {
            fail(lineNo, "unknown keyword " + keyword);
        }
    }
    DeleteTessmark(engine);
    return result;
}

} // namespace kestrova::tessmark::test
