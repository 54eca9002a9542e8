// The 3-D view: a floor grid like the viewer's (z up, metres), and every
// active station as a small axis triad with a short trail behind it.
'use strict';

const trailLength = 60;  // states: about a second

function LiveScene(canvas) {
  this.canvas = canvas;
  this.stations = new Map();  // "bin/station" -> {triad, trail, points, count}
  try {
    this.renderer = new THREE.WebGLRenderer({canvas: canvas, antialias: true});
  } catch (error) {
    this.renderer = null;
    return;
  }
  this.renderer.setClearColor(0xffffff);
  this.scene = new THREE.Scene();
  this.camera = new THREE.PerspectiveCamera(45, 1, 0.05, 100);
  this.camera.up.set(0, 0, 1);
  this.camera.position.set(3, -4, 2.5);
  const grid = new THREE.GridHelper(6, 12, 0x888888, 0xbbbbbb);
  grid.rotation.x = Math.PI / 2;  // the helper lies in x-z; the floor is x-y
  this.scene.add(grid);
  this.scene.add(new THREE.AxesHelper(0.5));
  this.controls = new THREE.OrbitControls(this.camera, canvas);
  this.controls.target.set(0, 0, 0.5);
  this.controls.update();
  this.moved = true;
  this.controls.addEventListener('change', () => { this.moved = true; });
}

LiveScene.prototype.available = function () { return this.renderer !== null; };

LiveScene.prototype.stationObject = function (key) {
  let object = this.stations.get(key);
  if (object) return object;
  const points = new Float32Array(trailLength * 3);
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.BufferAttribute(points, 3));
  object = {triad: new THREE.AxesHelper(0.2), trail: new THREE.Line(geometry, new THREE.LineBasicMaterial({color: 0x7a4fb0})),
            points: points, count: 0};
  this.scene.add(object.triad);
  this.scene.add(object.trail);
  this.stations.set(key, object);
  return object;
};

// Calls visit(channel, station, key) for every station of `state` that is
// active in a live channel, key "bin/station"; the keys it visited. The 3-D
// view and the plots (plots.js) show the same stations.
function visitShownStations(state, visit) {
  const shown = new Set();
  for (const channel of state.channels) {
    if (channel.status !== 'live') continue;
    for (const station of channel.stations) {
      if (!station.active) continue;
      const key = channel.bin + '/' + station.n;
      visit(channel, station, key);
      shown.add(key);
    }
  }
  return shown;
}

// Shows the stations of `state` that are active in a live channel; hides the others.
LiveScene.prototype.show = function (state) {
  if (!this.renderer) return;
  const shown = visitShownStations(state, (channel, station, key) => {
    this.place(this.stationObject(key), station.pose, channel.toMetres);
  });
  for (const [key, object] of this.stations) {
    object.triad.visible = object.trail.visible = shown.has(key);
  }
};

// Rotations about z, y and x, in that order: azimuth, elevation, roll.
LiveScene.prototype.place = function (object, pose, toMetres) {
  const x = pose[0] * toMetres, y = pose[1] * toMetres, z = pose[2] * toMetres;
  object.triad.position.set(x, y, z);
  object.triad.rotation.set(pose[5], pose[4], pose[3], 'ZYX');
  object.points.copyWithin(3, 0, (trailLength - 1) * 3);
  object.points.set([x, y, z], 0);
  object.count = Math.min(object.count + 1, trailLength);
  object.trail.geometry.setDrawRange(0, object.count);
  object.trail.geometry.attributes.position.needsUpdate = true;
};

// Draws when a state came, the camera moved or the canvas changed its size.
LiveScene.prototype.draw = function (fresh) {
  if (!this.renderer) return;
  const width = this.canvas.clientWidth, height = this.canvas.clientHeight;
  const resized = this.canvas.width !== width || this.canvas.height !== height;
  if (!fresh && !resized && !this.moved) return;
  this.moved = false;
  if (resized) {
    this.renderer.setSize(width, height, false);
    this.camera.aspect = width / Math.max(height, 1);
    this.camera.updateProjectionMatrix();
  }
  this.renderer.render(this.scene, this.camera);
};
