// The browser's audio output for the soundtrack (audio_web.cpp): decoded blocks are played back
// to back on the page's AudioContext, each scheduled at the exact end of the one before, and the
// position heard is read from the context's output clock. Runs inside the program's Module.
Module.webAudioOutput = {
  rate: 44100,
  context: null,
  problem: '',
  sources: [],
  segments: [],  // {at: context time, stream: seconds into the stream, length: seconds}
  next: 0,       // context time at which the next block starts
  streamSeconds: 0,
  gapSince: -1,  // context time at which the blocks ran out, or -1

  begin() {
    const page = Module.page;
    this.context = page && page.audioContext;
    if (!this.context || this.context.state === 'closed') {
      this.problem = (page && page.audioProblem) || 'Web Audio is not available';
      return 0;
    }
    this.stop();
    return 1;
  },

  // The context time being heard now: the output clock where the browser has one.
  heardTime() {
    const context = this.context;
    const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
    if (stamp && stamp.contextTime > 0) return stamp.contextTime;
    return Math.max(0, context.currentTime - (context.outputLatency || context.baseLatency || 0));
  },

  ahead() {
    return this.segments.length ? this.next - this.context.currentTime : 0;
  },

  schedule(samples, frames) {
    const context = this.context;
    const buffer = context.createBuffer(2, frames, this.rate);
    const left = buffer.getChannelData(0), right = buffer.getChannelData(1);
    const data = HEAP16.subarray(samples >> 1, (samples >> 1) + frames * 2);
    for (let i = 0; i < frames; ++i) {
      left[i] = data[2 * i] / 32768;
      right[i] = data[2 * i + 1] / 32768;
    }
    const source = context.createBufferSource();
    source.buffer = buffer;
    source.connect((Module.page && Module.page.audioDestination) || context.destination);
    // Back to back while the feed keeps up; after a gap, a moment from now.
    const at = Math.max(this.next, context.currentTime + 0.05);
    source.start(at);
    source.onended = () => {
      const i = this.sources.indexOf(source);
      if (i >= 0) this.sources.splice(i, 1);
    };
    this.sources.push(source);
    this.segments.push({at: at, stream: this.streamSeconds, length: frames / this.rate});
    this.next = at + frames / this.rate;
    this.streamSeconds += frames / this.rate;
  },

  // Seconds into the stream being heard; it holds where the blocks ran out (the picture waits for
  // the sound), and is -1 once the end has been heard or the blocks have been missing for 3 s.
  heard(ended) {
    if (!this.segments.length) return -1;
    const now = this.heardTime();
    while (this.segments.length > 1 && now >= this.segments[0].at + this.segments[0].length) this.segments.shift();
    const first = this.segments[0];
    if (now < first.at) return first.stream;
    if (now < first.at + first.length) {
      this.gapSince = -1;
      return first.stream + (now - first.at);
    }
    if (ended) return -1;
    if (this.gapSince < 0) this.gapSince = now;
    return now - this.gapSince > 3 ? -1 : first.stream + first.length;
  },

  stop() {
    for (const source of this.sources) {
      try { source.stop(); } catch (e) { /* never started */ }
    }
    this.sources = [];
    this.segments = [];
    this.next = 0;
    this.streamSeconds = 0;
    this.gapSince = -1;
  },
};
