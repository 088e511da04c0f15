// One drawing thread of the page: the core's module, drawing one picture at
// a time. Jobs carry the File itself; its bytes are read here, when its turn
// comes, and dropped once the picture is drawn. The RGBA pixels go back to
// the page as a transferred buffer with their SHA-256, so that anyone can
// check them against `qavren thumbnail`.
"use strict";

importScripts("page_logic.js", "qavren.js");

const ready = createQavren();
// The large view turns one object many times: its bytes are kept for it.
let viewed = { file: null, bytes: null };

async function digest(pixels) {
  if (!self.crypto || !self.crypto.subtle) return "";  // not a secure context
  const hash = new Uint8Array(await self.crypto.subtle.digest("SHA-256", pixels));
  return Array.from(hash, (b) => b.toString(16).padStart(2, "0")).join("");
}

async function bytesOf(file, keep) {
  if (keep && viewed.file === file) return viewed.bytes;
  const bytes = new Uint8Array(await file.arrayBuffer());
  if (keep) viewed = { file, bytes };
  return bytes;
}

async function handle(job) {
  const core = await ready;
  const bytes = await bytesOf(job.file, job.kind === "view");
  const tree = null;  // the dropped files, once textures are drawn
  QavrenLogic.textureSource(tree, job.path);
  const drawn = QavrenLogic.drawPicture(core, job.path, bytes, job.width, job.height, job.style, job.angles,
                                        job.background);
  const reply = { id: job.id, kind: job.kind, width: job.width, height: job.height };
  if (drawn.error) return { ...reply, error: drawn.error };
  if (job.report) reply.report = QavrenLogic.objectReport(core, job.path, bytes, job.angles);
  reply.digest = await digest(drawn.pixels);
  reply.pixels = drawn.pixels.buffer;
  return reply;
}

self.onmessage = (event) => {
  handle(event.data).then(
    (reply) => self.postMessage(reply, reply.pixels ? [reply.pixels] : []),
    (failure) => self.postMessage({ id: event.data.id, kind: event.data.kind, error: `${event.data.path}: ${failure}` }));
};
