#include "StaticFiles.h"

#include "web/StationScript.h"

namespace vantrell {

namespace {

// One plot per canvas of the device page, over epoch milliseconds on a linear axis: Debian's
// Chart.js comes without a date adapter, so the ticks are made here, on round local hours and days
// from the first reading to the newest. Each canvas tells how many points it drew in
// data-points, for the people and the tests that look.
constexpr std::string_view deviceJs = R"js('use strict';
const minute = 60000;
const hour = 60 * minute;
const day = 24 * hour;
const steps = [10 * minute, 15 * minute, 30 * minute, hour, 2 * hour, 3 * hour, 6 * hour,
               12 * hour, day, 2 * day, 7 * day, 14 * day, 28 * day, 91 * day, 182 * day, 364 * day];
// Room for one tick label ("12-05 00:00"), so that narrow plots take fewer ticks.
const tickPixels = 110;
const charts = new Map();
function pad(n) { return String(n).padStart(2, '0'); }
// Local time is UTC plus the offset: a round local hour or day is one whose local time divides.
function localOffset(ms) { return -new Date(ms).getTimezoneOffset() * minute; }
function roundTicks(min, max, most) {
  const step = steps.find((s) => (max - min) / s <= most) || steps[steps.length - 1];
  const ticks = [];
  for (let t = Math.ceil((min + localOffset(min)) / step) * step - localOffset(min); t <= max; t += step)
    ticks.push({value: t - (localOffset(t) - localOffset(min))});
  return {step, ticks};
}
function tickLabel(ms, step, span) {
  const d = new Date(ms);
  const date = pad(d.getMonth() + 1) + '-' + pad(d.getDate());
  if (step >= day) return span > 180 * day ? d.getFullYear() + '-' + date : date;
  const time = pad(d.getHours()) + ':' + pad(d.getMinutes());
  return d.getHours() === 0 && d.getMinutes() === 0 ? date + ' ' + time : time;
}
async function draw(canvas, days) {
  const query = new URLSearchParams({device: canvas.dataset.device, serial: canvas.dataset.serial,
                                     channel: canvas.dataset.channel, points: '1000'});
  if (days > 0) query.set('since', String(Math.floor(Date.now() / 1000) - days * 86400));
  const answer = await fetch('/api/readings?' + query.toString());
  if (!answer.ok) { canvas.dataset.points = '0'; return; }
  const series = await answer.json();
  const line = (key) => series.points.map((p) => ({x: p.t, y: p[key]}));
  const xs = series.points.map((p) => p.t);
  const min = xs.length ? xs[0] : Date.now() - day;
  const max = xs.length > 1 ? xs[xs.length - 1] : min + hour;
  const {step, ticks} = roundTicks(min, max, Math.max(2, Math.floor(canvas.parentElement.clientWidth / tickPixels)));
  const datasets = [{label: 'mean', data: line('mean'), borderColor: '#1f5fa8', pointRadius: 0,
                     borderWidth: 1.5}];
  if (series.bucket_seconds > 0) {
    datasets.push({label: 'min', data: line('min'), borderColor: '#9bb8d8', pointRadius: 0, borderWidth: 1});
    datasets.push({label: 'max', data: line('max'), borderColor: '#d89b9b', pointRadius: 0, borderWidth: 1});
  }
  const title = canvas.dataset.name + (canvas.dataset.unit ? ' [' + canvas.dataset.unit + ']' : '');
  if (charts.has(canvas)) charts.get(canvas).destroy();
  charts.set(canvas, new Chart(canvas, {
    type: 'line',
    data: {datasets},
    options: {
      animation: false, parsing: false, maintainAspectRatio: false,
      plugins: {legend: {display: series.bucket_seconds > 0},
                title: {display: true, text: 'logger ' + canvas.dataset.serial + ', channel ' + canvas.dataset.channel}},
      scales: {x: {type: 'linear', min, max, afterBuildTicks: (axis) => { axis.ticks = ticks; },
                   ticks: {autoSkip: false, maxRotation: 0, callback: (v) => tickLabel(v, step, max - min)}},
               y: {title: {display: true, text: title}}}
    }
  }));
  canvas.dataset.points = String(series.points.length);
}
function drawAll(days) {
  for (const canvas of document.querySelectorAll('canvas[data-serial]')) draw(canvas, days);
}
for (const button of document.querySelectorAll('#ranges button')) {
  button.addEventListener('click', () => {
    for (const other of document.querySelectorAll('#ranges button')) other.classList.remove('chosen');
    button.classList.add('chosen');
    drawAll(Number(button.dataset.days));
  });
}
drawAll(7);
)js";

// Each state has its colour and always its words too: the colour alone would not tell everyone.
// Below 600 px every table but the schedule becomes one block per row with its headings beside
// the values; a table too wide for the window scrolls inside its own box, never the page.
constexpr std::string_view styleCss =
    R"css(body { font-family: sans-serif; margin: 1.5em; color: #222; }
h1 { margin: 0 0 0.2em; }
header p { margin: 0.2em 0; }
table { border-collapse: collapse; margin: 0.5em 0 1em; font-size: 0.9em; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.5em; text-align: left; vertical-align: top; }
th { background: #eef2f7; }
pre { background: #f6f6f6; padding: 0.6em; max-height: 20em; overflow: auto; white-space: pre-wrap; }
.wide { max-width: 100%; overflow-x: auto; }
.plot { position: relative; height: 260px; max-width: 1100px; margin-bottom: 1em; }
button.chosen { font-weight: bold; }
#updated[data-state="stale"] { background: #b3261e; color: #fff; padding: 0.3em 0.6em; font-weight: bold; }
#updated[data-state="fresh"] { color: #555; }
#station { list-style: none; padding: 0; display: flex; flex-wrap: wrap; gap: 0.4em 1.5em; }
#station span { font-weight: bold; }
#broker[data-state="connected"] { color: #1e6b2a; }
#broker[data-state="not connected"] { color: #b3261e; }
#counts .count { display: inline-block; margin-right: 0.6em; padding: 0.1em 0.6em; border-radius: 1em; }
#counts .count[data-n="0"] { display: none; }
.latest ul { list-style: none; margin: 0; padding: 0; }
.when, .badge, .value, .limit { white-space: nowrap; }
.value[data-limit="above limit"], .value[data-limit="below limit"], .limit { color: #b3261e; font-weight: bold; }
.badge { display: inline-block; padding: 0.1em 0.5em; border-radius: 0.3em; }
tr.device { border-left: 0.4em solid #999; }
[data-health="good"] .badge, .count[data-health="good"] { background: #dcefdc; color: #1e5b25; }
[data-health="undelivered"] .badge, .count[data-health="undelivered"] { background: #fff0c2; color: #6b4a00; }
[data-health="failed"] .badge, .count[data-health="failed"] { background: #fbd9d6; color: #8c1d18; }
[data-health="silent"] .badge, .count[data-health="silent"] { background: #8c1d18; color: #fff; }
[data-health="never"] .badge, [data-health="unknown"] .badge, .count[data-health="never"], .count[data-health="unknown"] { background: #e4e4e4; color: #444; }
tr.device[data-health="good"] { border-left-color: #2e8b3a; }
tr.device[data-health="undelivered"] { border-left-color: #d9a400; }
tr.device[data-health="failed"] { border-left-color: #d93025; }
tr.device[data-health="silent"] { border-left-color: #8c1d18; }
@media (max-width: 600px) {
  body { margin: 0.5em; }
  h1 { font-size: 1.4em; }
  table.stacked, table.stacked tbody, table.stacked tr, table.stacked td { display: block; }
  table.stacked thead { display: none; }
  table.stacked tr { margin-bottom: 0.6em; border: 1px solid #bbb; }
  table.stacked tr.device { border-left-width: 0.4em; }
  table.stacked td { border: none; border-bottom: 1px solid #e4e4e4; position: relative;
                     padding-left: 8.2em; min-height: 1.2em; overflow-wrap: anywhere; }
  table.stacked td::before { content: attr(data-label); font-weight: bold; position: absolute;
                             left: 0.4em; width: 7.6em; }
  table.stacked tr.none td { padding-left: 0.6em; }
  .plot { height: 220px; }
}
)css";

} // namespace

std::optional<StaticFile> builtInFile(std::string_view name) {
    if (name == "device.js")
        return StaticFile{deviceJs, "text/javascript; charset=utf-8"};
    if (name == "station.js")
        return StaticFile{stationScript(), "text/javascript; charset=utf-8"};
    if (name == "style.css")
        return StaticFile{styleCss, "text/css; charset=utf-8"};
    return std::nullopt;
}

} // namespace vantrell
