#include "tools/sonar-sim/sonar_protocol.h"

#include "app/config/device_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::sim {
namespace {

std::vector<std::string_view> split(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

// A number field must read back exactly as the sonar's own printf format
// writes it: digits only, the right width and zero padding, in range.
bool number(std::string_view text, const char* pattern, long long lo, long long hi, int& out,
            int base = 10) {
    if (text.empty() || text.size() > 12) return false;
    long long v = 0;
    std::size_t i = 0;
    bool negative = false;
    if (text[0] == '-') {
        negative = true;
        i = 1;
    }
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (d < 0) return false;
        v = v * base + d;
    }
    if (negative) v = -v;
    if (v < lo || v > hi) return false;
    char buf[32];
    std::snprintf(buf, sizeof buf, pattern, static_cast<int>(v));
    if (text != buf) return false;
    out = static_cast<int>(v);
    return true;
}

// A gain text: at most 10 characters of a decimal number, no trailing ".".
bool gainText(std::string_view text) {
    if (text.empty() || text.size() > 10 || text.back() == '.') return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size() || text[i] == '.') return false;
    int dots = 0;
    for (; i < text.size(); ++i) {
        if (text[i] == '.')
            ++dots;
        else if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return dots <= 1;
}

int echoWindowUs(double rangeM) {
    const long r = std::lround(rangeM);
    if (r >= 100) return 4000;
    if (r == 25) return 1000;
    if (r == 50 || r == 75) return 2000;
    return 100;
}

} // namespace

double epochFromCivil(int year, int month, int day, int hour, int minute, int second,
                      double fraction) {
    // Days from 1970-01-01 of a proleptic Gregorian date.
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (month + 9) % 12;
    const long long doy = (153 * mp + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = era * 146097 + doe - 719468;
    return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) + fraction;
}

SonarProtocol::SonarProtocol(SonarIdentity identity, ReplyFaults faults) : faults_(faults) {
    setIdentity(std::move(identity));
    // Power-on settings: HF 50 m, LF 100 m at 1500 m/s, decimation 4 and 8.
    settings_.hf.sampleLength = 14400;
    settings_.lf.sampleLength = 28800;
    settings_.hf.sampleRate = 4;
    settings_.lf.sampleRate = 8;
    settings_.hf.frequency = identity_.hfFrequency;
    settings_.lf.frequency = identity_.lfFrequency;
    settings_.channelMask = frequencies_ == 1 ? 0x03 : 0x0f;
    if (faults_.every == 0) faults_.every = 1;
}

void SonarProtocol::setPowerOn(const SonarStreamConfig& c) {
    settings_.hf.sampleLength = static_cast<int>(c.window(true));
    settings_.lf.sampleLength = static_cast<int>(c.window(false));
    settings_.hf.sampleFrequency = settings_.lf.sampleFrequency = static_cast<int>(c.sampleRateHz);
    settings_.hf.sampleRate = c.hfDecimation;
    settings_.lf.sampleRate = c.lfDecimation;
    settings_.channelMask = (c.hf ? 0x03 : 0) | (c.lf && frequencies_ == 2 ? 0x0c : 0);
}

void SonarProtocol::setIdentity(SonarIdentity identity) {
    identity_ = std::move(identity);
    const app::ModelCapabilities* m =
        app::modelCapabilities(app::ModelNumberFromIdentifier(identity_.model));
    frequencies_ = m ? m->frequencies : 2;
    if (frequencies_ == 1) identity_.lfFrequency = 0;
}

int SonarProtocol::pulseUs(const SimChannel& c) {
    static constexpr int kWidths[8] = {0, 15, 30, 50, 100, 1000, 2000, 4000};
    const int level = c.shape == 2 ? c.code - 2 : c.code;
    return level >= 0 && level <= 7 ? kWidths[level] : 15;
}

double SonarProtocol::rangeMetres(const SimChannel& c) {
    return c.sampleLength * 1500.0 / (2.0 * std::max(c.sampleFrequency, 1));
}

SonarStreamConfig SonarProtocol::streamConfig(const SonarStreamConfig& base) const {
    SonarStreamConfig c = base;
    c.hf = (settings_.channelMask & 0x03) != 0;
    c.lf = frequencies_ == 2 && (settings_.channelMask & 0x0c) != 0;
    c.sampleRateHz = static_cast<std::uint32_t>(settings_.hf.sampleFrequency);
    c.hfSampleLength = static_cast<std::uint32_t>(settings_.hf.sampleLength);
    c.lfSampleLength = static_cast<std::uint32_t>(settings_.lf.sampleLength);
    c.hfDecimation = static_cast<std::uint8_t>(std::clamp(settings_.hf.sampleRate, 1, 255));
    c.lfDecimation = static_cast<std::uint8_t>(std::clamp(settings_.lf.sampleRate, 1, 255));
    if (settings_.hf.frequency > 0)
        c.hfFrequency = static_cast<std::uint16_t>(std::min(settings_.hf.frequency, 65535));
    if (settings_.lf.frequency > 0)
        c.lfFrequency = static_cast<std::uint16_t>(std::min(settings_.lf.frequency, 65535));
    return c;
}

void SonarProtocol::onCommandLine(std::string_view line) {
    std::string why;
    const bool ok = handle(line, why);
    ++(ok ? counts_.accepted : counts_.rejected);
    if (log) log(line, ok, why);
}

void SonarProtocol::answer(const std::string& keyword, const std::string& values) {
    ++counts_.replies;
    const bool spoil = faults_.any() && counts_.replies % faults_.every == 0;
    std::string text = "$rsp," + keyword;
    if (!(spoil && faults_.missingFields) && !values.empty()) text += "," + values;
    text += "*ff";
    if (!(spoil && faults_.noCrLf)) text += "\r\n";
    if (spoil && faults_.doubleDollar) text = "$rsp,devi" + text;
    if (spoil && faults_.garbage) text = "#\x01\x7fnoise" + text;
    reply(text);
}

void SonarProtocol::checkPulse() {
    if (!settings_.running) return;
    const bool hf = (settings_.channelMask & 0x03) != 0;
    const bool lf = frequencies_ == 2 && (settings_.channelMask & 0x0c) != 0;
    for (const auto* c : {hf ? &settings_.hf : nullptr, lf ? &settings_.lf : nullptr}) {
        if (c && c->transmit && pulseUs(*c) > echoWindowUs(rangeMetres(*c))) {
            answer("ucUpdata", "1");
            return;
        }
    }
}

bool SonarProtocol::handle(std::string_view line, std::string& why) {
    constexpr std::string_view kHead = "$cmd,";
    constexpr std::string_view kTail = "*ff\r\n";
    if (line.size() < kHead.size() + kTail.size() || line.substr(0, kHead.size()) != kHead ||
        line.substr(line.size() - kTail.size()) != kTail) {
        why = "not $cmd,...*ff";
        return false;
    }
    const std::string_view body =
        line.substr(kHead.size(), line.size() - kHead.size() - kTail.size());
    if (body.find_first_of("$*\r\n") != std::string_view::npos) {
        why = "stray $, * or line break";
        return false;
    }
    const std::vector<std::string_view> f = split(body);
    const std::string_view verb = f[0];
    int v = 0;
    if (verb == "sysrun") {
        if (f.size() != 2 || !number(f[1], "%d", 0, 1, v)) {
            why = "sysrun needs 0 or 1";
            return false;
        }
        settings_.running = v == 1;
        if (settingsChanged) settingsChanged();
        checkPulse();
        return true;
    }
    if (verb == "get") {
        const std::string_view what = f.size() >= 2 ? f[1] : std::string_view();
        if (f.size() == 2 && what == "devicetype") {
            answer("devicetype", identity_.model);
        } else if (f.size() == 2 && what == "deviceid") {
            answer("deviceid", identity_.identifier);
        } else if (f.size() == 2 && what == "freq") {
            if (frequencies_ == 2)
                answer("freq", std::to_string(identity_.lfFrequency) + ",0," +
                                   std::to_string(identity_.hfFrequency) + ",0");
            else
                answer("freq", "0," + std::to_string(identity_.hfFrequency));
        } else if (f.size() == 3 && what == "version" && f[2] == "6") {
            answer("get", "version," + identity_.firmware);
        } else if (f.size() == 2 && what == "pressureref") {
            answer("pressureref", std::to_string(settings_.pressureReference));
        } else {
            why = "unknown query";
            return false;
        }
        return true;
    }
    if (verb == "set") return handleSet(f, why);
    why = "unknown verb";
    return false;
}

bool SonarProtocol::handleSet(const std::vector<std::string_view>& f, std::string& why) {
    const std::string_view name = f.size() >= 2 ? f[1] : std::string_view();
    const std::size_t n = f.size();
    auto fail = [&](const char* text) {
        why = text;
        return false;
    };
    // The channel field: 5 (HF) or 6 (LF).
    auto channel = [&](std::string_view text) -> SimChannel* {
        if (text == "5") return &settings_.hf;
        if (text == "6") return &settings_.lf;
        return nullptr;
    };
    int a = 0, b = 0, c = 0, d = 0, e = 0, g = 0, h = 0;

    if (name == "rtctime") {
        if (n != 9 || !number(f[2], "%4d", 1970, 9999, a) || !number(f[3], "%02d", 1, 12, b) ||
            !number(f[4], "%02d", 1, 31, c) || !number(f[5], "%02d", 0, 23, d) ||
            !number(f[6], "%02d", 0, 59, e) || !number(f[7], "%02d", 0, 60, g) ||
            !number(f[8], "%06d", 0, 999999, h))
            return fail("rtctime needs %4d,%02d x5,%06d");
        if (clockSet) clockSet(epochFromCivil(a, b, c, d, e, g, h / 1e6));
        return true;
    }
    if (name == "updataswitch") {
        if (n != 3 || !number(f[2], "%d", 0, 2, a)) return fail("updataswitch needs 0..2");
        settings_.updataSwitch = a;
        return true;
    }
    if (name == "algorithm") {
        if (n != 3 || !number(f[2], "%d", 0, 1000000, a)) return fail("algorithm needs a number");
        settings_.algorithm = a;
        return true;
    }
    if (name == "emittransducer" || name == "recvtransducer") {
        SimChannel* ch = n == 4 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%d", 0, 5, a) || a == 3 || a == 4)
            return fail("transducer needs channel 5|6 and code 0|1|2|5");
        (name == "emittransducer" ? ch->emitTransducer : ch->recvTransducer) = a;
        return true;
    }
    if (name == "surveypara") {
        if (n != 5 || !number(f[2], "%d", 0, 2, a) || f[3] != "0" || f[4] != "0")
            return fail("surveypara needs 0..2,0,0");
        settings_.surveyPara = a;
        return true;
    }
    if (name == "chen") {
        if (n != 3) return fail("chen needs a mask");
        if (f[2] == "00")
            a = 0x00;
        else if (f[2] == "03")
            a = 0x03;
        else if (f[2] == "0c")
            a = 0x0c;
        else if (f[2] == "0f")
            a = 0x0f;
        else
            return fail("chen mask must be 00, 03, 0c or 0f");
        settings_.channelMask = a;
        if (settingsChanged) settingsChanged();
        return true;
    }
    if (name == "samplefreq") {
        SimChannel* ch = n == 4 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%06d", 1000, 999999, a))
            return fail("samplefreq needs channel and %06d Hz");
        ch->sampleFrequency = a;
        if (settingsChanged) settingsChanged();
        return true;
    }
    if (name == "samplelength") {
        SimChannel* ch = n == 5 ? channel(f[2]) : nullptr;
        if (!ch || f[3] != "0" || !number(f[4], "%06d", 1, 9999999, a))
            return fail("samplelength needs channel,0,%06d");
        ch->sampleLength = a;
        if (settingsChanged) settingsChanged();
        return true;
    }
    if (name == "interval") {
        if (n != 3 || !number(f[2], "%d", 1, 1000000, a)) return fail("interval needs a number");
        settings_.interval = a;
        return true;
    }
    if (name == "emitchen") {
        SimChannel* ch = n == 4 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%d", 0, 1, a)) return fail("emitchen needs channel,0|1");
        ch->transmit = a == 1;
        checkPulse();
        return true;
    }
    if (name == "signalpara") {
        SimChannel* ch = n == 8 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%d", 1, 2, a) || !number(f[4], "%d", 0, 10000000, b) ||
            !number(f[5], "%x", 0, 255, c, 16) || !number(f[6], "%x", 0, 255, d, 16) || f[7] != "9")
            return fail("signalpara needs channel,shape,freq,%x,%x,9");
        // CW pulses are family 5 with codes 0..4, chirps family a with codes 7..9.
        const bool cw = a == 1 && c == 5 && d <= 4;
        const bool chirp = a == 2 && c == 10 && d >= 7 && d <= 9;
        if (!cw && !chirp) return fail("signal shape, family and code do not match");
        ch->shape = a;
        ch->frequency = b;
        ch->family = c;
        ch->code = d;
        if (settingsChanged) settingsChanged();
        checkPulse();
        return true;
    }
    if (name == "samplerate") {
        SimChannel* ch = n == 4 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%02d", 1, 99, a)) return fail("samplerate needs channel,%02d");
        ch->sampleRate = a;
        if (settingsChanged) settingsChanged();
        return true;
    }
    if (name == "gainpara") {
        SimChannel* ch = n == 9 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%d", -1000000, 1000000, a) ||
            !number(f[4], "%d", -1000000, 1000000, b) || f[5] != "000000" || f[6] != "001000")
            return fail("gainpara needs channel,gain,adv,000000,001000,spreading,absorption");
        if (!gainText(f[7]) || !gainText(f[8]))
            return fail("gainpara texts must be numbers of at most 10 characters");
        ch->gain = a;
        ch->advancedGain = b;
        ch->spreading = std::string(f[7]);
        ch->absorption = std::string(f[8]);
        return true;
    }
    if (name == "filterbandwidth") {
        SimChannel* ch = n == 4 ? channel(f[2]) : nullptr;
        if (!ch || !number(f[3], "%d", 1, 10000000, a))
            return fail("filterbandwidth needs channel,Hz");
        ch->filterBandwidth = a;
        return true;
    }
    if (name == "autoclear") {
        if (n != 2) return fail("autoclear takes no value");
        return true;
    }
    if (name == "pressureref") {
        if (n != 3 || !number(f[2], "%d", 0, 100000, a)) return fail("pressureref needs a number");
        settings_.pressureReference = a;
        return true;
    }
    return fail("unknown setting");
}

} // namespace kestrova::sim
