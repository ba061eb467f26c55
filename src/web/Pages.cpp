#include "Pages.h"

#include "web/Html.h"

#include <sstream>

namespace vantrell {

namespace {

constexpr int scheduleTimes = 4;

void head(std::ostringstream &out, const std::string &title) {
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        << "<title>" << escapeHtml(title) << "</title>"
        << "<link rel=\"stylesheet\" href=\"/static/style.css\"></head><body>\n";
}

// The tooltip's lines are separated by carriage returns.
std::string lineBreaks(std::string text) {
    for (std::size_t at = 0; (at = text.find('\r', at)) != std::string::npos;)
        text.replace(at, 1, "<br>");
    return text;
}

std::string markOrDash(const std::string &mark) {
    return mark.empty() ? "-" : escapeHtml(mark);
}

// The first of the device's times today that has no done mark yet; after the last, tomorrow's
// first.
std::string nextTime(const StationSnapshot &s, const DeviceSnapshot &d) {
    if (!d.active)
        return "inactive";
    std::string first;
    for (int t = 0; t < scheduleTimes; ++t) {
        if (!d.scheduled[t] || s.times[t].empty())
            continue;
        if (first.empty())
            first = s.times[t];
        if (d.marks[t].empty())
            return s.times[t];
    }
    return first.empty() ? "-" : first + " tomorrow";
}

void lastSessionCells(std::ostringstream &out, const JournalView &view, int device) {
    const auto found = view.devices.find(device);
    if (view.state != JournalView::State::ok || found == view.devices.end()) {
        out << "<td>-</td><td>-</td><td>-</td>";
        return;
    }
    const DeviceJournal &j = found->second;
    if (j.lastSession)
        out << "<td>" << escapeHtml(localTime(j.lastSession->started)) << " "
            << markOrDash(j.lastSession->letter) << " "
            << escapeHtml(wordsOf(j.lastSession->letter)) << "</td>";
    else
        out << "<td>no session yet</td>";
    out << "<td>" << (j.lastGoodRead ? escapeHtml(localTime(*j.lastGoodRead)) : "never")
        << "</td><td>" << j.missedTimes << "</td>";
}

} // namespace

std::string stationPage(const StationSnapshot &s, const JournalView &view) {
    std::ostringstream out;
    head(out, s.stationName);
    out << "<h1>" << escapeHtml(s.stationName) << "</h1>\n<p id=\"time\">"
        << escapeHtml(s.localTime) << "</p>\n<p id=\"countdown\">"
        << lineBreaks(escapeHtml(s.countdownText)) << "</p>\n";
    out << "<table id=\"schedule\"><tr><th>schedule time</th>";
    for (int t = 0; t < scheduleTimes; ++t)
        out << "<th>" << (t + 1) << "</th>";
    out << "</tr>\n<tr><td>time</td>";
    for (int t = 0; t < scheduleTimes; ++t)
        out << "<td>" << (s.times[t].empty() ? "not set" : escapeHtml(s.times[t])) << "</td>";
    out << "</tr>\n<tr><td>done</td>";
    for (int t = 0; t < scheduleTimes; ++t)
        out << "<td>" << markOrDash(s.done[t]) << "</td>";
    out << "</tr></table>\n";

    out << "<table id=\"devices\"><tr><th>device</th><th>description</th><th>connection</th>"
        << "<th>last session</th><th>last good read</th><th>missed times</th>"
        << "<th>next time</th></tr>\n";
    for (const DeviceSnapshot &d : s.devices) {
        out << "<tr class=\"device\"><td><a href=\"/device/" << d.number << "\">" << d.number
            << "</a></td><td>" << escapeHtml(d.description) << "</td><td>"
            << escapeHtml(d.connection) << "</td>";
        lastSessionCells(out, view, d.number);
        out << "<td>" << escapeHtml(nextTime(s, d)) << "</td></tr>\n";
    }
    out << "</table>\n<p id=\"backlog\">outbox: ";
    if (view.state == JournalView::State::ok)
        out << view.pending.size();
    else
        out << escapeHtml(nameOf(view.state));
    out << " &middot; MQTT: " << (view.mqttUnpublished ? std::to_string(*view.mqttUnpublished) : "off") << "</p>\n";
    out << "<h2>last sessions</h2>\n<pre id=\"log\">";
    for (const std::string &line : s.logLines)
        out << escapeHtml(line) << "\n";
    out << "</pre>\n</body></html>\n";
    return out.str();
}

std::string devicePage(const StationSnapshot &s, const DeviceSnapshot &d,
                       const DeviceHistory &history) {
    std::ostringstream out;
    head(out, s.stationName + " - device " + std::to_string(d.number));
    out << "<p><a href=\"/\">" << escapeHtml(s.stationName) << "</a></p>\n<h1>device " << d.number
        << ": " << escapeHtml(d.description) << "</h1>\n<p>" << escapeHtml(d.connection)
        << "</p>\n<h2>sessions</h2>\n";
    if (history.sessions.empty())
        out << "<p>no session in these days</p>\n";
    else {
        out << "<table id=\"sessions\"><tr><th>start</th><th>end</th><th>letter</th>"
            << "<th>records</th></tr>\n";
        for (const SessionRow &row : history.sessions)
            out << "<tr><td>" << escapeHtml(localTime(row.started)) << "</td><td>"
                << escapeHtml(localTime(row.ended)) << "</td><td>" << markOrDash(row.letter) << " "
                << escapeHtml(wordsOf(row.letter)) << "</td><td>" << row.recordsRead
                << "</td></tr>\n";
        out << "</table>\n";
    }
    out << "<h2>readings</h2>\n";
    if (history.channels.empty()) {
        out << "<p id=\"no-readings\">" << noReadingsText << "</p>\n</body></html>\n";
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
    out << "<script src=\"/static/chart.min.js\"></script>"
        << "<script src=\"/static/device.js\"></script>\n</body></html>\n";
    return out.str();
}

} // namespace vantrell
