// The switch's status answer: as a pure decoding (the module digits where the switch puts them,
// or nothing for an answer too short), and through the whole switch connection on a simulated
// line, where the answer to "B00" is the input and the module flags or the failure must follow
// from it alone.
#include "FuzzStation.h"

#include "link/Connect.h"

#include <optional>

namespace {

using namespace vantrell;
using fuzz::require;

constexpr std::size_t highDigitAt = 43;
constexpr std::size_t lowDigitAt = 44;
constexpr char wakeSwitchCode = char(0x91);
constexpr char switchAttentionCode = char(0x82);
constexpr std::string_view statusCommand = "B00\r";
// Shorter than the most the exchange keeps of an answer, so that the whole status always
// arrives in one exchange.
constexpr std::size_t longestStatus = 1000;

// A hexadecimal digit of either case; nothing for any other character.
std::optional<unsigned> hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return unsigned(c - '0');
    if (c >= 'A' && c <= 'F')
        return unsigned(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return unsigned(c - 'a' + 10);
    return std::nullopt;
}

void checkPureDecoding(std::string_view reply) {
    const std::optional<unsigned> modules = decodeModuleDigits(reply);
    require(modules.has_value() == (reply.size() >= lowDigitAt),
            "exactly an answer long enough reports modules");
    if (!modules)
        return;
    require(*modules <= 0xFF, "eight modules at most");
    const auto high = hexDigit(reply[highDigitAt - 1]);
    const auto low = hexDigit(reply[lowDigitAt - 1]);
    if (high && low)
        require(*modules == *high * 16 + *low, "hexadecimal digits give the modules");
}

// A switch that wakes, gives its attention and answers the status command with `status`.
class StatusSwitch final : public sim::Device {
public:
    explicit StatusSwitch(std::string status) : status_(std::move(status)) {}

    void receive(unsigned char byte) override {
        const char c = char(byte);
        if (c == wakeSwitchCode) {
            answer("@");
        } else if (c == switchAttentionCode) {
            heard_.clear();
            answer("!");
        } else {
            heard_ += c;
            if (heard_ == statusCommand)
                answer(status_ + "\r");
        }
    }

private:
    std::string status_;
    std::string heard_;
};

class NoLoggerSteps final : public LoggerSteps {
public:
    std::optional<DecodedParameters> readParameters() override { return std::nullopt; }
    void setLoggerClock() override {}
};

void checkSwitchConnection(std::string_view status) {
    fuzz::FuzzStation bench;
    StatusSwitch device{std::string(status)};
    bench.port.attach(device);
    NoLoggerSteps steps;
    Connect connect(bench.station.line(), steps);
    const SwitchConnection connection = connect.connectSwitch();

    const std::string_view kept = status.substr(0, status.find('\r'));
    const std::optional<unsigned> modules = decodeModuleDigits(kept);
    require(connection.outcome.succeeded == bool(modules),
            "the switch is usable exactly when it reports modules");
    require(!bench.port.isOpen(), "the port is left closed");
    if (modules)
        require(connection.modules == *modules, "the modules are those of the status answer");
    else
        require(connection.outcome.status == SessionStatus::switchStatusEmpty,
                "a status answer without modules leaves T");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view reply = fuzz::asText(data, size);
    checkPureDecoding(reply);
    checkSwitchConnection(reply.substr(0, longestStatus));
    return 0;
}
