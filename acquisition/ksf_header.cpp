#include "acquisition/ksf_header.h"

#include "platform/bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrova::acquisition {
namespace {

namespace o = ksf_offset;

void putText(ByteWriter& w, std::size_t off, const std::string& text, std::size_t size) {
    w.fill(off, 0, size);
    w.bytes(off, text.data(), std::min(text.size(), size));
}

// A NUL-padded text field; stops at the first NUL.
std::string getText(const ByteReader& r, std::size_t off, std::size_t size) {
    auto bytes = r.sub(off, size);
    std::string out;
    for (std::uint8_t c : bytes) {
        if (c == 0) break;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

// The older header's frequencies are decimal texts (as atoi read them).
float decimalText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0'); // at most 6 digits: no overflow
    return static_cast<float>(negative ? -value : value);
}

// A frequency as the header holds it; a value that is no number (a damaged
// or foreign header) is taken as not known, 0.
float frequencyField(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

KsfInstallation readInstallation(const ByteReader& r, std::size_t shift) {
    KsfInstallation in;
    auto f = [&](std::size_t off) { return *r.f32le(off - shift); };
    auto u = [&](std::size_t off) { return *r.u32le(off - shift); };
    in.soundVelocity = f(o::soundVelocity);
    in.density = f(o::density);
    in.useShipSpeed = u(o::useShipSpeed);
    in.shipSpeed = f(o::shipSpeed);
    in.gpsX = f(o::gpsX);
    in.gpsY = f(o::gpsY);
    in.gpsZ = f(o::gpsZ);
    in.towLength = f(o::towLength);
    in.useTowfishDepth = u(o::useTowfishDepth);
    in.towfishDepth = f(o::towfishDepth);
    in.towPointToWater = f(o::towPointToWater);
    in.gpsChoice = u(o::gpsChoice);
    in.headingSource = u(o::headingSource);
    in.syncMode = u(o::syncMode);
    in.syncPolarity = u(o::syncPolarity);
    return in;
}

} // namespace

KsfHeaderBytes encodeKsfHeader(const KsfInstallation& in, const DeviceSessionBlock& s) {
    KsfHeaderBytes out{};
    ByteWriter w(out);
    w.bytes(o::magic, kKsfMagic.data(), kKsfMagic.size());
    w.bytes(o::version, kKsfVersion, 8);
    w.f32le(o::soundVelocity, in.soundVelocity);
    w.f32le(o::density, in.density);
    w.u32le(o::useShipSpeed, in.useShipSpeed);
    w.f32le(o::shipSpeed, in.shipSpeed);
    w.f32le(o::gpsX, in.gpsX);
    w.f32le(o::gpsY, in.gpsY);
    w.f32le(o::gpsZ, in.gpsZ);
    w.f32le(o::towLength, in.towLength);
    w.u32le(o::useTowfishDepth, in.useTowfishDepth);
    w.f32le(o::towfishDepth, in.towfishDepth);
    w.f32le(o::towPointToWater, in.towPointToWater);
    w.u32le(o::gpsChoice, in.gpsChoice);
    w.u32le(o::headingSource, in.headingSource);
    w.u32le(o::syncMode, in.syncMode);
    w.u32le(o::syncPolarity, in.syncPolarity);
    putText(w, o::deviceType, s.deviceType, o::textSize);
    putText(w, o::deviceId, s.deviceId, o::textSize);
    putText(w, o::firmwareVersion, s.firmwareVersion, o::textSize);
    w.u32le(o::channelCountCode, s.channelCountCode);
    w.f32le(o::hfFrequency, s.hfFrequency);
    w.f32le(o::lfFrequency, s.lfFrequency);
    w.bytes(o::capabilityFlags, s.capabilityFlags.data(), s.capabilityFlags.size());
    w.u16le(o::modelFlags, s.modelFlags);
    return out;
}

std::optional<KsfHeaderInfo> decodeKsfHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kKsfHeaderSize) return std::nullopt;
    if (!std::equal(kKsfMagic.begin(), kKsfMagic.end(), bytes.begin())) return std::nullopt;
    ByteReader r(bytes.first(kKsfHeaderSize));
    KsfHeaderInfo info;
    if (std::memcmp(bytes.data() + o::version, kKsfVersion, 8) == 0) {
        info.variant = KsfHeaderVariant::Current;
        info.install = readInstallation(r, 0);
        info.deviceType = getText(r, o::deviceType, o::textSize);
        info.deviceId = getText(r, o::deviceId, o::textSize);
        info.firmwareVersion = getText(r, o::firmwareVersion, o::textSize);
        info.hfFrequency = frequencyField(*r.f32le(o::hfFrequency));
        info.lfFrequency = frequencyField(*r.f32le(o::lfFrequency));
    } else {
        info.variant = KsfHeaderVariant::Older;
        info.install = readInstallation(r, o::olderInstallationShift);
        info.deviceType = getText(r, o::olderDeviceType, o::olderDeviceTypeSize);
        info.deviceId = getText(r, o::olderDeviceId, o::olderDeviceIdSize);
        info.hfFrequency = decimalText(getText(r, o::olderHf, o::olderHfSize));
        info.lfFrequency = decimalText(getText(r, o::olderLf, o::olderLfSize));
    }
    return info;
}

} // namespace kestrova::acquisition
