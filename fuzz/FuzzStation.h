// A whole Station on a simulated line in virtual time, and a device on the far end that answers
// whatever reaches it with bytes taken from the fuzz input, after delays taken from it too, so
// that the protocol steps meet answers that are early, late, short, endless or plain noise.
#pragma once

#include "FuzzSupport.h"
#include "StationBench.h"

#include "sim/Device.h"
#include "sim/World.h"

#include <deque>
#include <string>

namespace vantrell::fuzz {

// The tests' Station on a simulated line in virtual time.
using FuzzStation = testing::StationBench;

// Each byte the device hears uses up the next answer of its script: a delay, then some bytes
// (often none). Once the script is spent the device is silent.
class ScriptedDevice final : public sim::Device {
public:
    ScriptedDevice(sim::World &world, FuzzInput &in) : world_(world) {
        while (!in.empty())
            script_.push_back(takeAnswer(in));
    }

    void receive(unsigned char) override {
        if (script_.empty())
            return;
        Answer next = std::move(script_.front());
        script_.pop_front();
        if (next.bytes.empty())
            return;
        world_.after(next.delay, [this, bytes = std::move(next.bytes)] { answer(bytes); });
    }

private:
    struct Answer {
        double delay;
        std::string bytes;
    };

    // Most delays are a few milliseconds; the rest step by a tenth of a second up to beyond
    // the longest answer limit of the primitives, so that every limit is met on both sides.
    static Answer takeAnswer(FuzzInput &in) {
        const int delayCode = in.takeByte();
        const double delay = delayCode < 192 ? delayCode * 0.001 : (delayCode - 192) * 0.1;
        const int lengthCode = in.takeByte();
        const std::size_t length =
            lengthCode < 160 ? std::size_t(lengthCode % 4) : std::size_t(lengthCode - 160) * 4;
        return {delay, in.takeBytes(length)};
    }

    sim::World &world_;
    std::deque<Answer> script_;
};

} // namespace vantrell::fuzz
