// A station in virtual time with its forwarding wired to stand-ins: mail and FTP sessions that
// record what they were given (and can be told to fail or to run long), and a simulated GSM
// modem on a second port for the SMS.
#pragma once

#include "StationBench.h"
#include "forwarding/StationForwarding.h"
#include "sim/GsmModem.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vantrell::testing {

class FakeMailSession final : public MailSession {
public:
    FakeMailSession(std::vector<MailMessage> &sent, std::string failure)
        : sent_(sent), failure_(std::move(failure)) {}
    Delivery sendEmail() override {
        sent_.push_back(message());
        return failure_.empty() ? Delivery::done() : Delivery::failed(failure_);
    }

private:
    std::vector<MailMessage> &sent_;
    std::string failure_;
};

// How a command of the fake FTP session behaves: how long it runs and how it ends.
struct FtpBehaviour {
    double seconds = 0.5;
    std::string failure;
};

class FakeFtpSession final : public FtpSession {
public:
    FakeFtpSession(sim::World &world, std::vector<std::string> &calls, FtpLogin &loginUsed,
                   const std::map<std::string, FtpBehaviour> &behaviour)
        : world_(world), calls_(calls), loginUsed_(loginUsed), behaviour_(behaviour) {}

    Delivery execute(std::string_view command) override {
        calls_.emplace_back(command);
        loginUsed_ = login();
        if (stillExecuting())
            return Delivery::failed("still running");
        const std::string verb(command.substr(0, command.find(' ')));
        const auto found = behaviour_.find(verb);
        const FtpBehaviour b = found == behaviour_.end() ? FtpBehaviour{} : found->second;
        busyUntil_ = world_.now() + b.seconds;
        last_ = b.failure;
        return Delivery::done();
    }
    bool stillExecuting() override { return world_.now() < busyUntil_; }
    Delivery lastResult() const override {
        return last_.empty() ? Delivery::done() : Delivery::failed(last_);
    }
    void cancel() override {
        calls_.emplace_back("cancel");
        busyUntil_ = 0;
    }

private:
    sim::World &world_;
    std::vector<std::string> &calls_;
    FtpLogin &loginUsed_;
    const std::map<std::string, FtpBehaviour> &behaviour_;
    double busyUntil_ = 0;
    std::string last_;
};

inline constexpr int smsPortNumber = 3;

// The device uploads to `address` as "logger" with password "secret", into "/ForwardData".
inline void uploadTo(DeviceRecord &device, const std::string &address) {
    device[field::forwardAddress] = address;
    device[field::forwardUser] = "logger";
    device[field::forwardPassword] = "secret";
    device[field::ftpRootDirectory] = "/ForwardData";
}

// Device 7 with logger 1 "KV12345678", and a simulated GSM modem (faults given) on the SMS port.
struct DeviceSevenBench : StationBench {
    explicit DeviceSevenBench(const std::vector<sim::Fault> &smsFaults = {})
        : modem(world, smsFaults) {
        smsPort.attach(modem);
        station.modemPortNumber = smsPortNumber;
        station.devices[7].serialNumber(1) = "KV12345678";
    }

    // What a session hands on: device 7 as it is configured now, and logger 1 of it.
    SessionRequest request() const { return {7, 1, "", station.devices[7]}; }
    std::vector<std::string> reports() const { return progress.texts(ProgressLine::detail); }

    LoggerResult loggerResult{};
    sim::SimPort smsPort{world, smsPortNumber};
    sim::GsmModem modem;
};

struct ForwardingBench : DeviceSevenBench {
    ForwardingBench() { station.devices[7][field::connection] = "locl0000"; }

    std::vector<MailMessage> mails;
    std::string mailFailure;
    std::vector<std::string> ftpCommands; // and "cancel"
    std::map<std::string, FtpBehaviour> ftpBehaviour;
    FtpLogin ftpLogin;
    StationForwarding forwarding{
        station,
        {[this] { return std::make_unique<FakeMailSession>(mails, mailFailure); },
         [this] {
             return std::make_unique<FakeFtpSession>(world, ftpCommands, ftpLogin, ftpBehaviour);
         },
         smsPort}};
};

} // namespace vantrell::testing
