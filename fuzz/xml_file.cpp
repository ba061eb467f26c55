// Any bytes as a configuration file. The positional store either refuses the file with a
// message that names it, leaving the file as it was and refusing to save over it, or loads
// records that respect the layout, read back the same after a save. Every table loader then
// reads the same bytes under its own file name, and none of them changes a file by reading it.
#include "FuzzStation.h"

#include "config/ComPorts.h"
#include "config/ConfigFiles.h"
#include "config/DeviceFile.h"
#include "config/PortFiles.h"
#include "config/ScheduleFiles.h"
#include "config/SettingsFile.h"
#include "config/SetupFiles.h"
#include "config/XMLData.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace vantrell;
using fuzz::FuzzInput;
using fuzz::require;
namespace fs = std::filesystem;

// With the setup folder the table loaders expect in it.
const fuzz::ScratchFolder &scratch() {
    static const fuzz::ScratchFolder folder(files::setupFolder);
    return folder;
}

std::string fileBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path &path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

RecordLayout layoutFrom(FuzzInput &in) {
    RecordLayout layout;
    const unsigned char shape = in.takeByte();
    if (shape & 1) {
        const int low = in.takeInt(-2, 4);
        layout.places = std::pair{low, low + in.takeInt(0, 60)};
    }
    if (shape & 2)
        layout.maxValues = std::size_t(in.takeInt(0, 40));
    return layout;
}

struct RecordText {
    int place;
    std::vector<std::string> values;
    bool operator==(const RecordText &) const = default;
};

std::vector<RecordText> readAll(XMLData &document, const RecordLayout &layout) {
    std::vector<RecordText> out;
    for (const XmlRecord &record : document.records()) {
        if (layout.places) {
            require(record.place() >= layout.places->first &&
                        record.place() <= layout.places->second,
                    "a loaded record's place lies in the layout");
            const XmlRecord *first = document.firstRecord(record.place());
            require(first != nullptr && first->place() == record.place(),
                    "every loaded place is found");
        }
        if (layout.maxValues)
            require(record.valueCount() <= *layout.maxValues, "no record has too many values");
        RecordText text{record.place(), {}};
        for (std::size_t k = 0; k < record.valueCount(); ++k)
            text.values.push_back(record.value(k));
        require(record.value(record.valueCount()).empty(), "a value beyond the last is empty");
        out.push_back(std::move(text));
    }
    return out;
}

void checkPositionalStore(const fs::path &file, std::string_view bytes,
                          const RecordLayout &layout) {
    XMLData document(file, layout);
    if (const ConfigError error = document.load()) {
        require(describe(error).find(file.filename().string()) != std::string::npos,
                "the message names the file");
        require(document.records().empty(), "a refused file gives no records");
        require(document.save().failed(), "a file that did not load is not saved");
        require(fileBytes(file) == bytes, "a refused file stays as it was");
        return;
    }
    const std::vector<RecordText> loaded = readAll(document, layout);
    require(fileBytes(file) == bytes, "loading leaves the file as it was");
    require(!document.save().failed(), "a loaded file can be saved");
    XMLData again(file, layout);
    require(!again.load().failed(), "a saved file loads again");
    require(readAll(again, layout) == loaded, "a saved file reads back the same");
}

void checkTableLoaders(std::string_view bytes) {
    const fs::path &dir = scratch().path();
    const std::vector<fs::path> written = {
        dir / files::deviceProperties, dir / files::scheduleTimes,
        dir / files::dailyTimeTable,   dir / files::scheduleTimeTable,
        dir / files::scheduleReport,   dir / files::phonebook,
        dir / files::comPorts,         dir / files::settings,
        dir / files::portChoice,       dir / files::setupFolder / "dvcsetup1.xml",
    };
    for (const fs::path &file : written)
        writeFile(file, bytes);

    fuzz::FuzzStation bench(LocalDateTime{2026, 2, 3, 9, 5, 0}, dir);
    Station &station = bench.station;
    (void)DeviceFile(station).loadDeviceTable();
    (void)SettingsFile(station).loadSettings();
    (void)ScheduleTimesFile(station).loadScheduleTimes();
    (void)DailyMarksFile(station).loadDailyMarks();
    (void)ReportMarksFile(station).loadReportMarks();
    (void)PhonebookFile(station).loadPhonebook();
    ChannelSetupFile setup(station);
    setup.chooseSetupFile(1);
    (void)setup.loadChannelSetup();
    ScheduleDayFile day(station);
    std::string text;
    (void)day.readScheduleDay(text);
    for (int time = 1; time <= 4; ++time)
        (void)day.readSlotMark(time, text);
    for (int port = 1; port <= 3; ++port)
        (void)portDevicePath(dir, port);
    const std::optional<int> choice = loadPortChoice(dir / files::portChoice);
    require(!choice || (*choice >= 0 && *choice < portListSize), "a port choice is in the list");

    for (const fs::path &file : written)
        require(fileBytes(file) == bytes, "reading a configuration file leaves it as it was");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput in(data, size);
    const RecordLayout layout = layoutFrom(in);
    const std::string bytes = in.takeRest();
    const fs::path file = scratch().path() / "fuzzed.xml";
    writeFile(file, bytes);
    checkPositionalStore(file, bytes, layout);
    checkTableLoaders(bytes);
    return 0;
}
