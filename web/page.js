// The page around the program. It fetches the program and the data archive (with a progress bar),
// waits for a click, since browsers start sound only after one, and then runs the program with
// the page's query string as its words: every run on a fresh instance and a fresh canvas, as
// every run on the desktop is a fresh process. What the program shows on the page goes through
// `page` below, the page's side of its platform layer (src/platform/web_page.h).
'use strict';
(function () {
  const $ = (id) => document.getElementById(id);
  const stage = $('stage');

  // Everything the page knows about the runs; the tests read it too (window.glimmer).
  const state = {
    phase: 'loading',  // loading, ready, playing, ended, error
    archive: null,     // the bytes of Glimmertide.dat, or null when they could not be fetched
    archiveProblem: '',
    wasm: null,        // the compiled program, instantiated again for every run
    boxes: [],         // {caption, text, error} the program showed in this run
    stderr: [],        // the program's stderr lines in this run
    shots: {},         // tick -> PNG data URL of the frame shown at it
    module: null,      // the running instance
    frames: 0,
    clickedAt: 0,
    firstFrameAt: 0,
    exitStatus: null,
    audioContext: null,
    audioDestination: null,
    audioProblem: '',
  };

  function show(panel) {
    for (const id of ['start', 'error', 'working']) $(id).hidden = id !== panel;
  }

  function showError(caption, message, details) {
    state.phase = 'error';
    $('caption').textContent = caption;
    $('message').textContent = message;
    $('details').textContent = details || '';
    show('error');
  }

  function canvas() { return $('canvas'); }

  // The picture fills the window at its own aspect, with black borders (the stage's background).
  function layout() {
    const c = canvas();
    if (!c || !c.width || !c.height) return;
    const aspect = c.width / c.height;
    const width = Math.min(stage.clientWidth, stage.clientHeight * aspect);
    c.style.width = width + 'px';
    c.style.height = width / aspect + 'px';
  }

  function toggleFullScreen() {
    const request = document.fullscreenElement ? document.exitFullscreen() : stage.requestFullscreen();
    if (request) request.catch((e) => console.warn('full screen: ' + e.message));
  }

  // The page's side of the program's platform layer.
  const page = {
    get audioContext() { return state.audioContext; },
    get audioDestination() { return state.audioDestination; },
    get audioProblem() { return state.audioProblem; },

    showBox(caption, text, error) {
      state.boxes.push({ caption, text, error });
      if (error) showError(caption, text);
    },
    screenSize() {
      const ratio = window.devicePixelRatio || 1;
      return { width: Math.round(stage.clientWidth * ratio), height: Math.round(stage.clientHeight * ratio) };
    },
    setCanvasSize(width, height) {
      const c = canvas();
      c.width = width;
      c.height = height;
      layout();
    },
    hideCanvas() {
      canvas().style.visibility = 'hidden';
      show('working');
    },
    toggleFullScreen,
    framePresented() {
      if (++state.frames === 1) state.firstFrameAt = performance.now();
    },
    showProgress(percent) { $('shotProgress').value = percent; },
    showShot(tick, width, height, rgba) {
      const picture = document.createElement('canvas');
      picture.width = width;
      picture.height = height;
      const context = picture.getContext('2d');
      const image = context.createImageData(width, height);
      const row = width * 4;
      for (let y = 0; y < height; ++y)  // GL reads the bottom row first
        image.data.set(rgba.subarray((height - 1 - y) * row, (height - y) * row), y * row);
      for (let i = 3; i < image.data.length; i += 4) image.data[i] = 255;
      context.putImageData(image, 0, 0);
      const url = picture.toDataURL('image/png');
      state.shots[tick] = url;
      const name = 'at' + String(tick).padStart(5, '0') + '.png';
      const figure = document.createElement('figure');
      figure.innerHTML = `<img alt="the frame at tick ${tick}"><figcaption><a download="${name}">${name}</a></figcaption>`;
      figure.querySelector('img').src = url;
      figure.querySelector('a').href = url;
      $('shots').appendChild(figure);
    },
  };

  // The output the soundtrack plays into, made within the click that lets it sound; an analyser on
  // it tells whether anything is heard.
  function prepareAudio() {
    if (!state.audioContext) {
      try {
        try {
          state.audioContext = new AudioContext({ sampleRate: 44100 });
        } catch (e) {
          state.audioContext = new AudioContext();  // a browser that cannot run at the MP3's rate
        }
        const analyser = state.audioContext.createAnalyser();
        analyser.connect(state.audioContext.destination);
        state.audioDestination = analyser;
      } catch (e) {
        state.audioProblem = 'Web Audio is not available: ' + e.message;
        return;
      }
    }
    state.audioContext.resume().catch((e) => { state.audioProblem = 'Web Audio cannot start: ' + e.message; });
  }

  function audioLevel() {
    const analyser = state.audioDestination;
    if (!analyser) return 0;
    const samples = new Float32Array(analyser.fftSize);
    analyser.getFloatTimeDomainData(samples);
    let sum = 0;
    for (const s of samples) sum += s * s;
    return Math.sqrt(sum / samples.length);
  }

  function ended(status) {
    if (state.exitStatus !== null || (state.phase !== 'playing' && state.phase !== 'error')) return;
    state.exitStatus = status;
    const fatal = state.boxes.find((box) => box.error);
    if (fatal) {
      showError(fatal.caption, fatal.text, state.stderr.filter((l) => l !== fatal.caption && l !== fatal.text).join('\n'));
      return;
    }
    if (status !== 0) {  // refused words: their message, as the command line would print it
      showError('', state.stderr.join('\n') || 'The program ended with status ' + status + '.');
      return;
    }
    state.phase = 'ended';
    const notices = state.boxes.map((box) => box.caption + '\n' + box.text).join('\n\n');
    $('notice').textContent = notices;
    $('notice').hidden = !notices;
    $('play').textContent = 'play again';
    show('start');
  }

  function crashed(what) {
    if (state.phase === 'error') return;
    state.phase = 'error';
    showError('The program stopped', String(what), state.stderr.join('\n'));
  }

  async function run() {
    state.phase = 'playing';
    state.boxes = [];
    state.stderr = [];
    state.shots = {};
    state.frames = 0;
    state.firstFrameAt = 0;
    state.exitStatus = null;
    state.module = null;
    state.clickedAt = performance.now();
    $('shots').textContent = '';
    $('notice').hidden = true;
    show(null);
    const fresh = document.createElement('canvas');
    fresh.id = 'canvas';
    // The last run's context goes with its canvas, before the browser has to drop one itself.
    const old = canvas();
    if (old) {
      const context = old.getContext('webgl');
      const loser = context && context.getExtension('WEBGL_lose_context');
      if (loser) loser.loseContext();
      old.replaceWith(fresh);
    }
    else stage.prepend(fresh);
    try {
      state.module = await window.createGlimmertide({
        arguments: [location.search],
        canvas: fresh,
        page,
        print: (line) => console.log(line),
        printErr: (line) => {
          // Emscripten's GL emulation announces itself on every start: not the program's words.
          if (line.startsWith('WARNING: using emscripten GL')) {
            console.debug(line);
            return;
          }
          state.stderr.push(line);
          console.warn(line);
        },
        preRun: [(module) => {
          if (state.archive) module.FS.writeFile('Glimmertide.dat', state.archive);
        }],
        instantiateWasm: (imports, receive) => {
          WebAssembly.instantiate(state.wasm, imports).then((instance) => receive(instance, state.wasm), crashed);
          return {};
        },
        onExit: ended,
        onAbort: crashed,
      });
    } catch (e) {
      crashed(e && e.message ? e.message : e);
    }
  }

  function play() {
    if (state.phase !== 'ready' && state.phase !== 'ended' && state.phase !== 'error') return;
    prepareAudio();
    run();
  }

  function loadScript(src) {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = src;
      script.onload = resolve;
      script.onerror = () => reject(new Error(src + ' could not be loaded'));
      document.head.appendChild(script);
    });
  }

  async function fetchBytes(url, progress) {
    const response = await fetch(url);
    if (!response.ok) throw new Error(url + ': ' + response.status + ' ' + response.statusText);
    const total = Number(response.headers.get('Content-Length')) || 0;
    const reader = response.body.getReader();
    const chunks = [];
    let received = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      received += value.length;
      if (progress && total) progress(received / total);
    }
    const bytes = new Uint8Array(received);
    let at = 0;
    for (const chunk of chunks) {
      bytes.set(chunk, at);
      at += chunk.length;
    }
    return bytes;
  }

  async function load() {
    show('start');
    try {
      const [, wasm] = await Promise.all([
        loadScript('glimmertide.js'),
        fetchBytes('glimmertide.wasm').then((bytes) => WebAssembly.compile(bytes)),
      ]);
      state.wasm = wasm;
    } catch (e) {
      showError('The page cannot start', e.message);
      return;
    }
    try {
      state.archive = await fetchBytes('Glimmertide.dat', (part) => { $('loading').value = part * 100; });
    } catch (e) {
      // The program itself reports what it cannot read, in its own words; it needs no click for that.
      state.archiveProblem = e.message;
      console.warn(e.message);
      state.phase = 'ready';
      run();
      return;
    }
    $('loading').hidden = true;
    $('play').disabled = false;
    state.phase = 'ready';
  }

  $('play').addEventListener('click', (event) => {
    event.stopPropagation();
    play();
  });
  // Anywhere on the start screen plays, but for the shots and their links.
  $('start').addEventListener('click', (event) => {
    if (!event.target.closest('#shots')) play();
  });
  $('again').addEventListener('click', play);
  $('fullscreen').addEventListener('click', (event) => {
    event.stopPropagation();
    toggleFullScreen();
  });
  stage.addEventListener('dblclick', toggleFullScreen);
  window.addEventListener('resize', layout);
  document.addEventListener('fullscreenchange', layout);

  window.glimmer = { state, audioLevel };
  load();
})();
