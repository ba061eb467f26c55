#include "ui/ReadingsWindow.h"

#include "config/SetupFiles.h"
#include "general/Text.h"
#include "journal/Journal.h"
#include "journal/LocalTime.h"
#include "ui/QtText.h"

#include <QAreaSeries>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <array>

namespace vantrell {

namespace {

constexpr const char *windowCaption = "Readings";
constexpr const char *deviceCaption = "Device ";
constexpr const char *channelCaption = ", channel ";
constexpr const char *noReadingsText = "no readings yet";
constexpr const char *unavailableText = "Journal unavailable: ";
constexpr const char *noReadingText = "no reading";
constexpr const char *noLimitsText = "no limits";
constexpr const char *limitsUnreadText = "limits unavailable";
constexpr const char *limitsBetween = " … ";
constexpr const char *aboveText = "above limit";
constexpr const char *belowText = "below limit";

// The table of newest readings above the charts, a row per channel.
enum LatestColumn {
    channelColumn,
    nameColumn,
    valueColumn,
    timeColumn,
    limitsColumn,
    sideColumn,
    latestColumns
};
constexpr std::array<const char *, latestColumns> latestHeadings{
    "Logger, channel", "Name", "Newest reading", "Time", "Limits", ""};
// The alarm's colour, dark enough to read on a light window.
constexpr Qt::GlobalColor outsideColour = Qt::darkRed;

struct RangeButton {
    ReadingsWindow::Range range;
    const char *name;
    const char *caption;
    UtcSeconds seconds; // 0: the whole journal
};
constexpr std::array rangeButtons{
    RangeButton{ReadingsWindow::Range::day, "cmdDay", "1 day", 86400},
    RangeButton{ReadingsWindow::Range::week, "cmdWeek", "7 days", 7 * 86400},
    RangeButton{ReadingsWindow::Range::month, "cmdMonth", "30 days", 30 * 86400},
    RangeButton{ReadingsWindow::Range::all, "cmdAll", "All", 0},
};

// Tall enough for a readable value axis, low enough for four charts on a laptop's screen.
constexpr int chartHeight = 220;

// As short as the number allows, so that a limit reads as it was typed.
QString number(double value) {
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString boundText(const std::optional<double> &bound) {
    return bound ? number(*bound) : QString();
}

using LatestCells = std::array<QString, latestColumns>;

// `limits` is empty where the device's setup file could not be read.
LatestCells latestCells(const LatestReading &reading, const std::optional<ChannelLimits> &limits) {
    LatestCells cells;
    cells[channelColumn] =
        qtext(reading.serial + channelCaption) + QString::number(reading.channel);
    cells[nameColumn] = qtext(reading.name);
    cells[valueColumn] = reading.value ? number(*reading.value) +
                                             qtext(reading.unit.empty() ? "" : " " + reading.unit)
                                       : noReadingText;
    cells[timeColumn] = qtext(isoLocal(reading.utc, reading.offsetSeconds));
    if (!limits)
        cells[limitsColumn] = limitsUnreadText;
    else if (!limits->minimum && !limits->maximum)
        cells[limitsColumn] = noLimitsText;
    else
        cells[limitsColumn] =
            boundText(limits->minimum) + limitsBetween + boundText(limits->maximum);
    if (limits && reading.value) {
        switch (sideOf(*limits, *reading.value)) {
        case LimitSide::above:
            cells[sideColumn] = aboveText;
            break;
        case LimitSide::below:
            cells[sideColumn] = belowText;
            break;
        case LimitSide::within:
            break;
        }
    }
    return cells;
}

// A logger no longer configured, or a channel past a logger's, has no alarm to meet.
ChannelLimits limitsOf(const LatestReading &reading,
                       const std::array<std::string, maxLoggers> &serials,
                       const std::array<LoggerLimits, maxLoggers> &loggerLimits) {
    const auto logger = std::find(serials.begin(), serials.end(), reading.serial);
    if (logger == serials.end() || reading.channel < 1 || reading.channel > channelsPerLogger)
        return {};
    return loggerLimits[std::size_t(logger - serials.begin())][std::size_t(reading.channel - 1)];
}

void embolden(QLabel &label) {
    QFont bold = label.font();
    bold.setBold(true);
    label.setFont(bold);
}

qreal msecs(UtcSeconds utc) {
    return qreal(utc) * 1000;
}

QString axisTitle(const ChannelOfDevice &channel) {
    const std::string unit = channel.unit.empty() ? "" : " [" + channel.unit + "]";
    return qtext(channel.name + unit);
}

// Single readings as a line; buckets as the band from their lowest to their highest reading,
// with the mean line inside, each point in the middle of its bucket.
void addSeries(QChart &chart, const Series &series) {
    const qreal half = qreal(series.bucketSeconds) / 2;
    QList<QPointF> means, lows, highs;
    for (const SeriesPoint &p : series.points) {
        const qreal at = msecs(p.start) + half * 1000;
        means.append({at, p.mean});
        lows.append({at, p.min});
        highs.append({at, p.max});
    }
    if (series.bucketSeconds != 0) {
        auto *low = new QLineSeries(&chart);
        auto *high = new QLineSeries(&chart);
        low->replace(lows);
        high->replace(highs);
        auto *band = new QAreaSeries(high, low);
        band->setObjectName("band");
        QColor fill = chart.palette().color(QPalette::Highlight);
        fill.setAlpha(70);
        band->setBrush(fill);
        band->setPen(Qt::NoPen);
        chart.addSeries(band);
    }
    auto *mean = new QLineSeries;
    mean->setObjectName("mean");
    mean->replace(means);
    chart.addSeries(mean);
}

} // namespace

ReadingsWindow::ReadingsWindow(std::filesystem::path journalFile, std::filesystem::path configDir,
                               const Clock &clock, QWidget *parent)
    : QWidget(parent, Qt::Window), journalFile_(std::move(journalFile)),
      configDir_(std::move(configDir)), clock_(clock) {
    setObjectName("frmReadings");
    setWindowTitle(windowCaption);
    auto *top = new QHBoxLayout;
    lblDevice_ = new QLabel;
    lblDevice_->setObjectName("lblDevice");
    top->addWidget(lblDevice_, 1);
    ranges_ = new QButtonGroup(this);
    for (const RangeButton &r : rangeButtons) {
        auto *button = new QPushButton(r.caption);
        button->setObjectName(r.name);
        button->setCheckable(true);
        button->setChecked(r.range == range_);
        ranges_->addButton(button, int(r.range));
        top->addWidget(button);
    }
    connect(ranges_, &QButtonGroup::idClicked, this, [this](int id) { showRange(Range(id)); });

    lblNoReadings_ = new QLabel(noReadingsText);
    lblNoReadings_->setObjectName("lblNoReadings");
    lblNoReadings_->setAlignment(Qt::AlignCenter);
    auto *chartPage = new QWidget;
    charts_ = new QVBoxLayout(chartPage);
    charts_->addStretch();
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(chartPage);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblNoReadings_);
    layout->addWidget(scroll, 1);
    // Four charts where the screen has room for them; the rest scrolls.
    const int roomy = 4 * chartHeight + 60;
    resize(900, std::min(roomy, screen()->availableGeometry().height() * 9 / 10));
}

void ReadingsWindow::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ReadingsWindow::showDevice(int device, const DeviceRecord &record) {
    device_ = device;
    // The journal keeps a logger's serial number as the logger tells it, without blanks.
    for (int logger = 1; logger <= maxLoggers; ++logger)
        serials_[std::size_t(logger - 1)] = trim(record.serialNumber(logger));
    std::string caption = deviceCaption + std::to_string(device);
    if (!record[field::description].empty())
        caption += ": " + record[field::description];
    lblDevice_->setText(qtext(caption));
    reload();
}

void ReadingsWindow::showRange(Range range) {
    range_ = range;
    ranges_->button(int(range))->setChecked(true);
    reload();
}

void ReadingsWindow::reload() {
    clearPage();
    const QString problem = readPage();
    lblNoReadings_->setText(problem);
    lblNoReadings_->setVisible(!problem.isEmpty());
}

void ReadingsWindow::clearPage() {
    while (charts_->count() > 1) {
        QLayoutItem *item = charts_->takeAt(0);
        delete item->widget();
        delete item;
    }
}

QString ReadingsWindow::readPage() {
    std::error_code ec;
    if (!std::filesystem::exists(journalFile_, ec))
        return noReadingsText;
    std::unique_ptr<Journal> journal;
    if (auto problem = Journal::open(journalFile_, Journal::Access::readOnly, journal))
        return qtext(unavailableText + problem.text);
    std::vector<ChannelOfDevice> channels;
    if (auto problem = journal->channelsOfDevice(device_, channels))
        return qtext(unavailableText + problem.text);
    if (channels.empty())
        return noReadingsText;
    std::vector<LatestReading> latest;
    if (auto problem = journal->latestReadings(device_, latest))
        return qtext(unavailableText + problem.text);
    addLatest(latest);

    const UtcSeconds span = rangeButtons[std::size_t(range_)].seconds;
    int index = 0;
    for (const ChannelOfDevice &channel : channels) {
        SeriesRequest request{channel.serial, channel.channel, std::nullopt, std::nullopt,
                              chartPoints};
        if (span != 0)
            request.since = toUtc(clock_.localNow()).utc - span;
        Series series;
        if (auto problem = journal->readingSeries(request, series))
            return qtext(unavailableText + problem.text);
        addChart(series, ++index);
    }
    return {};
}

void ReadingsWindow::addLatest(const std::vector<LatestReading> &latest) {
    std::array<LoggerLimits, maxLoggers> loggerLimits;
    const bool limitsRead = !readDeviceLimits(configDir_, device_, loggerLimits);
    auto *table = new QWidget;
    table->setObjectName("grdLatest");
    auto *grid = new QGridLayout(table);
    grid->setHorizontalSpacing(16);
    for (int column = 0; column < latestColumns; ++column) {
        auto *heading = new QLabel(latestHeadings[std::size_t(column)]);
        embolden(*heading);
        grid->addWidget(heading, 0, column);
    }
    int row = 0;
    for (const LatestReading &reading : latest) {
        const LatestCells cells = latestCells(
            reading,
            limitsRead ? std::optional(limitsOf(reading, serials_, loggerLimits)) : std::nullopt);
        const bool outside = !cells[sideColumn].isEmpty();
        ++row;
        for (int column = 0; column < latestColumns; ++column) {
            auto *cell = new QLabel(cells[std::size_t(column)]);
            if (outside && (column == valueColumn || column == sideColumn)) {
                QPalette marked = cell->palette();
                marked.setColor(QPalette::WindowText, outsideColour);
                cell->setPalette(marked);
            }
            if (column == sideColumn)
                embolden(*cell);
            grid->addWidget(cell, row, column);
        }
    }
    grid->setColumnStretch(sideColumn, 1);
    charts_->insertWidget(0, table);
}

void ReadingsWindow::addChart(const Series &series, int index) {
    auto *chart = new QChart;
    chart->setTitle(qtext(series.channel.serial + channelCaption) +
                    QString::number(series.channel.channel));
    chart->legend()->hide();
    addSeries(*chart, series);

    const UtcSeconds now = toUtc(clock_.localNow()).utc;
    const UtcSeconds span = rangeButtons[std::size_t(range_)].seconds;
    UtcSeconds from = now - (span != 0 ? span : 86400);
    UtcSeconds to = now;
    if (!series.points.empty()) {
        to = std::max(now, series.points.back().start + series.bucketSeconds);
        if (span == 0)
            from = series.points.front().start;
    }
    auto *time = new QDateTimeAxis;
    time->setFormat(span != 0 && span <= 7 * 86400 ? "dd.MM. hh:mm" : "dd.MM.yyyy");
    time->setRange(QDateTime::fromSecsSinceEpoch(from), QDateTime::fromSecsSinceEpoch(to));
    time->setTickCount(7);
    auto *value = new QValueAxis;
    value->setTitleText(axisTitle(series.channel));
    if (!series.points.empty()) {
        double lowest = series.points.front().min, highest = series.points.front().max;
        for (const SeriesPoint &p : series.points) {
            lowest = std::min(lowest, p.min);
            highest = std::max(highest, p.max);
        }
        // A flat line still needs an axis with some height.
        value->setRange(lowest, highest > lowest ? highest : lowest + 1);
        value->applyNiceNumbers();
    }
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(value, Qt::AlignLeft);
    for (QAbstractSeries *s : chart->series()) {
        s->attachAxis(time);
        s->attachAxis(value);
    }

    auto *view = new QChartView(chart);
    view->setObjectName(QString("chtChannel_%1").arg(index));
    view->setProperty("points", qsizetype(series.points.size()));
    view->setProperty("bucketSeconds", qlonglong(series.bucketSeconds));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(chartHeight);
    charts_->insertWidget(charts_->count() - 1, view);
}

} // namespace vantrell
