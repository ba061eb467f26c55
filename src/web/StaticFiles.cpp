#include "StaticFiles.h"

namespace vantrell {

namespace {

// One plot per canvas of the device page, over epoch milliseconds on a linear axis: Debian's
// Chart.js comes without a date adapter, so the tick labels are made here. Each canvas tells
// how many points it drew in data-points, for the people and the tests that look.
constexpr std::string_view deviceJs = R"js('use strict';
const day = 86400000;
const charts = new Map();
function pad(n) { return String(n).padStart(2, '0'); }
function tickLabel(ms, span) {
  const d = new Date(ms);
  const date = pad(d.getMonth() + 1) + '-' + pad(d.getDate());
  const time = pad(d.getHours()) + ':' + pad(d.getMinutes());
  if (span > 14 * day) return d.getFullYear() + '-' + date;
  return span > day ? date + ' ' + time : time;
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
  const span = xs.length > 1 ? xs[xs.length - 1] - xs[0] : day;
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
      scales: {x: {type: 'linear', ticks: {maxTicksLimit: 8, callback: (v) => tickLabel(v, span)}},
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

constexpr std::string_view styleCss =
    R"css(body { font-family: sans-serif; margin: 1.5em; color: #222; }
table { border-collapse: collapse; margin: 0.5em 0 1em; }
th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; text-align: left; }
th { background: #eef2f7; }
pre { background: #f6f6f6; padding: 0.6em; max-height: 20em; overflow: auto; }
.plot { position: relative; height: 260px; max-width: 1100px; margin-bottom: 1em; }
button.chosen { font-weight: bold; }
)css";

} // namespace

std::optional<StaticFile> builtInFile(std::string_view name) {
    if (name == "device.js")
        return StaticFile{deviceJs, "text/javascript; charset=utf-8"};
    if (name == "style.css")
        return StaticFile{styleCss, "text/css; charset=utf-8"};
    return std::nullopt;
}

} // namespace vantrell
