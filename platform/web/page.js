// The page around the demo: checks what the browser offers, downloads the program and its
// data with a progress bar over the loading picture, warns of the flashing lights and offers
// the gentle run ("Fewer flashes", remembered by the browser), starts the demo from the
// play button (the click is what lets a page start sound), scales the picture to the window
// the way the native build does, and switches full screen.
//
// Test modes, for scripts/web.sh test (tests/web/browser_test.py reads the results from
// window.pixeldemoResult once window.pixeldemoState is "done"):
//   ?test=pattern                         shows a pattern of lone pixels instead of the
//                                         demo, for the scaling check
//   ?test=frames&fps=10&frames=15,50,...  renders the fixed clock from the start, as
//                                         pixeldemo --capture does, and fingerprints the
//                                         frames with those numbers
//   ?test=bench&fps=60                    every frame of the timeline on the fixed clock,
//                                         timed per scene, printed like pixeldemo --bench
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

  // ---- Keys: every key the page answers, here and nowhere else. ----
  // By KeyboardEvent.key, lower case. A key held with Ctrl, Alt or Meta belongs to the
  // browser (Ctrl+F finds in the page, Alt+F opens a menu), and so does Escape, which
  // leaves full screen.
  const keyActions = {
    f: toggleFullscreen,
  };
  document.addEventListener('keydown', (e) => {
    if (e.ctrlKey || e.altKey || e.metaKey || e.repeat) return;
    const action = keyActions[e.key.length === 1 ? e.key.toLowerCase() : e.key];
    if (!action) return;
    e.preventDefault();
    action();
  });

  // ---- Downloads with progress. ----

  const files = window.pixeldemoFiles || {};
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
  const names = { wasm: 'pixeldemo.wasm', data: 'pixeldemo.data' };
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
    document.body.classList.add('playing');
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
    status('The end.');
    $('again').hidden = false;
  }
  $('again').addEventListener('click', () => location.reload());

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
      fail('The download was damaged (pixeldemo.wasm could not be compiled: ' + e.message +
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
    try {
      await loadScript('pixeldemo-data.js');
      await loadScript('pixeldemo.js');
    } catch (e) {
      fail(e.message);
    }
  }

  start();
})();
