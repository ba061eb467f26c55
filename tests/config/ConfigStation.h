// A Station over a configuration folder of its own, in virtual time, for the tests of the
// stored files.
#pragma once

#include "TempFolder.h"

#include "config/Station.h"
#include "general/Dialogs.h"
#include "general/Progress.h"
#include "sim/SimPort.h"
#include "sim/World.h"

namespace vantrell::test {

struct ConfigStation {
    explicit ConfigStation(LocalDateTime now = {2026, 2, 3, 9, 5, 0}) : world(now) {}

    std::filesystem::path file(const std::string &name) const { return folder / name; }
    void write(const std::string &name, const std::string &bytes) const {
        writeBytes(file(name), bytes);
    }
    std::string read(const std::string &name) const { return readBytes(file(name)); }

    TempFolder folder;
    sim::World world;
    sim::VirtualEventPump pump{world};
    sim::SimPort port{world};
    RecordingProgress progress;
    RecordingDialogs dialogs;
    Station station{{world.clock(), pump, port, progress, dialogs}, folder.path()};
};

// A positional file: the declaration, a root and the given records, one per line.
inline std::string positionalFile(const std::string &records) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root>\n" + records + "</root>\n";
}

// A record with the given place and values, as <r place="p"><v>..</v>...</r>.
inline std::string record(const std::string &place, std::initializer_list<std::string> values) {
    std::string text = "<r place=\"" + place + "\">";
    for (const std::string &v : values)
        text += "<v>" + v + "</v>";
    return text + "</r>\n";
}

} // namespace vantrell::test
