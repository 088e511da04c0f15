// The page's logic without the page: which dropped files are drawn, the
// dropped images their shaded pictures look in, the queue that hands them to the Web Workers, the progress line, the turns of
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

  // The dropped files the core may decode as an image texture.
  function isImage(path) {
    return /\.(png|jpe?g|bmp|tga|gif|psd|iff|ilbm|lbm)$/i.test(path);
  }

  // What a drop draws: its objects, where a file given by itself is one
  // whatever its name (isObject); an image given beside objects is only an
  // image they may name, drawn when nothing else was dropped.
  function objectsOf(entries) {
    const drawn = entries.filter((e) => isObject(e.path, e.fromFolder));
    const others = drawn.filter((e) => !isImage(e.path));
    return others.length ? others : drawn;
  }

  function folderOf(path) {
    return path.slice(0, path.lastIndexOf("/") + 1);
  }

  // The dropped images' indices in the order an object prefers them, as the
  // command's search takes the disk: beside the object, in the Images/
  // folder beside it, in the Images/ of up to three folders above, nearest
  // first, then the rest as dropped. The core matches a stored name whole
  // first, then by its file name, the first image of that name winning.
  function textureOrder(paths, objectPath) {
    const near = [folderOf(objectPath)];
    for (let k = 0; k < 3 && near[k]; ++k) near.push(folderOf(near[k].slice(0, -1)));
    const rank = (path) => {
      const folder = folderOf(path);
      if (folder === near[0]) return 0;
      const at = near.findIndex((f) => folder.toLowerCase() === `${f}images/`.toLowerCase());
      return at < 0 ? near.length + 1 : at + 1;
    };
    const ranks = paths.map(rank);
    return paths.map((_, k) => k).sort((a, b) => ranks[a] - ranks[b] || a - b);
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

  // The largest image file the core reads (kMaxImageFileBytes).
  const MAX_IMAGE_BYTES = 64 << 20;

  // Copies one dropped image (its path in the drop, its bytes) into the
  // module: a record for withTextures, to free with freeTextures; null when
  // it is too large or the module has no memory for it.
  function loadTexture(core, path, bytes) {
    if (!bytes.length || bytes.length > MAX_IMAGE_BYTES) return null;
    const at = core._malloc(bytes.length);
    const name = cString(core, path);
    if (!at || !name) {
      core._free(at);
      core._free(name);
      return null;
    }
    core.HEAPU8.set(bytes, at);
    return { path, name, at, size: bytes.length };
  }

  function freeTextures(core, loaded) {
    for (const t of loaded) {
      core._free(t.at);
      core._free(t.name);
    }
  }

  // Runs use() with the loaded images handed to the core (qavren_draw's
  // shaded style looks in them) in the order the object at `objectPath`
  // prefers; none once it returns.
  function withTextures(core, loaded, objectPath, use) {
    const table = loaded.length ? core._malloc(12 * loaded.length) : 0;
    if (!table) return use();
    try {
      const words = new Uint32Array(core.HEAPU8.buffer, table, 3 * loaded.length);
      textureOrder(loaded.map((t) => t.path), objectPath).forEach((k, i) => {
        words.set([loaded[k].name, loaded[k].at, loaded[k].size], 3 * i);
      });
      core._qavren_use_textures(table, loaded.length);
      return use();
    } finally {
      core._qavren_use_textures(0, 0);
      core._free(table);
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
    STYLES, THUMBNAIL_ANGLES, THUMBNAIL_SIZE, pathOf, isObject, isImage, objectsOf, textureOrder, DrawQueue,
    progressText, backgroundCode, dragAngles, keyAngles, anglesText, drawPicture, objectReport, loadTexture,
    freeTextures, withTextures, MAX_IMAGE_BYTES,
  };
})();

if (typeof module !== "undefined") module.exports = QavrenLogic;
