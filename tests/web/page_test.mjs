// The page in headless Chromium (`make test-web`, part of `make test`):
//   node tests/web/page_test.mjs SITE DESKTOP_BUILD
// SITE is what `make web` built; DESKTOP_BUILD holds glimmershot, whose frames the page's shots
// are held to. Prints one line per check, the figures measured on the way, and a summary; exits
// with 1 when a check failed.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { byteRange, serve } from '../../scripts/serve-web.mjs';
import { Browser } from './browser.mjs';

const [site, desktop] = process.argv.slice(2).map((p) => path.resolve(p));
if (!site || !desktop) {
  console.error('usage: node tests/web/page_test.mjs SITE DESKTOP_BUILD');
  process.exit(2);
}
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'glimmer-page-'));
let passed = 0, failed = 0;

function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (ok) ++passed;
  else ++failed;
  return ok;
}

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// ImageMagick's mean absolute difference of two pictures, in 0..255.
function meanDifference(a, b) {
  const run = spawnSync('compare', ['-metric', 'MAE', a, b, 'null:'], { encoding: 'utf8' });
  const match = /\(([\d.e+-]+)\)/.exec(run.stderr);
  if (!match) throw new Error(`compare ${a} ${b}: ${run.stderr}`);
  return Number(match[1]) * 255;
}

// The mean brightness (0..255) of a region of a picture.
function meanBrightness(file, box) {
  const run = spawnSync('convert', [file, '-crop', `${box.width}x${box.height}+${box.x}+${box.y}`, '-colorspace', 'Gray',
    '-format', '%[fx:mean]', 'info:'], { encoding: 'utf8' });
  return Number(run.stdout) * 255;
}

// A copy of the site in which edit(folder) changed something.
function siteCopy(name, edit) {
  const folder = path.join(scratch, name);
  fs.cpSync(site, folder, { recursive: true });
  edit(folder);
  return folder;
}

async function withPage(root, flags, body) {
  const { server, url } = await serve(root, 0);
  const browser = await Browser.launch(flags);
  try {
    const page = await browser.newPage();
    return await body(page, url);
  } finally {
    await browser.close();
    server.close();
  }
}

const ready = "window.glimmer && glimmer.state.phase !== 'loading'";
const text = (id) => `document.getElementById('${id}').textContent`;
const visible = (id) => `!document.getElementById('${id}').hidden`;

// The server: whole files, single ranges (a start, an open end, a suffix), what cannot be served.
async function serverAnswersRanges() {
  check(JSON.stringify(byteRange('bytes=0-99', 1000)) === '{"start":0,"end":99}', 'a range: its bytes');
  check(JSON.stringify(byteRange('bytes=900-', 1000)) === '{"start":900,"end":999}', 'an open range: to the end');
  check(JSON.stringify(byteRange('bytes=-10', 1000)) === '{"start":990,"end":999}', 'a suffix: the last bytes');
  check(JSON.stringify(byteRange('bytes=990-5000', 1000)) === '{"start":990,"end":999}', 'a range past the end: cut');
  check(byteRange('bytes=1000-', 1000) === 'unsatisfiable' && byteRange('bytes=-0', 10) === 'unsatisfiable',
    'a range beyond the file: unsatisfiable');
  check(byteRange('bytes=0-1,5-6', 100) === null && byteRange('items=0-1', 100) === null && byteRange('', 5) === null,
    'several ranges or another unit: the whole file');

  const { server, url } = await serve(site, 0);
  try {
    const archive = fs.readFileSync(path.join(site, 'Glimmertide.dat'));
    const part = await fetch(url + 'Glimmertide.dat', { headers: { Range: 'bytes=100-199' } });
    const bytes = Buffer.from(await part.arrayBuffer());
    check(part.status === 206 && part.headers.get('content-range') === `bytes 100-199/${archive.length}` &&
      bytes.equals(archive.subarray(100, 200)), 'the server answers a range with 206 and those bytes');
    const beyond = await fetch(url + 'Glimmertide.dat', { headers: { Range: `bytes=${archive.length}-` } });
    check(beyond.status === 416, 'a range beyond the file: 416');
    const wasm = await fetch(url + 'glimmertide.wasm', { method: 'HEAD' });
    check(wasm.status === 200 && wasm.headers.get('content-type') === 'application/wasm', 'the program is served as wasm');
    const outside = await fetch(url + '..%2f..%2fetc%2fpasswd');
    check(outside.status === 403 || outside.status === 404, 'nothing outside the site is served');
  } finally {
    server.close();
  }
}

// Click, 20 s of the show with its soundtrack, Escape, and the start screen again.
async function playsWithSound() {
  await withPage(site, [], async (page, url) => {
    await page.goto(url);
    await page.waitFor(ready, 30000, 'the page to load');
    check(await page.evaluate("glimmer.state.phase === 'ready' && !document.getElementById('play').disabled"),
      'the start screen offers "click to play"');
    await page.click('#play');
    await page.waitFor('glimmer.state.frames > 0', 20000, 'the first frame');
    const firstFrame = await page.evaluate('glimmer.state.firstFrameAt - glimmer.state.clickedAt');
    const box = await page.evaluate(`(() => { const r = document.getElementById('canvas').getBoundingClientRect();
      return { x: Math.round(r.left), y: Math.round(r.top), width: Math.round(r.width), height: Math.round(r.height) }; })()`);
    const samples = [];
    const start = Date.now();
    for (let second = 1; second <= 20; ++second) {
      await sleep(start + second * 1000 - Date.now());
      const sample = await page.evaluate(
        '({ frames: glimmer.state.frames, level: glimmer.audioLevel(), heard: glimmer.state.module.webAudioOutput.heard(false) })');
      if (second % 5 === 0) {
        sample.picture = path.join(scratch, `live${second}.png`);
        fs.writeFileSync(sample.picture, await page.screenshot());
      }
      samples.push(sample);
    }
    const pictures = samples.filter((s) => s.picture);
    const brightness = pictures.map((s) => meanBrightness(s.picture, box));
    const changes = pictures.slice(1).map((s, i) => meanDifference(pictures[i].picture, s.picture));
    const rate = (samples[19].frames - samples[0].frames) / 19;
    console.log(`  time to the first frame after the click: ${Math.round(firstFrame)} ms; ${rate.toFixed(1)} frames a second`);
    console.log(`  canvas brightness ${brightness.map((b) => b.toFixed(1)).join(', ')}; change ${changes.map((c) => c.toFixed(2)).join(', ')}`);
    check(brightness.every((b) => b > 0.5), 'the canvas is lit');
    check(changes.every((c) => c > 0.1), 'the canvas keeps changing');
    check(samples[19].frames > samples[9].frames && samples[9].frames > samples[0].frames, 'frames keep coming');
    const heard = samples[17].heard - samples[7].heard;
    console.log(`  soundtrack heard over 10 s: ${heard.toFixed(2)} s; loudest ${Math.max(...samples.map((s) => s.level)).toFixed(3)} RMS`);
    check(Math.abs(heard - 10) < 1, 'the soundtrack plays at its own speed');
    check(samples.filter((s) => s.level > 0.005).length >= 10, 'the soundtrack is heard');
    check(await page.evaluate("glimmer.state.phase === 'playing'"), 'the show is still on');

    await page.key('Escape', 'Escape', 27);
    await page.waitFor("glimmer.state.phase !== 'playing'", 10000, 'Escape to end the show');
    check(await page.evaluate(`glimmer.state.phase === 'ended' && glimmer.state.exitStatus === 0 && ${visible('start')}
      && ${text('play')} === 'play again'`), 'Escape ends the show: the start screen offers "play again"');
    await page.click('#play');
    await page.waitFor('glimmer.state.frames > 5', 20000, 'a second run');
    check(true, 'it plays again');

    // The lines are quads at whatever scale the page picks: nothing to say on stderr.
    const stderr = await page.evaluate('glimmer.state.stderr');
    check(page.problems.length === 0 && stderr.length === 0,
      `no console errors, nothing on stderr ${JSON.stringify([...page.problems, ...stderr])}`);
  });
}

// The query's words reach the program: no soundtrack, and the credits when the show ends. A double
// click gives full screen and F11 (the program's own key) leaves it.
async function queryWordsAndFullScreen() {
  await withPage(site, [], async (page, url) => {
    await page.goto(url + '?credits&no+audio');
    await page.waitFor(ready, 30000, 'the page to load');
    await page.click('#play');
    await page.waitFor('glimmer.state.frames > 10', 20000, 'frames');
    await page.doubleClick('#canvas');
    await page.waitFor('document.fullscreenElement !== null', 5000, 'full screen');
    // The window takes the screen's size a moment after the switch; the picture follows it.
    const fitted = await page.waitFor(`(() => { const c = document.getElementById('canvas').getBoundingClientRect();
      return Math.abs(c.width / c.height - 4 / 3) < 0.01 && (Math.abs(c.width - innerWidth) < 1 || Math.abs(c.height - innerHeight) < 1); })()`,
    3000).catch(() => false);
    check(fitted, 'a double click gives full screen, the picture at 4:3 filling it');
    await page.key('F11', 'F11', 122);
    await page.waitFor('document.fullscreenElement === null', 5000, 'F11 to leave full screen');
    check(true, 'F11 leaves full screen');
    let loudest = 0;
    for (let i = 0; i < 5; ++i, await sleep(400)) loudest = Math.max(loudest, await page.evaluate('glimmer.audioLevel()'));
    check(loudest === 0, '?no+audio: no soundtrack');
    await page.key('Escape', 'Escape', 27);
    await page.waitFor("glimmer.state.phase === 'ended'", 10000, 'Escape to end the show');
    check((await page.evaluate(text('notice'))).startsWith('Credits...\nGlimmertide'), '?credits: the credits on the start screen');
  });
}

// The frames a shot= run shows, tick -> PNG file, for the query's other words.
async function pageShots(page, url, ticks, words, name) {
  await page.goto(`${url}?shot=${ticks.join(',')}&fps=10&scale=1${words}`);
  await page.waitFor(ready, 30000, 'the page to load');
  await page.click('#play');
  await page.waitFor("glimmer.state.phase !== 'playing'", 240000, 'the shots');
  const shots = await page.evaluate('glimmer.state.shots');
  const files = {};
  for (const tick of ticks) {
    if (!shots[tick]) continue;
    files[tick] = path.join(scratch, `${name}${tick}.png`);
    fs.writeFileSync(files[tick], Buffer.from(shots[tick].split(',')[1], 'base64'));
  }
  return files;
}

// shot=: the frames at one tick in each scene, held to glimmershot's on the desktop. WebGL draws
// lines 1 pixel wide and unsmoothed, so the page must have chosen quads by itself; lines=quads
// gives the same frame, lines=native WebGL's thin lines.
async function shotsMatchTheDesktop() {
  const ticks = [1500, 3600, 6600, 8000, 9800, 11300];
  const frames = path.join(scratch, 'desktop');
  const desktopFrame = (tick) => path.join(frames, `at${String(tick).padStart(5, '0')}.png`);
  const shot = spawnSync(path.join(desktop, 'glimmershot'), ['--data', path.join(desktop, 'Glimmertide.dat'),
    '--fps', '10', '--at', ticks.join(','), '--out', frames], { encoding: 'utf8' });
  if (!check(shot.status === 0, 'glimmershot draws the desktop frames')) {
    console.log(shot.stderr);
    return;
  }
  await withPage(site, [], async (page, url) => {
    const shots = await pageShots(page, url, ticks, '', 'page');
    check(Object.keys(shots).length === ticks.length && (await page.evaluate(visible('start'))),
      'shot= shows a frame at each tick and stops');
    const differences = Object.entries(shots).map(([tick, file]) => [tick, meanDifference(file, desktopFrame(tick))]);
    console.log(`  mean absolute difference from the desktop's frames (of 255): ${differences
      .map(([t, d]) => `${t}: ${d.toFixed(2)}`).join(', ')}`);
    for (const [tick, difference] of differences)
      check(difference < kShotLimit, `the frame at tick ${tick} is the desktop's (${difference.toFixed(2)} < ${kShotLimit})`);

    // The array rush, whose outlines are the widest lines of the show.
    const wide = 6600;
    const quads = await pageShots(page, url, [wide], '&lines=quads', 'quads');
    check(quads[wide] && shots[wide] && meanDifference(quads[wide], shots[wide]) === 0,
      '?lines=quads: the frame the page chose by itself');
    const native = await pageShots(page, url, [wide], '&lines=Native', 'native');
    const thin = native[wide] ? meanDifference(native[wide], desktopFrame(wide)) : 0;
    check(thin > 10 * kShotLimit && page.problems.length === 0,
      `?lines=native: WebGL's own lines, far from the desktop's frame (${thin.toFixed(2)})`);
  });
}

// How far a shot may be from the desktop's frame (mean absolute difference of 255): the same line
// field, lines as quads on both, and only WebGL's rounding between them.
const kShotLimit = 2;

// What the program reports on the page, in the catalogue's words or as the command line would.
async function reportsOnThePage(name, root, flags, query, click, expected, beforePage = '') {
  await withPage(root, flags, async (page, url) => {
    if (beforePage) await page.send('Page.addScriptToEvaluateOnNewDocument', { source: beforePage });
    await page.goto(url + query);
    await page.waitFor(ready, 30000, 'the page to load');
    if (click) await page.click('#play');
    await page.waitFor("glimmer.state.phase === 'error'", 30000, `${name}: the error panel`);
    const shown = await page.evaluate(`${text('caption')} + '\\n' + ${text('message')} + '\\n' + ${text('details')}`);
    check(expected.every((part) => shown.includes(part)) && (await page.evaluate(visible('error'))),
      `${name}: the page says ${JSON.stringify(shown)}`);
  });
}

async function badInput() {
  const missing = siteCopy('missing', (folder) => fs.rmSync(path.join(folder, 'Glimmertide.dat')));
  await reportsOnThePage('a missing archive', missing, [], '', false,
    ['Fatal error!', "Error - couldn't read metadata! Aborting..."]);
  // Cut inside the scenes: the light bars' picture is the first file set-up finds missing. Cut
  // inside the soundtrack, it is the soundtrack that cannot start, as on the desktop.
  const cutAt = (name, size) => siteCopy(name, (folder) => fs.truncateSync(path.join(folder, 'Glimmertide.dat'), size));
  await reportsOnThePage('a truncated archive', cutAt('truncated', 30000), [], '', true,
    ['Fatal error!', "Error - couldn't read file data/x26.jpg! Aborting..."]);
  await reportsOnThePage('a cut soundtrack', cutAt('cut', 1000000), [], '', true,
    ['Fatal error!', 'Error - an undefined exception was thrown! Aborting...', 'glimmertide: soundtrack stream failed']);
  await reportsOnThePage('no WebGL', site, ['--disable-webgl'], '', true, ['Fatal error!', "Error - couldn't create RC! Aborting..."]);
  await reportsOnThePage('no Web Audio', site, [], '', true, ['Fatal error!',
    'Error - an undefined exception was thrown! Aborting...', 'glimmertide: soundtrack init failed: Web Audio is not available'],
  'delete window.AudioContext; delete window.webkitAudioContext;');
  await reportsOnThePage('a refused scale', site, [], '?scale=9', true, ['glimmertide: scale=9 is not a scale from 1 to 8']);
  await reportsOnThePage('a refused way of drawing lines', site, [], '?lines=bogus', true,
    ['glimmertide: lines=bogus is not a way of drawing lines: native or quads']);
}

try {
  await serverAnswersRanges();
  await playsWithSound();
  await queryWordsAndFullScreen();
  await shotsMatchTheDesktop();
  await badInput();
} catch (error) {
  check(false, `the run: ${error.stack || error}`);
} finally {
  fs.rmSync(scratch, { recursive: true, force: true });
}
console.log(`web: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
