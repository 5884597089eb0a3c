#pragma once
// The positioning simulator's model, kept apart from its sockets so tests can
// produce the same streams without a channel: a vessel sailing a survey
// pattern, the GGA/ZDA sentences and binary frames it reports, and the faults
// a real receiver line shows (bad checksums, cut messages, noise, silence, a
// jump in time).

#include "position/binary_frames.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kestrova::navsim {

class SimWorld;

// Where the vessel is and how it moves.
struct VesselState {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double heading = 0.0;   // degrees clockwise from north
    double speed = 0.0;     // m/s
    double east = 0.0;      // metres from the pattern origin
    double north = 0.0;
};

// A survey pattern: parallel lines joined by half-circle turns, then a run
// back to the first line, over and over.
struct SurveyPattern {
    double originLatitude = 24.4000; // off Xiamen, in the harbour approaches
    double originLongitude = 118.1400;
    double lineHeading = 0.0;  // degrees, direction of the first line
    double lineLength = 400.0; // m
    double lineSpacing = 50.0; // m, lines step to the right of the first
    int lines = 6;
    double speedKnots = 4.5;
};

class VesselTrack {
  public:
    explicit VesselTrack(const SurveyPattern& pattern);
    VesselState at(double seconds) const;
    double cycleLength() const { return cycle_; } // metres

  private:
    SurveyPattern p_;
    double cycle_ = 0.0;
};

// Text of NMEA sentences, "$" to "\r\n", with the "*hh" checksum.
std::string withChecksum(const std::string& body); // body without "$"
struct GgaData {
    double utcSecondsOfDay = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    int quality = 4;
    int satellites = 14;
    double hdop = 0.8;
    double altitude = 3.2;    // antenna above sea level, m
    double separation = 10.3; // geoid separation, m
};
std::string ggaSentence(const GgaData& d);
std::string zdaSentence(double utcEpochSeconds);

// UTC calendar fields of seconds since 1970.
struct UtcTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0;
    double second = 0.0;
};
UtcTime utcFromEpoch(double utcEpochSeconds);

enum class MessageType { Gga, Ins, Custom };

struct Faults {
    bool badChecksum = false; // NMEA: a changed character; frames: a damaged trailer
    bool cut = false;         // a message sent only in part
    bool noise = false;       // random bytes before a message
    double rate = 0.1;        // chance per message of each chosen fault
    double silenceAt = -1.0;  // s from the start; no output for silenceFor seconds
    double silenceFor = 0.0;
    double jumpAt = -1.0; // s from the start; the reported time jumps by jumpBy
    double jumpBy = 0.0;
};

struct NavConfig {
    MessageType type = MessageType::Gga;
    double rateHz = 1.0;
    double startUtc = 1717243200.0; // 2024-06-01 12:00:00 UTC
    SurveyPattern pattern;
    double jitter = 0.05; // m, receiver noise on each position
    int quality = 4;
    std::uint64_t seed = 1;
    Faults faults;
    bool zda = true;              // GGA type: many receivers send GGA alone
    std::string lineEnd = "\r\n"; // NMEA: loggers and network sources often strip the CR
    // A shared simulated world (owned by the caller): the vessel sails its
    // pattern at the UTC time of each message instead of `pattern`.
    const SimWorld* world = nullptr;
};

// One epoch's output and what went into it.
struct Epoch {
    double simSeconds = 0.0; // since the start
    std::vector<std::uint8_t> bytes;
    int messages = 0; // whole messages sent (faulty ones included)
    int faulty = 0;   // messages with a fault that makes them unusable
    bool silent = false;
};

class NavSource {
  public:
    explicit NavSource(const NavConfig& config);
    Epoch next();
    double period() const { return 1.0 / config_.rateHz; }
    const VesselTrack& track() const { return track_; }

  private:
    double uniform();
    void emit(Epoch& e, std::vector<std::uint8_t> message, bool nmea);

    NavConfig config_;
    VesselTrack track_;
    std::mt19937_64 rng_;
    std::uint64_t index_ = 0;
};

} // namespace kestrova::navsim
