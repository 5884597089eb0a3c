#pragma once
// The 1024-byte header that opens every raw recording (".ksf"): the magic
// 0x0F "KSF", the version text, the installation parameters and the device
// session block as they stood when the file was created. Frames follow it back
// to back. Older recordings carry another layout after the magic; decoding
// reads both.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrova::acquisition {

constexpr std::size_t kKsfHeaderSize = 1024;
constexpr std::array<std::uint8_t, 4> kKsfMagic{0x0F, 'K', 'S', 'F'};
constexpr const char* kKsfVersion = "V1.1.000";

// Installation parameters (the Fit... settings) in header order.
struct KsfInstallation {
    float soundVelocity = 1500.0f;  // FitSoundVelocity, m/s
    float density = 1.0f;           // FitDensity
    std::uint32_t useShipSpeed = 1; // FitbShipSpeed
    float shipSpeed = 5.0f;         // FitShipSpeed
    float gpsX = 0, gpsY = 0, gpsZ = 0;
    float towLength = 0;
    std::uint32_t useTowfishDepth = 0; // FitbTowfishDepth
    float towfishDepth = 0;
    float towPointToWater = 0;
    std::uint32_t gpsChoice = 0; // FitbGpsChoice
    std::uint32_t headingSource = 0;
    std::uint32_t syncMode = 0;
    std::uint32_t syncPolarity = 0;
    bool operator==(const KsfInstallation&) const = default;
};

// The device session block (bytes 96-223): what the sonar reported, or the
// defaults before any device has answered.
struct DeviceSessionBlock {
    std::string deviceType = "QM-302"; // at most 16 characters kept
    std::string deviceId = "00000000"; // at most 16
    std::string firmwareVersion = "v1.2.3.6";
    std::uint32_t channelCountCode = 2; // 1 or 2
    float hfFrequency = 900.0f;
    float lfFrequency = 450.0f;
    std::array<std::uint8_t, 4> capabilityFlags{1, 1, 1, 1};
    std::uint16_t modelFlags = 0;
    bool operator==(const DeviceSessionBlock&) const = default;
};

namespace ksf_offset {
constexpr std::size_t magic = 0, version = 4;
constexpr std::size_t soundVelocity = 16, density = 20, useShipSpeed = 24, shipSpeed = 28,
                      gpsX = 32, gpsY = 36, gpsZ = 40, towLength = 44, useTowfishDepth = 48,
                      towfishDepth = 52, reserved = 56, towPointToWater = 72, gpsChoice = 76,
                      headingSource = 80, syncMode = 88, syncPolarity = 92;
constexpr std::size_t deviceType = 96, deviceId = 112, firmwareVersion = 128,
                      channelCountCode = 144, hfFrequency = 152, lfFrequency = 156,
                      capabilityFlags = 184, modelFlags = 188;
constexpr std::size_t textSize = 16;
// Older header: installation parameters four bytes earlier, texts elsewhere.
constexpr std::size_t olderInstallationShift = 4;
constexpr std::size_t olderDeviceType = 128, olderDeviceTypeSize = 12;
constexpr std::size_t olderDeviceId = 140, olderDeviceIdSize = 12;
constexpr std::size_t olderHf = 152, olderHfSize = 6;
constexpr std::size_t olderLf = 158, olderLfSize = 6;
} // namespace ksf_offset
static_assert(ksf_offset::syncPolarity + 4 == ksf_offset::deviceType);
static_assert(ksf_offset::modelFlags + 2 <= 224);
static_assert(ksf_offset::olderLf + ksf_offset::olderLfSize <= kKsfHeaderSize);

using KsfHeaderBytes = std::array<std::uint8_t, kKsfHeaderSize>;
KsfHeaderBytes encodeKsfHeader(const KsfInstallation& install, const DeviceSessionBlock& session);

enum class KsfHeaderVariant { Current, Older };

// What playback takes from a header.
struct KsfHeaderInfo {
    KsfHeaderVariant variant = KsfHeaderVariant::Current;
    KsfInstallation install;
    std::string deviceType;
    std::string deviceId;
    std::string firmwareVersion; // current variant only
    float hfFrequency = 0;
    float lfFrequency = 0;
};

// nullopt unless 1024 bytes are present and they begin with 0x0F "KSF".
std::optional<KsfHeaderInfo> decodeKsfHeader(std::span<const std::uint8_t> bytes);

} // namespace kestrova::acquisition
