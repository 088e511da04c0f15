// The page's logic without the page: which dropped files are drawn, the
// queue that hands them to the Web Workers, the progress line, the turns of
// the large view and the background's code. A classic script (the page and
// the workers load it as is); under node it is a CommonJS module for the
// tests.
"use strict";

const QavrenLogic = (() => {
  // The style codes qavren_draw takes.
  const STYLES = { wireframe: 0, polygons: 1, shaded: 2 };
  // The thumbnail's view, as `qavren thumbnail` draws it.
  const THUMBNAIL_ANGLES = [-30, 35, 0];
  const THUMBNAIL_SIZE = 256;

  // A file's place in what was dropped: the folder path for files of a
  // dropped or picked folder, the bare name otherwise.
  function pathOf(file) {
    return file.webkitRelativePath || file.relativePath || file.name;
  }

  // As `qavren render DIR`: inside folders only .lwo files (any case) are
  // objects; a file given by itself is drawn whatever its name, so that a
  // foreign one says what it is.
  function isObject(path, fromFolder) {
    return !fromFolder || /\.lwo$/i.test(path);
  }

  // Every dropped file by its path, for looking up textures later.
  function fileTree(entries) {
    const tree = new Map();
    for (const e of entries) tree.set(e.path, e.file);
    return tree;
  }

  // Where an object's image texture would come from among the dropped files.
  // Textures are not drawn yet: once the core reads image maps, this finds
  // the image the object's clip names, first at its stored path relative to
  // the object's folder, then by its file name in an Images/ folder of the
  // dropped tree, as the command looks for it on disk, and returns its File.
  function textureSource(tree, objectPath) {
    void tree;
    void objectPath;
    return null;
  }

  // Jobs wait in order and go to the first free worker; each worker holds
  // one job at a time, so files are read only when their turn comes and the
  // pictures come back as they are drawn. `start(worker, job)` hands a job
  // over; `done(worker)` frees the worker and starts the next.
  class DrawQueue {
    constructor(workerCount, start) {
      this.waiting = [];
      this.head = 0;
      this.free = [];
      for (let w = workerCount - 1; w >= 0; --w) this.free.push(w);
      this.start = start;
      this.total = 0;
      this.finished = 0;
    }
    add(jobs) {
      for (const job of jobs) this.waiting.push(job);
      this.total += jobs.length;
      this.pump();
    }
    done(worker) {
      this.finished += 1;
      this.free.push(worker);
      this.pump();
    }
    pending() {
      return this.waiting.length - this.head;
    }
    idle() {
      return this.finished === this.total;
    }
    pump() {
      while (this.free.length && this.head < this.waiting.length) {
        const job = this.waiting[this.head];
        this.waiting[this.head++] = undefined;  // the queue keeps no job it handed out
        if (this.head === this.waiting.length) {
          this.waiting = [];
          this.head = 0;
        }
        this.start(this.free.pop(), job);
      }
    }
  }

  // "12 of 40, 3.1 s": the pictures drawn (or refused) of those queued.
  function progressText(done, total, elapsedMs) {
    return `${done} of ${total}, ${(elapsedMs / 1000).toFixed(1)} s`;
  }

  // The background as qavren_draw takes it: -1 none, -2 the canvas, or
  // 0xRRGGBB from "#rrggbb"; null for anything else.
  function backgroundCode(text) {
    if (text === "none") return -1;
    if (text === "canvas") return -2;
    const m = /^#?([0-9a-fA-F]{6})$/.exec(text);
    return m ? parseInt(m[1], 16) : null;
  }

  // Whole degrees in -179..180, as --angles prints them.
  function wrap(angle) {
    const a = ((Math.round(angle) % 360) + 360) % 360;
    return a > 180 ? a - 360 : a;
  }

  // Dragging by (dx, dy) pixels turns the model: across turns the heading
  // (angle y), up and down the pitch (angle x), half a degree a pixel.
  function dragAngles(angles, dx, dy) {
    return [wrap(angles[0] + dy / 2), wrap(angles[1] + dx / 2), angles[2]];
  }

  // The arrow keys turn by 5 degrees; null for other keys.
  function keyAngles(angles, key) {
    const step = { ArrowLeft: [0, -5], ArrowRight: [0, 5], ArrowUp: [-5, 0], ArrowDown: [5, 0] }[key];
    return step ? dragAngles(angles, 2 * step[1], 2 * step[0]) : null;
  }

  // Copies a C string into the module's memory; the caller frees it.
  function cString(core, text) {
    const size = core.lengthBytesUTF8(text) + 1;
    const at = core._malloc(size);
    if (at) core.stringToUTF8(text, at, size);
    return at;
  }

  // Runs `use(name, bytes)` with the name and the object's bytes copied
  // into the module; null when the module has no memory for them.
  function withObject(core, name, bytes, use) {
    const at = core._malloc(Math.max(bytes.length, 1));
    const text = cString(core, name);
    try {
      if (!at || !text) return null;
      core.HEAPU8.set(bytes, at);
      return use(text, at);
    } finally {
      core._free(at);
      core._free(text);
    }
  }

  // The object drawn as `qavren thumbnail -s WxH` draws it: { pixels } (RGBA
  // rows, top first) or { error } with the command's words.
  function drawPicture(core, name, bytes, width, height, style, angles, background) {
    const size = width * height * 4;
    const out = core._malloc(size);
    if (!out) return { error: `${name}: not enough memory to draw it` };
    try {
      const result = withObject(core, name, bytes, (text, at) =>
        core._qavren_draw(text, at, bytes.length, width, height, style, angles[0], angles[1], angles[2],
                          background, out));
      if (result === null) return { error: `${name}: not enough memory to draw it` };
      if (result !== 0) return { error: core.UTF8ToString(core._qavren_failure()) };
      return { pixels: core.HEAPU8.slice(out, out + size) };
    } finally {
      core._free(out);
    }
  }

  // What `qavren info --angles X,Y,Z NAME` prints for the object.
  function objectReport(core, name, bytes, angles) {
    const text = withObject(core, name, bytes, (t, at) =>
      core._qavren_report(t, at, bytes.length, angles[0], angles[1], angles[2]));
    return text ? core.UTF8ToString(text) : `${name}: not enough memory for the report`;
  }

  function anglesText(angles) {
    return angles.join(",");
  }

  return {
    STYLES, THUMBNAIL_ANGLES, THUMBNAIL_SIZE, pathOf, isObject, fileTree, textureSource, DrawQueue,
    progressText, backgroundCode, dragAngles, keyAngles, anglesText, drawPicture, objectReport,
  };
})();

if (typeof module !== "undefined") module.exports = QavrenLogic;
