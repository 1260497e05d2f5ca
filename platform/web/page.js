// The page around the demo: checks what the browser offers, downloads the program and its
// data with a progress bar over the loading picture, warns of the flashing lights and offers
// the gentle run ("Fewer flashes", remembered by the browser), starts the demo from the
// play button (the click is what lets a page start sound), scales the picture to the window
// the way the native build does, switches full screen, and once playing gives the viewer a
// control bar over the picture (play/pause, a seek bar with the seven scenes, the time,
// sound, full screen) and the keys of the native window, both through the demo's own player
// (app/player.h: exact jumps, one table of keys).
//
// Two builds of the program: pixeldemo-threads, whose drawing threads run in web workers
// over shared memory, and the single-threaded pixeldemo. Browsers give a page shared memory
// only when it is cross-origin isolated (served with Cross-Origin-Opener-Policy: same-origin
// and Cross-Origin-Embedder-Policy: require-corp), so the threaded build is loaded only
// where window.crossOriginIsolated is true, the other one everywhere else.
//   ?build=single       the single-threaded build even where the threaded one could run
//   ?threads=N          the threaded build with N drawing threads (the page's own thread
//                       among them) instead of one per core, at most 8
//
// Test modes, for scripts/web.sh test (tests/web/browser_test.py reads the results from
// window.pixeldemoResult once window.pixeldemoState is "done"):
//   ?test=pattern                         shows a pattern of lone pixels instead of the
//                                         demo, for the scaling check
//   ?test=frames&fps=10&frames=15,50,...  renders the fixed clock from the start, as
//                                         pixeldemo --capture does, and fingerprints the
//                                         frames with those numbers
//   ?test=jumps&fps=10&frames=15,50,...   the same frames by jumps (app/replay.h), in an
//                                         order that goes back and forth
//   ?test=bench&fps=60                    every frame of the timeline on the fixed clock,
//                                         timed per scene, printed like pixeldemo --bench
//   ?test=jumps-bench                     the jump bench, printed like pixeldemo
//                                         --bench-jumps
'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const params = new URLSearchParams(location.search);
  const testMode = params.get('test');

  // "loading", "ready", "playing", "ended", "testing", "done" or "failed".
  window.pixeldemoState = 'loading';
  window.pixeldemoResult = null;
  let lastError = '';

  function status(text) { $('status').textContent = text; }
  function message(text) { $('message').textContent = text; }
  function fail(text) {
    window.pixeldemoState = 'failed';
    status('');
    message(text);
    $('play').hidden = true;
    $('progress').hidden = true;
    console.error('pixeldemo: ' + text);
  }
  function progress(fraction) {
    $('progress').firstElementChild.style.width = (Math.min(1, fraction) * 100).toFixed(1) + '%';
  }

  // ---- What the browser offers. ----

  function hasWasm() {
    return typeof WebAssembly === 'object' && typeof WebAssembly.instantiate === 'function';
  }
  // A module whose one function uses a SIMD instruction: valid only where wasm SIMD is.
  function hasWasmSimd() {
    try {
      return WebAssembly.validate(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1,
        123, 3, 2, 1, 0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]));
    } catch (e) {
      return false;
    }
  }
  const hasAudio = typeof window.AudioContext === 'function' ||
                   typeof window.webkitAudioContext === 'function';
  const isolated = window.crossOriginIsolated === true && typeof SharedArrayBuffer === 'function';
  // Which build runs: "threads" or "single" (tests read it).
  const build = isolated && params.get('build') !== 'single' ? 'threads' : 'single';
  const programName = build === 'threads' ? 'pixeldemo-threads' : 'pixeldemo';
  window.pixeldemoBuild = build;

  // ---- The picture. ----
  // The demo draws its 640x480 frames into `frame`, a canvas the page does not show; each
  // is copied to the canvas on the page the way the native build fits its frame to a
  // window (display/scaling.cpp, planFrameScaling): the picture as large as the window
  // allows with its aspect kept; at a whole-number scale every demo pixel a square block
  // (nearest neighbour); otherwise enlarged by a whole factor with nearest neighbour first
  // (at least 2 when the picture grows), then smoothed to the final size, so no demo pixel
  // is dropped and each keeps a solid core. In device pixels, so a display scale of 150 %
  // counts.

  const frameWidth = 640, frameHeight = 480;
  const frame = document.createElement('canvas');
  frame.width = frameWidth;
  frame.height = frameHeight;
  const shown = $('canvas');
  let shownContext = null;
  // The last plan, for the tests: { width, height, factor, smooth } in device pixels.
  window.pixeldemoScaling = null;

  function planScaling(outputWidth, outputHeight) {
    const fw = frameWidth, fh = frameHeight, ow = outputWidth, oh = outputHeight;
    let width, height;
    if (ow * fh <= oh * fw) {
      width = ow;
      height = Math.floor((ow * fh * 2 + fw) / (fw * 2));
    } else {
      height = oh;
      width = Math.floor((oh * fw * 2 + fh) / (fh * 2));
    }
    let factor = Math.max(1, Math.min(Math.floor(width / fw), Math.floor(height / fh)));
    const whole = width === factor * fw && height === factor * fh;
    if (!whole && factor === 1 && (width > fw || height > fh)) factor = 2;
    return { width: width, height: height, factor: factor, smooth: !whole };
  }

  function layOut() {
    const ratio = window.devicePixelRatio || 1;
    const stage = $('stage');
    const plan = planScaling(Math.max(1, Math.round(stage.clientWidth * ratio)),
                             Math.max(1, Math.round(stage.clientHeight * ratio)));
    window.pixeldemoScaling = plan;
    const screen = $('screen');
    screen.style.width = plan.width / ratio + 'px';
    screen.style.height = plan.height / ratio + 'px';
    // Nearest neighbour for whole-number scales, smoothing after the whole-factor
    // enlargement otherwise (plain smoothing when the picture is smaller than the frame);
    // the loading picture is shown the same way until the canvas takes over.
    const rendering = plan.smooth ? 'auto' : 'pixelated';
    shown.style.imageRendering = rendering;
    $('loading').style.imageRendering = rendering;
    const factor = plan.smooth ? plan.factor : 1;   // a whole-number scale is the element's
    const w = frameWidth * factor, h = frameHeight * factor;
    if (shown.width !== w || shown.height !== h) {
      shown.width = w;
      shown.height = h;
      shownContext = null;
    }
    showFrame();
  }

  // What the canvas shows: the loading picture until a run starts (the program's first
  // frames, black, are not shown over it), then the frames.
  let source = null;

  // Copies the picture to the page's canvas, enlarged by the plan's whole factor.
  function showFrame() {
    if (!source) return;
    if (!shownContext) {
      shownContext = shown.getContext('2d', { alpha: false });
      if (!shownContext) return;
    }
    shownContext.imageSmoothingEnabled = false;
    shownContext.drawImage(source, 0, 0, shown.width, shown.height);
  }

  // The loading picture goes through the same copy as the frames.
  function showLoadingPicture() {
    const picture = $('loading');
    const draw = () => {
      if (!picture.naturalWidth || source) return;
      source = picture;
      showFrame();
      picture.hidden = true;
      shown.hidden = false;
    };
    if (picture.complete) draw();
    else picture.addEventListener('load', draw);
  }

  function showFrames() {
    source = frame;
    $('loading').hidden = true;
    shown.hidden = false;
    showFrame();
  }

  window.addEventListener('resize', layOut);
  document.addEventListener('fullscreenchange', layOut);

  // ---- Fewer flashes: the gentle run, remembered by the browser. ----

  const gentleKey = 'pixeldemo.fewerFlashes';
  try {
    $('gentle').checked = localStorage.getItem(gentleKey) === '1';
  } catch (e) {
    // Storage refused (a private window, say): the switch starts off.
  }
  $('gentle').addEventListener('change', () => {
    try {
      localStorage.setItem(gentleKey, $('gentle').checked ? '1' : '0');
    } catch (e) {
      // Not remembered, but still used for this play.
    }
  });

  // ---- Full screen. ----

  function toggleFullscreen() {
    const stage = $('stage');
    if (document.fullscreenElement) {
      document.exitFullscreen();
    } else if (stage.requestFullscreen) {
      stage.requestFullscreen().catch((e) => message('Full screen is not available: ' + e.message));
    } else {
      message('This browser offers no full screen for pages.');
    }
  }
  $('fullscreen').addEventListener('click', toggleFullscreen);
  document.addEventListener('fullscreenchange', () => {
    $('fullscreen').hidden = !!document.fullscreenElement;
  });

  // A double click on the picture switches full screen, unless it is the second click of
  // a double click on Play: the first click starts the demo and hides the button, so the
  // second lands on the picture. The moment is longer than any double-click interval, and
  // is measured between the clicks as the user made them (the click events' times; the
  // dblclick event has only the time the browser made it), however long the page took to
  // start the demo in between.
  const playMoment = 1000;
  let playClickedAt = -Infinity;
  let pictureClickedAt = 0;
  $('canvas').addEventListener('click', (e) => { pictureClickedAt = e.timeStamp; });
  $('canvas').addEventListener('dblclick', () => {
    if (pictureClickedAt - playClickedAt < playMoment) return;
    toggleFullscreen();
  });

  // ---- Downloads with progress. ----

  // The sizes of the downloads of the build that runs.
  const allFiles = window.pixeldemoFiles || {};
  const files = { wasm: build === 'threads' ? allFiles.threadsWasm : allFiles.wasm, data: allFiles.data };
  const loaded = { wasm: 0, data: 0 };
  function showDownload() {
    const total = (files.wasm || 0) + (files.data || 0);
    const got = loaded.wasm + loaded.data;
    if (total > 0) progress(got / total);
    status('Loading… ' + megabytes(got) + ' of ' + megabytes(total) + ' MB');
  }

  const megabytes = (bytes) => (bytes / 1048576).toFixed(1);

  // A download that ended short of the size the page expects (a connection cut, a copy to
  // the web host that stopped half-way), or a program the browser cannot compile: said as
  // such, never as the confusing error a cut file would cause further on.
  class DownloadError extends Error {}
  const names = { wasm: programName + '.wasm', data: 'pixeldemo.data' };
  function incomplete(key) {
    const want = files[key] > 0 ? ' of ' + megabytes(files[key]) : '';
    return new DownloadError('The download was incomplete (got ' + megabytes(loaded[key]) + want +
                             ' MB of ' + names[key] + '); reload to try again.');
  }
  function checkSize(key) {
    const want = files[key];
    if (!(want > 0) || loaded[key] === want) return;
    if (loaded[key] < want) throw incomplete(key);
    throw new DownloadError(names[key] + ' is ' + loaded[key] + ' bytes, not the ' + want +
      ' this page expects: the page and the program are from different builds; reload to try again.');
  }

  async function download(key) {
    const url = names[key];
    const response = await fetch(url);
    if (!response.ok) throw new Error(url + ': HTTP ' + response.status);
    let bytes;
    try {
      bytes = await readAll(response, key);
    } catch (e) {
      // The connection broke off after some bytes had arrived.
      if (loaded[key] > 0) throw incomplete(key);
      throw e;
    }
    checkSize(key);
    return bytes;
  }

  async function readAll(response, key) {
    if (!response.body || !response.body.getReader) {
      const buffer = await response.arrayBuffer();
      loaded[key] = buffer.byteLength;
      showDownload();
      return buffer;
    }
    const reader = response.body.getReader();
    const chunks = [];
    let size = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      size += value.length;
      loaded[key] = size;
      showDownload();
    }
    const bytes = new Uint8Array(size);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes.buffer;
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = src;
      script.onload = resolve;
      script.onerror = () => reject(new Error(src + ' could not be loaded'));
      document.body.appendChild(script);
    });
  }

  // ---- The demo. ----

  function play() {
    $('play').hidden = true;
    $('panel').hidden = true;
    const audible = Module._webPlay($('gentle').checked ? 1 : 0);
    showFrames();
    window.pixeldemoState = 'playing';
    document.body.classList.add('playing', 'started');
    startControls();
    if (!audible) {
      $('panel').hidden = false;
      $('progress').hidden = true;
      status('');
      message(hasAudio ? 'No sound could be started: the demo plays silently.'
                       : 'This browser has no Web Audio: the demo plays without sound.');
      setTimeout(() => { $('panel').hidden = true; }, 4000);
    }
  }

  function ended() {
    window.pixeldemoState = 'ended';
    document.body.classList.remove('playing');
    $('panel').hidden = false;
    $('progress').hidden = true;
    message('');
    status('The end.');
    $('again').hidden = false;
    $('again').focus();
    poke();
  }
  // Playing again (Play again, or a jump back from the end): the panel goes.
  function playingAgain() {
    window.pixeldemoState = 'playing';
    document.body.classList.add('playing');
    $('panel').hidden = true;
    $('again').hidden = true;
  }
  $('again').addEventListener('click', () => {
    Module._webPlayAgain();
    playingAgain();
    $('again').blur();
  });

  // ---- The controls: the demo's player (app/player.h) behind a bar and the keys. ----

  // PlayerAction values of app/player.h.
  const ACTION = { pause: 1, mute: 9, fullscreen: 12 };
  const HIDE_AFTER_MS = 2000;
  let timeline = null;        // webScenes(): the end and the scenes
  let lastStatus = null;
  let hideTimer = 0;
  let dragging = false;
  let hovering = false;       // the pointer is over the bar
  let pendingSeek = null;     // a seek waiting for the next animation frame
  let autoPaused = false;     // paused because the tab was hidden

  const demoStatus = () => JSON.parse(Module.UTF8ToString(Module._webStatus()));

  function formatTime(seconds) {
    const s = Math.max(0, Math.floor(seconds + 1e-6));
    return Math.floor(s / 60) + ':' + String(s % 60).padStart(2, '0');
  }
  function sceneAt(t) {
    for (let i = 0; i < timeline.scenes.length; ++i) {
      const scene = timeline.scenes[i];
      if (t >= scene.start && t < scene.end) return i + 1;
    }
    return 0;
  }
  function sceneName(n) { return n ? n + ' · ' + timeline.scenes[n - 1].name : ''; }

  // Shown on a move, a tap or a key; hidden after two seconds of playing untouched.
  function poke() {
    if (!timeline) return;
    $('controls').classList.remove('away');
    document.body.classList.remove('idle');
    clearTimeout(hideTimer);
    hideTimer = setTimeout(hideIfPlaying, HIDE_AFTER_MS);
  }
  function hideIfPlaying() {
    const s = lastStatus;
    if (!s || s.paused || s.ended || dragging || hovering) {
      hideTimer = setTimeout(hideIfPlaying, HIDE_AFTER_MS);
      return;
    }
    $('controls').classList.add('away');
    document.body.classList.add('idle');
  }
  window.pixeldemoControlsShown = () => !$('controls').hidden && !$('controls').classList.contains('away');

  function timeAtPointer(e) {
    const box = $('seek').getBoundingClientRect();
    const x = Math.min(Math.max(e.clientX - box.left, 0), box.width);
    return box.width > 0 ? x / box.width * timeline.end : 0;
  }
  function showTip(t) {
    const tip = $('seek-tip');
    tip.hidden = false;
    tip.style.left = (t / timeline.end * 100) + '%';
    const n = sceneAt(t);
    tip.textContent = formatTime(t) + (n ? ' — ' + sceneName(n) : '');
  }
  function seekTo(t) {
    pendingSeek = t;
    showPosition(t);
  }
  function showPosition(t) {
    const at = (Math.min(t, timeline.end) / timeline.end * 100) + '%';
    $('seek-done').style.width = at;
    $('seek-knob').style.left = at;
    $('time').textContent = formatTime(t) + ' / ' + formatTime(timeline.end);
  }

  function startControls() {
    timeline = JSON.parse(Module.UTF8ToString(Module._webScenes()));
    const marks = $('seek-scenes');
    timeline.scenes.forEach((scene, i) => {
      const part = document.createElement('div');
      part.style.left = (scene.start / timeline.end * 100) + '%';
      // A gap of two pixels marks where each scene starts.
      part.style.width = 'calc(' + ((scene.end - scene.start) / timeline.end * 100) + '% - 2px)';
      part.title = sceneName(i + 1);
      marks.appendChild(part);
    });
    $('controls').hidden = false;
    const seek = $('seek');
    seek.addEventListener('pointerdown', (e) => {
      dragging = true;
      seek.setPointerCapture(e.pointerId);
      seekTo(timeAtPointer(e));
      showTip(timeAtPointer(e));
      poke();
    });
    seek.addEventListener('pointermove', (e) => {
      showTip(timeAtPointer(e));
      if (dragging) seekTo(timeAtPointer(e));
      poke();
    });
    const release = (e) => {
      if (!dragging) return;
      dragging = false;
      seekTo(timeAtPointer(e));
      if (e.pointerType !== 'mouse') $('seek-tip').hidden = true;
    };
    seek.addEventListener('pointerup', release);
    seek.addEventListener('pointercancel', release);
    seek.addEventListener('pointerleave', () => { if (!dragging) $('seek-tip').hidden = true; });
    $('controls').addEventListener('pointerenter', () => { hovering = true; });
    $('controls').addEventListener('pointerleave', () => { hovering = false; });
    $('playpause').addEventListener('click', () => Module._webAction(ACTION.pause, 0));
    $('mute').addEventListener('click', () => Module._webAction(ACTION.mute, 0));
    $('volume').addEventListener('input', () => Module._webSetVolume(Number($('volume').value)));
    $('fs').addEventListener('click', toggleFullscreen);
    // Buttons give the focus back, so that Space and the arrows stay the demo's keys.
    for (const id of ['playpause', 'mute', 'volume', 'fs']) {
      $(id).addEventListener('pointerup', () => setTimeout(() => $(id).blur(), 0));
      $(id).addEventListener('change', () => $(id).blur());
    }
    for (const type of ['pointermove', 'pointerdown']) {
      document.addEventListener(type, poke, { passive: true });
    }
    requestAnimationFrame(updateControls);
    poke();
  }

  // Once a display refresh: the pending seek, then the bar from the player's status.
  function updateControls() {
    requestAnimationFrame(updateControls);
    if (pendingSeek !== null) {
      const t = pendingSeek;
      pendingSeek = null;
      Module._webSeek(t);
    }
    const s = demoStatus();
    lastStatus = s;
    if (window.pixeldemoState === 'ended' && !s.ended) playingAgain();
    if (!dragging) showPosition(s.t);
    $('icon-pause').setAttribute('visibility', s.paused || s.ended ? 'hidden' : 'visible');
    $('icon-play').setAttribute('visibility', s.paused || s.ended ? 'visible' : 'hidden');
    $('playpause').title = s.paused ? 'Play (Space)' : 'Pause (Space)';
    $('icon-sound').setAttribute('visibility', s.muted || s.volume === 0 ? 'hidden' : 'visible');
    $('icon-muted').setAttribute('visibility', s.muted || s.volume === 0 ? 'visible' : 'hidden');
    if (document.activeElement !== $('volume')) $('volume').value = s.muted ? 0 : s.volume;
    $('scene-name').textContent = sceneName(s.scene);
    if (s.paused || s.ended) $('controls').classList.remove('away');
  }

  // ---- Keys: every key the page answers, here and nowhere else. ----
  // Before the demo plays, F switches full screen. Once it plays, the demo's own key table
  // (app/player.h, the same as the window's) says what a key does. A key held with Ctrl or
  // Meta belongs to the browser (Ctrl+F finds in the page), and so do those the table does
  // not know (F5, F11, Tab, Alt+F, which opens a menu) and Escape, which leaves full screen.
  document.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.metaKey) return;
    const state = window.pixeldemoState;
    if (state !== 'playing' && state !== 'ended') {
      if ((e.key === 'f' || e.key === 'F') && !e.altKey && !e.repeat) {
        e.preventDefault();
        toggleFullscreen();
      }
      return;
    }
    const action = Module.ccall('webKey', 'number', ['string', 'number', 'number', 'number', 'number'],
                                [e.key, e.altKey, e.ctrlKey, e.metaKey, e.repeat]);
    if (!action) return;
    e.preventDefault();
    poke();
    if (action === ACTION.fullscreen) toggleFullscreen();
  });

  // A hidden tab pauses the demo; shown again, it plays on from where it was.
  document.addEventListener('visibilitychange', () => {
    if (!timeline) return;
    const s = demoStatus();
    if (document.hidden) {
      if (!s.paused && !s.ended) {
        Module._webAction(ACTION.pause, 0);
        autoPaused = true;
      }
    } else if (autoPaused) {
      autoPaused = false;
      if (demoStatus().paused) Module._webAction(ACTION.pause, 0);
      poke();
    }
  });

  function ready() {
    progress(1);
    if (testMode) {
      runTest().catch((e) => fail('test failed: ' + e.message));
      return;
    }
    window.pixeldemoState = 'ready';
    status('Ready.');
    $('play').hidden = false;
    $('play').focus();
  }
  $('play').addEventListener('click', (e) => {
    playClickedAt = e.timeStamp;
    play();
  });

  // Lets the page breathe between chunks of frames.
  const yieldToBrowser = () => new Promise((resolve) => setTimeout(resolve, 0));

  async function runTest() {
    window.pixeldemoState = 'testing';
    showFrames();
    const fps = parseInt(params.get('fps') || (testMode === 'bench' ? '60' : '10'), 10);
    if (testMode === 'frames') {
      const wanted = (params.get('frames') || '').split(',').filter((s) => s).map(Number);
      wanted.sort((a, b) => a - b);
      if (!Module._webTestBegin(fps)) throw new Error('the fixed clock would not start');
      const hashes = {};
      let last = 0;
      for (const n of wanted) {
        while (last < n) {
          last = Module._webTestStep(1);
          if (last < 0) throw new Error('the timeline ended before frame ' + n);
          if (last % 50 === 0) {
            status('Frame test: frame ' + last + ' of ' + wanted[wanted.length - 1]);
            await yieldToBrowser();
          }
        }
        hashes[n] = Module.UTF8ToString(Module._webTestFrameHash());
        console.log('frame ' + n + ' ' + hashes[n]);
      }
      window.pixeldemoResult = { fps: fps, hashes: hashes };
    } else if (testMode === 'jumps') {
      const wanted = (params.get('frames') || '').split(',').filter((s) => s).map(Number);
      if (!Module._webJumpBegin(fps)) throw new Error('the jumps would not start');
      const hashes = {};
      // Every seventh of the list in turn: forward and back across the timeline.
      for (let i = 0; i < wanted.length; ++i) {
        const n = wanted[(i * 7) % wanted.length];
        hashes[n] = Module.UTF8ToString(Module._webJumpTo(n));
        console.log('jump to frame ' + n + ' ' + hashes[n]);
        status('Jump test: ' + (i + 1) + ' of ' + wanted.length);
        await yieldToBrowser();
      }
      window.pixeldemoResult = { fps: fps, hashes: hashes };
    } else if (testMode === 'jumps-bench') {
      if (!Module._webJumpBenchBegin()) throw new Error('the jump bench would not start');
      const begin = performance.now();
      while (Module._webJumpBenchStep(0.2)) {
        status('Jump bench…');
        await yieldToBrowser();
      }
      Module._webJumpBenchReport();
      console.log('bench wall time: ' + ((performance.now() - begin) / 1000).toFixed(1) + ' s');
      window.pixeldemoResult = {};
    } else if (testMode === 'bench') {
      if (!Module._webBenchBegin(fps)) throw new Error('the bench would not start');
      const begin = performance.now();
      let t = 0;
      while (t >= 0) {
        t = Module._webBenchStep(30);
        if (t >= 0) status('Bench: t = ' + t.toFixed(1) + ' s');
        await yieldToBrowser();
      }
      Module._webBenchReport();
      console.log('bench wall time: ' + ((performance.now() - begin) / 1000).toFixed(1) + ' s');
      window.pixeldemoResult = { fps: fps };
    } else if (testMode === 'pattern') {
      // Lone white pixels on black, one in every column and every row, none touching
      // another: a pixel that the scaling drops leaves no trace around its place.
      const context = frame.getContext('2d', { alpha: false });
      const image = context.createImageData(frameWidth, frameHeight);
      for (let x = 0; x < frameWidth; ++x) {
        const at = (((x * 37) % frameHeight) * frameWidth + x) * 4;
        image.data.fill(255, at, at + 3);
      }
      for (let i = 3; i < image.data.length; i += 4) image.data[i] = 255;
      context.putImageData(image, 0, 0);
      showFrame();
      $('panel').hidden = true;
      $('fullscreen').hidden = true;
      window.pixeldemoResult = {};
    } else {
      throw new Error('unknown test mode ' + testMode);
    }
    status('Test done.');
    window.pixeldemoState = 'done';
  }

  async function start() {
    layOut();
    showLoadingPicture();
    // Browsers let no page opened from a file fetch its own files.
    if (location.protocol === 'file:') {
      fail('This page must be served over HTTP: a browser does not let a page opened as a ' +
           'file load the demo. Serve this folder with any static web server, e.g. ' +
           '"python3 -m http.server" in it, or from the demo\'s source run ' +
           '"scripts/web.sh serve"; then open the address it prints.');
      return;
    }
    if (!hasWasm()) {
      fail('This browser cannot run WebAssembly, which the demo needs.');
      return;
    }
    if (!hasWasmSimd()) {
      fail('This browser runs WebAssembly without SIMD, which the demo needs ' +
           '(Chrome or Edge 91, Firefox 89, Safari 16.4 or later).');
      return;
    }
    if (!hasAudio) message('This browser has no Web Audio: the demo will play without sound.');
    showDownload();
    let wasm, data, program;
    try {
      [wasm, data] = await Promise.all([download('wasm'), download('data')]);
    } catch (e) {
      fail(e instanceof DownloadError ? e.message : 'The download failed: ' + e.message);
      return;
    }
    status('Preparing the scenes and the music…');
    // Compiled here rather than by the program's script, so that a damaged download is
    // said as such and not left as an uncaught error with the progress bar standing.
    try {
      program = await WebAssembly.compile(wasm);
    } catch (e) {
      fail('The download was damaged (' + names.wasm + ' could not be compiled: ' + e.message +
           '); reload to try again.');
      return;
    }
    window.Module = {
      canvas: frame,
      // Each frame the program puts into `frame` is shown through the scaling above.
      pixeldemoFrame: showFrame,
      instantiateWasm: (imports, receive) => {
        WebAssembly.instantiate(program, imports).then(
          (instance) => receive(instance, program),
          (e) => fail('The demo could not start: ' + e.message));
        return {};
      },
      // The data package, already downloaded above.
      getPreloadedPackage: () => data,
      print: (text) => console.log(text),
      printErr: (text) => {
        // emscripten's note on the threaded build's first wait on the page's own thread:
        // that thread waits only for the bands the workers are drawing, by design.
        if (build === 'threads' && text.startsWith('Blocking on the main thread')) return;
        lastError = text;
        console.warn(text);
      },
      pixeldemoReady: ready,
      pixeldemoEnded: ended,
      // main() has returned; had it not reached ready(), it ended the program (a picture
      // it could not read, say) and the console has the reason.
      postRun: () => {
        if (window.pixeldemoState === 'loading') {
          fail('The demo stopped' + (lastError ? ': ' + lastError : '.'));
        }
      },
      onAbort: () => fail('The demo stopped' + (lastError ? ': ' + lastError : '.')),
      onExit: (code) => {
        if (code !== 0) fail('The demo stopped' + (lastError ? ': ' + lastError : '.'));
      },
    };
    if (build === 'threads') {
      // The drawing threads: ?threads=N, else one per core the browser reports, at most 8.
      // The page's own thread is one of them; the workers of the others are made before the
      // program's main() (the pool's size is read from pixeldemoWorkers), which reads the
      // count from PIXELDEMO_THREADS, as on the desktop. At least one worker: emscripten
      // starts main() once the pool has loaded, and an empty pool never reports that.
      const asked = parseInt(params.get('threads') || '0', 10);
      const threads = asked >= 1 && asked <= 8 ? asked
                                               : Math.min(navigator.hardwareConcurrency || 1, 8);
      Module.pixeldemoWorkers = Math.max(threads - 1, 1);
      Module.preRun = [() => { Module.ENV.PIXELDEMO_THREADS = String(threads); }];
    }
    console.log('pixeldemo: the ' + (build === 'threads' ? 'threaded' : 'single-threaded') +
                ' build' + (isolated ? '' : ' (the page is not cross-origin isolated)'));
    try {
      await loadScript('pixeldemo-data.js');
      await loadScript(programName + '.js');
    } catch (e) {
      fail(e.message);
    }
  }

  start();
})();
