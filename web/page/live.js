// The stream of states from lumivex-web, the table of channels, and the
// frame loop that draws the newest state. Text from channels is only ever
// set as text.
'use strict';

const reconnectMs = 1000;
const columns = ['channel', 'description', 'unit', 'rate', 'age', 'active', 'status', 'missed'];

const view = new LiveScene(document.getElementById('scene'));
const plots = new StationPlots(document.getElementById('plots'));
const rows = new Map();  // bin -> row
let newest = null;       // the state not drawn yet
let clockOffset = Infinity;  // browser ms minus program ms, at best (the quickest delivery)
let states = 0;
let connections = 0;
const lastWritten = new Map();  // "bin/station" -> when the pose drawn last was written

// The age of every pose when the page first drew it, in ms: recorded only
// once a measurement sets this to an array.
window.lumivexAges = null;

if (!view.available()) document.getElementById('no-3d').hidden = false;

function setConnection(live, text) {
  const shown = document.getElementById('connection');
  shown.textContent = text;
  shown.className = live ? 'live' : 'lost';
}

function number(value, decimals) { return value === null ? '-' : value.toFixed(decimals); }

function rowOf(bin) {
  let row = rows.get(bin);
  if (row) return row;
  row = document.createElement('tr');
  row.dataset.bin = bin;
  for (const name of columns) {
    const cell = document.createElement('td');
    cell.className = name;
    if (['rate', 'age', 'missed'].includes(name)) cell.classList.add('number');
    row.append(cell);
  }
  const body = document.querySelector('#channels tbody');
  const after = [...body.children].find((other) => Number(other.dataset.bin) > bin);
  body.insertBefore(row, after || null);
  rows.set(bin, row);
  return row;
}

function showChannel(instrument, channel) {
  const row = rowOf(channel.bin);
  const deaths = channel.writerDeaths > 0 ? ' (writer died ' + channel.writerDeaths + '\u00d7)' : '';
  const texts = {
    channel: '(' + instrument + ',' + channel.bin + ')', description: channel.description, unit: channel.unit,
    rate: number(channel.rateHz, 1), age: number(channel.ageMs, 1), active: channel.active,
    status: channel.status + deaths, missed: String(channel.missed)};
  for (const name of columns) row.querySelector('td.' + name).textContent = texts[name];
  row.className = 'status-' + channel.status.replace(' ', '-');
}

function showTable(state) {
  const bins = new Set();
  for (const channel of state.channels) {
    showChannel(state.instrument, channel);
    bins.add(channel.bin);
  }
  for (const [bin, row] of rows) {
    if (!bins.has(bin)) { row.remove(); rows.delete(bin); }
  }
}

function received(event) {
  const state = JSON.parse(event.data);
  clockOffset = Math.min(clockOffset, performance.now() - state.now / 1000);
  newest = state;
  document.body.dataset.states = String(++states);
}

function noteAges(state, frameTime) {
  if (!window.lumivexAges) return;
  for (const channel of state.channels) {
    for (const station of channel.stations) {
      const key = channel.bin + '/' + station.n;
      if (station.written === null || lastWritten.get(key) === station.written) continue;
      lastWritten.set(key, station.written);
      window.lumivexAges.push(frameTime - (station.written / 1000 + clockOffset));
    }
  }
}

function frame(frameTime) {
  const fresh = newest !== null;
  if (fresh) {
    const state = newest;
    newest = null;
    showTable(state);
    view.show(state);
    plots.add(state, state.now / 1e6);
    noteAges(state, frameTime);
  }
  view.draw(fresh);
  plots.draw(frameTime);
  requestAnimationFrame(frame);
}

// The token the page was opened with goes along to the stream.
function connect() {
  const scheme = location.protocol === 'https:' ? 'wss:' : 'ws:';
  const socket = new WebSocket(scheme + '//' + location.host + '/stream' + location.search);
  // The program may run on another machine after a restart: its clock is learnt afresh.
  socket.onopen = () => {
    clockOffset = Infinity;
    document.body.dataset.connections = String(++connections);
    setConnection(true, 'connected');
  };
  socket.onmessage = received;
  socket.onclose = () => {
    newest = null;
    setConnection(false, 'connection lost; trying again');
    setTimeout(connect, reconnectMs);
  };
}

connect();
requestAnimationFrame(frame);
