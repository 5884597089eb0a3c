#pragma once
// What the sonar parameter page asks of the command channel. The device session
// implements it with its line builders; each call builds the lines from the
// current settings and sends them as one block.

#include "app/config/sonar_parameters.h"

#include <string_view>

namespace kestrova::app {

class SonarCommandPort {
  public:
    virtual ~SonarCommandPort() = default;
    virtual bool commandChannelConnected() const = 0;
    // Range changed: sample-frequency and sample-length lines followed by the
    // transmit lines of that frequency, as one text.
    virtual bool sendRangeCommand(Frequency f) = 0;
    // Power, pulse width or signal shape changed: the transmit lines (emitchen,
    // signalpara, interval, samplerate) of that frequency.
    virtual bool sendTransmitCommand(Frequency f) = 0;
    // Gain, spreading or absorption changed: the gainpara line of that frequency.
    virtual bool sendGainCommand(Frequency f) = 0;
    // A channel switched on or off: the chen line with the mask of both
    // frequencies, then the sample, transmit and gain lines of the enabled ones.
    virtual bool sendChannelCommand() = 0;

    // Lines built by the device dialogs (pressure calibration, advanced
    // settings), sent as one block while the command channel is connected.
    virtual bool sendCommandLines(std::string_view lines) {
        (void)lines;
        return false;
    }
    // The maximum gain the gain lines of one frequency carry (advanced settings).
    virtual void setAdvancedGain(Frequency f, int value) {
        (void)f;
        (void)value;
    }
};

} // namespace kestrova::app
