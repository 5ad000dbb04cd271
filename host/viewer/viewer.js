// The replay page: reads the replay embedded in the page (docs/host.md, "The replay", versions 1
// and 2), indexes it once, and draws the court on a canvas at the chosen step. Everything a
// strategy controls (names, prints, messages, text views) reaches the page only through
// textContent or canvas text, never as markup.
'use strict';

(function () {
  const TEAM_COLORS = [
    ['#2563eb', '#0ea5e9', '#7c3aed', '#14b8a6', '#1e3a8a'],
    ['#dc2626', '#f97316', '#db2777', '#ca8a04', '#7f1d1d'],
  ];
  /** Steps per second at speed 1x. */
  const STEPS_PER_SECOND = 60;
  /** A trail shows the last 3 seconds at 1x. */
  const TRAIL_STEPS = 3 * STEPS_PER_SECOND;
  /** The prints panel shows the newest this many prints at or before the step. */
  const PRINTS_SHOWN = 200;
  /** Per robot and step at most this many views are drawn, the newest first. */
  const VIEWS_DRAWN = 1000;
  /** While playing, the side panel is brought up to date at most this often (ms). */
  const PANEL_INTERVAL = 250;
  const MARGIN = 5;

  const $ = (id) => document.getElementById(id);

  // ------------------------------------------------------------------ reading the replay

  class ReplayError extends Error {}

  /** Parses the JSON lines and builds the indexes the drawing needs. */
  function readReplay(text) {
    const lines = text.split('\n');
    let header = null;
    let end = null;
    const frames = new Frames();
    const looseDebug = [];
    for (let n = 0; n < lines.length; n++) {
      const line = lines[n].trim();
      if (line === '') continue;
      let object;
      try {
        object = JSON.parse(line);
      } catch (e) {
        throw new ReplayError('line ' + (n + 1) + ' is not JSON: ' + e.message);
      }
      if (header === null) {
        header = readHeader(object);
        frames.begin(header);
      } else if (object.debug !== undefined) {
        if (object.debug) looseDebug.push(object.debug);
      } else if (object.end !== undefined) {
        end = object.end;
      } else if (object.time !== undefined) {
        frames.add(object);
      }
    }
    if (header === null) throw new ReplayError('the replay is empty');
    if (frames.count === 0) throw new ReplayError('the replay has no frame');
    frames.finish();
    const goals = end && Array.isArray(end.goals) ? end.goals : goalsFromScores(frames);
    return { header, frames, debug: new Map(), looseDebug, end, goals };
  }

  function readHeader(h) {
    if (h.replay !== 'touchline') throw new ReplayError('not a Touchline replay');
    if (h.version !== 1 && h.version !== 2) {
      throw new ReplayError('replay version ' + h.version + ' is not one this page reads (1, 2)');
    }
    const robots = [];
    h.teams.forEach((team, teamIndex) => {
      team.robots.forEach((robot, place) => {
        robots.push({
          id: robot.id, name: String(robot.name), radius: robot.radius, teamIndex, place,
          team: team.id, teamName: String(team.name),
          color: TEAM_COLORS[teamIndex % 2][0],
          ownColor: TEAM_COLORS[teamIndex % 2][place % 5],
        });
      });
    });
    return {
      version: h.version, steps: h.steps, court: h.court, ballRadius: h.ball.radius,
      teams: h.teams, robots,
    };
  }

  /** Frames in typed arrays: ball x and y, robots x, y, heading; events kept where present. */
  class Frames {
    begin(header) {
      this.robotCount = header.robots.length;
      this.count = 0;
      // A replay cut short has fewer frames than its header's steps: start small, then grow.
      this.grow(Math.max(16, Math.min(65536, (header.steps | 0) + 1)));
    }

    grow(capacity) {
      const copy = (Kind, old, size) => {
        const fresh = new Kind(size);
        if (old) fresh.set(old.subarray(0, Math.min(old.length, size)));
        return fresh;
      };
      this.capacity = capacity;
      this.time = copy(Int32Array, this.time, capacity);
      this.ball = copy(Float64Array, this.ball, capacity * 2);
      this.robots = copy(Float64Array, this.robots, capacity * 3 * this.robotCount);
      this.score = copy(Int32Array, this.score, capacity * 2);
      this.kickOff = copy(Uint8Array, this.kickOff, capacity);
      this.events = this.events || [];
    }

    add(f) {
      if (this.count === this.capacity) this.grow(this.capacity * 2);
      const i = this.count++;
      this.time[i] = f.time;
      this.ball[2 * i] = num(f.ball[0]);
      this.ball[2 * i + 1] = num(f.ball[1]);
      const base = 3 * this.robotCount * i;
      for (let r = 0; r < this.robotCount; r++) {
        const row = f.robots[r] || [];
        this.robots[base + 3 * r] = num(row[0]);
        this.robots[base + 3 * r + 1] = num(row[1]);
        this.robots[base + 3 * r + 2] = num(row[2]);
      }
      this.score[2 * i] = f.score[0] | 0;
      this.score[2 * i + 1] = f.score[1] | 0;
      if (Array.isArray(f.events) && f.events.length > 0) {
        this.events[i] = f.events;
        for (const e of f.events) if (e[1] === 'roundBegin') this.kickOff[i] = 1;
      }
    }

    finish() {
      this.last = this.count - 1;
    }

    /** The index of the last frame at or before time t (the first frame if none is). */
    indexAt(t) {
      let lo = 0;
      let hi = this.count - 1;
      if (t <= this.time[0]) return 0;
      while (lo < hi) {
        const mid = (lo + hi + 1) >> 1;
        if (this.time[mid] <= t) lo = mid; else hi = mid - 1;
      }
      return lo;
    }
  }

  function num(v) {
    return typeof v === 'number' ? v : NaN;
  }

  /**
   * Per robot: prints (times and texts, by time) and views split into timed ones (start, last
   * step shown) and ones shown for good, each by start, in parallel arrays. Version 1 gathers a
   * robot's output in one line of [time, item] pairs; version 2 writes a line per robot and
   * step, not always in time order.
   */
  class DebugIndex {
    constructor(robots) {
      this.byId = new Map();
      for (const robot of robots) {
        this.byId.set(robot.id, { printTimes: [], printTexts: [], viewTimes: [], views: [] });
      }
    }

    add(d) {
      const entry = this.byId.get(d.robot);
      if (!entry) return;
      const prints = Array.isArray(d.prints) ? d.prints : [];
      const views = Array.isArray(d.views) ? d.views : [];
      if (typeof d.time === 'number') {
        for (const text of prints) { entry.printTimes.push(d.time); entry.printTexts.push(text); }
        for (const view of views) { entry.viewTimes.push(d.time); entry.views.push(view); }
        return;
      }
      for (const p of prints) {
        if (!Array.isArray(p) || typeof p[0] !== 'number') continue;
        entry.printTimes.push(p[0]);
        entry.printTexts.push(p[1]);
      }
      for (const v of views) {
        if (!Array.isArray(v) || typeof v[0] !== 'number') continue;
        entry.viewTimes.push(v[0]);
        entry.views.push(v[1]);
      }
    }

    finish() {
      const debug = new Map();
      for (const [id, e] of this.byId) {
        const printOrder = timeOrder(e.printTimes);
        const viewOrder = timeOrder(e.viewTimes);
        const timed = { starts: [], lasts: [], views: [] };
        const forGood = { starts: [], views: [] };
        let longest = 1;
        for (const k of viewOrder) {
          const view = e.views[k];
          const start = e.viewTimes[k];
          if (!view || typeof view !== 'object') continue;
          if (typeof view.showTime === 'number' && view.showTime < 0) {
            forGood.starts.push(start);
            forGood.views.push(view);
          } else {
            const shown = Math.max(1, Math.floor(num(view.showTime)) || 1);
            timed.starts.push(start);
            timed.lasts.push(start + shown - 1);
            timed.views.push(view);
            if (shown > longest) longest = shown;
          }
        }
        debug.set(id, {
          printTimes: Int32Array.from(printOrder, (k) => e.printTimes[k]),
          printTexts: printOrder.map((k) => String(e.printTexts[k])),
          timedStarts: Int32Array.from(timed.starts), timedLasts: Int32Array.from(timed.lasts),
          timedViews: timed.views, longest,
          forGoodStarts: Int32Array.from(forGood.starts), forGoodViews: forGood.views,
        });
      }
      return debug;
    }
  }

  /** The indexes of times in ascending time order, ties in the order given. */
  function timeOrder(times) {
    const order = new Array(times.length);
    let sorted = true;
    for (let i = 0; i < times.length; i++) {
      order[i] = i;
      if (i > 0 && times[i] < times[i - 1]) sorted = false;
    }
    if (!sorted) order.sort((a, b) => times[a] - times[b] || a - b);
    return order;
  }

  /** Without an end line (a replay cut short), goals are read off the score; no scorer. */
  function goalsFromScores(frames) {
    const goals = [];
    for (let i = 1; i < frames.count; i++) {
      for (let team = 0; team < 2; team++) {
        if (frames.score[2 * i + team] > frames.score[2 * (i - 1) + team]) {
          goals.push({ time: frames.time[i], team, scorer: null, ownGoal: false });
        }
      }
    }
    return goals;
  }

  /** The first index whose value is greater than t. */
  function upperBound(values, t) {
    let lo = 0;
    let hi = values.length;
    while (lo < hi) {
      const mid = (lo + hi) >> 1;
      if (values[mid] <= t) lo = mid + 1; else hi = mid;
    }
    return lo;
  }

  /** The views of one robot shown at time t: newest last, at most VIEWS_DRAWN. */
  function visibleViews(entry, t) {
    const shown = [];
    const forGoodEnd = upperBound(entry.forGoodStarts, t);
    for (let i = Math.max(0, forGoodEnd - VIEWS_DRAWN); i < forGoodEnd; i++) {
      shown.push(entry.forGoodViews[i]);
    }
    const timedEnd = upperBound(entry.timedStarts, t);
    const timedBegin = upperBound(entry.timedStarts, t - entry.longest);
    for (let i = timedBegin; i < timedEnd; i++) {
      if (entry.timedLasts[i] >= t) shown.push(entry.timedViews[i]);
    }
    if (shown.length > VIEWS_DRAWN) shown.splice(0, shown.length - VIEWS_DRAWN);
    return shown;
  }

  // ------------------------------------------------------------------ the viewer

  const state = {
    ready: false, error: null, replay: null, index: 0, playing: false, speed: 1,
    selected: null, overlays: new Map(), trails: new Map(), drawn: null, loadMs: 0,
    debugReady: false, debugMs: 0,
    pending: 0, panelKey: '', panelAt: 0, lastTick: 0,
  };
  const stats = { draws: [], intervals: [], lastFrameAt: 0 };

  /**
   * Some of the replay's JSON lines: the page carries them in two parts (the debug lines, and
   * all the others), each gzip-compressed, in base64.
   */
  async function unpack(id) {
    const binary = atob($(id).textContent.trim());
    const bytes = new Uint8Array(binary.length);
    for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
    if (typeof DecompressionStream === 'undefined') {
      throw new ReplayError('this browser cannot unpack the replay (no DecompressionStream)');
    }
    const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Response(stream).text();
  }

  /** The match first (shown as soon as it is read), then the prints and views. */
  async function start() {
    try {
      performance.mark('touchline:start');
      state.replay = readReplay(await unpack('replay-match'));
    } catch (e) {
      showError(e instanceof ReplayError ? e.message : 'cannot read the replay: ' + e.message);
      return;
    }
    const replay = state.replay;
    for (const robot of replay.header.robots) {
      state.overlays.set(robot.id, true);
      state.trails.set(robot.id, false);
    }
    state.selected = replay.header.robots.length > 0 ? replay.header.robots[0].id : null;
    buildHeader(replay);
    buildRobotTable(replay);
    select(state.selected);
    buildGoals(replay);
    wireControls(replay);
    const slider = $('slider');
    slider.max = String(replay.frames.count - 1);
    new ResizeObserver(() => { layout(); draw(); }).observe($('court'));
    layout();
    goToHash() || setIndex(0, false);
    draw();
    updatePanel(true);
    state.ready = true;
    state.loadMs = performance.now();
    performance.mark('touchline:ready');
    requestAnimationFrame(tick);
    try {
      await readDebug(replay, await unpack('replay-debug'));
    } catch (e) {
      showError('cannot read the prints and views: ' + e.message);
      return;
    }
    state.debugReady = true;
    state.debugMs = performance.now();
    performance.mark('touchline:debug-ready');
    draw();
    state.panelKey = '';
    updatePanel(true);
  }

  /** Reads the debug lines in slices, so the page answers while it reads. */
  async function readDebug(replay, text) {
    const index = new DebugIndex(replay.header.robots);
    const lines = text.split('\n');
    let sliceStart = performance.now();
    for (let n = 0; n < lines.length; n++) {
      if (lines[n] === '') continue;
      const object = JSON.parse(lines[n]);
      if (object && object.debug) index.add(object.debug);
      if (performance.now() - sliceStart > 40) {
        await new Promise((resolve) => setTimeout(resolve, 0));
        sliceStart = performance.now();
      }
    }
    // Debug lines found among the others, if a replay was packed whole.
    for (const d of replay.looseDebug) index.add(d);
    replay.debug = index.finish();
  }

  function showError(message) {
    state.error = message;
    const box = $('error');
    box.textContent = message;
    box.hidden = false;
  }

  function buildHeader(replay) {
    const teams = replay.header.teams;
    $('home-name').textContent = teams[0] ? String(teams[0].name) : '';
    $('away-name').textContent = teams[1] ? String(teams[1].name) : '';
    document.title = 'Touchline replay: ' + $('home-name').textContent + ' v '
      + $('away-name').textContent;
  }

  function buildRobotTable(replay) {
    const body = $('robots').tBodies[0];
    for (const robot of replay.header.robots) {
      const row = document.createElement('tr');
      row.dataset.robot = String(robot.id);
      const swatch = document.createElement('span');
      swatch.className = 'swatch';
      swatch.style.background = robot.color;
      swatch.style.boxShadow = '0 0 0 3px ' + robot.ownColor;
      cell(row, swatch);
      cell(row, document.createTextNode(String(robot.id)));
      const name = cell(row, document.createTextNode(robot.name));
      name.className = 'name';
      name.title = robot.teamName + ': ' + robot.name;
      cell(row, toggle('overlay', robot, state.overlays));
      cell(row, toggle('trail', robot, state.trails));
      row.addEventListener('click', (e) => {
        if (e.target instanceof HTMLInputElement) return;
        select(robot.id);
      });
      body.appendChild(row);
    }
  }

  function cell(row, content) {
    const td = document.createElement('td');
    td.appendChild(content);
    row.appendChild(td);
    return td;
  }

  function toggle(kind, robot, map) {
    const box = document.createElement('input');
    box.type = 'checkbox';
    box.checked = map.get(robot.id);
    box.className = kind;
    box.title = (kind === 'overlay' ? 'overlay views of ' : 'trail of ') + robot.name;
    box.addEventListener('change', () => {
      map.set(robot.id, box.checked);
      draw();
    });
    return box;
  }

  function buildGoals(replay) {
    const list = $('goals');
    const marks = $('goal-marks');
    const frames = replay.frames;
    const span = Math.max(1, frames.count - 1);
    if (replay.goals.length === 0) {
      const none = document.createElement('li');
      none.textContent = 'none';
      list.appendChild(none);
    }
    for (const goal of replay.goals) {
      const text = goalText(replay, goal);
      const item = document.createElement('li');
      item.textContent = text;
      item.addEventListener('click', () => jump(frames.indexAt(goal.time)));
      list.appendChild(item);
      const mark = document.createElement('button');
      mark.className = 'goal-mark';
      mark.title = text;
      mark.setAttribute('aria-label', text);
      const teamIndex = replay.header.teams.findIndex((t) => t.id === goal.team);
      mark.style.background = TEAM_COLORS[Math.max(0, teamIndex) % 2][0];
      mark.style.left = (100 * frames.indexAt(goal.time) / span) + '%';
      mark.addEventListener('click', () => jump(frames.indexAt(goal.time)));
      marks.appendChild(mark);
    }
  }

  function goalText(replay, goal) {
    const team = replay.header.teams.find((t) => t.id === goal.team);
    let text = 'step ' + goal.time + ': ' + (team ? String(team.name) : 'team ' + goal.team);
    if (goal.scorer !== null && goal.scorer !== undefined) {
      const robot = replay.header.robots.find((r) => r.id === goal.scorer);
      text += ', ' + goal.scorer + ' ' + (robot ? robot.name : '');
      if (goal.ownGoal) text += ' (own goal)';
    }
    return text;
  }

  function wireControls(replay) {
    $('play').addEventListener('click', () => setPlaying(!state.playing));
    $('back').addEventListener('click', () => jump(state.index - 1));
    $('forward').addEventListener('click', () => jump(state.index + 1));
    $('speed').addEventListener('change', () => {
      state.speed = Number($('speed').value) || 1;
      // Give the keys back to the player: space plays, arrows step.
      $('speed').blur();
    });
    $('slider').addEventListener('input', () => jump(Number($('slider').value)));
    window.addEventListener('hashchange', goToHash);
    document.addEventListener('keydown', onKey, true);
    $('court').addEventListener('click', (e) => pickRobot(replay, e));
  }

  function onKey(e) {
    if (e.target instanceof HTMLSelectElement || e.altKey || e.ctrlKey || e.metaKey) return;
    const by = e.shiftKey ? 10 : 1;
    switch (e.key) {
      case ' ':
        setPlaying(!state.playing);
        break;
      case 'ArrowLeft':
        jump(state.index - by);
        break;
      case 'ArrowRight':
        jump(state.index + by);
        break;
      case 'Home':
        jump(0);
        break;
      case 'End':
        jump(state.replay.frames.last);
        break;
      default:
        return;
    }
    e.preventDefault();
    e.stopPropagation();
  }

  /** A step chosen by the user: playing stops, the hash remembers it. */
  function jump(index) {
    setPlaying(false);
    setIndex(index, true);
  }

  function setIndex(index, remember) {
    const frames = state.replay.frames;
    state.index = Math.max(0, Math.min(frames.last, Math.round(index)));
    $('slider').value = String(state.index);
    if (remember) rememberStep();
    state.pending = 0;
    draw();
    updatePanel(!state.playing);
  }

  function rememberStep() {
    const hash = '#step=' + state.replay.frames.time[state.index];
    if (location.hash !== hash) history.replaceState(null, '', hash);
  }

  /** Goes to the step the hash names (#step=N); false if it names none. */
  function goToHash() {
    const match = /^#step=(-?\d+)$/.exec(location.hash);
    if (!match) return false;
    setPlaying(false);
    setIndex(state.replay.frames.indexAt(Number(match[1])), false);
    return true;
  }

  function setPlaying(playing) {
    if (playing === state.playing) return;
    if (playing && state.index >= state.replay.frames.last) state.index = 0;
    state.playing = playing;
    state.pending = 0;
    state.lastTick = 0;
    $('play').textContent = playing ? 'Pause' : 'Play';
    if (!playing && state.ready) {
      rememberStep();
      updatePanel(true);
    }
  }

  function select(id) {
    state.selected = id;
    for (const row of $('robots').tBodies[0].rows) {
      row.classList.toggle('selected', row.dataset.robot === String(id));
    }
    updatePanel(true);
    draw();
  }

  function pickRobot(replay, e) {
    const rect = $('court').getBoundingClientRect();
    const x = e.clientX - rect.left;
    const y = e.clientY - rect.top;
    const drawn = state.drawn;
    if (!drawn) return;
    let best = null;
    let bestDistance = Infinity;
    for (const robot of drawn.robots) {
      const d = Math.hypot(robot.px - x, robot.py - y);
      if (d < bestDistance) { best = robot; bestDistance = d; }
    }
    if (best && bestDistance <= Math.max(12, best.pr * 1.5)) select(best.id);
  }

  function tick(now) {
    if (state.playing) {
      const dt = state.lastTick ? Math.min(now - state.lastTick, 250) : 0;
      state.pending += dt / 1000 * STEPS_PER_SECOND * state.speed;
      const whole = Math.floor(state.pending);
      if (whole > 0) {
        state.pending -= whole;
        const next = state.index + whole;
        const last = state.replay.frames.last;
        state.index = Math.min(next, last);
        $('slider').value = String(state.index);
        draw();
        updatePanel(false);
        if (next >= last) setPlaying(false);
      }
      if (stats.lastFrameAt) stats.intervals.push(now - stats.lastFrameAt);
      stats.lastFrameAt = now;
    } else {
      stats.lastFrameAt = 0;
    }
    state.lastTick = now;
    requestAnimationFrame(tick);
  }

  // ------------------------------------------------------------------ drawing

  const view = { width: 0, height: 0, ratio: 1, scale: 1, left: 0, bottom: 0, background: null };

  function layout() {
    const canvas = $('court');
    const rect = canvas.getBoundingClientRect();
    view.ratio = window.devicePixelRatio || 1;
    view.width = Math.max(1, rect.width);
    view.height = Math.max(1, rect.height);
    canvas.width = Math.round(view.width * view.ratio);
    canvas.height = Math.round(view.height * view.ratio);
    const court = state.replay.header.court;
    const spanX = court.width + 2 * court.goalDepth + 2 * MARGIN;
    const spanY = court.height + 2 * MARGIN;
    view.scale = Math.min(view.width / spanX, view.height / spanY);
    view.left = (view.width - court.width * view.scale) / 2;
    view.bottom = (view.height + court.height * view.scale) / 2;
    view.background = drawCourt(court);
  }

  const px = (x) => view.left + x * view.scale;
  const py = (y) => view.bottom - y * view.scale;

  /** The court without robots or ball, drawn once per size. */
  function drawCourt(court) {
    const canvas = document.createElement('canvas');
    canvas.width = $('court').width;
    canvas.height = $('court').height;
    const g = canvas.getContext('2d');
    g.scale(view.ratio, view.ratio);
    g.fillStyle = '#0f172a';
    g.fillRect(0, 0, view.width, view.height);
    const w = court.width;
    const h = court.height;
    const low = h / 2 - court.goalWidth / 2;
    const high = h / 2 + court.goalWidth / 2;
    g.fillStyle = '#256639';
    g.fillRect(px(-court.goalDepth), py(high), court.goalDepth * view.scale, court.goalWidth * view.scale);
    g.fillRect(px(w), py(high), court.goalDepth * view.scale, court.goalWidth * view.scale);
    const cw = court.cornerWidth;
    const ch = court.cornerHeight;
    const corners = [[cw, 0], [w - cw, 0], [w, ch], [w, h - ch], [w - cw, h], [cw, h], [0, h - ch], [0, ch]];
    const walls = new Path2D();
    corners.forEach(([x, y], i) => (i === 0 ? walls.moveTo(px(x), py(y)) : walls.lineTo(px(x), py(y))));
    walls.closePath();
    g.fillStyle = '#2f7d46';
    g.fill(walls);
    g.strokeStyle = '#7fb08b';
    g.lineWidth = 1;
    g.beginPath();
    g.moveTo(px(w / 2), py(0));
    g.lineTo(px(w / 2), py(h));
    const r = Math.min(w, h) / 9 * view.scale;
    g.moveTo(px(w / 2) + r, py(h / 2));
    g.arc(px(w / 2), py(h / 2), r, 0, 2 * Math.PI);
    g.stroke();
    g.strokeStyle = '#f1f5f9';
    g.lineWidth = 2;
    g.stroke(walls);
    g.strokeRect(px(-court.goalDepth), py(high), court.goalDepth * view.scale, court.goalWidth * view.scale);
    g.strokeRect(px(w), py(high), court.goalDepth * view.scale, court.goalWidth * view.scale);
    return canvas;
  }

  function draw() {
    if (!state.replay || !view.background) return;
    const began = performance.now();
    const canvas = $('court');
    const g = canvas.getContext('2d');
    const replay = state.replay;
    const frames = replay.frames;
    const i = state.index;
    const t = frames.time[i];
    g.setTransform(1, 0, 0, 1, 0, 0);
    g.drawImage(view.background, 0, 0);
    g.setTransform(view.ratio, 0, 0, view.ratio, 0, 0);
    const drawn = { step: t, index: i, robots: [], ball: null, views: {} };
    replay.header.robots.forEach((robot, r) => {
      if (state.trails.get(robot.id)) drawTrail(g, frames, r, i, robot.ownColor);
    });
    for (const robot of replay.header.robots) {
      let count = 0;
      const entry = replay.debug.get(robot.id);
      if (entry && state.overlays.get(robot.id)) {
        for (const v of visibleViews(entry, t)) {
          drawView(g, v);
          count++;
        }
      }
      drawn.views[robot.id] = count;
    }
    const base = 3 * frames.robotCount * i;
    replay.header.robots.forEach((robot, r) => {
      const x = frames.robots[base + 3 * r];
      const y = frames.robots[base + 3 * r + 1];
      const heading = frames.robots[base + 3 * r + 2];
      const pr = robot.radius * view.scale;
      drawRobot(g, robot, px(x), py(y), heading, pr);
      drawn.robots.push({ id: robot.id, x, y, heading, px: px(x), py: py(y), pr });
    });
    const bx = frames.ball[2 * i];
    const by = frames.ball[2 * i + 1];
    drawBall(g, px(bx), py(by), Math.max(3, replay.header.ballRadius * view.scale));
    drawn.ball = { x: bx, y: by, px: px(bx), py: py(by) };
    state.drawn = drawn;
    showStep(frames, i);
    stats.draws.push(performance.now() - began);
  }

  function drawTrail(g, frames, r, i, color) {
    const first = Math.max(0, frames.indexAt(frames.time[i] - TRAIL_STEPS));
    const stride = 3 * frames.robotCount;
    g.save();
    g.strokeStyle = color;
    g.globalAlpha = 0.8;
    g.lineWidth = 2;
    g.lineJoin = 'round';
    g.beginPath();
    let open = false;
    for (let k = first; k <= i; k++) {
      const x = frames.robots[stride * k + 3 * r];
      const y = frames.robots[stride * k + 3 * r + 1];
      if (Number.isNaN(x) || Number.isNaN(y)) { open = false; continue; }
      if (!open || frames.kickOff[k]) g.moveTo(px(x), py(y)); else g.lineTo(px(x), py(y));
      open = true;
    }
    g.stroke();
    g.restore();
  }

  function colorOf(value) {
    const rgb = (Number(value) | 0) & 0xffffff;
    return '#' + rgb.toString(16).padStart(6, '0');
  }

  /** One overlay view, in court units: see docs/host.md for each type's fields. */
  function drawView(g, v) {
    const color = colorOf(v.color);
    g.strokeStyle = color;
    g.fillStyle = color;
    g.lineWidth = 1.5;
    switch (v.type) {
      case 'line':
        g.beginPath();
        g.moveTo(px(num(v.beginX)), py(num(v.beginY)));
        g.lineTo(px(num(v.endX)), py(num(v.endY)));
        g.stroke();
        break;
      case 'ellipse': {
        const rx = Math.abs(num(v.xRadius)) * view.scale;
        const ry = Math.abs(num(v.yRadius)) * view.scale;
        if (!(rx >= 0 && ry >= 0)) break;
        g.beginPath();
        g.ellipse(px(num(v.locationX)), py(num(v.locationY)), rx, ry, 0, 0, 2 * Math.PI);
        if (v.fill) g.fill(); else g.stroke();
        break;
      }
      case 'rectangle': {
        const x = Math.min(num(v.locationX), num(v.locationX) + num(v.width));
        const y = Math.max(num(v.locationY), num(v.locationY) + num(v.height));
        const w = Math.abs(num(v.width)) * view.scale;
        const h = Math.abs(num(v.height)) * view.scale;
        if (v.fill) g.fillRect(px(x), py(y), w, h); else g.strokeRect(px(x), py(y), w, h);
        break;
      }
      case 'text': {
        const size = num(v.size) > 0 ? num(v.size) : 5;
        g.font = Math.max(6, Math.min(200, size * view.scale)) + 'px sans-serif';
        g.textAlign = 'left';
        g.textBaseline = 'alphabetic';
        g.fillText(String(v.text === undefined ? '' : v.text).slice(0, 200),
          px(num(v.locationX)), py(num(v.locationY)));
        break;
      }
      default:
        break;
    }
  }

  function drawRobot(g, robot, x, y, heading, r) {
    if (Number.isNaN(x) || Number.isNaN(y)) return;
    g.beginPath();
    g.arc(x, y, r, 0, 2 * Math.PI);
    g.fillStyle = robot.color;
    g.fill();
    const selected = robot.id === state.selected;
    g.lineWidth = selected ? 3 : 1.5;
    g.strokeStyle = selected ? '#facc15' : '#f1f5f9';
    g.stroke();
    if (!Number.isNaN(heading)) {
      g.beginPath();
      g.moveTo(x, y);
      g.lineTo(x + r * Math.cos(heading), y - r * Math.sin(heading));
      g.lineWidth = 2;
      g.strokeStyle = '#f1f5f9';
      g.stroke();
    }
    g.font = 'bold ' + Math.max(10, Math.round(r * 0.9)) + 'px sans-serif';
    g.textAlign = 'center';
    g.textBaseline = 'bottom';
    g.fillStyle = '#f8fafc';
    g.fillText(String(robot.id), x, y - r - 2);
  }

  function drawBall(g, x, y, r) {
    if (Number.isNaN(x) || Number.isNaN(y)) return;
    g.beginPath();
    g.arc(x, y, r, 0, 2 * Math.PI);
    g.fillStyle = '#f59e0b';
    g.fill();
    g.lineWidth = 1;
    g.strokeStyle = '#000000';
    g.stroke();
  }

  const shownText = { step: '', clock: '', home: '', away: '' };

  function showStep(frames, i) {
    const t = frames.time[i];
    const seconds = t / STEPS_PER_SECOND;
    const minutes = Math.floor(seconds / 60);
    const rest = (seconds - 60 * minutes).toFixed(2).padStart(5, '0');
    setText('step', 'step ' + t + ' / ' + state.replay.header.steps);
    setText('clock', minutes + ':' + rest);
    setText('home', String(frames.score[2 * i]));
    setText('away', String(frames.score[2 * i + 1]));
  }

  function setText(which, text) {
    if (shownText[which] === text) return;
    shownText[which] = text;
    const id = which === 'home' ? 'home-score' : which === 'away' ? 'away-score' : which;
    $(id).textContent = text;
  }

  // ------------------------------------------------------------------ the side panel

  /** The selected robot's ending, events at this step and prints up to it. */
  function updatePanel(now) {
    const at = performance.now();
    if (!now && at - state.panelAt < PANEL_INTERVAL) return;
    const replay = state.replay;
    const id = state.selected;
    const key = id + ':' + state.index;
    if (key === state.panelKey) return;
    state.panelKey = key;
    state.panelAt = at;
    const robot = replay.header.robots.find((r) => r.id === id);
    $('debug-title').textContent = robot ? 'Robot ' + robot.id + ' ' + robot.name : 'Robot';
    $('ending').textContent = robot ? endingText(replay, robot.id) : '';
    showEvents(replay, id);
    showPrints(replay, id);
  }

  function endingText(replay, id) {
    const outcome = replay.end && Array.isArray(replay.end.robots)
      ? replay.end.robots.find((r) => r.id === id) : null;
    if (!outcome) return 'ending: not recorded (the replay was cut short)';
    let text = replay.end.interrupted ? 'the match was interrupted at step ' + replay.end.time + '\n' : '';
    text += 'ending: ' + String(outcome.ending);
    if (outcome.reason) text += ' (' + String(outcome.reason) + ')';
    text += '\nmissed steps ' + outcome.missedSteps + ', ball touches ' + outcome.ballTouches
      + ', distance ' + outcome.distance;
    if (outcome.droppedPrints || outcome.droppedViews) {
      text += '\ndropped over the limits: ' + (outcome.droppedPrints | 0) + ' prints, '
        + (outcome.droppedViews | 0) + ' views';
    }
    return text;
  }

  function showEvents(replay, id) {
    const list = $('events');
    list.replaceChildren();
    const events = replay.frames.events[state.index] || [];
    for (const e of events) {
      if (e[0] !== id) continue;
      const item = document.createElement('li');
      item.textContent = eventText(e);
      list.appendChild(item);
    }
    if (!list.firstChild) {
      const item = document.createElement('li');
      item.textContent = 'tick only';
      list.appendChild(item);
    }
  }

  function eventText(e) {
    switch (e[1]) {
      case 'hitRobot':
        return 'hitRobot ' + e[2];
      case 'messageReceived':
        return 'messageReceived from ' + e[2] + ': ' + String(e[3]);
      default:
        return String(e[1]);
    }
  }

  function showPrints(replay, id) {
    const box = $('prints');
    const entry = replay.debug.get(id);
    box.replaceChildren();
    if (!entry) {
      const note = document.createElement('div');
      note.className = 'none';
      note.textContent = state.debugReady ? '' : 'reading prints and views\u2026';
      box.appendChild(note);
      return;
    }
    const t = replay.frames.time[state.index];
    const end = upperBound(entry.printTimes, t);
    const begin = Math.max(0, end - PRINTS_SHOWN);
    const fragment = document.createDocumentFragment();
    for (let k = begin; k < end; k++) {
      const line = document.createElement('div');
      if (entry.printTimes[k] === t) line.className = 'now';
      const time = document.createElement('span');
      time.className = 'time';
      time.textContent = String(entry.printTimes[k]);
      line.appendChild(time);
      line.appendChild(document.createTextNode(entry.printTexts[k]));
      fragment.appendChild(line);
    }
    if (end === 0) {
      const none = document.createElement('div');
      none.className = 'none';
      none.textContent = 'no prints yet';
      fragment.appendChild(none);
    }
    box.appendChild(fragment);
    box.scrollTop = box.scrollHeight;
  }

  // ------------------------------------------------------------------ for tests and tools

  function percentile(values, p) {
    if (values.length === 0) return 0;
    const sorted = Float64Array.from(values).sort();
    return sorted[Math.min(sorted.length - 1, Math.floor(p * sorted.length))];
  }

  window.touchlineViewer = Object.freeze({
    /** A copy of what is shown now; changing it changes nothing. */
    state() {
      if (!state.ready) return { ready: false, error: state.error };
      const frames = state.replay.frames;
      const d = state.drawn;
      return JSON.parse(JSON.stringify({
        ready: true, error: state.error, version: state.replay.header.version,
        step: frames.time[state.index], index: state.index, frames: frames.count,
        playing: state.playing, speed: state.speed, selected: state.selected,
        score: [frames.score[2 * state.index], frames.score[2 * state.index + 1]],
        ball: d.ball, robots: d.robots.map((r) => Object.assign({}, r, {
          overlay: state.overlays.get(r.id), trail: state.trails.get(r.id),
          views: d.views[r.id],
        })),
        goals: state.replay.goals.length, loadMs: state.loadMs,
        debugReady: state.debugReady, debugMs: state.debugMs,
      }));
    },
    /** Drawing times and frame intervals (ms) since the last reset. */
    stats() {
      return {
        loadMs: state.loadMs, debugMs: state.debugMs, draws: stats.draws.length,
        drawMean: stats.draws.reduce((a, b) => a + b, 0) / Math.max(1, stats.draws.length),
        drawP95: percentile(stats.draws, 0.95), drawMax: stats.draws.reduce((a, b) => Math.max(a, b), 0),
        frames: stats.intervals.length,
        intervalMean: stats.intervals.reduce((a, b) => a + b, 0) / Math.max(1, stats.intervals.length),
        intervalP95: percentile(stats.intervals, 0.95),
      };
    },
    resetStats() {
      stats.draws = [];
      stats.intervals = [];
    },
  });

  start();
}());
