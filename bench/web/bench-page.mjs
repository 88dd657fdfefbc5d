// The page's figures (`make bench`): what a visitor downloads, how long after the click the first
// frame comes, and the frame rate in headless Chromium on SwiftShader (software WebGL, 2 cores
// here), at scale 1 and at the scale the page picks for its window.
//   node bench/web/bench-page.mjs SITE [SECONDS]
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

import { serve } from '../../scripts/serve-web.mjs';
import { Browser } from '../../tests/web/browser.mjs';

const site = path.resolve(process.argv[2] || 'build-web/site');
const seconds = Number(process.argv[3] || 20);
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

function downloadSize() {
  let total = 0, compressed = 0;
  for (const name of fs.readdirSync(site).sort()) {
    const bytes = fs.readFileSync(path.join(site, name));
    const gzip = zlib.gzipSync(bytes, { level: 9 }).length;
    total += bytes.length;
    compressed += gzip;
    console.log(`  ${name.padEnd(18)} ${String(bytes.length).padStart(9)} bytes (${gzip} gzipped)`);
  }
  console.log(`download: ${(total / 1e6).toFixed(2)} MB (${(compressed / 1e6).toFixed(2)} MB gzipped)`);
}

// One run: click, wait for the first frame, count frames for `seconds`.
async function play(browser, url, query) {
  const page = await browser.newPage();
  await page.goto(url + query);
  await page.waitFor("window.glimmer && glimmer.state.phase === 'ready'", 30000, 'the page to load');
  await page.click('#play');
  await page.waitFor('glimmer.state.frames > 0', 30000, 'the first frame');
  const first = await page.evaluate('glimmer.state.firstFrameAt - glimmer.state.clickedAt');
  const size = await page.evaluate("[document.getElementById('canvas').width, document.getElementById('canvas').height]");
  const before = await page.evaluate('[glimmer.state.frames, performance.now()]');
  await sleep(seconds * 1000);
  const after = await page.evaluate('[glimmer.state.frames, performance.now()]');
  const rate = (after[0] - before[0]) / ((after[1] - before[1]) / 1000);
  await page.send('Page.close');
  return { first, rate, size };
}

downloadSize();
const { server, url } = await serve(site, 0);
const browser = await Browser.launch();
try {
  // WebGL's own lines are 1 pixel wide and unsmoothed, not the show's look: they tell what the
  // quads cost.
  for (const [label, query] of [['scale 1', '?scale=1'], ["the page's own scale", ''],
    ['scale 1, lines=native', '?scale=1&lines=native']]) {
    const { first, rate, size } = await play(browser, url, query);
    console.log(`${label} (${size[0]} x ${size[1]}): first frame ${Math.round(first)} ms after the click, ` +
      `${rate.toFixed(1)} frames a second over ${seconds} s`);
  }
} finally {
  await browser.close();
  server.close();
}
