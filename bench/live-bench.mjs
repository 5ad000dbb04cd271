// The live view's cost to a match: steps per second of the sample against itself, 5 v 5,
// played with --live and no page, with --live and a page that follows it (headless Chromium,
// Debian's, through the browser tests' puppeteer-core), and without --live; each timed from the
// first step to the last (TOUCHLINE_TIMING_FILE), the three kinds in turn, ROUNDS times.
//
//   node bench/live-bench.mjs BUILD [ROUNDS] [STEPS] [--out]
//
// With --out the matches also write their files (the live view then shares the replay's
// lines). Prints each run and the medians.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

const [build, roundsText, stepsText] = process.argv.slice(2).filter((a) => !a.startsWith('--'));
const withOut = process.argv.includes('--out');
const rounds = Number(roundsText || 5);
const steps = Number(stepsText || 20000);
const config = JSON.parse(fs.readFileSync(path.join(build, 'tests/browser/browser-tests.json'), 'utf8'));
const require = createRequire(path.join(config.driver, 'package.json'));
const puppeteer = require('puppeteer-core');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'touchline-live-bench-'));

/** One match; with a page, one that opens as soon as the address is printed. */
async function play(kind, browser) {
  const timing = path.join(work, 'timing');
  fs.rmSync(timing, { force: true });
  const args = ['--steps', String(steps), '--home', config.sample, '--away', config.sample, '--robots', '5'];
  if (kind !== 'no --live') args.push('--live');
  if (withOut) args.push('--out', path.join(work, 'out'));
  const child = spawn(config.launcher, args, {
    stdio: ['ignore', 'ignore', 'pipe'], env: { ...process.env, TOUCHLINE_TIMING_FILE: timing },
  });
  let err = '';
  let page = null;
  child.stderr.on('data', async (d) => {
    err += d;
    const m = /watch it live: (\S+)/.exec(err);
    if (m && kind === 'page' && page === null) {
      page = await browser.newPage();
      await page.setViewport({ width: 1366, height: 768 });
      await page.goto(m[1]);
    }
  });
  await new Promise((resolve) => child.on('exit', resolve));
  let seen = null;
  if (page) {
    seen = await page.evaluate(() => window.touchlineViewer.state().step);
    await page.close();
  }
  const times = Object.fromEntries(fs.readFileSync(timing, 'utf8').trim().split('\n').map((l) => l.split(' ')));
  return { rate: (steps - 1) / (Number(times.last) - Number(times.first)), seen };
}

const median = (v) => {
  const s = [...v].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

const browser = await puppeteer.launch({
  executablePath: config.chromium, headless: true,
  args: ['--disable-gpu', '--no-first-run', ...(process.getuid() === 0 ? ['--no-sandbox'] : [])],
});
const rates = { 'no --live': [], 'no page': [], page: [] };
try {
  for (let round = 0; round < rounds; round++) {
    for (const kind of Object.keys(rates)) {
      const { rate, seen } = await play(kind, browser);
      rates[kind].push(rate);
      console.log(`round ${round + 1} ${kind}: ${rate.toFixed(0)} steps/s`
        + (seen === null ? '' : `, the page showed step ${seen} at the end`));
    }
  }
} finally {
  await browser.close();
  fs.rmSync(work, { recursive: true, force: true });
}
for (const [kind, values] of Object.entries(rates)) {
  console.log(`${kind}: median ${median(values).toFixed(0)} [${Math.min(...values).toFixed(0)}, `
    + `${Math.max(...values).toFixed(0)}] steps/s`);
}
const ratio = median(rates.page) / median(rates['no page']);
console.log(`with a page / without: ${(100 * ratio).toFixed(1)} %`);
// Each round's page run against the run just before it, which met the same load: on a machine
// whose speed swings by a tenth from run to run, the median of these is the steadier figure.
const paired = rates.page.map((rate, round) => rate / rates['no page'][round]);
console.log(`with a page / without, round by round: ${paired.map((r) => r.toFixed(2)).join(', ')}; `
  + `median ${(100 * median(paired)).toFixed(1)} %`);
