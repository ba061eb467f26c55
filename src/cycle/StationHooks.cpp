#include "cycle/StationHooks.h"

#include "cycle/StatusReport.h"
#include "general/Text.h"

#include <vector>

namespace vantrell {

namespace {

constexpr const char *afterSessionName = "after_session device ";
constexpr const char *afterReportName = "after_report time ";

constexpr const char *stationVariable = "VANTRELL_STATION=";
constexpr const char *deviceVariable = "VANTRELL_DEVICE=";
constexpr const char *timeSlotVariable = "VANTRELL_TIME_SLOT=";
constexpr const char *letterVariable = "VANTRELL_LETTER=";
constexpr const char *wordsVariable = "VANTRELL_WORDS=";
constexpr const char *filesVariable = "VANTRELL_FILES=";
constexpr const char *serialsVariable = "VANTRELL_SERIALS=";

// Lists are one item a line, without a line break after the last; an empty item keeps its line.
std::string lines(const std::vector<std::string> &items) {
    std::string list;
    for (const std::string &item : items)
        list += (&item == &items.front() ? "" : "\n") + item;
    return list;
}

} // namespace

StationHooks::StationHooks(const HooksSettings &settings, std::string station, HookLog log,
                           const Clock &clock)
    : settings_(settings), station_(std::move(station)), queue_(std::move(log), clock) {}

// The files and serials of the loggers saved in full, line by line: a file's serial is on the
// same line of the other list.
void StationHooks::sessionEnded(const SessionRequest &request, const SessionResult &result) {
    if (settings_.afterSession.empty() || result.end == SessionEnd::abandoned)
        return;
    std::vector<std::string> files, serials;
    for (const LoggerResult *logger : result.savedLoggers()) {
        files.push_back(logger->path);
        serials.push_back(trim(logger->parameters.loggerSerial));
    }
    const std::string device = std::to_string(request.device);
    const std::string letter = trim(result.mark);
    add(settings_.afterSession, afterSessionName + device,
        {device, std::to_string(request.scheduleTime()), letter, wordsOf(letter), lines(files),
         lines(serials)});
}

// The devices the report names: those active and due at the time, with the letter each left.
void StationHooks::reportSent(const Station &station, int time) {
    if (settings_.afterReport.empty())
        return;
    std::vector<std::string> devices, letters, words;
    for (const int d : devicesDueAt(station.devices, time)) {
        devices.push_back(std::to_string(d));
        letters.push_back(trim(station.dailyMarks.at(2 * time, d)));
        words.push_back(wordsOf(letters.back()));
    }
    const std::string timeSlot = std::to_string(time);
    add(settings_.afterReport, afterReportName + timeSlot,
        {lines(devices), timeSlot, lines(letters), lines(words), {}, {}});
}

void StationHooks::add(const std::filesystem::path &program, std::string name, const Told &told) {
    queue_.add(
        {std::move(name),
         {program,
          {stationVariable + station_, deviceVariable + told.device,
           timeSlotVariable + told.timeSlot, letterVariable + told.letter,
           wordsVariable + told.words, filesVariable + told.files, serialsVariable + told.serials},
          double(settings_.timeoutSeconds)}});
}

} // namespace vantrell
