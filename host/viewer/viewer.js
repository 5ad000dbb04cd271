// The replay page: reads the replay embedded in the page (docs/host.md, "The replay", versions 1
// and 2), or, served by `touchline-match --live`, the match's stream as it plays; indexes it as
// it comes, and draws the court on a canvas at the chosen step. A second replay (embedded by
// --compare, or dropped on the page) is drawn as ghosts over the first. Everything a strategy
// controls (names, prints, messages, text views, reasons) reaches the page only through
// textContent, title or canvas text, never as markup.
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
  /**
   * Following a match that plays much faster than 1x, the side panel is brought up to date
   * this seldom (ms): its prints then change faster than anyone reads them, and rebuilding the
   * list is most of what a picture costs the browser.
   */
  const LIVE_FAST_PANEL_INTERVAL = 1000;
  /** While the match streams in, the timeline and goals are brought up to date this often (ms). */
  const LIVE_INTERVAL = 250;
  /**
   * Following the live match, the court is drawn at most this often (ms): smoothly while the
   * match plays at about the pace of 1x, seldom while it plays much faster, when every picture
   * skips many steps anyway (two pictures a second). A picture costs the browser about 10 ms
   * of a core without a GPU, and the match needs every core it can get. The server then sends
   * an event every 500 ms; the fast interval is kept below that so that each event is drawn in
   * the frame after it comes, not in one a timer asks for later (a wake-up more a picture).
   */
  const LIVE_DRAW_INTERVAL = 33;
  const LIVE_FAST_DRAW_INTERVAL = 400;
  /**
   * A picture due within this many ms counts as due: an animation frame's time is when the
   * frame began, a little before the timer that asked for it ran, and a frame that only finds
   * the picture a few ms too soon costs as much as one that draws.
   */
  const FRAME_SLACK = 17;
  /** Steps per second above which the match counts as fast. */
  const LIVE_FAST_STEPS = 2 * STEPS_PER_SECOND;
  /** How much nearer the court is drawn when it follows a robot. */
  const FOLLOW_ZOOM = 2.5;
  /** A print beside its robot on the court keeps this many characters. */
  const BUBBLE_CHARS = 80;
  const MARGIN = 5;
  /** Endings that stop a robot before the match ends. */
  const EARLY_ENDINGS = new Set(['returned', 'failed', 'stopped', 'crashed', 'not loaded']);
  const ENDED_COLOR = '#6b7280';

  const $ = (id) => document.getElementById(id);

  /** The one way the page writes a distance: court units to one decimal, as the summary does. */
  function distanceText(value) {
    return typeof value === 'number' && Number.isFinite(value) ? value.toFixed(1) : '?';
  }

  // ------------------------------------------------------------------ reading the replay

  class ReplayError extends Error {}

  /** A replay being read line by line: the header first, then frames, debug lines, the end. */
  function newReplay(header) {
    const frames = new Frames();
    frames.begin(header);
    return {
      header, frames, debugIndex: new DebugIndex(header.robots), debug: new Map(),
      end: null, goals: [], scoreGoals: [], endings: new Map(), ended: new Map(),
    };
  }

  /** Adds one parsed line (not the header) to the replay. */
  function addLine(replay, object) {
    if (object === null || typeof object !== 'object') return;
    if (object.debug !== undefined) {
      if (object.debug) replay.debugIndex.add(object.debug);
    } else if (object.end !== undefined) {
      replay.end = object.end;
    } else if (object.ended !== undefined) {
      // A robot the match ended early, told as it happened: marked before the match is over.
      const ended = object.ended;
      if (ended && typeof ended.robot === 'number') replay.ended.set(ended.robot, ended);
    } else if (object.time !== undefined) {
      const frames = replay.frames;
      frames.add(object);
      const i = frames.count - 1;
      if (i > 0) {
        for (let team = 0; team < 2; team++) {
          if (frames.score[2 * i + team] > frames.score[2 * (i - 1) + team]) {
            replay.scoreGoals.push({ time: frames.time[i], team, scorer: null, ownGoal: false });
          }
        }
      }
    }
  }

  /**
   * Drops the frames from index on, with the debug output, goals and end that came from then
   * on: the live page reads them again.
   */
  function truncate(replay, index) {
    const frames = replay.frames;
    if (index >= frames.count) return;
    const t = frames.time[index];
    frames.count = index;
    frames.last = index - 1;
    frames.events.length = Math.min(frames.events.length, index);
    frames.kickOff.fill(0, index);
    const cut = (times, ...values) => {
      const at = upperBound(times, t - 1);
      for (const list of [times, ...values]) list.length = at;
    };
    for (const entry of replay.debugIndex.byId.values()) {
      cut(entry.printTimes, entry.printTexts);
      cut(entry.timedStarts, entry.timedLasts, entry.timedViews);
      cut(entry.forGoodStarts, entry.forGoodViews);
    }
    replay.scoreGoals = replay.scoreGoals.filter((goal) => goal.time < t);
    for (const [id, ended] of replay.ended) if (ended.time > t) replay.ended.delete(id);
    replay.end = null;
  }

  /** Once lines have been added: the goals (the end line's, else read off the score) and endings. */
  function settle(replay) {
    const end = replay.end;
    replay.goals = end && Array.isArray(end.goals) ? end.goals : replay.scoreGoals;
    replay.endings = readEndings(replay);
  }

  /** Parses the JSON lines of a whole replay; debug lines are indexed too. */
  function readReplay(text) {
    const lines = text.split('\n');
    let replay = null;
    for (let n = 0; n < lines.length; n++) {
      const line = lines[n].trim();
      if (line === '') continue;
      let object;
      try {
        object = JSON.parse(line);
      } catch (e) {
        throw new ReplayError('line ' + (n + 1) + ' is not JSON: ' + e.message);
      }
      if (replay === null) replay = newReplay(readHeader(object));
      else addLine(replay, object);
    }
    if (replay === null) throw new ReplayError('the replay is empty');
    if (replay.frames.count === 0) throw new ReplayError('the replay has no frame');
    settle(replay);
    return replay;
  }

  function readHeader(h) {
    if (!h || h.replay !== 'touchline') throw new ReplayError('not a Touchline replay');
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

  /**
   * How each robot's program ended, from the end line: for one that ended early, the step from
   * which it stood still ("stillFrom"; read off the frames for a replay written without it).
   * Before the end line comes, the robots ended so far ("ended" lines), with what they tell.
   */
  function readEndings(replay) {
    const endings = new Map();
    const end = replay.end;
    const atTime = (value) => (typeof value === 'number' ? value : null);
    if (!end || !Array.isArray(end.robots)) {
      for (const [id, ended] of replay.ended) {
        if (!replay.header.robots.some((robot) => robot.id === id)) continue;
        const outcome = { id, ending: String(ended.ending), reason: String(ended.reason || '') };
        endings.set(id, { outcome, early: true, from: atTime(ended.time) });
      }
      return endings;
    }
    for (const outcome of end.robots) {
      const r = replay.header.robots.findIndex((robot) => robot.id === outcome.id);
      if (r < 0) continue;
      const early = EARLY_ENDINGS.has(String(outcome.ending));
      let from = null;
      if (early) {
        const ended = replay.ended.get(outcome.id);
        from = atTime(outcome.stillFrom) ?? (ended ? atTime(ended.time) : null)
          ?? replay.frames.stillFrom(r);
      }
      endings.set(outcome.id, { outcome, early, from });
    }
    return endings;
  }

  /** Frames in typed arrays: ball x and y, robots x, y, heading and whether still; events. */
  class Frames {
    begin(header) {
      this.robotCount = header.robots.length;
      this.count = 0;
      this.last = -1;
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
      this.still = copy(Uint8Array, this.still, capacity * this.robotCount);
      this.score = copy(Int32Array, this.score, capacity * 2);
      this.kickOff = copy(Uint8Array, this.kickOff, capacity);
      this.events = this.events || [];
    }

    add(f) {
      if (this.count === this.capacity) this.grow(this.capacity * 2);
      const i = this.count++;
      this.last = i;
      this.time[i] = f.time;
      const ball = Array.isArray(f.ball) ? f.ball : [];
      this.ball[2 * i] = num(ball[0]);
      this.ball[2 * i + 1] = num(ball[1]);
      const base = 3 * this.robotCount * i;
      const rows = Array.isArray(f.robots) ? f.robots : [];
      for (let r = 0; r < this.robotCount; r++) {
        const row = rows[r] || [];
        this.robots[base + 3 * r] = num(row[0]);
        this.robots[base + 3 * r + 1] = num(row[1]);
        this.robots[base + 3 * r + 2] = num(row[2]);
        this.still[this.robotCount * i + r] = row[3] === 0 && row[4] === 0 ? 1 : 0;
      }
      const score = Array.isArray(f.score) ? f.score : [];
      this.score[2 * i] = score[0] | 0;
      this.score[2 * i + 1] = score[1] | 0;
      if (Array.isArray(f.events) && f.events.length > 0) {
        this.events[i] = f.events;
        for (const e of f.events) if (e[1] === 'roundBegin') this.kickOff[i] = 1;
      }
    }

    /** The time from which robot r stood still to the last frame. */
    stillFrom(r) {
      let i = this.count - 1;
      while (i >= 0 && this.still[this.robotCount * i + r]) i--;
      return i + 1 < this.count ? this.time[i + 1] : null;
    }

    /** The index of the last frame at or before time t (the first frame if none is). */
    indexAt(t) {
      let lo = 0;
      let hi = this.count - 1;
      if (hi < 0 || t <= this.time[0]) return 0;
      while (lo < hi) {
        const mid = (lo + hi + 1) >> 1;
        if (this.time[mid] <= t) lo = mid; else hi = mid - 1;
      }
      return lo;
    }

    /** The index of the frame of time t exactly, or -1. */
    exactly(t) {
      const i = this.indexAt(t);
      return this.count > 0 && this.time[i] === t ? i : -1;
    }
  }

  function num(v) {
    return typeof v === 'number' ? v : NaN;
  }

  /**
   * Per robot: prints (times and texts, by time) and views split into timed ones (start, last
   * step shown) and ones shown for good, each by start, in parallel arrays kept in order as
   * lines come. Version 1 gathers a robot's output in one line of [time, item] pairs; version 2
   * writes a line per robot and step, nearly always in time order.
   */
  class DebugIndex {
    constructor(robots) {
      this.byId = new Map();
      for (const robot of robots) {
        this.byId.set(robot.id, {
          printTimes: [], printTexts: [], timedStarts: [], timedLasts: [], timedViews: [],
          longest: 1, forGoodStarts: [], forGoodViews: [],
        });
      }
    }

    get(id) {
      return this.byId.get(id);
    }

    add(d) {
      const entry = this.byId.get(d.robot);
      if (!entry) return;
      const prints = Array.isArray(d.prints) ? d.prints : [];
      const views = Array.isArray(d.views) ? d.views : [];
      if (typeof d.time === 'number') {
        for (const text of prints) this.print(entry, d.time, text);
        for (const view of views) this.view(entry, d.time, view);
        return;
      }
      for (const p of prints) {
        if (Array.isArray(p) && typeof p[0] === 'number') this.print(entry, p[0], p[1]);
      }
      for (const v of views) {
        if (Array.isArray(v) && typeof v[0] === 'number') this.view(entry, v[0], v[1]);
      }
    }

    print(entry, time, text) {
      const at = insertionPoint(entry.printTimes, time);
      insert(entry.printTimes, at, time);
      insert(entry.printTexts, at, String(text));
    }

    view(entry, start, view) {
      if (!view || typeof view !== 'object') return;
      if (typeof view.showTime === 'number' && view.showTime < 0) {
        const at = insertionPoint(entry.forGoodStarts, start);
        insert(entry.forGoodStarts, at, start);
        insert(entry.forGoodViews, at, view);
        return;
      }
      const shown = Math.max(1, Math.floor(num(view.showTime)) || 1);
      const at = insertionPoint(entry.timedStarts, start);
      insert(entry.timedStarts, at, start);
      insert(entry.timedLasts, at, start + shown - 1);
      insert(entry.timedViews, at, view);
      if (shown > entry.longest) entry.longest = shown;
    }
  }

  /** Where t goes in ascending values, after any equal ones: nearly always at the end. */
  function insertionPoint(values, t) {
    const n = values.length;
    return n === 0 || values[n - 1] <= t ? n : upperBound(values, t);
  }

  function insert(values, at, value) {
    if (at === values.length) values.push(value); else values.splice(at, 0, value);
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
    debugReady: false, debugMs: 0, follow: false, bubble: false,
    pending: 0, panelKey: '', panelAt: 0, lastTick: 0, drawnAt: 0, dirty: false,
    tickAsked: false, wakeTimer: 0, wakeAt: 0,
    live: null, compare: null,
  };
  const stats = { draws: [], intervals: [], lastFrameAt: 0 };

  /**
   * Some of the replay's JSON lines: the page carries them in parts (the debug lines, all the
   * others, a replay to compare with), each gzip-compressed, in base64.
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

  /** A page served by --live carries no match: it reads it from its stream. */
  function isLive() {
    return $('replay-match').textContent.trim() === '' && /^https?:$/.test(location.protocol);
  }

  async function start() {
    performance.mark('touchline:start');
    if (isLive()) {
      startLive();
    } else {
      await startFile();
    }
    if ($('replay-compare').textContent.trim() !== '') {
      try {
        setCompare(readReplay(await unpack('replay-compare')), 'the replay of --compare');
      } catch (e) {
        showError('cannot read the replay to compare with: ' + e.message);
      }
    }
  }

  /** The match first (shown as soon as it is read), then the prints and views. */
  async function startFile() {
    let replay;
    try {
      replay = readReplay(await unpack('replay-match'));
    } catch (e) {
      showError(e instanceof ReplayError ? e.message : 'cannot read the replay: ' + e.message);
      return;
    }
    show(replay);
    try {
      await readDebug(replay, await unpack('replay-debug'));
    } catch (e) {
      showError('cannot read the prints and views: ' + e.message);
      return;
    }
    debugRead();
  }

  /** Builds the page around a replay that has its header and at least one frame. */
  function show(replay) {
    state.replay = replay;
    for (const robot of replay.header.robots) {
      state.overlays.set(robot.id, true);
      state.trails.set(robot.id, false);
    }
    state.selected = replay.header.robots.length > 0 ? replay.header.robots[0].id : null;
    buildHeader(replay);
    buildRobotTable(replay);
    select(state.selected);
    buildGoals(replay);
    buildMarks(replay);
    wireControls(replay);
    slider();
    new ResizeObserver(() => { layout(); draw(); buildMarks(replay); }).observe($('court'));
    new ResizeObserver((entries) => {
      const size = entries[entries.length - 1].contentRect;
      view.stripWidth = size.width;
      view.stripHeight = size.height;
      drawPrintMarks(replay);
    }).observe($('print-marks'));
    layout();
    goToHash() || setIndex(state.live ? replay.frames.last : 0, false);
    draw();
    updatePanel(true);
    playLabel();
    state.ready = true;
    state.loadMs = performance.now();
    performance.mark('touchline:ready');
  }

  function debugRead() {
    state.debugReady = true;
    state.debugMs = performance.now();
    performance.mark('touchline:debug-ready');
    draw();
    state.panelKey = '';
    updatePanel(true);
    buildMarks(state.replay);
  }

  /** Reads the debug lines in slices, so the page answers while it reads. */
  async function readDebug(replay, text) {
    const lines = text.split('\n');
    let sliceStart = performance.now();
    for (let n = 0; n < lines.length; n++) {
      if (lines[n] === '') continue;
      const object = JSON.parse(lines[n]);
      if (object && object.debug) replay.debugIndex.add(object.debug);
      if (performance.now() - sliceStart > 40) {
        await new Promise((resolve) => setTimeout(resolve, 0));
        sliceStart = performance.now();
      }
    }
    replay.debug = replay.debugIndex.byId;
  }

  // ------------------------------------------------------------------ the live match

  /**
   * Reads the match from the server's stream (Server-Sent Events: each event a batch of
   * replay lines) and follows its newest step until the user looks elsewhere.
   */
  function startLive() {
    state.live = {
      following: true, over: false, connected: false, gaps: 0, lines: 0, updatedAt: 0,
      next: 0, reader: null, abort: null, follow: true, thinFrom: -1, fullFrom: -1,
      restoreTime: null,
    };
    document.body.classList.add('live');
    liveStatus('waiting for the match\u2026');
    readStream();
  }

  /**
   * Reads the stream with fetch rather than EventSource, which costs the browser about twice as
   * much per line; the events are parsed here. Following the match, the page asks only for the
   * newest step of each event (follow=1): the frames skipped are the "thin" part of its
   * timeline, from frame thinFrom (line fullFrom) on. Once it stops following it asks for every
   * line from there on. A broken connection is tried again every 2 s, from the line after the
   * last one read (Last-Event-ID), until the match's end has come.
   */
  async function readStream() {
    const live = state.live;
    while (!live.over) {
      let switched = false;
      try {
        const headers = live.next > 0 ? { 'Last-Event-ID': String(live.next) } : {};
        live.abort = new AbortController();
        const response = await fetch(live.follow ? 'stream?follow=1' : 'stream',
          { headers, cache: 'no-store', signal: live.abort.signal });
        if (!response.ok) {
          liveStatus('the match\u2019s server refused the stream (' + response.status + ')');
          return;
        }
        live.connected = true;
        liveStatus(state.replay ? 'live' : 'waiting for the match\u2026');
        live.reader = response.body.getReader();
        const decoder = new TextDecoder();
        let buffer = '';
        while (!live.over) {
          const { value, done } = await live.reader.read();
          if (done) break;
          buffer += decoder.decode(value, { stream: true });
          let from = 0;
          for (let end = buffer.indexOf('\n\n'); end >= 0; end = buffer.indexOf('\n\n', from)) {
            streamEvent(buffer.slice(from, end));
            from = end + 2;
          }
          buffer = buffer.slice(from);
        }
      } catch (e) {
        // The connection broke, or the page changed how it reads: see below.
        switched = e && e.name === 'AbortError';
      }
      live.connected = false;
      if (live.over) break;
      if (switched) continue;
      liveStatus('connection lost: trying again\u2026');
      await new Promise((resolve) => setTimeout(resolve, 2000));
    }
    if (live.reader) live.reader.cancel().catch(() => {});
  }

  /**
   * Follows the newest step (reading few lines), or reads every line: then the frames skipped
   * while following are read again, from the first skipped line on.
   */
  function readEvery(every) {
    const live = state.live;
    if (live.over || live.follow === !every) return;
    live.follow = !every;
    live.held = null;
    if (every && live.thinFrom >= 0 && state.replay) {
      // The lines read again are held until they reach the step shown, then take the place of
      // the frames skipped: the page never shows less than it did.
      live.held = [];
      live.restoreTime = state.replay.frames.time[state.index];
      live.next = live.fullFrom;
    }
    if (live.abort) live.abort.abort();
  }

  /** Drops the frames read while following, and everything that came with them. */
  function cutThin() {
    const live = state.live;
    const replay = state.replay || live.pending;
    if (live.thinFrom < 0 || !replay) return;
    truncate(replay, live.thinFrom);
    live.thinFrom = -1;
    if (state.compare) {
      state.compare.checked = Math.min(state.compare.checked, replay.frames.count);
      if (state.compare.differs !== null && state.compare.checked < replay.frames.count) return;
      state.compare.differs = null;
    }
  }

  /** One event of the stream: a batch of replay lines ("data:"), its id, or a gap. */
  function streamEvent(text) {
    let kind = 'message';
    const data = [];
    for (const field of text.split('\n')) {
      if (field.startsWith('data: ')) data.push(field.slice(6));
      else if (field.startsWith('id: ')) state.live.next = Number(field.slice(4)) || state.live.next;
      else if (field.startsWith('event: ')) kind = field.slice(7);
    }
    const live = state.live;
    if (kind === 'gap') {
      live.gaps++;
      const replay = state.replay || live.pending;
      if (live.thinFrom < 0) {
        live.thinFrom = replay ? replay.frames.count : 0;
        live.fullFrom = parseLines(data)[0].from;
      }
    } else if (kind === 'refill') {
      // What was skipped comes again: held, like the lines read after a pause, so that the page
      // goes on showing its newest step until it has them all.
      if (state.replay && live.thinFrom >= 0) {
        live.held = [];
        live.restoreTime = state.replay.frames.time[state.index];
      } else {
        cutThin();
        live.fullFrom = -1;
      }
    } else if (kind === 'message' && data.length > 0) {
      receive(data);
    }
  }

  /** Lines of the match as they come: the header, then frames, debug lines and the end. */
  function receive(lines) {
    const live = state.live;
    let replay = state.replay;
    let objects = parseLines(lines);
    if (live.held) {
      for (const object of objects) live.held.push(object);
      if (!objects.some((o) => o && (o.end || (typeof o.time === 'number' && o.time >= live.restoreTime)))) {
        return;
      }
      objects = live.held;
      live.held = null;
      cutThin();
      live.fullFrom = -1;
    }
    for (const object of objects) {
      live.lines++;
      if (!replay && !live.header) {
        try {
          live.header = readHeader(object);
        } catch (e) {
          showError(e.message);
          live.over = true;
          return;
        }
        live.pending = newReplay(live.header);
        continue;
      }
      addLine(replay || live.pending, object);
    }
    if (!replay && live.pending && live.pending.frames.count > 0) {
      replay = live.pending;
      replay.debug = replay.debugIndex.byId;
      settle(replay);
      state.debugReady = true;
      show(replay);
      liveStatus('live');
    }
    if (!replay) return;
    state.dirty = true;
    wakeLive();
    if (live.restoreTime !== null && replay.frames.time[replay.frames.last] >= live.restoreTime) {
      const at = replay.frames.indexAt(live.restoreTime);
      live.restoreTime = null;
      setIndex(at, false);
    }
    // A page that skipped frames gets them (a refill) before the match is over for it.
    if (replay.end && !live.over && live.thinFrom < 0) {
      if (live.following) follow();
      live.over = true;
      live.following = false;
      liveStatus(replay.end.interrupted ? 'the match was interrupted' : 'the match is over');
      liveChanged(true);
      draw();
    }
  }

  /** The lines of one event, parsed at once (one JSON array); a line that is not JSON is told. */
  function parseLines(lines) {
    try {
      return JSON.parse('[' + lines.join(',') + ']');
    } catch (e) {
      const objects = [];
      for (const line of lines) {
        try {
          objects.push(JSON.parse(line));
        } catch (lineError) {
          showError('the stream sent a line that is not JSON: ' + lineError.message);
        }
      }
      return objects;
    }
  }

  /**
   * The timeline, goals and endings, after lines came: at most every gap ms (LIVE_INTERVAL
   * unless told); false when it is too soon.
   */
  function liveChanged(now, gap = LIVE_INTERVAL) {
    const live = state.live;
    const at = performance.now();
    if (!now && at - live.updatedAt < gap) return false;
    live.updatedAt = at;
    const replay = state.replay;
    settle(replay);
    if (replay.goals.length !== live.goalsShown || now) {
      live.goalsShown = replay.goals.length;
      buildGoals(replay);
    }
    compareAhead();
    // The marks move as the timeline grows: placed again when it has grown by a hundredth, or
    // when there is something new to mark.
    const entry = replay.debug.get(state.selected);
    const key = [replay.goals.length, replay.endings.size, state.compare && state.compare.differs,
      entry ? entry.printTimes.length : 0, state.selected].join(':');
    if (now || key !== live.marksKey || replay.frames.count > 1.01 * live.marksCount) {
      live.marksKey = key;
      live.marksCount = replay.frames.count;
      buildMarks(replay);
    }
    if (now) {
      state.panelKey = '';
      updatePanel(true);
    }
    return true;
  }

  /** How often to draw the newest step: from how fast it moved over the last second or so. */
  function liveDrawInterval(frames) {
    const live = state.live;
    const now = performance.now();
    const newest = frames.time[frames.last];
    if (!live.paceAt || now - live.paceAt > 1000) {
      if (live.paceAt) {
        live.fast = (newest - live.paceStep) / ((now - live.paceAt) / 1000) > LIVE_FAST_STEPS;
      }
      live.paceAt = now;
      live.paceStep = newest;
    }
    return live.fast ? LIVE_FAST_DRAW_INTERVAL : LIVE_DRAW_INTERVAL;
  }

  /** Shows the newest step; the side panel follows at its own pace. */
  function follow() {
    state.index = state.replay.frames.last;
    slider();
    draw();
    updatePanel(false);
  }

  function liveStatus(text) {
    $('live-status').textContent = text;
    const button = $('live');
    const following = state.live.following && !state.live.over;
    button.classList.toggle('on', following);
    button.textContent = state.live.over ? 'End' : following ? '\u25cf live' : 'go live';
    button.title = state.live.over ? 'The last step (End)' : 'Follow the newest step (L)';
  }

  function setFollowing(following) {
    if (!state.live) return;
    state.live.following = following && !state.live.over;
    if (state.live.following) wake();
    readEvery(!state.live.following);
    liveStatus($('live-status').textContent);
    playLabel();
  }

  function playLabel() {
    $('play').textContent = state.playing || (state.live && state.live.following) ? 'Pause' : 'Play';
  }

  function goLive() {
    setPlaying(false);
    setIndex(state.replay.frames.last, false);
    setFollowing(true);
  }

  // ------------------------------------------------------------------ the page's parts

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
    document.title = (state.live ? 'Touchline live: ' : 'Touchline replay: ')
      + $('home-name').textContent + ' v ' + $('away-name').textContent;
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

  /** The goals the side panel lists, in order: a live match's new goals are added to them. */
  let goalsListed = [];

  function buildGoals(replay) {
    const list = $('goals');
    const goals = replay.goals;
    const grown = goalsListed.length > 0 && goalsListed.length <= goals.length
      && goalsListed.every((goal, k) => goal === goals[k]);
    if (!grown) {
      list.replaceChildren();
      goalsListed = [];
    }
    if (goals.length === 0) {
      const none = document.createElement('li');
      none.textContent = 'none';
      list.appendChild(none);
    }
    for (const goal of goals.slice(goalsListed.length)) {
      const item = document.createElement('li');
      item.textContent = goalText(replay, goal);
      item.addEventListener('click', () => jump(state.replay.frames.indexAt(goal.time)));
      list.appendChild(item);
    }
    goalsListed = goals.slice();
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

  function robotById(id) {
    return state.replay.header.robots.find((r) => r.id === id);
  }

  /** "crashed at step 101: SIGSEGV in kick at striker.c:41", or "" for a robot that played on. */
  function endingLine(id) {
    const ending = state.replay.endings.get(id);
    if (!ending || !ending.early) return '';
    let text = String(ending.outcome.ending);
    if (ending.from !== null) text += ', still from step ' + ending.from;
    if (ending.outcome.reason) text += ': ' + String(ending.outcome.reason);
    return text;
  }

  /** What each timeline mark shows, to know it again when the marks are placed anew. */
  const markKeys = new WeakMap();

  /**
   * The timeline under the slider: a mark per goal, per robot that ended early and where the
   * compared replay first differs; and a strip with the selected robot's prints. Clicking a
   * mark, or the strip near a print, goes there.
   */
  function buildMarks(replay) {
    const marks = $('marks');
    const span = Math.max(1, replay.frames.count - 1);
    const wanted = [];
    const want = (className, time, text, color = '', symbol = '', robot = '') => {
      wanted.push({ key: [className, time, text, color, symbol, robot].join('\n'), className, time,
        text, color, symbol, robot });
    };
    for (const goal of replay.goals) {
      const teamIndex = replay.header.teams.findIndex((t) => t.id === goal.team);
      want('goal-mark', goal.time, goalText(replay, goal), TEAM_COLORS[Math.max(0, teamIndex) % 2][0]);
    }
    for (const [id, ending] of replay.endings) {
      if (!ending.early || ending.from === null) continue;
      const robot = robotById(id);
      want('ending-mark', ending.from, 'robot ' + id + ' ' + (robot ? robot.name : '') + ': '
        + endingLine(id), '', '\u2715', String(id));
    }
    const compare = state.compare;
    if (compare && compare.differs !== null) {
      want('diff-mark', compare.differs, 'the compared replay first differs here (step '
        + compare.differs + ')');
    }
    // The marks still wanted are kept and only moved, so that a new goal of a live match adds
    // one button rather than making every mark again.
    const kept = new Map();
    for (const button of marks.children) kept.set(markKeys.get(button), button);
    wanted.forEach((m, k) => {
      let button = kept.get(m.key);
      if (button) {
        kept.delete(m.key);
      } else {
        button = document.createElement('button');
        button.className = 'mark ' + m.className;
        button.title = m.text;
        button.setAttribute('aria-label', m.text);
        button.dataset.step = String(m.time);
        if (m.color) button.style.background = m.color;
        if (m.symbol) button.textContent = m.symbol;
        if (m.robot) button.dataset.robot = m.robot;
        button.addEventListener('click', () => jump(state.replay.frames.indexAt(m.time)));
        markKeys.set(button, m.key);
      }
      const left = (100 * replay.frames.indexAt(m.time) / span) + '%';
      if (button.style.left !== left) button.style.left = left;
      if (marks.children[k] !== button) marks.insertBefore(button, marks.children[k] || null);
    });
    for (const button of kept.values()) button.remove();
    drawPrintMarks(replay);
  }

  /** The selected robot's prints as ticks under the slider. */
  function drawPrintMarks(replay) {
    const canvas = $('print-marks');
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(view.stripWidth * ratio));
    const height = Math.max(1, Math.round(view.stripHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const g = canvas.getContext('2d');
    g.clearRect(0, 0, canvas.width, canvas.height);
    const entry = replay.debug.get(state.selected);
    canvas.title = entry && entry.printTimes.length > 0
      ? 'prints of robot ' + state.selected + ': click to go to the nearest' : '';
    if (!entry) return;
    const span = Math.max(1, replay.frames.count - 1);
    const robot = robotById(state.selected);
    g.fillStyle = robot ? robot.ownColor : '#e5e7eb';
    let lastX = -1;
    for (const t of entry.printTimes) {
      const x = Math.round(replay.frames.indexAt(t) / span * (canvas.width - 1));
      if (x === lastX) continue;
      lastX = x;
      g.fillRect(x, 0, Math.max(1, ratio), canvas.height);
    }
  }

  function pickPrint(e) {
    const replay = state.replay;
    const entry = replay.debug.get(state.selected);
    if (!entry || entry.printTimes.length === 0) return;
    const rect = $('print-marks').getBoundingClientRect();
    const share = Math.min(1, Math.max(0, (e.clientX - rect.left) / Math.max(1, rect.width)));
    const span = Math.max(1, replay.frames.count - 1);
    const wanted = replay.frames.time[Math.round(share * span)];
    const k = upperBound(entry.printTimes, wanted);
    let best = Math.max(0, k - 1);
    if (k < entry.printTimes.length
        && Math.abs(entry.printTimes[k] - wanted) < Math.abs(entry.printTimes[best] - wanted)) {
      best = k;
    }
    jump(replay.frames.indexAt(entry.printTimes[best]));
  }

  function wireControls(replay) {
    $('play').addEventListener('click', togglePlaying);
    $('back').addEventListener('click', () => jump(state.index - 1));
    $('forward').addEventListener('click', () => jump(state.index + 1));
    $('live').addEventListener('click', () => {
      if (state.live && !state.live.over) goLive(); else jump(replay.frames.last);
    });
    $('speed').addEventListener('change', () => {
      state.speed = Number($('speed').value) || 1;
      // Give the keys back to the player: space plays, arrows step.
      $('speed').blur();
    });
    $('slider').addEventListener('input', () => jump(Number($('slider').value)));
    $('print-marks').addEventListener('click', pickPrint);
    $('follow').addEventListener('change', () => setFollow($('follow').checked));
    $('bubble').addEventListener('change', () => { state.bubble = $('bubble').checked; draw(); });
    window.addEventListener('hashchange', goToHash);
    document.addEventListener('keydown', onKey, true);
    $('court').addEventListener('click', (e) => {
      const robot = robotAt(e);
      if (robot) select(robot.id);
    });
    $('court').addEventListener('mousemove', (e) => {
      const robot = robotAt(e);
      const title = robot ? robotTitle(robot.id) : '';
      if ($('court').title !== title) $('court').title = title;
    });
  }

  function robotTitle(id) {
    const robot = robotById(id);
    const ending = endingLine(id);
    return id + ' ' + (robot ? robot.name : '') + (ending ? ' \u2014 ' + ending : '');
  }

  function setFollow(on) {
    state.follow = on;
    $('follow').checked = on;
    draw();
  }

  function onKey(e) {
    if (e.target instanceof HTMLSelectElement || e.altKey || e.ctrlKey || e.metaKey) return;
    const by = e.shiftKey ? 10 : 1;
    switch (e.key) {
      case ' ':
        togglePlaying();
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
      case 'l':
      case 'L':
        if (!state.live) return;
        goLive();
        break;
      case 'f':
      case 'F':
        setFollow(!state.follow);
        break;
      default:
        return;
    }
    e.preventDefault();
    e.stopPropagation();
  }

  /** A step chosen by the user: playing and following the live match stop, the hash remembers it. */
  function jump(index) {
    const frames = state.replay.frames;
    const t = frames.time[Math.max(0, Math.min(frames.last, Math.round(index)))];
    setPlaying(false);
    setFollowing(false);
    if (state.live && state.live.held) state.live.restoreTime = t;
    setIndex(index, true);
  }

  function setIndex(index, remember) {
    const frames = state.replay.frames;
    state.index = Math.max(0, Math.min(frames.last, Math.round(index)));
    slider();
    if (remember) rememberStep();
    state.pending = 0;
    draw();
    updatePanel(!state.playing);
  }

  /** The slider at the step shown, its end at the newest frame. */
  function slider() {
    const input = $('slider');
    const last = String(state.replay.frames.last);
    if (input.max !== last) input.max = last;
    input.value = String(state.index);
  }

  function rememberStep() {
    const hash = '#step=' + state.replay.frames.time[state.index];
    if (location.hash !== hash) history.replaceState(null, '', hash);
  }

  /** Goes to the step the hash names (#step=N, or #N); false if it names none. */
  function goToHash() {
    const match = /^#(?:step=)?(-?\d+)$/.exec(location.hash);
    if (!match) return false;
    setPlaying(false);
    setFollowing(false);
    setIndex(state.replay.frames.indexAt(Number(match[1])), false);
    return true;
  }

  /** Play or pause; following the live match counts as playing: pausing stops at the step. */
  function togglePlaying() {
    if (state.live && state.live.following) {
      setFollowing(false);
      rememberStep();
      updatePanel(true);
      return;
    }
    setPlaying(!state.playing);
  }

  function setPlaying(playing) {
    if (playing === state.playing) return;
    if (playing && state.index >= state.replay.frames.last && !state.live) state.index = 0;
    if (playing) setFollowing(false);
    state.playing = playing;
    state.pending = 0;
    state.lastTick = 0;
    if (playing) wake();
    playLabel();
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
    if (state.ready) drawPrintMarks(state.replay);
  }

  function robotAt(e) {
    const rect = $('court').getBoundingClientRect();
    const x = e.clientX - rect.left;
    const y = e.clientY - rect.top;
    const drawn = state.drawn;
    if (!drawn) return null;
    let best = null;
    let bestDistance = Infinity;
    for (const robot of drawn.robots) {
      const d = Math.hypot(robot.px - x, robot.py - y);
      if (d < bestDistance) { best = robot; bestDistance = d; }
    }
    return best && bestDistance <= Math.max(12, best.pr * 1.5) ? best : null;
  }

  /**
   * Asks for a tick at the next frame. Ticks run only while there is something to do (playing,
   * or lines of a live match to show): an idle page costs the machine nothing.
   */
  function wake() {
    if (state.tickAsked || !state.ready) return;
    state.tickAsked = true;
    requestAnimationFrame(tick);
  }

  /**
   * After lines came: a tick at once if the newest step or the timeline is due, else one
   * planned for when the first of them is. A tick that only finds it is too soon still costs
   * the browser a whole frame.
   */
  function wakeLive() {
    if (state.playing || state.tickAsked || !state.ready) {
      wake();
      return;
    }
    const now = performance.now();
    const frames = state.replay.frames;
    let due = LIVE_INTERVAL - (now - state.live.updatedAt);
    if (state.live.following && state.index !== frames.last) {
      due = liveDrawInterval(frames) - (now - state.drawnAt);
    }
    if (due <= FRAME_SLACK) wake(); else planTick(due);
  }

  /** A tick in ms, unless one is planned sooner already. */
  function planTick(ms) {
    const at = performance.now() + Math.max(0, ms);
    if (state.wakeTimer && state.wakeAt <= at) return;
    clearTimeout(state.wakeTimer);
    state.wakeAt = at;
    state.wakeTimer = setTimeout(() => {
      state.wakeTimer = 0;
      wake();
    }, Math.max(0, ms));
  }

  function tick(now) {
    state.tickAsked = false;
    const frames = state.replay.frames;
    let later = Infinity;
    if (state.live) {
      // Following, the timeline and goals change in the frame that draws the newest step, so
      // that the browser paints once for both rather than at two paces of its own.
      const drawing = state.live.following && state.index !== frames.last;
      const interval = drawing ? liveDrawInterval(frames) : LIVE_INTERVAL;
      const wait = drawing ? interval - (now - state.drawnAt) : Infinity;
      const due = drawing && wait <= FRAME_SLACK;
      if (drawing && !due) later = Math.min(later, wait);
      if (state.dirty && (!drawing || due)) {
        const gap = drawing ? LIVE_INTERVAL - Math.min(interval, LIVE_INTERVAL) : LIVE_INTERVAL;
        if (liveChanged(false, gap)) state.dirty = false;
        else if (!drawing) later = Math.min(later, gap - (performance.now() - state.live.updatedAt));
      }
      if (due) follow();
    }
    if (state.playing) {
      const dt = state.lastTick ? Math.min(now - state.lastTick, 250) : 0;
      state.pending += dt / 1000 * STEPS_PER_SECOND * state.speed;
      const whole = Math.floor(state.pending);
      if (whole > 0) {
        state.pending -= whole;
        const next = state.index + whole;
        const last = frames.last;
        state.index = Math.min(next, last);
        slider();
        draw();
        updatePanel(false);
        if (next >= last) {
          setPlaying(false);
          if (state.live && !state.live.over) setFollowing(true);
        }
      }
      if (stats.lastFrameAt) stats.intervals.push(now - stats.lastFrameAt);
      stats.lastFrameAt = now;
    } else {
      stats.lastFrameAt = 0;
    }
    state.lastTick = now;
    if (state.playing) {
      wake();
    } else if (later < Infinity) {
      planTick(later);
    }
  }

  // ------------------------------------------------------------------ drawing

  /**
   * Where the court is drawn: the whole court fitted to the canvas, or, following the selected
   * robot, nearer and centred on it (set each frame by draw()).
   */
  const view = {
    width: 0, height: 0, ratio: 1, scale: 1, left: 0, bottom: 0, background: null,
    fitScale: 1, fitLeft: 0, fitBottom: 0, zoom: 1, stripWidth: 1, stripHeight: 1,
  };

  function layout() {
    if (!state.replay) return;
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
    view.fitScale = Math.min(view.width / spanX, view.height / spanY);
    view.fitLeft = (view.width - court.width * view.fitScale) / 2;
    view.fitBottom = (view.height + court.height * view.fitScale) / 2;
    fit();
    view.background = document.createElement('canvas');
    view.background.width = canvas.width;
    view.background.height = canvas.height;
    const g = view.background.getContext('2d');
    g.scale(view.ratio, view.ratio);
    paintCourt(g, court);
  }

  function fit() {
    view.scale = view.fitScale;
    view.left = view.fitLeft;
    view.bottom = view.fitBottom;
    view.zoom = 1;
  }

  /** Centres the view on the robot followed, if any; true when it does. */
  function centre(frames, i) {
    if (!state.follow || state.selected === null) return false;
    const r = state.replay.header.robots.findIndex((robot) => robot.id === state.selected);
    if (r < 0) return false;
    const x = frames.robots[3 * frames.robotCount * i + 3 * r];
    const y = frames.robots[3 * frames.robotCount * i + 3 * r + 1];
    if (Number.isNaN(x) || Number.isNaN(y)) return false;
    view.zoom = FOLLOW_ZOOM;
    view.scale = view.fitScale * FOLLOW_ZOOM;
    view.left = view.width / 2 - x * view.scale;
    view.bottom = view.height / 2 + y * view.scale;
    return true;
  }

  const px = (x) => view.left + x * view.scale;
  const py = (y) => view.bottom - y * view.scale;

  /** The court without robots or ball, in the view's place and scale. */
  function paintCourt(g, court) {
    g.fillStyle = '#0f172a';
    g.fillRect(0, 0, view.width, view.height);
    const w = court.width;
    const h = court.height;
    const low = h / 2 - court.goalWidth / 2;
    const high = low + court.goalWidth;
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
  }

  function draw() {
    if (!state.replay || !view.background) return;
    const began = performance.now();
    state.drawnAt = began;
    const canvas = $('court');
    const g = canvas.getContext('2d');
    const replay = state.replay;
    const frames = replay.frames;
    const i = state.index;
    const t = frames.time[i];
    g.setTransform(1, 0, 0, 1, 0, 0);
    if (centre(frames, i)) {
      g.setTransform(view.ratio, 0, 0, view.ratio, 0, 0);
      paintCourt(g, replay.header.court);
    } else {
      fit();
      g.drawImage(view.background, 0, 0);
      g.setTransform(view.ratio, 0, 0, view.ratio, 0, 0);
    }
    const drawn = { step: t, index: i, robots: [], ball: null, views: {}, ghosts: null, bubble: null };
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
    if (state.compare) drawn.ghosts = drawGhosts(g, t);
    const base = 3 * frames.robotCount * i;
    replay.header.robots.forEach((robot, r) => {
      const x = frames.robots[base + 3 * r];
      const y = frames.robots[base + 3 * r + 1];
      const heading = frames.robots[base + 3 * r + 2];
      const pr = robot.radius * view.scale;
      const ending = replay.endings.get(robot.id);
      const ended = Boolean(ending && ending.early && ending.from !== null && t >= ending.from);
      drawRobot(g, robot, px(x), py(y), heading, pr, ended);
      drawn.robots.push({ id: robot.id, x, y, heading, px: px(x), py: py(y), pr, ended });
    });
    const bx = frames.ball[2 * i];
    const by = frames.ball[2 * i + 1];
    const ballRadius = Math.max(3, replay.header.ballRadius * view.scale);
    drawBall(g, px(bx), py(by), ballRadius);
    drawn.ball = { x: bx, y: by, px: px(bx), py: py(by) };
    drawLabels(g, drawn, ballRadius);
    if (state.bubble) drawn.bubble = drawBubble(g, drawn, t);
    drawn.zoom = view.zoom;
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

  /** The court's green, which a view's colour must stand out from. */
  const COURT_RGB = [0x2f, 0x7d, 0x46];
  /** Colours nearer the court's than this (in RGB) are drawn over an edge. */
  const EDGE_DISTANCE = 140;

  /**
   * For a colour too near the court's, an edge of the opposite lightness (dark for a light
   * colour, light for a dark one); null for one that stands out by itself.
   */
  function edgeOf(value) {
    const rgb = (Number(value) | 0) & 0xffffff;
    const [r, g, b] = [rgb >> 16, (rgb >> 8) & 0xff, rgb & 0xff];
    const distance = Math.hypot(r - COURT_RGB[0], g - COURT_RGB[1], b - COURT_RGB[2]);
    if (distance >= EDGE_DISTANCE) return null;
    const light = 0.299 * r + 0.587 * g + 0.114 * b;
    return light > 110 ? 'rgba(0, 0, 0, 0.75)' : 'rgba(255, 255, 255, 0.85)';
  }

  /**
   * One overlay view, in court units: see docs/host.md for each type's fields. A view whose
   * colour is near the court's is drawn over an edge, so that a green line shows on the green
   * court; the others, as they are (an edge for each would double the drawing).
   */
  function drawView(g, v) {
    const color = colorOf(v.color);
    const edge = edgeOf(v.color);
    g.fillStyle = color;
    g.lineWidth = 1.5;
    const stroke = (path) => {
      if (edge) {
        g.strokeStyle = edge;
        g.lineWidth = 3.5;
        g.stroke(path);
      }
      g.strokeStyle = color;
      g.lineWidth = 1.5;
      g.stroke(path);
    };
    const fill = (path) => {
      g.fill(path);
      if (!edge) return;
      g.strokeStyle = edge;
      g.lineWidth = 1;
      g.stroke(path);
    };
    switch (v.type) {
      case 'line': {
        const path = new Path2D();
        path.moveTo(px(num(v.beginX)), py(num(v.beginY)));
        path.lineTo(px(num(v.endX)), py(num(v.endY)));
        stroke(path);
        break;
      }
      case 'ellipse': {
        const rx = Math.abs(num(v.xRadius)) * view.scale;
        const ry = Math.abs(num(v.yRadius)) * view.scale;
        if (!(rx >= 0 && ry >= 0)) break;
        const path = new Path2D();
        path.ellipse(px(num(v.locationX)), py(num(v.locationY)), rx, ry, 0, 0, 2 * Math.PI);
        if (v.fill) fill(path); else stroke(path);
        break;
      }
      case 'rectangle': {
        const x = Math.min(num(v.locationX), num(v.locationX) + num(v.width));
        const y = Math.max(num(v.locationY), num(v.locationY) + num(v.height));
        const path = new Path2D();
        path.rect(px(x), py(y), Math.abs(num(v.width)) * view.scale, Math.abs(num(v.height)) * view.scale);
        if (v.fill) fill(path); else stroke(path);
        break;
      }
      case 'text': {
        const size = num(v.size) > 0 ? num(v.size) : 5;
        const text = String(v.text === undefined ? '' : v.text).slice(0, 200);
        g.font = Math.max(6, Math.min(200, size * view.scale)) + 'px sans-serif';
        g.textAlign = 'left';
        g.textBaseline = 'alphabetic';
        if (edge) {
          g.strokeStyle = edge;
          g.lineWidth = 3;
          g.lineJoin = 'round';
          g.strokeText(text, px(num(v.locationX)), py(num(v.locationY)));
        }
        g.fillText(text, px(num(v.locationX)), py(num(v.locationY)));
        break;
      }
      default:
        break;
    }
  }

  /**
   * A robot: a disc in its team's colour with a ring in its own shade (as in the table), a
   * line to its heading. One that has ended is grey and crossed out.
   */
  function drawRobot(g, robot, x, y, heading, r, ended) {
    if (Number.isNaN(x) || Number.isNaN(y)) return;
    g.beginPath();
    g.arc(x, y, r, 0, 2 * Math.PI);
    g.fillStyle = ended ? ENDED_COLOR : robot.color;
    g.fill();
    if (!ended && robot.ownColor !== robot.color) {
      g.beginPath();
      g.arc(x, y, r * 0.82, 0, 2 * Math.PI);
      g.lineWidth = Math.max(2, r * 0.3);
      g.strokeStyle = robot.ownColor;
      g.stroke();
    }
    g.beginPath();
    g.arc(x, y, r, 0, 2 * Math.PI);
    g.lineWidth = 1.5;
    g.strokeStyle = '#f1f5f9';
    g.stroke();
    if (robot.id === state.selected) {
      g.beginPath();
      g.arc(x, y, r + 3, 0, 2 * Math.PI);
      g.lineWidth = 3;
      g.strokeStyle = '#facc15';
      g.stroke();
    }
    if (!Number.isNaN(heading)) {
      g.beginPath();
      g.moveTo(x, y);
      g.lineTo(x + r * Math.cos(heading), y - r * Math.sin(heading));
      g.lineWidth = 2;
      g.strokeStyle = '#f1f5f9';
      g.stroke();
    }
    if (ended) {
      const d = r * 0.75;
      g.beginPath();
      g.moveTo(x - d, y - d);
      g.lineTo(x + d, y + d);
      g.moveTo(x + d, y - d);
      g.lineTo(x - d, y + d);
      g.lineWidth = Math.max(2, r * 0.3);
      g.strokeStyle = '#ef4444';
      g.stroke();
    }
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

  /**
   * The robots' ids, each placed where it stays inside the canvas and off the other labels,
   * the robots and the ball: above the robot if it can, else below, beside, or at a corner.
   */
  function drawLabels(g, drawn, ballRadius) {
    const discs = drawn.robots.map((r) => box(r.px - r.pr, r.py - r.pr, 2 * r.pr, 2 * r.pr));
    const ball = box(drawn.ball.px - ballRadius, drawn.ball.py - ballRadius, 2 * ballRadius, 2 * ballRadius);
    const placed = [];
    drawn.robots.forEach((robot, k) => {
      if (!(robot.px > -robot.pr && robot.px < view.width + robot.pr
          && robot.py > -robot.pr && robot.py < view.height + robot.pr)) return;
      const size = Math.max(10, Math.round(robot.pr * 0.9));
      g.font = 'bold ' + size + 'px sans-serif';
      const text = String(robot.id);
      const w = g.measureText(text).width + 2;
      const h = size + 2;
      const gap = robot.pr + 2;
      const d = gap * 0.72;
      const candidates = [[0, -gap - h / 2], [0, gap + h / 2], [gap + w / 2, 0], [-gap - w / 2, 0],
        [d + w / 2, -d - h / 2], [-d - w / 2, -d - h / 2], [d + w / 2, d + h / 2], [-d - w / 2, d + h / 2]];
      const others = discs.filter((o, n) => n !== k).concat([ball], placed);
      let best = null;
      let bestCovered = Infinity;
      for (const [dx, dy] of candidates) {
        const cx = Math.min(view.width - w / 2, Math.max(w / 2, robot.px + dx));
        const cy = Math.min(view.height - h / 2, Math.max(h / 2, robot.py + dy));
        const b = box(cx - w / 2, cy - h / 2, w, h);
        // Kept inside the canvas, a label may be pushed onto its own robot: that counts too.
        const covered = others.concat([discs[k]]).reduce((sum, o) => sum + overlap(o, b), 0);
        if (covered < bestCovered) {
          best = b;
          bestCovered = covered;
          if (covered === 0) break;
        }
      }
      placed.push(best);
      g.textAlign = 'center';
      g.textBaseline = 'middle';
      g.lineWidth = 3;
      g.lineJoin = 'round';
      g.strokeStyle = 'rgba(15, 23, 42, 0.85)';
      g.strokeText(text, best.x + best.w / 2, best.y + best.h / 2);
      g.fillStyle = '#f8fafc';
      g.fillText(text, best.x + best.w / 2, best.y + best.h / 2);
      robot.label = best;
    });
  }

  const box = (x, y, w, h) => ({ x, y, w, h });
  /** The area two boxes share (0 when apart). */
  const overlap = (a, b) => Math.max(0, Math.min(a.x + a.w, b.x + b.w) - Math.max(a.x, b.x))
    * Math.max(0, Math.min(a.y + a.h, b.y + b.h) - Math.max(a.y, b.y));

  /** The selected robot's latest print at or before t, in a box beside it on the court. */
  function drawBubble(g, drawn, t) {
    const robot = drawn.robots.find((r) => r.id === state.selected);
    const entry = state.replay.debug.get(state.selected);
    if (!robot || !entry || Number.isNaN(robot.px)) return null;
    const k = upperBound(entry.printTimes, t) - 1;
    if (k < 0) return null;
    let text = entry.printTexts[k];
    if (text.length > BUBBLE_CHARS) text = text.slice(0, BUBBLE_CHARS - 1) + '\u2026';
    g.font = '12px "DejaVu Sans Mono", monospace';
    const w = g.measureText(text).width + 10;
    const h = 18;
    const right = robot.px + robot.pr + 6 + w <= view.width;
    const x = right ? robot.px + robot.pr + 6 : Math.max(0, robot.px - robot.pr - 6 - w);
    const y = Math.min(view.height - h, Math.max(0, robot.py - h / 2));
    g.fillStyle = 'rgba(15, 23, 42, 0.88)';
    g.fillRect(x, y, w, h);
    g.strokeStyle = '#facc15';
    g.lineWidth = 1;
    g.strokeRect(x + 0.5, y + 0.5, w - 1, h - 1);
    g.fillStyle = '#f8fafc';
    g.textAlign = 'left';
    g.textBaseline = 'middle';
    g.fillText(text, x + 5, y + h / 2);
    return { text, time: entry.printTimes[k], x, y, w, h };
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

  // ------------------------------------------------------------------ comparing two runs

  /**
   * Draws other's robots and ball as ghosts over the match, step for step (by time), robots
   * matched by their place in the header; notes the first step at which the two differ.
   */
  function setCompare(other, name) {
    const replay = state.replay;
    const mine = replay ? replay.header : null;
    state.compare = { replay: other, name, sameTeams: null, differs: null, checked: 0 };
    if (!replay) return;
    compareAhead();
    showCompare();
    buildMarks(replay);
    draw();
  }

  /** Looks for the first difference in the frames not yet compared. */
  function compareAhead() {
    const compare = state.compare;
    if (!compare || compare.differs !== null) return;
    const mine = state.replay.frames;
    const theirs = compare.replay.frames;
    if (compare.sameTeams === null) {
      const a = state.replay.header;
      const b = compare.replay.header;
      compare.sameTeams = a.robots.length === b.robots.length
        && JSON.stringify(a.court) === JSON.stringify(b.court);
    }
    if (!compare.sameTeams) {
      compare.differs = Math.min(mine.time[0], theirs.time[0]);
      return;
    }
    const n = mine.robotCount;
    for (let i = compare.checked; i < mine.count; i++) {
      const t = mine.time[i];
      const j = theirs.exactly(t);
      if (j < 0) {
        compare.checked = i + 1;
        continue;
      }
      let same = mine.ball[2 * i] === theirs.ball[2 * j] && mine.ball[2 * i + 1] === theirs.ball[2 * j + 1]
        && mine.score[2 * i] === theirs.score[2 * j] && mine.score[2 * i + 1] === theirs.score[2 * j + 1];
      for (let k = 0; same && k < 3 * n; k++) {
        const a = mine.robots[3 * n * i + k];
        const b = theirs.robots[3 * n * j + k];
        same = a === b || (Number.isNaN(a) && Number.isNaN(b));
      }
      if (!same) {
        compare.differs = t;
        showCompare();
        return;
      }
      compare.checked = i + 1;
    }
    showCompare();
  }

  function showCompare() {
    const compare = state.compare;
    const note = $('compare-note');
    $('compare-clear').hidden = !compare;
    if (!compare) {
      note.textContent = 'Drop a replay.jsonl on the page, or choose one, to draw it as ghosts over this match.';
      return;
    }
    const theirs = compare.replay;
    let text = 'Ghosts: ' + compare.name + ' (' + String(theirs.header.teams[0] ? theirs.header.teams[0].name : '')
      + ' v ' + String(theirs.header.teams[1] ? theirs.header.teams[1].name : '') + ', '
      + theirs.frames.count + ' frames). ';
    if (compare.sameTeams === false) {
      text += 'The two matches have different robots or courts: ghosts are drawn by order.';
    } else if (compare.differs !== null) {
      text += 'The two first differ at step ' + compare.differs + '.';
    } else if (state.replay && compare.checked > 0) {
      const last = state.replay.frames.time[compare.checked - 1];
      text += 'The same at every step both have, up to step ' + last + '.';
    } else {
      text += 'Nothing to compare yet.';
    }
    note.textContent = text;
  }

  function drawGhosts(g, t) {
    const theirs = state.compare.replay;
    const frames = theirs.frames;
    const j = frames.exactly(t);
    if (j < 0) return [];
    const ghosts = [];
    g.save();
    g.globalAlpha = 0.55;
    g.setLineDash([4, 3]);
    g.lineWidth = 2;
    const n = frames.robotCount;
    theirs.header.robots.forEach((robot, r) => {
      const x = frames.robots[3 * n * j + 3 * r];
      const y = frames.robots[3 * n * j + 3 * r + 1];
      if (Number.isNaN(x) || Number.isNaN(y)) return;
      const pr = robot.radius * view.scale;
      g.beginPath();
      g.arc(px(x), py(y), pr, 0, 2 * Math.PI);
      g.fillStyle = '#e5e7eb';
      g.fill();
      g.strokeStyle = robot.color;
      g.stroke();
      ghosts.push({ id: robot.id, x, y, px: px(x), py: py(y) });
    });
    const bx = frames.ball[2 * j];
    const by = frames.ball[2 * j + 1];
    if (!Number.isNaN(bx) && !Number.isNaN(by)) {
      g.beginPath();
      g.arc(px(bx), py(by), Math.max(3, theirs.header.ballRadius * view.scale), 0, 2 * Math.PI);
      g.strokeStyle = '#f59e0b';
      g.stroke();
      ghosts.push({ id: 'ball', x: bx, y: by, px: px(bx), py: py(by) });
    }
    g.restore();
    return ghosts;
  }

  /** A replay.jsonl dropped on the page, or chosen, becomes the one compared with. */
  async function compareFile(file) {
    try {
      setCompare(readReplay(await file.text()), String(file.name));
      $('error').hidden = true;
    } catch (e) {
      showError('cannot compare with ' + String(file.name) + ': '
        + (e instanceof ReplayError ? e.message : e.message));
    }
  }

  function wireCompare() {
    document.addEventListener('dragover', (e) => {
      e.preventDefault();
      e.dataTransfer.dropEffect = 'copy';
    });
    document.addEventListener('drop', (e) => {
      e.preventDefault();
      const file = e.dataTransfer.files[0];
      if (file && state.replay) compareFile(file);
    });
    $('compare-file').addEventListener('change', () => {
      const file = $('compare-file').files[0];
      if (file && state.replay) compareFile(file);
      $('compare-file').value = '';
    });
    $('compare-clear').addEventListener('click', () => {
      state.compare = null;
      showCompare();
      if (state.replay) {
        buildMarks(state.replay);
        draw();
      }
    });
    showCompare();
  }

  // ------------------------------------------------------------------ the side panel

  /** The selected robot's ending, events at this step and prints up to it. */
  function updatePanel(now) {
    const at = performance.now();
    const live = state.live;
    const interval = live && live.following && live.fast ? LIVE_FAST_PANEL_INTERVAL
      : PANEL_INTERVAL;
    if (!now && at - state.panelAt < interval) return;
    const replay = state.replay;
    const id = state.selected;
    const key = id + ':' + state.index;
    if (key === state.panelKey) return;
    state.panelKey = key;
    state.panelAt = at;
    const robot = robotById(id);
    $('debug-title').textContent = robot ? 'Robot ' + robot.id + ' ' + robot.name : 'Robot';
    $('ending').textContent = robot ? endingText(replay, robot.id) : '';
    showEvents(replay, id);
    showPrints(replay, id);
  }

  function endingText(replay, id) {
    const ending = replay.endings.get(id);
    if (!ending) {
      return state.live && !replay.end ? 'ending: not known until the match ends'
        : 'ending: not recorded (the replay was cut short)';
    }
    const outcome = ending.outcome;
    if (!replay.end) {
      let live = 'ending: ' + String(outcome.ending);
      if (outcome.reason) live += ' (' + String(outcome.reason) + ')';
      return ending.from === null ? live : live + '\nstands still from step ' + ending.from;
    }
    let text = replay.end.interrupted ? 'the match was interrupted at step ' + replay.end.time + '\n' : '';
    text += 'ending: ' + String(outcome.ending);
    if (outcome.reason) text += ' (' + String(outcome.reason) + ')';
    if (ending.early && ending.from !== null) text += '\nstood still from step ' + ending.from;
    text += '\nmissed steps ' + outcome.missedSteps + ', ball touches ' + outcome.ballTouches
      + ', distance ' + distanceText(outcome.distance);
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
      const live = state.live ? {
        following: state.live.following, over: state.live.over, connected: state.live.connected,
        gaps: state.live.gaps, lines: state.live.lines,
        newest: state.replay ? state.replay.frames.time[state.replay.frames.last] : null,
      } : null;
      if (!state.ready) return { ready: false, error: state.error, live };
      const replay = state.replay;
      const frames = replay.frames;
      const d = state.drawn;
      const endings = {};
      for (const [id, e] of replay.endings) {
        endings[id] = { ending: e.outcome.ending, reason: e.outcome.reason, from: e.from };
      }
      const marks = [...document.querySelectorAll('#marks .mark')].map((m) => ({
        kind: m.classList[1], step: Number(m.dataset.step), title: m.title,
      }));
      const compare = state.compare ? {
        name: state.compare.name, differs: state.compare.differs, sameTeams: state.compare.sameTeams,
        ghosts: d.ghosts, note: $('compare-note').textContent,
      } : null;
      return JSON.parse(JSON.stringify({
        ready: true, error: state.error, version: replay.header.version,
        step: frames.time[state.index], index: state.index, frames: frames.count,
        playing: state.playing, speed: state.speed, selected: state.selected,
        score: [frames.score[2 * state.index], frames.score[2 * state.index + 1]],
        ball: d.ball, robots: d.robots.map((r) => Object.assign({}, r, {
          overlay: state.overlays.get(r.id), trail: state.trails.get(r.id),
          views: d.views[r.id],
        })),
        goals: replay.goals.length, loadMs: state.loadMs,
        debugReady: state.debugReady, debugMs: state.debugMs,
        live, endings, marks, compare, follow: state.follow, zoom: d.zoom, bubble: d.bubble,
        canvas: { width: view.width, height: view.height },
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

  wireCompare();
  start();
}());
