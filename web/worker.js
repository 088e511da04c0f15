// One drawing thread of the page: the core's module, drawing one picture at
// a time. Jobs carry the File itself; its bytes are read here, when its turn
// comes, and dropped once the picture is drawn. A shaded job also carries
// the images of its drop, read once for the drop. The RGBA pixels go back to
// the page as a transferred buffer with their SHA-256, so that anyone can
// check them against `qavren thumbnail`.
"use strict";

importScripts("page_logic.js", "qavren.js");

const ready = createQavren();
// The large view turns one object many times: its bytes are kept for it.
let viewed = { file: null, bytes: null };
// The images of the drop the last shaded job came from, in the module's
// memory until a shaded job of another drop comes.
let images = { drop: null, loaded: [] };

async function imagesOf(core, job) {
  if (images.drop === job.drop) return images.loaded;
  QavrenLogic.freeTextures(core, images.loaded);
  images = { drop: null, loaded: [] };
  const loaded = [];
  for (const { path, file } of job.images || []) {
    if (!file.size || file.size > QavrenLogic.MAX_IMAGE_BYTES) continue;
    const record = QavrenLogic.loadTexture(core, path, new Uint8Array(await file.arrayBuffer()));
    if (record) loaded.push(record);
  }
  images = { drop: job.drop, loaded };
  return loaded;
}

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
  const loaded = job.style === QavrenLogic.STYLES.shaded || job.report ? await imagesOf(core, job) : [];
  const reply = { id: job.id, kind: job.kind, width: job.width, height: job.height };
  const drawn = QavrenLogic.withTextures(core, loaded, job.path, () => {
    const picture = QavrenLogic.drawPicture(core, job.path, bytes, job.width, job.height, job.style, job.angles,
                                            job.background);
    if (job.report && !picture.error) reply.report = QavrenLogic.objectReport(core, job.path, bytes, job.angles);
    return picture;
  });
  if (drawn.error) return { ...reply, error: drawn.error };
  reply.digest = await digest(drawn.pixels);
  reply.pixels = drawn.pixels.buffer;
  return reply;
}

self.onmessage = (event) => {
  handle(event.data).then(
    (reply) => self.postMessage(reply, reply.pixels ? [reply.pixels] : []),
    (failure) => self.postMessage({ id: event.data.id, kind: event.data.kind, error: `${event.data.path}: ${failure}` }));
};
