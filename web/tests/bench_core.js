// Times the module's thumbnail under node: for each object given, the
// median of REPS draws in milliseconds, as JSON on stdout.
// Usage: node --no-experimental-fetch bench_core.js WEB_BUILD REPS OBJECT...
"use strict";
const fs = require("fs");
const path = require("path");

const [web, reps, ...objects] = process.argv.slice(2);
const L = require(path.join(web, "page_logic.js"));
require(path.join(web, "qavren.js"))().then((core) => {
  const times = {};
  for (const file of objects) {
    const bytes = fs.readFileSync(file);
    const draw = () => L.drawPicture(core, file, bytes, 256, 256, L.STYLES.shaded, L.THUMBNAIL_ANGLES, -1);
    draw();  // warm
    const t = [];
    for (let k = 0; k < Number(reps); ++k) {
      const start = process.hrtime.bigint();
      draw();
      t.push(Number(process.hrtime.bigint() - start) / 1e6);
    }
    times[file] = t.sort((a, b) => a - b)[t.length >> 1];
  }
  console.log(JSON.stringify(times));
});
