// The page around the demo: checks what the browser offers, downloads the program and its
// data with a progress bar over the loading picture, warns of the flashing lights and offers
// the gentle run ("Fewer flashes", remembered by the browser), starts the demo from the
// play button (the click is what lets a page start sound), and switches full screen.
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
  const program = build === 'threads' ? 'pixeldemo-threads' : 'pixeldemo';
  window.pixeldemoBuild = build;

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
  $('canvas').addEventListener('dblclick', toggleFullscreen);
  document.addEventListener('keydown', (e) => {
    if (e.key === 'f' || e.key === 'F') toggleFullscreen();
  });
  document.addEventListener('fullscreenchange', () => {
    $('fullscreen').hidden = !!document.fullscreenElement;
  });

  // ---- Downloads with progress. ----

  const files = window.pixeldemoFiles || {};
  const loaded = { wasm: 0, data: 0 };
  function showDownload() {
    const total = ((build === 'threads' ? files.threadsWasm : files.wasm) || 0) + (files.data || 0);
    const got = loaded.wasm + loaded.data;
    if (total > 0) progress(got / total);
    status('Loading… ' + (got / 1048576).toFixed(1) + ' of ' + (total / 1048576).toFixed(1) + ' MB');
  }

  async function download(url, key) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(url + ': HTTP ' + response.status);
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

  function showCanvas() {
    $('loading').hidden = true;
    $('canvas').hidden = false;
  }

  function play() {
    $('play').hidden = true;
    $('panel').hidden = true;
    showCanvas();
    const audible = Module._webPlay($('gentle').checked ? 1 : 0);
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
  $('play').addEventListener('click', play);

  // Lets the page breathe between chunks of frames.
  const yieldToBrowser = () => new Promise((resolve) => setTimeout(resolve, 0));

  async function runTest() {
    window.pixeldemoState = 'testing';
    showCanvas();
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
    } else {
      throw new Error('unknown test mode ' + testMode);
    }
    status('Test done.');
    window.pixeldemoState = 'done';
  }

  async function start() {
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
    let wasm, data;
    try {
      [wasm, data] = await Promise.all([download(program + '.wasm', 'wasm'),
                                        download('pixeldemo.data', 'data')]);
    } catch (e) {
      fail('The download failed: ' + e.message);
      return;
    }
    status('Preparing the scenes and the music…');
    window.Module = {
      canvas: $('canvas'),
      wasmBinary: wasm,
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
    const threads = parseInt(params.get('threads') || '0', 10);
    if (build === 'threads' && threads >= 1 && threads <= 8) {
      // Read by the program's start (PIXELDEMO_THREADS, as on the desktop).
      Module.preRun = [() => { Module.ENV.PIXELDEMO_THREADS = String(threads); }];
    }
    console.log('pixeldemo: the ' + (build === 'threads' ? 'threaded' : 'single-threaded') +
                ' build' + (isolated ? '' : ' (the page is not cross-origin isolated)'));
    try {
      await loadScript('pixeldemo-data.js');
      await loadScript(program + '.js');
    } catch (e) {
      fail(e.message);
    }
  }

  start();
})();
