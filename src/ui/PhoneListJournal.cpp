#include "ui/PhoneListJournal.h"

#include "config/SessionStatus.h"
#include "general/Text.h"
#include "journal/Journal.h"
#include "ui/QtText.h"

namespace vantrell {

namespace {

constexpr const char *lastSessionTip = "Last session: ";
constexpr const char *lastGoodReadTip = "Last good read: ";
constexpr const char *noSessionTip = "No session yet";
constexpr const char *neverTip = "never";
constexpr const char *unavailableTip = "Journal unavailable: ";

// The operator's local time, to the minute.
std::string shortTime(UtcSeconds utc) {
    const LocalDateTime t = toLocal(utc);
    return std::to_string(t.year) + "-" + zeroPad(t.month, 2) + "-" + zeroPad(t.day, 2) + " " +
           zeroPad(t.hour, 2) + ":" + zeroPad(t.minute, 2);
}

QString tipOf(const DeviceJournal &journal) {
    if (!journal.lastSession)
        return noSessionTip;
    const SessionRow &session = *journal.lastSession;
    std::string tip = lastSessionTip + shortTime(session.started);
    if (const auto status = statusOfMark(session.letter))
        tip += " " + session.letter + reportTextOf(*status).data();
    tip += std::string("\n") + lastGoodReadTip +
           (journal.lastGoodRead ? shortTime(*journal.lastGoodRead) : neverTip);
    return qtext(tip);
}

} // namespace

PhoneListJournal::PhoneListJournal(TelGrid &grid, const DeviceTable &devices,
                                   std::filesystem::path journalFile, QObject *parent)
    : QObject(parent), grid_(grid), devices_(devices), journalFile_(std::move(journalFile)) {
    connect(&timer_, &QTimer::timeout, this, &PhoneListJournal::refresh);
    timer_.start(refreshMilliseconds);
}

void PhoneListJournal::refresh() {
    std::unique_ptr<Journal> journal;
    const JournalProblem opened = Journal::open(journalFile_, Journal::Access::readOnly, journal);
    for (int record = 1; record <= maxDevices; ++record) {
        if (devices_.at(record).isFree()) {
            setRowTip(record, {});
            continue;
        }
        DeviceJournal read;
        const JournalProblem problem = opened ? opened : journal->deviceJournal(record, read);
        setRowTip(record, problem ? qtext(unavailableTip + problem.text) : tipOf(read));
    }
}

void PhoneListJournal::setRowTip(int record, const QString &tip) {
    for (int column = 0; column < grid_.columnCount(); ++column)
        grid_.item(record - 1, column)->setToolTip(tip);
}

} // namespace vantrell
