// The replay page as a person uses it, in Debian's headless Chromium with a fresh profile.
//
//   node replay-page.mjs CONFIG.json match|large
//
// match: plays a real match twice (the scribbler strategy prints markup-like texts and draws
// every kind of view), then checks the page against replay.jsonl: no console error or failed
// request, robots and ball drawn where the replay says, slider, keys and hash, the overlay
// toggle, hostile texts shown as text and run nothing; and the pictures: they decode, have the
// documented size, and the two runs wrote the same bytes.
// large: a generated 6000-step 5v5 replay (version 2) with a print and two views per robot per
// step: opening time and playing speed, printed as figures and held to the targets.
// live: a 5v5 match played with --live, watched by pages that follow it, pause, scrub, go back
// to live and leave, and by a client that never reads; the server refuses other hosts; the
// --out files are those of the same match played without --live; the crashed robot's mark.
// compare: two runs drawn one over the other (--compare, and a replay dropped on the page),
// following a robot with its print beside it, labels, team shades and readable overlays.
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const [configFile, scenario] = process.argv.slice(2);
const config = JSON.parse(fs.readFileSync(configFile, 'utf8'));
const require = createRequire(path.join(config.driver, 'package.json'));
const puppeteer = require('puppeteer-core');

const PICTURE_WIDTH = 1040;
const PICTURE_HEIGHT = 880;
const HOSTILE = ['</script><script>alert(1)</script>', '<img src=x onerror=alert(1)>'];

// ---------------------------------------------------------------------------- helpers

function run(command, args) {
  const result = spawnSync(command, args, { encoding: 'utf8', maxBuffer: 1 << 26 });
  assert.equal(result.status, 0,
    `${command} ${args.join(' ')} exited ${result.status}:\n${result.stdout}${result.stderr}`);
  return result;
}

function freshFolder(name) {
  const folder = path.join(config.work, name);
  fs.rmSync(folder, { recursive: true, force: true });
  fs.mkdirSync(folder, { recursive: true });
  return folder;
}

/** Reads a replay the way the format doc describes it: header, frames by time, debug, end. */
function readReplay(file) {
  const lines = fs.readFileSync(file, 'utf8').split('\n').filter((l) => l !== '');
  const replay = { header: JSON.parse(lines[0]), frames: new Map(), debug: [], ended: [], end: null };
  for (const line of lines.slice(1)) {
    const o = JSON.parse(line);
    if (o.debug) replay.debug.push(o.debug);
    else if (o.ended) replay.ended.push(o.ended);
    else if (o.end) replay.end = o.end;
    else replay.frames.set(o.time, o);
  }
  replay.robots = replay.header.teams.flatMap((t) => t.robots.map((r) => ({ ...r, team: t.id })));
  return replay;
}

async function withBrowser(body) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'touchline-chromium-'));
  const args = ['--disable-gpu', '--no-first-run', '--no-default-browser-check'];
  // Chromium refuses its sandbox to root; CI runs as root.
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  const browser = await puppeteer.launch({
    executablePath: config.chromium, headless: true, userDataDir: profile, args,
  });
  try {
    await body(browser);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}

/** A page that records every console error, page error, dialog and request it makes. */
async function watchedPage(browser, width, height) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  const seen = { errors: [], dialogs: [], requests: [], failed: [] };
  page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warn') seen.errors.push(m.text()); });
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  page.on('dialog', async (d) => { seen.dialogs.push(d.message()); await d.dismiss(); });
  page.on('request', (r) => seen.requests.push(r.url()));
  page.on('requestfailed', (r) => seen.failed.push(r.url()));
  return { page, seen };
}

/** Opens the page; it is ready when it shows the match, and then reads prints and views. */
async function open(page, url) {
  await page.goto(url, { waitUntil: 'load' });
  await page.waitForFunction(() => window.touchlineViewer && window.touchlineViewer.state().ready,
    { timeout: 20000 });
  const shown = await state(page);
  await page.waitForFunction(() => window.touchlineViewer.state().debugReady, { timeout: 20000 });
  return { ...(await state(page)), shown };
}

const state = (page) => page.evaluate(() => window.touchlineViewer.state());

async function waitForStep(page, step) {
  await page.waitForFunction((s) => window.touchlineViewer.state().step === s, { timeout: 15000 }, step);
  return state(page);
}

/**
 * Reads the court's pixels from a detached copy, so that the page's own canvas is only drawn:
 * the (r, g, b) at each point (CSS pixels), and how many pixels have the colour count.
 */
function readCourt(page, points, count) {
  return page.evaluate((pts, rgb) => {
    const canvas = document.getElementById('court');
    const copy = document.createElement('canvas');
    copy.width = canvas.width;
    copy.height = canvas.height;
    const g = copy.getContext('2d', { willReadFrequently: true });
    g.drawImage(canvas, 0, 0);
    const ratio = canvas.width / canvas.getBoundingClientRect().width;
    const at = pts.map(([x, y]) => {
      const d = g.getImageData(Math.round(x * ratio), Math.round(y * ratio), 1, 1).data;
      return [d[0], d[1], d[2]];
    });
    let n = 0;
    if (rgb) {
      const d = g.getImageData(0, 0, copy.width, copy.height).data;
      for (let i = 0; i < d.length; i += 4) if (d[i] === rgb[0] && d[i + 1] === rgb[1] && d[i + 2] === rgb[2]) n++;
    }
    return { at, n };
  }, points, count || null);
}

const pixel = async (page, x, y) => (await readCourt(page, [[x, y]])).at[0];
const countColor = async (page, rgb) => (await readCourt(page, [], rgb)).n;

const hex = (color) => [1, 3, 5].map((i) => parseInt(color.slice(i, i + 2), 16));
const TEAM_RGB = [hex('#2563eb'), hex('#dc2626')];
/** The shades of a three-a-side match's robots, by id: each team's colours in order. */
const TEAM_SHADES = ['#2563eb', '#0ea5e9', '#7c3aed', '#dc2626', '#f97316', '#db2777'];

// ---------------------------------------------------------------------------- match

async function matchScenario() {
  const first = freshFolder('match-1');
  const second = freshFolder('match-2');
  const args = ['--steps', '900', '--seed', '6',
    '--home', config.scribbler, config.goalkeeper, config.striker,
    '--away', config.goalkeeper, config.sample, config.striker];
  for (const out of [first, second]) run(config.launcher, [...args, '--out', out]);
  for (const file of ['replay.jsonl', 'replay.html', 'final.png', 'trails.png']) {
    const a = fs.readFileSync(path.join(first, file));
    assert.ok(a.length > 0, `${file} is empty`);
    assert.ok(a.equals(fs.readFileSync(path.join(second, file))), `${file} differs between two runs`);
  }
  const replay = readReplay(path.join(first, 'replay.jsonl'));
  const scribbler = replay.robots.find((r) => r.name === 'scribbler');
  assert.ok(scribbler, 'the scribbler plays');
  const html = fs.readFileSync(path.join(first, 'replay.html'), 'utf8');
  assert.equal(html.match(/<script/g).length, 3, 'the page has its two data parts and its code, no more');
  assert.ok(!html.includes('<img'), 'no print reaches the page as markup');

  await withBrowser(async (browser) => {
    const url = pathToFileURL(path.join(first, 'replay.html')).href;
    const { page, seen } = await watchedPage(browser, 1366, 768);
    const loaded = await open(page, url + '#step=450');

    // The hash opens the match at a moment; robots and ball are where the replay says.
    assert.equal(loaded.step, 450, 'the hash chose the step');
    await checkPositions(page, replay, 450);

    // Slider: a click a quarter along moves there, and the hash follows.
    const slider = await page.$('#slider');
    const box = await slider.boundingBox();
    await page.mouse.click(box.x + box.width / 4, box.y + box.height / 2);
    let s = await state(page);
    assert.ok(Math.abs(s.index - (s.frames - 1) / 4) <= (s.frames - 1) * 0.03,
      `slider at a quarter gave frame ${s.index} of ${s.frames}`);
    assert.equal(await page.evaluate(() => location.hash), `#step=${s.step}`, 'hash follows the slider');
    await checkPositions(page, replay, s.step);

    // Keys: Home, End, arrows, shift+arrows, space.
    const keys = [['Home', 0], ['ArrowRight', 1], ['Shift+ArrowRight', 11], ['ArrowLeft', 10],
      ['Shift+ArrowLeft', 0], ['End', 900]];
    for (const [key, step] of keys) {
      const [modifier, name] = key.includes('+') ? key.split('+') : [null, key];
      if (modifier) await page.keyboard.down(modifier);
      await page.keyboard.press(name);
      if (modifier) await page.keyboard.up(modifier);
      s = await state(page);
      assert.equal(s.step, step, `after ${key}`);
    }
    await page.keyboard.press('Home');
    await page.keyboard.press('Space');
    await page.waitForFunction(() => window.touchlineViewer.state().step >= 10, { timeout: 15000 });
    assert.ok((await state(page)).playing, 'space plays');
    await page.keyboard.press('Space');
    s = await state(page);
    assert.ok(!s.playing, 'space pauses');
    assert.equal(await page.evaluate(() => location.hash), `#step=${s.step}`, 'pausing remembers the step');

    // A changed hash moves the step.
    await page.evaluate(() => { location.hash = '#step=123'; });
    await waitForStep(page, 123);
    await checkPositions(page, replay, 123);

    // The overlay toggle shows and hides the scribbler's views (its line to the ball is magenta).
    await page.evaluate(() => { location.hash = '#step=300'; });
    s = await waitForStep(page, 300);
    const own = s.robots.find((r) => r.id === scribbler.id);
    assert.ok(own.overlay && own.views >= 3, `the scribbler's views are drawn: ${own.views}`);
    const magenta = [255, 0, 255];
    assert.ok(await countColor(page, magenta) > 0, 'magenta line drawn');
    const toggle = `#robots tr[data-robot="${scribbler.id}"] input.overlay`;
    await page.click(toggle);
    s = await state(page);
    assert.equal(s.robots.find((r) => r.id === scribbler.id).views, 0, 'views hidden');
    assert.equal(await countColor(page, magenta), 0, 'no magenta once hidden');
    await page.click(toggle);
    assert.ok((await state(page)).robots.find((r) => r.id === scribbler.id).views >= 3, 'views back');

    // Hostile prints are text: the prints panel shows them literally, nothing ran or appeared.
    await page.click(`#robots tr[data-robot="${scribbler.id}"] td.name`);
    assert.equal((await state(page)).selected, scribbler.id, 'clicking a row selects the robot');
    const prints = await page.$eval('#prints', (e) => e.textContent);
    for (const text of HOSTILE) assert.ok(prints.includes(text), `prints show ${text}`);
    assert.ok(prints.includes('300' + HOSTILE[0]), 'the print of step 300 is shown with its step');
    const received = [...replay.frames.values()].find((f) => f.events.some((e) => e[1] === 'messageReceived'));
    assert.ok(received, 'a message was received');
    const receiver = received.events.find((e) => e[1] === 'messageReceived')[0];
    await page.evaluate((t) => { location.hash = '#step=' + t; }, received.time);
    await waitForStep(page, received.time);
    await page.click(`#robots tr[data-robot="${receiver}"] td.name`);
    const events = await page.$eval('#events', (e) => e.textContent);
    assert.ok(events.includes(`messageReceived from ${scribbler.id}: ${HOSTILE[0]}`), `events: ${events}`);
    const elements = await page.evaluate(() => ({
      img: document.querySelectorAll('img').length,
      script: document.querySelectorAll('script').length,
      prints: document.querySelectorAll('#prints *:not(div):not(span)').length,
    }));
    assert.deepEqual(elements, { img: 0, script: 3, prints: 0 }, 'no element made from a print');
    const ending = await page.$eval('#ending', (e) => e.textContent);
    assert.ok(ending.includes('ending: '), `the ending is shown: ${ending}`);

    // Goals: one marker on the timeline per goal of the end line.
    const marks = await page.$$eval('.goal-mark', (m) => m.map((e) => e.title));
    assert.equal(marks.length, replay.end.goals.length, 'a marker per goal');

    assert.deepEqual(seen.dialogs, [], 'no dialog opened');
    assert.deepEqual(seen.errors, [], 'no console error');
    assert.deepEqual(seen.failed, [], 'no failed request');
    assert.deepEqual([...new Set(seen.requests.map((u) => u.split('#')[0]))], [url],
      'the page fetched nothing but itself');

    // The pictures decode in the browser and have the documented size.
    for (const picture of ['final.png', 'trails.png']) {
      const view = await browser.newPage();
      await view.goto(pathToFileURL(path.join(first, picture)).href);
      const size = await view.$eval('img', (img) => [img.naturalWidth, img.naturalHeight]);
      assert.deepEqual(size, [PICTURE_WIDTH, PICTURE_HEIGHT], `${picture} size`);
      await view.close();
    }
    // A laptop and a phone-sized window both show the whole court.
    for (const [w, h] of [[1280, 720], [800, 900]]) {
      await page.setViewport({ width: w, height: h });
      await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
      s = await state(page);
      const canvas = await page.$eval('#court', (c) => c.getBoundingClientRect().toJSON());
      for (const r of s.robots) {
        assert.ok(r.px >= 0 && r.px <= canvas.width && r.py >= 0 && r.py <= canvas.height,
          `robot ${r.id} inside the canvas at ${w}x${h}`);
      }
    }
  });
}

/** The page's robots and ball at step t equal the frame's, and are drawn there. */
async function checkPositions(page, replay, t) {
  const s = await state(page);
  const frame = replay.frames.get(t);
  assert.equal(s.step, t);
  assert.deepEqual(s.score, frame.score, `score at ${t}`);
  assert.deepEqual([s.ball.x, s.ball.y], frame.ball.slice(0, 2), `ball at ${t}`);
  assert.deepEqual(await pixel(page, s.ball.px, s.ball.py), hex('#f59e0b'), `ball drawn at ${t}`);
  s.robots.forEach((robot, i) => {
    assert.equal(robot.id, replay.robots[i].id);
    assert.deepEqual([robot.x, robot.y, robot.heading], frame.robots[i].slice(0, 3), `robot ${robot.id} at ${t}`);
  });
  // One scale for x and y, y pointing up: the court is drawn to scale, not mirrored or skewed.
  const points = [...s.robots, s.ball];
  const far = points.reduce((a, b) => (Math.abs(b.x - s.ball.x) > Math.abs(a.x - s.ball.x) ? b : a));
  const scale = (far.px - s.ball.px) / (far.x - s.ball.x);
  assert.ok(scale > 0, `x grows to the right: ${scale}`);
  for (const p of points) {
    assert.ok(Math.abs(p.px - s.ball.px - scale * (p.x - s.ball.x)) < 0.01, `x to scale at ${t}`);
    assert.ok(Math.abs(p.py - s.ball.py + scale * (p.y - s.ball.y)) < 0.01, `y up, to scale at ${t}`);
  }
  // Probe each robot's disc behind its centre (away from the heading line and the id), where
  // nothing but the disc is drawn unless another robot or the ball is close.
  for (const [i, robot] of s.robots.entries()) {
    const crowded = s.robots.some((o) => o !== robot && Math.hypot(o.px - robot.px, o.py - robot.py) < 2.2 * robot.pr)
      || Math.hypot(s.ball.px - robot.px, s.ball.py - robot.py) < 2 * robot.pr;
    if (crowded) continue;
    const x = robot.px - 0.5 * robot.pr * Math.cos(robot.heading);
    const y = robot.py + 0.5 * robot.pr * Math.sin(robot.heading);
    assert.deepEqual(await pixel(page, x, y), TEAM_RGB[replay.robots[i].team === replay.header.teams[0].id ? 0 : 1],
      `robot ${robot.id} drawn in its team's colour at ${t}`);
  }
}

// ---------------------------------------------------------------------------- large

/** A 6000-step 5v5 replay, version 2: a print and two views per robot per step. */
function writeLargeReplay(file) {
  const steps = 6000;
  const teams = [0, 1].map((team) => ({
    id: team, name: team === 0 ? 'Home' : 'Away', attack: team === 0 ? 1 : -1,
    robots: [0, 1, 2, 3, 4].map((k) => ({
      id: 1 + 5 * team + k, name: `robot${1 + 5 * team + k}`, radius: 4, maxMoveVelocity: 3, maxTurnVelocity: 0.3,
    })),
  }));
  const out = [JSON.stringify({
    replay: 'touchline', version: 2, steps, seed: 1,
    court: { width: 220, height: 180, goalWidth: 40, goalDepth: 15, cornerWidth: 7, cornerHeight: 7 },
    ball: { radius: 2.1, negativeAcceleration: 0.06 }, teams,
  })];
  let seed = 12345;
  const random = () => { seed = (seed * 1103515245 + 12345) % 2147483648; return seed / 2147483648; };
  const round = (v) => Math.round(v * 10000) / 10000;
  const robots = Array.from({ length: 10 }, (_, i) => ({ x: 20 + 18 * i, y: 20 + 14 * i, h: 0 }));
  const ball = { x: 110, y: 90 };
  const frames = new Map();
  const score = [0, 0];
  const goals = [];
  for (let t = 0; t <= steps; t++) {
    for (const r of robots) {
      r.h = (r.h + (random() - 0.5) * 0.6 + 2 * Math.PI) % (2 * Math.PI);
      r.x = Math.min(210, Math.max(10, r.x + 3 * Math.cos(r.h)));
      r.y = Math.min(170, Math.max(10, r.y + 3 * Math.sin(r.h)));
    }
    ball.x = 110 + 90 * Math.sin(t / 97);
    ball.y = 90 + 70 * Math.sin(t / 61);
    const events = [];
    if (t > 0 && t % 1500 === 0) {
      score[t / 1500 % 2] += 1;
      goals.push({ time: t, team: t / 1500 % 2, scorer: t / 1500 % 2 === 0 ? 3 : 8, ownGoal: false });
      for (let id = 1; id <= 10; id++) events.push([id, 'roundFinish']);
    }
    const frame = {
      time: t, score: [...score], ball: [round(ball.x), round(ball.y), 0, 1],
      robots: robots.map((r) => [round(r.x), round(r.y), round(r.h), 3, 0]), events,
    };
    frames.set(t, frame);
    out.push(JSON.stringify(frame));
    robots.forEach((r, i) => {
      out.push(JSON.stringify({ debug: {
        robot: i + 1, time: t,
        prints: [`robot ${i + 1} at step ${t}: heading ${r.h.toFixed(3)} <b>bold?</b>`],
        views: [
          { type: 'line', showTime: 1, color: 0xff00ff, beginX: round(r.x), beginY: round(r.y),
            endX: round(ball.x), endY: round(ball.y) },
          { type: 'ellipse', showTime: 10, color: 0x00ffff, xRadius: 6, yRadius: 6, fill: false,
            locationX: round(r.x), locationY: round(r.y) },
        ],
      } }));
    });
  }
  out.push(JSON.stringify({ end: {
    time: steps, score, goals, interrupted: false,
    robots: robots.map((_, i) => ({ id: i + 1, ending: 'finished', reason: '', missedSteps: 0, ballTouches: 0,
      distance: 0, droppedPrints: 0, droppedViews: 0 })),
  } }));
  fs.writeFileSync(file, out.join('\n') + '\n');
  return frames;
}

/** CPU time (ms) used so far by a process and all its descendants, from /proc. */
function treeCpuMs(root) {
  const parents = new Map();
  const cpu = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    let stat;
    try { stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8'); } catch { continue; }
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    parents.set(Number(name), Number(fields[1]));
    cpu.set(Number(name), (Number(fields[11]) + Number(fields[12])) * 10);
  }
  let total = 0;
  for (const [pid, ms] of cpu) {
    for (let p = pid; p > 1; p = parents.get(p)) {
      if (p === root) { total += ms; break; }
      if (!parents.has(p)) break;
    }
  }
  return total;
}

/**
 * Tasks waiting for or running on a core besides this one, on average over a second (from the
 * runnable count in /proc/loadavg). A machine with more of them than cores times everything
 * longer than it is.
 */
async function otherRunnable() {
  let sum = 0;
  for (let i = 0; i < 10; i++) {
    sum += Number(fs.readFileSync('/proc/loadavg', 'utf8').split(' ')[3].split('/')[0]) - 1;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  return sum / 10;
}

async function largeScenario() {
  const folder = freshFolder('large');
  const replayFile = path.join(folder, 'replay.jsonl');
  const frames = writeLargeReplay(replayFile);
  const began = Date.now();
  run(config.java, ['-Djava.awt.headless=true', '-Xmx256m', '-cp', config.hostJar,
    'touchline.host.replay.ReplayOutputs', replayFile]);
  const hostMs = Date.now() - began;
  const figures = {
    replayMB: +(fs.statSync(replayFile).size / 1e6).toFixed(1),
    pageMB: +(fs.statSync(path.join(folder, 'replay.html')).size / 1e6).toFixed(1),
    hostWritesMs: hostMs,
  };
  await withBrowser(async (browser) => {
    const { page, seen } = await watchedPage(browser, 1366, 768);
    const url = pathToFileURL(path.join(folder, 'replay.html')).href;
    figures.runnable = await otherRunnable();
    const cpuBefore = treeCpuMs(browser.process().pid);
    const loaded = await open(page, url + '#step=5000');
    figures.openMs = Math.round(loaded.shown.loadMs);
    figures.debugReadMs = Math.round(loaded.debugMs);
    figures.chromiumCpuMs = treeCpuMs(browser.process().pid) - cpuBefore;
    assert.equal(loaded.version, 2);
    assert.equal(loaded.frames, 6001);
    const frame = frames.get(5000);
    loaded.robots.forEach((r, i) => assert.deepEqual([r.x, r.y], frame.robots[i].slice(0, 2), `robot ${r.id}`));
    // Each robot's line of this step, and its circles of this step and the nine before.
    assert.deepEqual(loaded.robots.map((r) => r.views), Array(10).fill(11), 'views shown at a step');
    assert.equal(loaded.goals, 4);

    // Play with every overlay and every trail on: the heaviest drawing the page does.
    await page.$$eval('#robots input.trail', (boxes) => boxes.forEach((b) => b.click()));
    for (const speed of ['1', '16']) {
      await page.keyboard.press('Home');
      await page.select('#speed', speed);
      await page.evaluate(() => window.touchlineViewer.resetStats());
      await page.keyboard.press('Space');
      await new Promise((r) => setTimeout(r, 3000));
      await page.keyboard.press('Space');
      const stats = await page.evaluate(() => window.touchlineViewer.stats());
      figures[`play${speed}x`] = {
        fps: +(1000 / stats.intervalMean).toFixed(1), frameP95Ms: +stats.intervalP95.toFixed(1),
        drawMeanMs: +stats.drawMean.toFixed(2), drawP95Ms: +stats.drawP95.toFixed(2), draws: stats.draws,
      };
    }
    assert.deepEqual(seen.errors, [], 'no console error');
    assert.deepEqual(seen.dialogs, [], 'no dialog');
  });
  console.log('figures: ' + JSON.stringify(figures));
  // Drawing a frame always counts. The clock (opening time, frame rate) only on a machine that
  // is not oversubscribed (other builds running beside the test), where waiting for a core
  // would be measured too: there the figures are printed and a note says they were not held.
  for (const speed of ['1', '16']) {
    const play = figures[`play${speed}x`];
    assert.ok(play.drawP95Ms < 16, `a frame draws within a 60 Hz frame at ${speed}x: ${play.drawP95Ms}`);
  }
  if (figures.runnable > os.cpus().length) {
    console.log(`NOTE: ${figures.runnable} other tasks runnable on ${os.cpus().length} cores: `
      + 'opening time and frame rate were measured but not held to 2 s and 60 fps');
    return;
  }
  assert.ok(figures.openMs < 2000, `opens in under 2 s: ${figures.openMs} ms`);
  for (const speed of ['1', '16']) {
    const play = figures[`play${speed}x`];
    assert.ok(play.fps >= 55, `plays at 60 fps at ${speed}x: ${play.fps}`);
  }
}


// ---------------------------------------------------------------------------- live

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/** Starts touchline-match; resolves with the process and the live address it printed. */
function startLive(args) {
  const child = spawn(config.launcher, args, { stdio: ['ignore', 'pipe', 'pipe'] });
  const output = { out: '', err: '' };
  child.stdout.on('data', (d) => { output.out += d; });
  const exited = new Promise((resolve) => child.on('exit', (code) => resolve(code)));
  const address = new Promise((resolve, reject) => {
    child.stderr.on('data', (d) => {
      output.err += d;
      const m = /watch it live: (http:\/\/127\.0\.0\.1:\d+\/)/.exec(output.err);
      if (m) resolve(m[1]);
    });
    exited.then((code) => reject(new Error(`exited ${code} before serving:\n${output.err}`)));
  });
  return { child, output, exited, address };
}

/** One request to the live server with the headers given: status, type and body. */
function request(url, path, headers) {
  return new Promise((resolve, reject) => {
    const req = http.get(new URL(path, url), { headers }, (res) => {
      let body = '';
      res.on('data', (d) => { body += d; });
      res.on('end', () => resolve({ status: res.statusCode, type: res.headers['content-type'], body }));
    });
    req.on('error', reject);
  });
}

async function liveScenario() {
  const steps = 5000;
  const match = ['--steps', String(steps), '--seed', '3',
    '--home', config.crasher, config.dawdler, config.dawdler, config.sample, config.striker,
    '--away', config.goalkeeper, config.dawdler, config.dawdler, config.sample, config.chaser];
  const liveOut = freshFolder('live-on');
  const plainOut = freshFolder('live-off');
  const watched = startLive([...match, '--out', liveOut, '--live']);
  const url = await watched.address;
  const port = new URL(url).port;

  // Only requests that name this server by a loopback name get an answer.
  const foreign = [
    ['/', { Host: `evil.example:${port}` }], ['/stream', { Host: `evil.example:${port}` }],
    ['/stream', { Host: `127.0.0.1:${port}`, Origin: 'http://evil.example' }],
    ['/', { Host: `localhost:${Number(port) + 1}` }],
  ];
  for (const [where, headers] of foreign) {
    assert.equal((await request(url, where, headers)).status, 403, `${where} ${JSON.stringify(headers)}`);
  }
  const own = await request(url, '/', { Host: `localhost:${port}` });
  assert.equal(own.status, 200);
  assert.match(own.type, /^text\/html/);

  // A client that asks for the stream and never reads it.
  const stalled = net.connect(Number(port), '127.0.0.1');
  stalled.on('error', () => {});
  stalled.write(`GET /stream HTTP/1.1\r\nHost: 127.0.0.1:${port}\r\n\r\n`);
  stalled.pause();

  let timing;
  let finalPage;
  await withBrowser(async (browser) => {
    const { page, seen } = await watchedPage(browser, 1366, 768);
    await page.goto(url, { waitUntil: 'load' });
    await page.waitForFunction(() => window.touchlineViewer.state().ready, { timeout: 60000 });
    let s = await state(page);
    assert.ok(s.live && s.live.following, 'a live page follows the match');
    const first = s.step;
    await sleep(1500);
    s = await state(page);
    assert.ok(s.step > first, `the step shown advances while the match plays: ${first} -> ${s.step}`);
    assert.ok(!s.live.over, 'the match lasts long enough to be watched');

    // Pause: the step stays while the match goes on.
    await page.keyboard.press('Space');
    const paused = await state(page);
    assert.ok(!paused.live.following, 'space stops following');
    await page.waitForFunction((n) => window.touchlineViewer.state().live.newest > n + 100,
      { timeout: 20000 }, paused.live.newest);
    s = await state(page);
    assert.equal(s.step, paused.step, 'paused, the page stays at its step while the match goes on');
    assert.equal(s.frames, s.live.newest + 1, 'paused, the page reads every step');
    // The crash (robot 1 at step 300) is marked while the match still plays.
    await page.waitForFunction(() => window.touchlineViewer.state().endings['1'], { timeout: 20000 });
    s = await state(page);
    assert.ok(!s.live.over, 'the crash is known before the match ends');
    assert.equal(s.endings['1'].ending, 'crashed');
    assert.equal(s.endings['1'].from, 301, 'live, the crashed robot stands still from step 301');

    // Scrub back with the slider, then the keys; then back to live.
    const slider = await (await page.$('#slider')).boundingBox();
    await page.mouse.click(slider.x + slider.width / 4, slider.y + slider.height / 2);
    s = await state(page);
    assert.ok(s.step < paused.step && !s.live.following, `the slider went back to ${s.step}`);
    await page.keyboard.press('Home');
    assert.equal((await state(page)).step, 0, 'Home goes to the kick-off');
    await page.click('#live');
    await page.waitForFunction(() => window.touchlineViewer.state().step > 0, { timeout: 5000 });
    s = await state(page);
    assert.ok(s.live.following && s.step >= paused.step, `back to live at ${s.step}`);

    // A second page watches too; the first leaves: the match neither stops nor slows.
    const second = await watchedPage(browser, 1024, 700);
    await second.page.goto(url, { waitUntil: 'load' });
    await second.page.waitForFunction(() => window.touchlineViewer.state().ready, { timeout: 20000 });
    const rate = async () => {
      const a = (await state(second.page)).live.newest;
      const began = Date.now();
      await sleep(2000);
      return ((await state(second.page)).live.newest - a) / ((Date.now() - began) / 1000);
    };
    const before = await rate();
    await page.close();
    const left = await rate();
    timing = { watchedStepsPerSecond: Math.round(before), afterClosingStepsPerSecond: Math.round(left) };
    assert.ok(left > 0.6 * before, `the match slowed when a page left: ${JSON.stringify(timing)}`);

    await second.page.waitForFunction(() => window.touchlineViewer.state().live.over, { timeout: 120000 });
    finalPage = await state(second.page);
    await checkCrash(second.page, finalPage, path.join(liveOut, 'replay.jsonl'));
    assert.deepEqual(seen.errors.concat(second.seen.errors), [], 'no console error');
  });
  const code = await watched.exited;
  stalled.destroy();
  assert.equal(code, 0, `the live match exited ${code}:\n${watched.output.err}`);
  assert.equal(finalPage.frames, steps + 1, 'the page that came late has every frame');

  // The same match without --live writes the same bytes.
  run(config.launcher, [...match, '--out', plainOut]);
  for (const file of ['replay.jsonl', 'replay.html', 'summary.txt', 'summary.json', 'final.png', 'trails.png']) {
    assert.ok(fs.readFileSync(path.join(liveOut, file)).equals(fs.readFileSync(path.join(plainOut, file))),
      `${file} is the same with and without --live`);
  }
  console.log('figures: ' + JSON.stringify(timing));
}

/**
 * The crashed robot (robot 1, which drives until it looks at step 300): its ending and the step
 * it stood still from, its mark on the timeline and where clicking it goes, grey on the court
 * from that step on, and its reason on hover.
 */
async function checkCrash(page, s, replayFile) {
  const replay = readReplay(replayFile);
  const outcome = replay.end.robots.find((r) => r.id === 1);
  assert.equal(outcome.ending, 'crashed');
  assert.equal(outcome.stillFrom, 301, 'the replay says when the crashed robot stood still');
  assert.deepEqual(s.endings['1'], { ending: 'crashed', reason: outcome.reason, from: 301 });
  const marks = s.marks.filter((m) => m.kind === 'ending-mark');
  assert.equal(marks.length, 1, 'one ending on the timeline');
  // The goals, listed and marked one by one as they came, are the end line's, in order.
  const goals = await page.evaluate(() => ({
    marked: [...document.querySelectorAll('#marks .goal-mark')].map((m) => Number(m.dataset.step)),
    listed: [...document.querySelectorAll('#goals li')].map((li) => li.textContent),
  }));
  const times = replay.end.goals.map((g) => g.time);
  assert.deepEqual(goals.marked, times, 'a mark per goal');
  assert.deepEqual(goals.listed.map((t) => (t === 'none' ? t : Number(/^step (\d+)/.exec(t)[1]))),
    times.length ? times : ['none'], 'the goals listed');
  assert.ok(marks[0].title.includes('crashed') && marks[0].title.includes(outcome.reason), marks[0].title);
  await page.click('#marks .ending-mark');
  let now = await state(page);
  assert.equal(now.step, 301, 'clicking the mark goes to the step');
  const robot = now.robots[0];
  assert.ok(robot.ended, 'drawn as ended from that step');
  // Grey where the cross and the heading line are not: the cardinal direction farthest from it.
  const away = [0, 0.5, 1, 1.5].map((k) => k * Math.PI)
    .sort((a, b) => Math.cos(a - robot.heading) - Math.cos(b - robot.heading))[0];
  const probe = [robot.px + 0.5 * robot.pr * Math.cos(away), robot.py - 0.5 * robot.pr * Math.sin(away)];
  const crowded = now.robots.some((o) => o !== robot && Math.hypot(o.px - robot.px, o.py - robot.py) < 2.2 * robot.pr)
    || Math.hypot(now.ball.px - robot.px, now.ball.py - robot.py) < 2 * robot.pr;
  if (!crowded) assert.deepEqual(await pixel(page, ...probe), hex('#6b7280'), 'an ended robot is grey');
  const canvas = await (await page.$('#court')).boundingBox();
  await page.mouse.move(canvas.x + robot.px, canvas.y + robot.py);
  const title = await page.$eval('#court', (c) => c.title);
  assert.ok(title.includes('crashed') && title.includes(outcome.reason), `hover: ${title}`);
  await page.keyboard.press('ArrowLeft');
  now = await state(page);
  assert.ok(!now.robots[0].ended, 'not ended the step before');
  const panel = await page.$eval('#ending', (e) => e.textContent);
  assert.ok(/distance \d+\.\d\b/.test(panel), `distances to one decimal: ${panel}`);
}


// ---------------------------------------------------------------------------- compare

/** The first time at which two replays' frames differ (ball, robots, score), or null. */
function firstDifference(a, b) {
  for (const [t, frame] of a.frames) {
    const other = b.frames.get(t);
    if (!other) continue;
    const same = JSON.stringify([frame.score, frame.ball.slice(0, 2), frame.robots.map((r) => r.slice(0, 3))])
      === JSON.stringify([other.score, other.ball.slice(0, 2), other.robots.map((r) => r.slice(0, 3))]);
    if (!same) return t;
  }
  return null;
}

async function compareScenario() {
  // Two runs on one seed whose robot 1 misbehaves at step 300 in one and at step 30 in the other.
  const first = freshFolder('compare-1');
  const second = freshFolder('compare-2');
  const teams = (faulty) => ['--steps', '600', '--seed', '4', '--home', faulty, config.scribbler,
    config.striker, '--away', config.goalkeeper, config.sample, config.chaser];
  run(config.launcher, [...teams(config.crasher), '--out', first]);
  run(config.launcher, [...teams(config.earlyCrasher), '--out', second, '--compare', first]);
  const a = readReplay(path.join(first, 'replay.jsonl'));
  const b = readReplay(path.join(second, 'replay.jsonl'));
  const differs = firstDifference(b, a);
  assert.ok(differs > 0, `the runs are alike at first, then differ: ${differs}`);
  // Each crash is told as it happens, with the step the end line gives.
  for (const r of [a, b]) {
    assert.deepEqual(r.ended.map((e) => [e.robot, e.time, e.ending]),
      [[1, r.end.robots[0].stillFrom, 'crashed']], 'one ended line per early ending');
  }

  await withBrowser(async (browser) => {
    // The page of --compare carries the first run: ghosts where it was, the first difference.
    const { page, seen } = await watchedPage(browser, 1366, 768);
    await open(page, pathToFileURL(path.join(second, 'replay.html')).href + '#200');
    let s = await state(page);
    assert.equal(s.step, 200, 'a bare #N opens step N');
    assert.equal(s.compare.differs, differs, 'the first difference');
    assert.ok(s.compare.note.includes(`first differ at step ${differs}`), s.compare.note);
    const mark = s.marks.find((m) => m.kind === 'diff-mark');
    assert.equal(mark && mark.step, differs, 'the difference is marked on the timeline');
    await page.click('#marks .diff-mark');
    s = await state(page);
    assert.equal(s.step, differs);
    const then = a.frames.get(differs);
    s.compare.ghosts.filter((g) => g.id !== 'ball').forEach((g, i) => {
      assert.deepEqual([g.x, g.y], then.robots[i].slice(0, 2), `ghost of robot ${g.id}`);
    });
    const ball = s.compare.ghosts.find((g) => g.id === 'ball');
    assert.deepEqual([ball.x, ball.y], then.ball.slice(0, 2), 'the ghost of the ball');

    // A replay dropped on the first run's page is compared the same way.
    const other = await watchedPage(browser, 1366, 768);
    await open(other.page, pathToFileURL(path.join(first, 'replay.html')).href);
    const text = fs.readFileSync(path.join(second, 'replay.jsonl'), 'utf8');
    await other.page.evaluate((content) => {
      const data = new DataTransfer();
      data.items.add(new File([content], 'replay.jsonl', { type: 'application/json' }));
      document.getElementById('court').dispatchEvent(new DragEvent('drop', { dataTransfer: data, bubbles: true, cancelable: true }));
    }, text);
    await other.page.waitForFunction(() => window.touchlineViewer.state().compare !== null, { timeout: 10000 });
    assert.equal((await state(other.page)).compare.differs, differs, 'a dropped replay is compared');
    await other.page.close();

    // Follow the scribbler (robot 2): the court zooms and centres on it; its print beside it.
    await page.keyboard.press('Home');
    await page.evaluate(() => { location.hash = '#450'; });
    await waitForStep(page, 450);
    await page.click('#robots tr[data-robot="2"] td.name');
    await page.keyboard.press('f');
    await page.click('#bubble');
    s = await state(page);
    const followed = s.robots.find((r) => r.id === 2);
    assert.ok(s.follow && s.zoom > 1, 'the court follows the robot, nearer');
    assert.ok(Math.abs(followed.px - s.canvas.width / 2) < 1 && Math.abs(followed.py - s.canvas.height / 2) < 1,
      'centred on it');
    const prints = b.debug.filter((d) => d.robot === 2 && d.time <= 450).flatMap((d) => d.prints);
    const latest = prints[prints.length - 1];
    assert.equal(s.bubble.text, latest.length > 80 ? latest.slice(0, 79) + '\u2026' : latest,
      'its latest print beside it, as text');
    assert.ok(s.bubble.x >= 0 && s.bubble.x + s.bubble.w <= s.canvas.width, 'the print stays on the canvas');

    // Its prints on the timeline: a click on the strip goes to one of them.
    const strip = await (await page.$('#print-marks')).boundingBox();
    await page.mouse.click(strip.x + strip.width * 0.25, strip.y + strip.height / 2);
    s = await state(page);
    const times = new Set(b.debug.filter((d) => d.robot === 2 && d.prints.length > 0).map((d) => d.time));
    assert.ok(times.has(s.step) && Math.abs(s.step - 450) > 100, `the strip went to a print: ${s.step}`);
    await page.keyboard.press('f');
    await page.click('#bubble');

    // A small window: every label inside the canvas and apart from the others; team mates in
    // shades of their own; the goalkeeper's green guard line stands out from the green court.
    await page.setViewport({ width: 800, height: 600 });
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
    for (const t of [0, 100, 300, 599]) {
      await page.evaluate((n) => { location.hash = '#' + n; }, t);
      s = await waitForStep(page, t);
      const labels = s.robots.map((r) => r.label);
      for (const [i, l] of labels.entries()) {
        assert.ok(l.x >= 0 && l.y >= 0 && l.x + l.w <= s.canvas.width + 0.01 && l.y + l.h <= s.canvas.height + 0.01,
          `label ${s.robots[i].id} inside the canvas at ${t}`);
        for (const m of labels.slice(i + 1)) {
          assert.ok(!(l.x < m.x + m.w && m.x < l.x + l.w && l.y < m.y + m.h && m.y < l.y + l.h),
            `labels apart at ${t}`);
        }
      }
    }
    s = await waitForStep(page, 599);
    const near = (x, y, reach) => s.robots.some((r) => Math.hypot(r.px - x, r.py - y) < reach * r.pr)
      || Math.hypot(s.ball.px - x, s.ball.py - y) < 8;
    for (const r of s.robots.slice(1, 3)) {
      if (s.robots.some((o) => o !== r && Math.hypot(o.px - r.px, o.py - r.py) < 2.2 * r.pr)) continue;
      const ring = [r.px + 0.82 * r.pr * Math.cos(r.heading + Math.PI), r.py - 0.82 * r.pr * Math.sin(r.heading + Math.PI)];
      const own = TEAM_SHADES[r.id - 1];
      assert.deepEqual(await pixel(page, ...ring), hex(own), `robot ${r.id} wears its own shade on the court`);
    }
    const guard = b.debug.find((d) => d.robot === 4 && d.views.some((v) => v.color === 0x2e8b57));
    const line = guard.views.find((v) => v.color === 0x2e8b57);
    await page.evaluate((n) => { location.hash = '#' + n; }, guard.time);
    s = await waitForStep(page, guard.time);
    const far = s.robots.reduce((p, q) => (Math.abs(q.x - s.ball.x) > Math.abs(p.x - s.ball.x) ? q : p));
    const scale = (far.px - s.ball.px) / (far.x - s.ball.x);
    const x = s.ball.px + scale * (line.beginX - s.ball.x);
    const y = [0.1, 0.25, 0.75, 0.9].map((f) => s.ball.py - scale * (line.beginY + f * (line.endY - line.beginY) - s.ball.y))
      .find((v) => !near(x, v, 2.5));
    const across = (await readCourt(page, [-3, -2, -1, 0, 1, 2, 3].map((d) => [x + d, y]))).at;
    const contrast = Math.max(...across.map(([r, g, bl]) => Math.abs(0.299 * r + 0.587 * g + 0.114 * bl - 95)));
    assert.ok(contrast > 80, `the guard line stands out from the court: ${JSON.stringify(across)}`);
    assert.deepEqual(seen.errors, [], 'no console error');
  });
}

// ---------------------------------------------------------------------------- main

const scenarios = { match: matchScenario, large: largeScenario, live: liveScenario, compare: compareScenario };
if (!scenarios[scenario]) {
  console.error(`usage: replay-page.mjs CONFIG.json ${Object.keys(scenarios).join('|')}`);
  process.exit(2);
}
try {
  await scenarios[scenario]();
  console.log(`PASS ${scenario}\n1 passed, 0 failed`);
} catch (e) {
  console.log(`FAIL ${scenario}\n${e.stack}\n0 passed, 1 failed`);
  process.exitCode = 1;
}
