// The page: files in, tiles out. Dropped or picked files become jobs for a
// pool of Web Workers, one per processor, each running the core; a tile per
// object shows its thumbnail or the command's words for why there is none.
// Only the pictures stay: each file is read by its worker when its turn
// comes. Clicking a tile opens the large view, drawn by a worker of its own.
"use strict";

const L = QavrenLogic;
const $ = (id) => document.getElementById(id);

function fail(text) {
  $("failure").textContent = text;
  $("failure").hidden = false;
}

function supported() {
  if (typeof WebAssembly !== "object" || typeof WebAssembly.instantiate !== "function") {
    fail("This browser cannot run WebAssembly, which the page needs to draw objects. Use a current Chromium, Firefox or Safari, or allow WebAssembly.");
    return false;
  }
  if (typeof Worker !== "function") {
    fail("This browser cannot run Web Workers, which the page needs to draw objects. Use a current Chromium, Firefox or Safari.");
    return false;
  }
  return true;
}

const SERVE_IT = "Serve the page's folder from a web server (python3 -m http.server -d build/web), not as a file.";

function startWorker(onReply) {
  let worker;
  try {
    worker = new Worker("worker.js");
  } catch (refused) {
    fail(`This browser refused to start the page's drawing workers (${refused.message}). ${SERVE_IT}`);
    return null;
  }
  worker.onmessage = (event) => onReply(event.data);
  worker.onerror = (event) => {
    event.preventDefault();
    fail(`A drawing worker stopped: ${event.message || "it could not be loaded"}. ${SERVE_IT}`);
  };
  return worker;
}

// The grid and its workers.
const tiles = new Map();  // job id -> { element, file, path }
let nextId = 0;
let batchStart = 0;
const workers = [];
const queue = new L.DrawQueue(Math.min(Math.max(navigator.hardwareConcurrency || 2, 1), 16), (w, job) =>
  workers[w].postMessage(job));

function showProgress() {
  $("progress").textContent = L.progressText(queue.finished, queue.total, performance.now() - batchStart);
}

function newTile(path, file) {
  const element = document.createElement("figure");
  element.className = "tile";
  element.dataset.name = file.name;
  element.dataset.state = "drawing";
  element.title = path;
  const canvas = document.createElement("canvas");
  canvas.width = canvas.height = L.THUMBNAIL_SIZE;
  const name = document.createElement("figcaption");
  name.className = "name";
  name.textContent = path;
  element.append(canvas, name);
  $("grid").append(element);
  return element;
}

function paint(canvas, reply) {
  canvas.width = reply.width;
  canvas.height = reply.height;
  const image = new ImageData(new Uint8ClampedArray(reply.pixels), reply.width, reply.height);
  canvas.getContext("2d").putImageData(image, 0, 0);
}

function onThumbnail(worker, reply) {
  const tile = tiles.get(reply.id);
  queue.done(worker);
  showProgress();
  if (reply.error) {
    const message = document.createElement("p");
    message.className = "message";
    message.textContent = reply.error;
    tile.element.append(message);
    tile.element.dataset.state = "error";
  } else {
    paint(tile.element.querySelector("canvas"), reply);
    tile.element.dataset.digest = reply.digest;
    tile.element.dataset.state = "done";
    tile.element.onclick = () => openView(tile);
  }
}

// Each drop (or pick) is drawn with the images among its own files.
let nextDrop = 0;

function addFiles(entries) {
  const objects = L.objectsOf(entries);
  if (!objects.length) return;
  if (queue.idle()) batchStart = performance.now();
  const drop = nextDrop++;
  const images = entries.filter((e) => L.isImage(e.path)).map(({ path, file }) => ({ path, file }));
  const jobs = objects.map(({ path, file }) => {
    const id = nextId++;
    tiles.set(id, { element: newTile(path, file), file, path, drop, images });
    return { id, kind: "thumbnail", path, file, drop, images, width: L.THUMBNAIL_SIZE, height: L.THUMBNAIL_SIZE,
             style: L.STYLES.shaded, angles: L.THUMBNAIL_ANGLES, background: L.backgroundCode("none") };
  });
  queue.add(jobs);
  showProgress();
}

// Folders dropped on the page, walked through their entries.
function readFolder(entry, out) {
  if (entry.isFile) {
    return new Promise((done) => entry.file((file) => {
      out.push({ path: entry.fullPath.replace(/^\//, ""), file, fromFolder: true });
      done();
    }, () => done()));
  }
  const reader = entry.createReader();
  const more = () => new Promise((done) => reader.readEntries(done, () => done([])));
  return (async () => {
    for (let batch = await more(); batch.length; batch = await more()) {
      for (const child of batch) await readFolder(child, out);
    }
  })();
}

async function onDrop(event) {
  event.preventDefault();
  $("drop").classList.remove("over");
  const entries = [];
  const folders = [];
  for (const item of event.dataTransfer.items) {
    const entry = item.webkitGetAsEntry && item.webkitGetAsEntry();
    if (entry && entry.isDirectory) folders.push(entry);
    else if (item.kind === "file") entries.push({ path: item.getAsFile().name, file: item.getAsFile(), fromFolder: false });
  }
  // One drop, folders and files together: an object finds its images
  // wherever in the drop they are.
  for (const folder of folders) await readFolder(folder, entries);
  addFiles(entries);
}

function onPick(input, fromFolder) {
  addFiles(Array.from(input.files, (file) => ({ path: L.pathOf(file), file, fromFolder })));
  input.value = "";
}

// The large view.
const view = { tile: null, angles: L.THUMBNAIL_ANGLES, busy: false, again: false, worker: null, report: false };

function viewBackground() {
  const choice = $("background").value;
  return L.backgroundCode(choice === "colour" ? $("colour").value : choice);
}

function drawView() {
  if (view.busy) {
    view.again = true;
    return;
  }
  const canvas = $("view");
  const width = Math.max(1, canvas.clientWidth);
  const height = Math.max(1, canvas.clientHeight);
  $("angles").textContent = L.anglesText(view.angles);
  canvas.dataset.angles = L.anglesText(view.angles);
  canvas.dataset.state = "drawing";
  view.busy = true;
  view.worker.postMessage({ id: -1, kind: "view", path: view.tile.path, file: view.tile.file, drop: view.tile.drop,
                            images: view.tile.images, width, height,
                            style: L.STYLES[$("style").value], angles: view.angles, background: viewBackground(),
                            report: view.report });
  view.report = false;
}

function onView(reply) {
  view.busy = false;
  const canvas = $("view");
  if (reply.report) $("report").textContent = reply.report;
  if (reply.error) {
    $("report").textContent = reply.error;
  } else if (view.tile) {
    paint(canvas, reply);
    canvas.dataset.digest = reply.digest;
  }
  canvas.dataset.state = reply.error ? "error" : "done";
  if (view.again && view.tile) {
    view.again = false;
    drawView();
  }
}

function openView(tile) {
  view.tile = tile;
  view.angles = L.THUMBNAIL_ANGLES;
  view.report = true;
  if (!view.worker) view.worker = startWorker(onView);
  if (!view.worker) return;
  $("view-name").textContent = tile.path;
  $("report").textContent = "";
  $("viewer").hidden = false;
  $("view").focus();
  drawView();
}

function closeView() {
  $("viewer").hidden = true;
  view.tile = null;
}

function turnBy(angles) {
  view.angles = angles;
  drawView();
}

function wireView() {
  const canvas = $("view");
  canvas.tabIndex = 0;
  let drag = null;
  canvas.addEventListener("pointerdown", (e) => {
    drag = { x: e.clientX, y: e.clientY, angles: view.angles };
    canvas.setPointerCapture(e.pointerId);
  });
  canvas.addEventListener("pointermove", (e) => {
    if (drag) turnBy(L.dragAngles(drag.angles, e.clientX - drag.x, e.clientY - drag.y));
  });
  canvas.addEventListener("pointerup", () => { drag = null; });
  document.addEventListener("keydown", (e) => {
    if ($("viewer").hidden) return;
    if (e.key === "Escape") return closeView();
    const turned = L.keyAngles(view.angles, e.key);
    if (turned) {
      e.preventDefault();
      turnBy(turned);
    }
  });
  for (const id of ["style", "background", "colour"]) $(id).addEventListener("change", drawView);
  window.addEventListener("resize", () => view.tile && drawView());
  $("close").addEventListener("click", closeView);
  $("save").addEventListener("click", () => canvas.toBlob((blob) => {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = `${view.tile ? view.tile.file.name.replace(/\.lwo$/i, "") : "qavren"}.png`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  }, "image/png"));
}

function main() {
  if (supported()) {
    for (let w = 0; w < queue.free.length; ++w) workers.push(startWorker((reply) => onThumbnail(w, reply)));
  }
  if (!workers.length || workers.includes(null)) {
    for (const input of document.querySelectorAll("input")) input.disabled = true;
    return;
  }
  const drop = $("drop");
  drop.addEventListener("dragover", (e) => {
    e.preventDefault();
    drop.classList.add("over");
  });
  drop.addEventListener("dragleave", () => drop.classList.remove("over"));
  document.addEventListener("dragover", (e) => e.preventDefault());
  document.addEventListener("drop", onDrop);
  $("pick-files").addEventListener("change", (e) => onPick(e.target, false));
  $("pick-folder").addEventListener("change", (e) => onPick(e.target, true));
  wireView();
}

main();
