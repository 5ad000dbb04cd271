// The live view's cost to a match: steps per second of the sample against itself, 5 v 5,
// played with --live and no page, with --live and a page that follows it (headless Chromium,
// Debian's, through the browser tests' puppeteer-core), and without --live; each timed from the
// first step to the last and over its second half (TOUCHLINE_TIMING_FILE), the kinds in turn,
// ROUNDS times.
//
//   node bench/live-bench.mjs BUILD [ROUNDS] [STEPS] [--out] [--pair]
//
// With --out the matches also write their files (the live view then shares the replay's
// lines); with --pair only the two --live kinds are played. Prints each run and the medians.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';

const [build, roundsText, stepsText] = process.argv.slice(2).filter((a) => !a.startsWith('--'));
const withOut = process.argv.includes('--out');
const pairOnly = process.argv.includes('--pair');
const rounds = Number(roundsText || 5);
const steps = Number(stepsText || 20000);
const config = JSON.parse(fs.readFileSync(path.join(build, 'tests/browser/browser-tests.json'), 'utf8'));
const require = createRequire(path.join(config.driver, 'package.json'));
const puppeteer = require('puppeteer-core');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'touchline-live-bench-'));

/**
 * The CPU seconds (user and system, with the children already reaped) of a process and all
 * its descendants, from /proc: the browser's share of the machine while it shows the match.
 */
function treeSeconds(root) {
  const parent = new Map();
  const ticks = new Map();
  for (const name of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(name)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${name}/stat`, 'utf8');
      const f = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parent.set(Number(name), Number(f[1]));
      ticks.set(Number(name), Number(f[11]) + Number(f[12]) + Number(f[13]) + Number(f[14]));
    } catch {
      // gone meanwhile
    }
  }
  let sum = 0;
  for (const [pid, t] of ticks) {
    for (let p = pid; p > 1; p = parent.get(p) ?? 0) {
      if (p === root) { sum += t; break; }
    }
  }
  return sum / 100;
}

/**
 * Waits until the browser is quiet (under 3 % of a core over a third of a second, at most
 * 10 s): a page just closed, or the browser just started, would otherwise still be working
 * through the next match, which would count against the run without a page.
 */
async function quiet(browser) {
  const began = Date.now();
  for (;;) {
    const before = treeSeconds(browser.process().pid);
    await new Promise((resolve) => setTimeout(resolve, 333));
    const share = (treeSeconds(browser.process().pid) - before) / 0.333;
    if (share < 0.03 || Date.now() - began > 10000) return;
  }
}

/** One match; with a page, one that opens as soon as the address is printed. */
async function play(kind, browser) {
  await quiet(browser);
  const cpuBefore = { browser: treeSeconds(browser.process().pid), node: process.cpuUsage() };
  const wallBefore = Date.now();
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
  // The CPU counted up to the match's last step: after it, a page that followed reads every
  // line it skipped, which costs the browser seconds but no step.
  let cpu = null;
  const lastStep = setInterval(() => {
    if (cpu === null && fs.existsSync(timing) && fs.readFileSync(timing, 'utf8').includes('last ')) {
      cpu = cpuSince();
    }
  }, 50);
  function cpuSince() {
    const wall = (Date.now() - wallBefore) / 1000;
    const node = process.cpuUsage(cpuBefore.node);
    return {
      browser: (treeSeconds(browser.process().pid) - cpuBefore.browser) / wall,
      driver: (node.user + node.system) / 1e6 / wall,
    };
  }
  await new Promise((resolve) => child.on('exit', resolve));
  clearInterval(lastStep);
  if (cpu === null) cpu = cpuSince();
  let seen = null;
  if (page) {
    seen = await page.evaluate(() => window.touchlineViewer.state().step);
    await page.close();
  }
  const times = Object.fromEntries(fs.readFileSync(timing, 'utf8').trim().split('\n').map((l) => l.split(' ')));
  return {
    rate: (steps - 1) / (Number(times.last) - Number(times.first)),
    // The second half: the page has long been loaded and both JVMs have compiled what is hot.
    late: (steps - Math.floor(steps / 2)) / (Number(times.last) - Number(times.half)),
    seen,
    cpu,
  };
}

const median = (v) => {
  const s = [...v].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

const browser = await puppeteer.launch({
  executablePath: config.chromium, headless: true,
  args: ['--disable-gpu', '--no-first-run', ...(process.getuid() === 0 ? ['--no-sandbox'] : [])],
});
const kinds = pairOnly ? ['no page', 'page'] : ['no --live', 'no page', 'page'];
const rates = Object.fromEntries(kinds.map((kind) => [kind, []]));
const lateRates = Object.fromEntries(kinds.map((kind) => [kind, []]));
try {
  for (let round = 0; round < rounds; round++) {
    for (const kind of Object.keys(rates)) {
      const { rate, late, seen, cpu } = await play(kind, browser);
      rates[kind].push(rate);
      lateRates[kind].push(late);
      console.log(`round ${round + 1} ${kind}: ${rate.toFixed(0)} steps/s, second half ${late.toFixed(0)}`
        + (seen === null ? '' : `, the page showed step ${seen} at the end`)
        + `; CPU to the last step, share of a core: Chromium ${(100 * cpu.browser).toFixed(1)} %,`
        + ` this driver ${(100 * cpu.driver).toFixed(1)} %`);
    }
  }
} finally {
  await browser.close();
  fs.rmSync(work, { recursive: true, force: true });
}

function report(title, table) {
  console.log(title);
  for (const [kind, values] of Object.entries(table)) {
    console.log(`  ${kind}: median ${median(values).toFixed(0)} [${Math.min(...values).toFixed(0)}, `
      + `${Math.max(...values).toFixed(0)}] steps/s`);
  }
  console.log(`  with a page / without: ${(100 * median(table.page) / median(table['no page'])).toFixed(1)} %`);
  // Each round's page run against the run just before it, which met the same load: on a
  // machine whose speed swings by a tenth from run to run, the median of these is steadier.
  const paired = table.page.map((rate, round) => rate / table['no page'][round]);
  console.log(`  with a page / without, round by round: ${paired.map((r) => r.toFixed(2)).join(', ')}; `
    + `median ${(100 * median(paired)).toFixed(1)} %`);
}
report('the whole match, first step to last:', rates);
report('its second half (the page loaded, the JIT warm):', lateRates);
