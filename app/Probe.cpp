#include "Probe.h"

#include "general/Progress.h"
#include "general/SerialPort.h"
#include "general/Text.h"
#include "link/Connect.h"
#include "link/LinkTexts.h"
#include "link/Serial.h"
#include "loggerdata/Conversions.h"

namespace vantrell {

namespace {

// The probe changes nothing in the logger.
class NoSteps final : public LoggerSteps {
public:
    std::optional<DecodedParameters> readParameters() override { return std::nullopt; }
    void setLoggerClock() override {}
};

void printParameters(const LoggerParameters &p, std::ostream &out) {
    out << "serial number: " << p.loggerSerial << "\n"
        << "model: " << p.loggerModel << ", sampling code " << p.samplingCode << ", "
        << valInt(p.memoryPointer) - 1 << " records in memory\n";
    for (int c = 1; c <= 4; ++c) {
        const ChannelParameters &ch = p.channel(c);
        if (!ch.enabled)
            continue;
        out << "channel " << c << ": " << ch.name << " [" << ch.unitText << "] " << ch.scaleStart
            << " .. " << ch.scaleEnd << ", limits " << ch.lowLimit << " .. " << ch.highLimit
            << (ch.limitAlarm ? " (alarm on)" : "") << "\n";
    }
}

bool probeHeldLine(Station &station, const ProbeRequest &request, std::ostream &out) {
    NoSteps steps;
    Connect connect(station.line(), steps);
    Serial serial(station.line());
    station.line().usePort(request.portNumber);
    station.session = {};
    if (request.throughSwitch) {
        if (!connect.connectSwitch().outcome.succeeded) {
            out << "the line switch did not answer\n";
            return false;
        }
        connect.selectLogger(request.logger);
    }
    station.progress().detail(linkText::korvaneConnecting);
    connect.sendLoggerPreamble();
    if (!serial.wakeLogger(LoggerLine::direct)) {
        out << "logger " << request.logger << " did not answer the wake-up\n";
        if (request.throughSwitch)
            connect.disconnectSwitch();
        return false;
    }
    station.progress().detail(linkText::korvaneConnected);
    const LoggerClock clock = connect.readLoggerClock();
    const std::optional<DecodedParameters> identified = readParameters(serial);
    out << "logger clock: " << clock.date << " " << clock.time << "\n";
    if (identified)
        printParameters(identified->parameters, out);
    else
        out << "the parameter block could not be read\n";
    connect.disconnectLogger(identified ? identified->parameters.samplingCode
                                        : LoggerParameters{}.samplingCode);
    if (request.throughSwitch)
        connect.disconnectSwitch();
    return identified.has_value();
}

} // namespace

// The line is held for the whole probe, as for a reading session.
bool probeLogger(Station &station, const ProbeRequest &request, std::ostream &out) {
    SerialPort &port = station.port();
    if (const PortError error = port.hold(request.portNumber); error != PortError::none) {
        out << printable(describe(port, request.portNumber, error)) << "\n";
        return false;
    }
    const bool identified = probeHeldLine(station, request, out);
    port.release();
    return identified;
}

} // namespace vantrell
