#include "StationScript.h"

namespace vantrell {

// Both pages ask /api/status every few seconds and change only what it changed: the device rows
// (letter, state, last session, latest values), the counts, the station's state, the alarms and
// the log, or on a device page its state, latest values, alarms and newest session. The plots are
// left alone. When an answer does not come, the page says since when, and keeps what it showed.
// Everything is built as elements with text, never as markup: texts come from loggers.
constexpr std::string_view stationJs = R"js('use strict';
const pollMs = 10000;
const updated = document.getElementById('updated');
let lastAnswer = updated ? updated.textContent.replace(/^as of /, '') : '';
let failing = false;

function byId(id) { return document.getElementById(id); }
function setText(element, text) { if (element) element.textContent = text; }
function element(tag, text, attributes) {
  const made = document.createElement(tag);
  if (text !== undefined) made.textContent = text;
  for (const [key, value] of Object.entries(attributes || {})) made.setAttribute(key, value);
  return made;
}
function numberText(value) { return value === null || value === undefined ? '-' : String(value); }
function letterText(s) { return (s.letter === null ? '-' : s.letter) + ' ' + s.words; }
function bytesText(bytes) { return bytes < 1e6 ? (bytes / 1e3).toFixed(0) + ' kB' : (bytes / 1e6).toFixed(1) + ' MB'; }
function valueCell(parent, r) {
  parent.append(element('span', numberText(r.value) + ' ' + r.unit, {class: 'value', 'data-limit': r.limit || ''}));
  if (r.limit) parent.append(' ', element('span', r.limit, {class: 'limit'}));
}
// Cells as the page makes them: [label, text] or [label, text, class].
function rowOf(cells) {
  const row = document.createElement('tr');
  for (const [label, text, kind] of cells)
    row.append(element('td', text, kind ? {'data-label': label, class: kind} : {'data-label': label}));
  return row;
}
function noneRow(text, columns) {
  const row = element('tr', undefined, {class: 'none'});
  row.append(element('td', text, {colspan: String(columns)}));
  return row;
}

function showClock(status) {
  setText(byId('time'), status.time);
  setText(byId('zone'), status.time_zone);
  setText(byId('next'), status.communicating ? 'communicating'
    : status.next_time === null ? 'schedule off' : 'next schedule time ' + status.next_time);
}
function showStation(status) {
  const broker = byId('broker');
  if (!broker) return;
  setText(broker, status.station.broker);
  broker.dataset.state = status.station.broker;
  setText(byId('mqtt-waiting'), numberText(status.station.mqtt_waiting));
  setText(byId('outbox'), status.outbox ? String(status.outbox.pending) : status.journal.state);
  const bytes = status.journal_bytes;
  setText(byId('journal-size'), bytes === null || bytes === undefined ? '-' : bytesText(bytes));
  setText(byId('version'), status.station.version);
}
function showDevice(row, d, journalOk) {
  row.dataset.letter = d.last_session && d.last_session.letter !== null ? d.last_session.letter : '';
  row.dataset.health = d.health;
  setText(row.querySelector('.badge'), d.health_words);
  const session = row.querySelector('.session');
  if (session && d.last_session)
    session.replaceChildren(element('span', d.last_session.start, {class: 'when'}), ' ' + letterText(d.last_session));
  else setText(session, journalOk ? 'no session yet' : '-');
  setText(row.querySelector('.good-read'), !journalOk ? '-' : d.last_good_read || 'never');
  setText(row.querySelector('.missed'), numberText(d.missed_times));
  setText(row.querySelector('.next'), !d.active ? 'inactive' : d.next_time || '-');
  const list = row.querySelector('.latest ul');
  if (!list) return;
  list.replaceChildren();
  for (const r of d.latest || []) {
    const item = element('li', r.name + ' ');
    valueCell(item, r);
    list.append(item);
  }
}
function showCounts(devices) {
  for (const count of document.querySelectorAll('#counts .count')) {
    const n = devices.filter((d) => d.health === count.dataset.health).length;
    count.dataset.n = String(n);
    setText(count.querySelector('.n'), String(n));
  }
}
function showAlarms(alarms, device) {
  const body = document.querySelector('#alarms tbody');
  if (!body) return;
  const shown = alarms.filter((a) => device === undefined || a.device === device);
  body.replaceChildren(...shown.map((a) => rowOf([['time', a.time, 'when'], ['device', String(a.device)],
    ['channel', String(a.channel)], ['kind', a.kind], ['message', a.message], ['outcome', a.outcome]])));
  if (shown.length === 0) body.append(noneRow('no alarm in these days', 6));
}
function showLatest(d) {
  const body = document.querySelector('#latest tbody');
  if (!body || !d.latest || d.latest.length === 0) return;
  body.replaceChildren(...d.latest.map((r) => {
    const row = rowOf([['logger', r.serial], ['channel', String(r.channel)], ['name', r.name]]);
    const value = element('td', undefined, {'data-label': 'value'});
    valueCell(value, r);
    row.append(value, ...rowOf([['time', r.time, 'when'], ['minimum', numberText(r.minimum)],
                                ['maximum', numberText(r.maximum)]]).children);
    return row;
  }));
}
function showNewestSession(s) {
  const body = document.querySelector('#sessions tbody');
  if (!body || !s || (body.rows.length && body.rows[0].cells[0].textContent === s.start)) return;
  for (const none of body.querySelectorAll('tr.none')) none.remove();
  body.prepend(rowOf([['start', s.start, 'when'], ['end', s.end, 'when'], ['letter', letterText(s)],
    ['records', String(s.records)]]));
}

function show(status) {
  const journalOk = status.journal.state === 'ok';
  showClock(status);
  showStation(status);
  for (const d of status.devices) {
    for (const row of document.querySelectorAll('[data-device="' + d.device + '"]')) {
      if (row.tagName === 'TR' || row.id === 'device-state') showDevice(row, d, journalOk);
    }
  }
  showCounts(status.devices);
  const own = byId('device-state');
  const device = own ? status.devices.find((d) => String(d.device) === own.dataset.device) : undefined;
  if (!own) showAlarms(status.alarms || [], undefined);
  else if (device) {
    showAlarms(status.alarms || [], device.device);
    showLatest(device);
    showNewestSession(device.last_session);
  }
  setText(byId('log'), (status.log || []).join('\n') + '\n');
}

async function poll() {
  try {
    // A station that takes the connection and never answers counts as not answering too.
    const answer = await fetch('/api/status', {cache: 'no-store', signal: AbortSignal.timeout(pollMs)});
    if (!answer.ok) throw new Error('HTTP ' + answer.status);
    const status = await answer.json();
    show(status);
    lastAnswer = status.time;
    failing = false;
    updated.dataset.state = 'fresh';
    setText(updated, 'updated ' + lastAnswer);
  } catch (error) {
    if (!failing) {
      failing = true;
      updated.dataset.state = 'stale';
      setText(updated, 'the station stopped answering since ' + lastAnswer);
    }
  }
}
setInterval(poll, pollMs);
)js";

std::string_view stationScript() {
    return stationJs;
}

} // namespace vantrell
