// Per station, x, y and z of the last 10 s, in the channel's unit.
'use strict';

const plotSeconds = 10;
// Enough for a plot 260 pixels wide, and cheap to draw on a tablet.
const sampleGap = 0.05;   // s between the samples kept
const redrawGap = 100;    // ms between redraws
const plotColours = ['#c33', '#3a3', '#33c'];

function StationPlots(container) {
  this.container = container;
  this.plots = new Map();  // "bin/station" -> {canvas, caption, samples: [[t, x, y, z]]}
}

StationPlots.prototype.plotOf = function (key) {
  let plot = this.plots.get(key);
  if (plot) return plot;
  const figure = document.createElement('figure');
  const caption = document.createElement('figcaption');
  const canvas = document.createElement('canvas');
  canvas.width = 260;
  canvas.height = 110;
  figure.append(caption, canvas);
  this.container.append(figure);
  plot = {figure: figure, caption: caption, canvas: canvas, samples: []};
  this.plots.set(key, plot);
  return plot;
};

// `now` in seconds of the program's clock.
StationPlots.prototype.add = function (state, now) {
  const shown = visitShownStations(state, (channel, station, key) => {
    const plot = this.plotOf(key);
    const values = station.pose.slice(0, 3).map((value) => value.toFixed(3)).join(' ');
    plot.caption.textContent = 'station (' + state.instrument + ',' + channel.bin + ',' + station.n + ') x y z ' +
        values + ' ' + channel.unit;
    plot.figure.dataset.station = key;
    const last = plot.samples[plot.samples.length - 1];
    if (!last || now - last[0] >= sampleGap) plot.samples.push([now, station.pose[0], station.pose[1], station.pose[2]]);
    while (plot.samples.length && plot.samples[0][0] < now - plotSeconds) plot.samples.shift();
  });
  for (const [key, plot] of this.plots) plot.figure.hidden = !shown.has(key);
  this.now = now;
};

StationPlots.prototype.draw = function (frameTime) {
  if (frameTime - (this.drawn || 0) < redrawGap) return;
  this.drawn = frameTime;
  for (const plot of this.plots.values()) {
    if (!plot.figure.hidden) this.drawPlot(plot);
  }
};

StationPlots.prototype.drawPlot = function (plot) {
  const context = plot.canvas.getContext('2d'), width = plot.canvas.width, height = plot.canvas.height;
  context.clearRect(0, 0, width, height);
  let low = Infinity, high = -Infinity;
  for (const sample of plot.samples) {
    for (let k = 1; k <= 3; ++k) { low = Math.min(low, sample[k]); high = Math.max(high, sample[k]); }
  }
  if (!(high >= low)) return;
  const span = Math.max(high - low, 1e-6);
  const xOf = (t) => width * (1 - (this.now - t) / plotSeconds);
  const yOf = (v) => height - 4 - (height - 8) * (v - low) / span;
  for (let k = 1; k <= 3; ++k) {
    context.strokeStyle = plotColours[k - 1];
    context.beginPath();
    plot.samples.forEach((sample, i) => {
      if (i === 0) context.moveTo(xOf(sample[0]), yOf(sample[k]));
      else context.lineTo(xOf(sample[0]), yOf(sample[k]));
    });
    context.stroke();
  }
};
