#include "Pages.h"

#include "journal/LocalTime.h"
#include "web/Html.h"
#include "web/LogFolding.h"

#include <cstdio>
#include <sstream>

namespace vantrell {

namespace {

constexpr int scheduleTimes = 4;
// The sessions, alarms and latest readings of the pages end with the week.
constexpr const char *weekText = "the last 7 days";
constexpr const char *noSessionText = "no session yet";
constexpr const char *noAlarmText = "no alarm in these days";
constexpr const char *inactiveText = "inactive";

// The counts of the header, in the order of the rows' states from good to unknown.
constexpr std::pair<const char *, const char *> countLabels[] = {
    {"good", "good"},        {"undelivered", "not all delivered"},
    {"failed", "failed"},    {"silent", "silent"},
    {"never", "never read"}, {unknownHealth, "unknown"},
};

void head(std::ostringstream &out, const std::string &title) {
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        << "<title>" << escapeHtml(title) << "</title>"
        << "<link rel=\"stylesheet\" href=\"/static/style.css\"></head><body>\n";
}

std::string markOrDash(const std::string &mark) {
    return mark.empty() ? "-" : escapeHtml(mark);
}

// A cell that says what it holds, for the narrow layout that stacks a row's cells; a time
// ("when") is never broken at its hyphens.
void cell(std::ostringstream &out, const char *label, const std::string &markup,
          const char *kind = "") {
    out << "<td data-label=\"" << label << "\"";
    if (*kind)
        out << " class=\"" << kind << "\"";
    out << ">" << markup << "</td>";
}

// The station's time, its zone named once, and the time of this view that the page script moves
// on with every answer.
void clock(std::ostringstream &out, const StationSnapshot &s) {
    out << "<p id=\"clock\">station time <span id=\"time\">" << escapeHtml(s.localTime)
        << "</span> &middot; time zone <span id=\"zone\">" << escapeHtml(s.timeZone)
        << "</span> &middot; <span id=\"next\">";
    if (s.communicating)
        out << "communicating";
    else if (s.nextTime.empty())
        out << "schedule off";
    else
        out << "next schedule time " << escapeHtml(s.nextTime);
    out << "</span></p>\n<p id=\"updated\" data-state=\"fresh\">as of " << escapeHtml(s.localTime)
        << "</p>\n";
}

// As the page script writes it: kB below a megabyte, else MB with one decimal.
std::string bytesText(std::uintmax_t bytes) {
    char text[32];
    if (bytes < 1000000)
        std::snprintf(text, sizeof text, "%.0f kB", double(bytes) / 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

std::string countOrDash(const std::optional<std::int64_t> &count) {
    return count ? std::to_string(*count) : "-";
}

void stationState(std::ostringstream &out, const JournalView &view, const StationState &state) {
    const bool ok = view.state == JournalView::State::ok;
    out << "<ul id=\"station\"><li>broker <span id=\"broker\" data-state=\""
        << escapeHtml(state.broker) << "\">" << escapeHtml(state.broker)
        << "</span></li><li>waiting for the broker <span id=\"mqtt-waiting\">"
        << countOrDash(view.mqttUnpublished) << "</span></li><li>outbox <span id=\"outbox\">"
        << (ok ? std::to_string(view.pending.size()) : escapeHtml(nameOf(view.state)))
        << "</span></li><li>journal <span id=\"journal-size\">"
        << (view.journalBytes ? bytesText(*view.journalBytes) : "-")
        << "</span></li><li>version <span id=\"version\">" << escapeHtml(state.version)
        << "</span></li></ul>\n";
}

const DeviceJournal *journalOf(const JournalView &view, int device) {
    const auto found = view.devices.find(device);
    return view.state == JournalView::State::ok && found != view.devices.end() ? &found->second
                                                                               : nullptr;
}

std::string lastLetter(const DeviceJournal *j) {
    return j && j->lastSession ? j->lastSession->letter : std::string();
}

const std::vector<LatestReading> &latestOf(const JournalView &view, int device) {
    static const std::vector<LatestReading> none;
    const auto found = view.latest.find(device);
    return found == view.latest.end() ? none : found->second;
}

// A value with its unit, and the words of a limit it is beyond.
void valueCell(std::ostringstream &out, const LatestReading &r, const ChannelLimits &limits) {
    const char *limit = limitWords(limits, r.value);
    out << "<span class=\"value\" data-limit=\"" << limit << "\">" << numberText(r.value) << " "
        << escapeHtml(r.unit) << "</span>";
    if (*limit)
        out << " <span class=\"limit\">" << limit << "</span>";
}

// The last session as the page script writes it too: its time, then its letter in words.
std::string sessionMarkup(const SessionRow &row) {
    return "<span class=\"when\">" + escapeHtml(localTime(row.started)) + "</span> " +
           markOrDash(row.letter) + " " + escapeHtml(wordsOf(row.letter));
}

void deviceRow(std::ostringstream &out, const StationSnapshot &s, const DeviceSnapshot &d,
               const JournalView &view, const StationState &state) {
    const DeviceJournal *j = journalOf(view, d.number);
    const HealthShown health = healthShown(view, d.number);
    out << "<tr class=\"device\" data-device=\"" << d.number << "\" data-letter=\""
        << escapeHtml(lastLetter(j)) << "\" data-health=\"" << health.name << "\">";
    cell(out, "device",
         "<a href=\"/device/" + std::to_string(d.number) + "\">" + std::to_string(d.number) +
             "</a>");
    cell(out, "description", escapeHtml(d.description));
    cell(out, "connection", escapeHtml(d.connection));
    cell(out, "state", "<span class=\"badge\">" + escapeHtml(health.words) + "</span>", "health");
    cell(out, "last session",
         !j               ? "-"
         : j->lastSession ? sessionMarkup(*j->lastSession)
                          : noSessionText,
         "session");
    cell(out, "last good read",
         !j                ? "-"
         : j->lastGoodRead ? escapeHtml(localTime(*j->lastGoodRead))
                           : "never",
         "good-read when");
    cell(out, "missed times", j ? std::to_string(j->missedTimes) : "-", "missed");
    const std::string next = nextTimeOf(s, d);
    cell(out, "next time",
         !d.active      ? inactiveText
         : next.empty() ? "-"
                        : escapeHtml(next),
         "next when");
    std::ostringstream latest;
    latest << "<ul>";
    for (const LatestReading &r : latestOf(view, d.number)) {
        latest << "<li>" << escapeHtml(r.name) << " ";
        valueCell(latest, r, limitsOf(state, d, r));
        latest << "</li>";
    }
    latest << "</ul>";
    cell(out, "latest values", latest.str(), "latest");
    out << "</tr>\n";
}

void counts(std::ostringstream &out, const StationSnapshot &s, const JournalView &view) {
    out << "<p id=\"counts\">";
    for (const auto &[name, label] : countLabels) {
        int n = 0;
        for (const DeviceSnapshot &d : s.devices)
            n += healthShown(view, d.number).name == name;
        out << "<span class=\"count\" data-health=\"" << name << "\" data-n=\"" << n
            << "\"><span class=\"n\">" << n << "</span> " << label << "</span> ";
    }
    out << "</p>\n";
}

void alarmTable(std::ostringstream &out, const std::vector<AlarmRow> &alarms,
                std::optional<int> device) {
    out << "<h2>alarms of " << weekText << "</h2>\n<table id=\"alarms\" class=\"stacked\"><thead>"
        << "<tr><th>time</th><th>device</th><th>channel</th><th>kind</th><th>message</th>"
        << "<th>outcome</th></tr></thead><tbody>";
    bool any = false;
    for (const AlarmRow &a : alarms) {
        if (device && a.device != *device)
            continue;
        any = true;
        out << "<tr>";
        cell(out, "time", escapeHtml(localTime(a.raised)), "when");
        cell(out, "device", std::to_string(a.device));
        cell(out, "channel", std::to_string(a.channel));
        cell(out, "kind", escapeHtml(a.kind));
        cell(out, "message", escapeHtml(a.message));
        cell(out, "outcome", escapeHtml(a.outcome));
        out << "</tr>";
    }
    if (!any)
        out << "<tr class=\"none\"><td colspan=\"6\">" << noAlarmText << "</td></tr>";
    out << "</tbody></table>\n";
}

void scripts(std::ostringstream &out, bool plots) {
    if (plots)
        out << "<script src=\"/static/chart.min.js\"></script>"
            << "<script src=\"/static/device.js\"></script>";
    out << "<script src=\"/static/station.js\"></script>\n</body></html>\n";
}

} // namespace

std::string stationPage(const StationSnapshot &s, const JournalView &view,
                        const StationState &state) {
    std::ostringstream out;
    head(out, s.stationName);
    out << "<header><h1>" << escapeHtml(s.stationName) << "</h1>\n";
    clock(out, s);
    out << "</header>\n";
    counts(out, s, view);
    stationState(out, view, state);
    out << "<div class=\"wide\"><table id=\"schedule\"><tr><th>schedule time</th>";
    for (int t = 0; t < scheduleTimes; ++t)
        out << "<th>" << (t + 1) << "</th>";
    out << "</tr>\n<tr><td>time</td>";
    for (int t = 0; t < scheduleTimes; ++t)
        out << "<td>" << (s.times[t].empty() ? "not set" : escapeHtml(s.times[t])) << "</td>";
    out << "</tr>\n<tr><td>done</td>";
    for (int t = 0; t < scheduleTimes; ++t)
        out << "<td>" << markOrDash(s.done[t]) << "</td>";
    out << "</tr></table></div>\n";

    out << "<div class=\"wide\"><table id=\"devices\" "
           "class=\"stacked\"><thead><tr><th>device</th><th>description</th>"
        << "<th>connection</th><th>state</th><th>last session</th><th>last good read</th>"
        << "<th>missed times</th><th>next time</th><th>latest values</th></tr></thead><tbody>\n";
    for (const DeviceSnapshot &d : s.devices)
        deviceRow(out, s, d, view, state);
    out << "</tbody></table></div>\n";
    alarmTable(out, view.alarms, std::nullopt);
    out << "<h2>last sessions</h2>\n<pre id=\"log\">";
    for (const std::string &line : foldLog(s.logLines))
        out << escapeHtml(line) << "\n";
    out << "</pre>\n";
    scripts(out, false);
    return out.str();
}

std::string devicePage(const StationSnapshot &s, const DeviceSnapshot &d, const JournalView &view,
                       const DeviceHistory &history, const StationState &state) {
    std::ostringstream out;
    head(out, s.stationName + " - device " + std::to_string(d.number));
    const DeviceJournal *j = journalOf(view, d.number);
    const HealthShown health = healthShown(view, d.number);
    out << "<header><p><a href=\"/\">" << escapeHtml(s.stationName) << "</a></p>\n<h1>device "
        << d.number << ": " << escapeHtml(d.description) << "</h1>\n<p>" << escapeHtml(d.connection)
        << "</p>\n<p id=\"device-state\" data-device=\"" << d.number << "\" data-letter=\""
        << escapeHtml(lastLetter(j)) << "\" data-health=\"" << health.name
        << "\"><span class=\"badge\">" << escapeHtml(health.words)
        << "</span> <span class=\"session\">"
        << (!j               ? "-"
            : j->lastSession ? sessionMarkup(*j->lastSession)
                             : noSessionText)
        << "</span></p>\n";
    clock(out, s);
    out << "</header>\n<h2>latest values</h2>\n";
    const std::vector<LatestReading> &latest = latestOf(view, d.number);
    out << "<table id=\"latest\" class=\"stacked\"><thead><tr><th>logger</th><th>channel</th>"
        << "<th>name</th><th>value</th><th>time</th><th>minimum</th><th>maximum</th></tr></thead>"
        << "<tbody>";
    for (const LatestReading &r : latest) {
        const ChannelLimits limits = limitsOf(state, d, r);
        std::ostringstream value;
        valueCell(value, r, limits);
        out << "<tr>";
        cell(out, "logger", escapeHtml(r.serial));
        cell(out, "channel", std::to_string(r.channel));
        cell(out, "name", escapeHtml(r.name));
        cell(out, "value", value.str());
        cell(out, "time", escapeHtml(isoLocal(r.utc, r.offsetSeconds)), "when");
        cell(out, "minimum", numberText(limits.minimum));
        cell(out, "maximum", numberText(limits.maximum));
        out << "</tr>";
    }
    if (latest.empty())
        out << "<tr class=\"none\"><td colspan=\"7\">" << noReadingsText << "</td></tr>";
    out << "</tbody></table>\n";
    alarmTable(out, history.alarms, d.number);
    out << "<h2>sessions of " << weekText << "</h2>\n<table id=\"sessions\" class=\"stacked\">"
        << "<thead><tr><th>start</th><th>end</th><th>letter</th><th>records</th></tr></thead>"
        << "<tbody>";
    for (const SessionRow &row : history.sessions) {
        out << "<tr>";
        cell(out, "start", escapeHtml(localTime(row.started)), "when");
        cell(out, "end", escapeHtml(localTime(row.ended)), "when");
        cell(out, "letter", markOrDash(row.letter) + " " + escapeHtml(wordsOf(row.letter)));
        cell(out, "records", std::to_string(row.recordsRead));
        out << "</tr>";
    }
    if (history.sessions.empty())
        out << "<tr class=\"none\"><td colspan=\"4\">no session in these days</td></tr>";
    out << "</tbody></table>\n<h2>readings</h2>\n";
    if (history.channels.empty()) {
        out << "<p id=\"no-readings\">" << noReadingsText << "</p>\n";
        scripts(out, false);
        return out.str();
    }
    out << "<p id=\"ranges\"><button data-days=\"1\">1 day</button> "
        << "<button data-days=\"7\" class=\"chosen\">7 days</button> "
        << "<button data-days=\"30\">30 days</button> <button data-days=\"0\">all</button></p>\n";
    for (const ChannelOfDevice &c : history.channels)
        out << "<div class=\"plot\"><canvas data-device=\"" << d.number << "\" data-serial=\""
            << escapeHtml(c.serial) << "\" data-channel=\"" << c.channel << "\" data-name=\""
            << escapeHtml(c.name) << "\" data-unit=\"" << escapeHtml(c.unit)
            << "\" data-points=\"\"></canvas></div>\n";
    scripts(out, true);
    return out.str();
}

} // namespace vantrell
