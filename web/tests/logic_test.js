// The page's logic under node, and the module against the command: every
// corpus object drawn by both, the pixels (alpha included) or the failure's
// words the same. Arguments: the web build folder, the native qavren, the
// corpora's folder.
"use strict";
const assert = require("assert");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { execFileSync } = require("child_process");

const [web, qavren, corpus] = process.argv.slice(2);
const L = require(path.join(web, "page_logic.js"));

// The queue hands every job out once, never more than one a worker, in order.
function checkQueue() {
  for (const [workers, batches] of [[1, [5]], [3, [2, 0, 7]], [4, [1, 1, 1, 1, 1]], [8, [3]]]) {
    const held = new Map();
    const order = [];
    const q = new L.DrawQueue(workers, (w, job) => {
      assert(!held.has(w), `worker ${w} given a second job`);
      held.set(w, job);
      order.push(job);
    });
    let next = 0;
    for (const n of batches) {
      q.add(Array.from({ length: n }, () => next++));
      assert.strictEqual(held.size, Math.min(workers, next - q.finished), "every free worker busy");
      while (held.size > Math.max(0, workers - 1)) {  // finish all but one, in a shuffled order
        const w = [...held.keys()][(next * 7) % held.size];
        held.delete(w);
        q.done(w);
      }
    }
    while (held.size) {
      const [w] = held.keys();
      held.delete(w);
      q.done(w);
    }
    assert.deepStrictEqual(order, Array.from({ length: next }, (_, k) => k), `${workers} workers`);
    assert(q.idle() && q.pending() === 0 && q.finished === next && q.total === next);
  }
}

function checkWords() {
  const cases = [
    [L.progressText(3, 40, 1234), "3 of 40, 1.2 s"],
    [L.backgroundCode("none"), -1], [L.backgroundCode("canvas"), -2], [L.backgroundCode("#00ff80"), 0x00ff80],
    [L.backgroundCode("#FFFFFF"), 0xffffff], [L.backgroundCode("#12345"), null], [L.backgroundCode("red"), null],
    [L.dragAngles([-30, 35, 0], 20, -10), [-35, 45, 0]], [L.dragAngles([170, -175, 9], 0, 40), [-170, -175, 9]],
    [L.dragAngles([0, 179, 0], 4, 0), [0, -179, 0]], [L.dragAngles([0, 170, 0], 20, 0), [0, 180, 0]], [L.keyAngles([0, 0, 0], "ArrowRight"), [0, 5, 0]],
    [L.keyAngles([0, 0, 0], "ArrowUp"), [-5, 0, 0]], [L.keyAngles([0, 180, 0], "ArrowRight"), [0, -175, 0]],
    [L.keyAngles([0, 0, 0], "a"), null], [L.anglesText([-30, 35, 0]), "-30,35,0"],
    [L.isObject("a/b/Box.LWO", true), true], [L.isObject("a/Images/box.png", true), false],
    [L.isObject("notes.txt", false), true], [L.pathOf({ name: "b.lwo", webkitRelativePath: "d/b.lwo" }), "d/b.lwo"],
    [L.pathOf({ name: "b.lwo", webkitRelativePath: "" }), "b.lwo"],
    [L.isImage("d/Images/T.JPG"), true], [L.isImage("t.lwo"), false],
    [L.objectsOf([{ path: "t.png" }, { path: "b.lwo" }, { path: "d/c.png", fromFolder: true }]).length, 1],
    [L.objectsOf([{ path: "t.png" }])[0].path, "t.png"],
    [L.textureOrder(["x/t.png", "a/b/t.png", "a/Images/t.png", "IMAGES/t.png", "a/b/images/t.png"], "a/b/o.lwo"),
      [1, 4, 2, 3, 0]],
  ];
  cases.forEach(([got, want], k) => assert.deepStrictEqual(got, want, `case ${k}`));
}

// A PNG as RGBA bytes, by ImageMagick.
function readPng(file) {
  return execFileSync("convert", [file, "-depth", "8", "RGBA:-"], { maxBuffer: 1 << 26 });
}

// The module's thumbnail against `qavren thumbnail -s 256`, object by object.
async function checkAgainstCommand() {
  const core = await require(path.join(web, "qavren.js"))();
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "qavren-web-"));
  let drawn = 0, refused = 0;
  try {
    for (const folder of ["lwo", "lwo2"]) {
      for (const name of fs.readdirSync(path.join(corpus, folder)).filter((n) => /\.lwo$/i.test(n)).sort()) {
        const file = path.join(corpus, folder, name), png = path.join(scratch, "t.png");
        const got = L.drawPicture(core, file, fs.readFileSync(file), 256, 256, L.STYLES.shaded, L.THUMBNAIL_ANGLES,
                                  L.backgroundCode("none"));
        let words = null;
        try {
          execFileSync(qavren, ["thumbnail", "-s", "256", file, png], { stdio: ["ignore", "ignore", "pipe"] });
        } catch (failure) {
          words = failure.stderr.toString().replace(/^qavren: /, "").trim();
        }
        if (words !== null) {
          assert.strictEqual(got.error, words, file);
          ++refused;
          continue;
        }
        assert(!got.error, `${file}: ${got.error}`);
        assert(Buffer.from(got.pixels).equals(readPng(png)), `${file}: the pixels differ from the command's`);
        ++drawn;
      }
    }
  } catch (failure) {
    fs.rmSync(scratch, { recursive: true, force: true });
    throw failure;
  }
  assert(drawn > 40 && refused > 0, `${drawn} drawn, ${refused} refused`);
  // A textured object dropped with its folder draws what the command draws from the disk.
  const textured = path.join(corpus, "textured"), shot = path.join(scratch, "t.png");
  const files = fs.existsSync(textured) ? fs.readdirSync(textured, { recursive: true }) : [];
  const loaded = files.filter(L.isImage).map((p) => L.loadTexture(core, p, fs.readFileSync(path.join(textured, p))))
    .filter(Boolean);
  for (const object of files.filter((p) => /\.lwo$/i.test(p)).map((p) => [p, path.join(textured, p)])) {
    execFileSync(qavren, ["thumbnail", "-s", "128", object[1], shot]);
    const got = L.withTextures(core, loaded, object[0], () => L.drawPicture(core, object[0], fs.readFileSync(object[1]),
      128, 128, L.STYLES.shaded, L.THUMBNAIL_ANGLES, -1));
    assert(Buffer.from(got.pixels).equals(readPng(shot)), `${object[0]}: not the command's picture`);
    ++drawn;
  }
  L.freeTextures(core, loaded);
  // The large view's choices, as the command's options.
  const teddy = path.join(corpus, "lwo", "helix_teddy.lwo"), png = path.join(scratch, "v.png");
  for (const [options, style, background] of [[["--polygons", "--angles", "10,20,30"], 1, -1],
    [["--wireframe"], 0, -1], [["--background", "ff8000", "--angles", "-5,0,90"], 2, 0xff8000],
    [["--background", "canvas"], 2, -2]]) {
    execFileSync(qavren, ["thumbnail", "-s", "300x200", ...options, teddy, png]);
    const angles = options.includes("--angles") ? options[options.indexOf("--angles") + 1].split(",").map(Number)
                                                : L.THUMBNAIL_ANGLES;
    const got = L.drawPicture(core, teddy, fs.readFileSync(teddy), 300, 200, style, angles, background);
    assert(Buffer.from(got.pixels).equals(readPng(png)), options.join(" "));
  }
  // The report is `qavren info`'s text, surfaces included.
  assert.strictEqual(L.objectReport(core, teddy, fs.readFileSync(teddy), [10, 20, 30]),
                     execFileSync(qavren, ["info", "--no-textures", "--angles", "10,20,30", teddy]).toString());
  fs.rmSync(scratch, { recursive: true, force: true });
  console.log(`web_logic: ${drawn} pictures the same as the command's, ${refused} failures in its words`);
}

checkQueue();
checkWords();
checkAgainstCommand().catch((e) => {
  console.error(e);
  process.exit(1);
});
