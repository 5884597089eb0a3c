#include "tools/nav-sim/nav_model.h"

#include "tools/nav-sim/sim_world.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::navsim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6378137.0;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;

struct Vec {
    double e = 0.0, n = 0.0;
};
Vec operator+(Vec a, Vec b) {
    return {a.e + b.e, a.n + b.n};
}
Vec operator-(Vec a, Vec b) {
    return {a.e - b.e, a.n - b.n};
}
Vec operator*(double k, Vec a) {
    return {k * a.e, k * a.n};
}
double length(Vec a) {
    return std::hypot(a.e, a.n);
}
double headingOf(Vec d) {
    double h = std::atan2(d.e, d.n) * 180.0 / kPi;
    return h < 0.0 ? h + 360.0 : h;
}

struct Geometry {
    Vec u; // along the first line
    Vec v; // towards the next line
    int lines;
    double length;
    double spacing;
    Vec lineStart(int k) const {
        Vec base = (k * spacing) * v;
        return k % 2 == 0 ? base : base + length * u;
    }
    Vec lineDir(int k) const { return k % 2 == 0 ? u : -1.0 * u; }
};

Geometry geometryOf(const SurveyPattern& p) {
    double h = p.lineHeading * kPi / 180.0;
    Geometry g;
    g.u = {std::sin(h), std::cos(h)};
    g.v = {std::cos(h), -std::sin(h)}; // to the right of the first line
    g.lines = std::max(1, p.lines);
    g.length = std::max(1.0, p.lineLength);
    g.spacing = std::max(1.0, p.lineSpacing);
    return g;
}

double turnLength(const Geometry& g) {
    return kPi * g.spacing / 2.0;
}

Vec lastLineEnd(const Geometry& g) {
    int k = g.lines - 1;
    return g.lineStart(k) + g.length * g.lineDir(k);
}

} // namespace

VesselTrack::VesselTrack(const SurveyPattern& pattern) : p_(pattern) {
    Geometry g = geometryOf(p_);
    cycle_ = g.lines * g.length + (g.lines - 1) * turnLength(g) + length(lastLineEnd(g));
}

VesselState VesselTrack::at(double seconds) const {
    Geometry g = geometryOf(p_);
    double speed = std::max(0.0, p_.speedKnots) * kMetresPerSecondPerKnot;
    double s = std::fmod(std::max(0.0, seconds) * speed, cycle_);
    Vec pos, dir;
    bool placed = false;
    for (int k = 0; k < g.lines && !placed; ++k) {
        if (s <= g.length) {
            pos = g.lineStart(k) + s * g.lineDir(k);
            dir = g.lineDir(k);
            placed = true;
            break;
        }
        s -= g.length;
        if (k == g.lines - 1) break;
        double turn = turnLength(g);
        if (s <= turn) {
            // Half circle from the end of line k to the start of line k+1.
            double r = g.spacing / 2.0;
            double theta = s / r;
            Vec d = g.lineDir(k);
            Vec end = g.lineStart(k) + g.length * d;
            Vec centre = end + r * g.v;
            pos = centre + (-r * std::cos(theta)) * g.v + (r * std::sin(theta)) * d;
            dir = std::sin(theta) * g.v + std::cos(theta) * d;
            placed = true;
            break;
        }
        s -= turn;
    }
    if (!placed) {
        // The run back from the end of the last line to the start of the first.
        Vec from = lastLineEnd(g);
        Vec back = Vec{} - from;
        double len = std::max(1e-9, length(back));
        pos = from + (std::min(s, len) / len) * back;
        dir = (1.0 / len) * back;
    }
    VesselState st;
    st.east = pos.e;
    st.north = pos.n;
    st.heading = headingOf(dir);
    st.speed = speed;
    st.latitude = p_.originLatitude + pos.n / kEarthRadius * 180.0 / kPi;
    st.longitude = p_.originLongitude +
                   pos.e / (kEarthRadius * std::cos(p_.originLatitude * kPi / 180.0)) * 180.0 / kPi;
    return st;
}

std::string withChecksum(const std::string& body) {
    unsigned sum = 0;
    for (unsigned char c : body)
        sum ^= c;
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return "$" + body + tail;
}

namespace {

// ddmm.mmmmm with the rounding carried into the degrees, never "60.00000".
std::string angleText(double degrees, int degreeDigits) {
    long long units = std::llround(std::fabs(degrees) * 60.0 * 100000.0); // 1e-5 minute
    long long d = units / (60LL * 100000);
    long long rest = units % (60LL * 100000);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld%02lld.%05lld", degreeDigits, d, rest / 100000,
                  rest % 100000);
    return buf;
}

// hhmmss.ss of a time of day, rounding carried through.
std::string clockText(double secondsOfDay) {
    long long cs = std::llround(secondsOfDay * 100.0) % (86400LL * 100);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02lld%02lld%02lld.%02lld", cs / 360000, cs / 6000 % 60,
                  cs / 100 % 60, cs % 100);
    return buf;
}

} // namespace

std::string ggaSentence(const GgaData& d) {
    char body[160];
    std::snprintf(body, sizeof body, "GPGGA,%s,%s,%c,%s,%c,%d,%02d,%.1f,%.2f,M,%.2f,M,,",
                  clockText(d.utcSecondsOfDay).c_str(), angleText(d.latitude, 2).c_str(),
                  d.latitude < 0 ? 'S' : 'N', angleText(d.longitude, 3).c_str(),
                  d.longitude < 0 ? 'W' : 'E', d.quality, d.satellites, d.hdop, d.altitude,
                  d.separation);
    return withChecksum(body);
}

UtcTime utcFromEpoch(double t) {
    long long whole = static_cast<long long>(std::floor(t));
    long long days = whole / 86400;
    if (whole % 86400 < 0) --days;
    double secondsOfDay = t - static_cast<double>(days) * 86400.0;
    UtcTime u;
    int year = 1970;
    for (;;) {
        bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        int len = leap ? 366 : 365;
        if (days < len) break;
        days -= len;
        ++year;
    }
    static constexpr int kLen[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int month = 0;
    while (month < 11) {
        int len = kLen[month] + (month == 1 && leap ? 1 : 0);
        if (days < len) break;
        days -= len;
        ++month;
    }
    u.year = year;
    u.month = month + 1;
    u.day = static_cast<int>(days) + 1;
    u.hour = static_cast<int>(secondsOfDay / 3600.0);
    u.minute = static_cast<int>((secondsOfDay - u.hour * 3600.0) / 60.0);
    u.second = secondsOfDay - u.hour * 3600.0 - u.minute * 60.0;
    return u;
}

std::string zdaSentence(double utcEpochSeconds) {
    // Round to centiseconds first so the date and the clock agree.
    double t = std::round(utcEpochSeconds * 100.0) / 100.0;
    UtcTime u = utcFromEpoch(t);
    double ofDay = u.hour * 3600.0 + u.minute * 60.0 + u.second;
    char body[96];
    std::snprintf(body, sizeof body, "GPZDA,%s,%02d,%02d,%04d,00,00", clockText(ofDay).c_str(),
                  u.day, u.month, u.year);
    return withChecksum(body);
}

NavSource::NavSource(const NavConfig& config)
    : config_(config), track_(config.pattern), rng_(config.seed) {
    if (!(config_.rateHz > 0.0)) config_.rateHz = 1.0;
}

double NavSource::uniform() {
    return static_cast<double>(rng_() >> 11) * 0x1.0p-53;
}

void NavSource::emit(Epoch& e, std::vector<std::uint8_t> message, bool nmea) {
    const Faults& f = config_.faults;
    ++e.messages;
    if (f.noise && uniform() < f.rate) {
        int n = 1 + static_cast<int>(uniform() * 40);
        for (int i = 0; i < n; ++i) {
            auto b = static_cast<std::uint8_t>(rng_() & 0xFF);
            // Noise never forges the end marker of a sentence, so it stays noise.
            if (nmea && (b == '\r' || b == '\n' || b == '$')) b = '#';
            e.bytes.push_back(b);
        }
    }
    bool broken = false;
    if (f.badChecksum && uniform() < f.rate) {
        if (nmea) {
            // Change one digit of the body: the checksum no longer matches.
            std::size_t star = 0;
            while (star < message.size() && message[star] != '*')
                ++star;
            for (std::size_t tries = 0; tries < 16 && star > 8; ++tries) {
                std::size_t i = 7 + static_cast<std::size_t>(uniform() * (star - 7));
                if (message[i] >= '0' && message[i] <= '9') {
                    message[i] = static_cast<std::uint8_t>('0' + (message[i] - '0' + 1) % 10);
                    broken = true;
                    break;
                }
            }
        } else {
            message[message.size() - 4 + (rng_() % 2)] ^= 0x5A;
            broken = true;
        }
    }
    if (f.cut && uniform() < f.rate && message.size() > 8) {
        message.resize(4 + static_cast<std::size_t>(uniform() * (message.size() - 8)));
        broken = true;
    }
    if (broken) ++e.faulty;
    e.bytes.insert(e.bytes.end(), message.begin(), message.end());
}

Epoch NavSource::next() {
    Epoch e;
    e.simSeconds = static_cast<double>(index_) / config_.rateHz;
    std::uint64_t index = index_++;
    const Faults& f = config_.faults;
    if (f.silenceAt >= 0.0 && e.simSeconds >= f.silenceAt &&
        e.simSeconds < f.silenceAt + f.silenceFor) {
        e.silent = true;
        return e;
    }
    double utc = config_.startUtc + e.simSeconds;
    VesselState st = config_.world ? config_.world->vesselAt(utc) : track_.at(e.simSeconds);
    if (config_.jitter > 0.0) {
        double de = (uniform() * 2.0 - 1.0) * config_.jitter;
        double dn = (uniform() * 2.0 - 1.0) * config_.jitter;
        st.latitude += dn / 6378137.0 * 180.0 / 3.14159265358979323846;
        st.longitude += de / (6378137.0 * std::cos(st.latitude * 3.14159265358979323846 / 180.0)) *
                        180.0 / 3.14159265358979323846;
    }
    if (f.jumpAt >= 0.0 && e.simSeconds >= f.jumpAt) utc += f.jumpBy;
    UtcTime u = utcFromEpoch(utc);
    double ofDay = u.hour * 3600.0 + u.minute * 60.0 + u.second;
    double altitude = 3.2;
    double separation = 10.3;

    switch (config_.type) {
    case MessageType::Gga: {
        GgaData g;
        g.utcSecondsOfDay = ofDay;
        g.latitude = st.latitude;
        g.longitude = st.longitude;
        g.quality = config_.quality;
        g.altitude = altitude;
        g.separation = separation;
        auto ended = [this](std::string text) {
            text.resize(text.size() - 2); // the "\r\n" of the standard
            return text + config_.lineEnd;
        };
        std::string gga = ended(ggaSentence(g));
        emit(e, std::vector<std::uint8_t>(gga.begin(), gga.end()), true);
        // The date once a second, as receivers send it.
        std::uint64_t perSecond = std::max<std::uint64_t>(1, std::llround(config_.rateHz));
        if (config_.zda && index % perSecond == 0) {
            std::string zda = ended(zdaSentence(utc));
            emit(e, std::vector<std::uint8_t>(zda.begin(), zda.end()), true);
        }
        break;
    }
    case MessageType::Ins: {
        position::InsFrame fr;
        fr.year = static_cast<std::uint16_t>(u.year);
        fr.month = static_cast<std::uint8_t>(u.month);
        fr.day = static_cast<std::uint8_t>(u.day);
        fr.hour = static_cast<std::uint8_t>(u.hour);
        fr.minute = static_cast<std::uint8_t>(u.minute);
        fr.second = static_cast<std::uint8_t>(std::min(59.0, std::floor(u.second)));
        fr.longitude = st.longitude;
        fr.latitude = st.latitude;
        fr.speed = static_cast<float>(st.speed);
        fr.height = static_cast<float>(altitude + separation);
        fr.heading = static_cast<float>(st.heading);
        auto b = position::encode(fr);
        emit(e, std::vector<std::uint8_t>(b.begin(), b.end()), false);
        break;
    }
    case MessageType::Custom: {
        position::CustomFrame fr;
        fr.time = static_cast<float>(ofDay);
        fr.longitude = static_cast<float>(st.longitude);
        fr.latitude = static_cast<float>(st.latitude);
        fr.heading = static_cast<float>(st.heading);
        fr.speed = static_cast<float>(st.speed);
        fr.auxHeight = static_cast<float>(altitude);
        auto b = position::encode(fr);
        emit(e, std::vector<std::uint8_t>(b.begin(), b.end()), false);
        break;
    }
    }
    return e;
}

} // namespace kestrova::navsim
