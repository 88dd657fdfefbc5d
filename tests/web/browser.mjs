// Headless Chromium driven over the DevTools protocol on a pipe (--remote-debugging-pipe): no
// WebSocket and nothing from npm. WebGL runs on SwiftShader; the flags keep Chromium off a network
// it cannot reach.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const chromium = process.env.CHROMIUM || '/usr/bin/chromium';

export class Browser {
  // extraFlags: e.g. ['--disable-webgl'].
  static async launch(extraFlags = []) {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'glimmer-chromium-'));
    const args = ['--headless', '--no-sandbox', '--remote-debugging-pipe', '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--disable-quic', '--no-first-run', '--no-default-browser-check', '--disable-dev-shm-usage',
      '--autoplay-policy=user-gesture-required', '--window-size=1024,768', `--user-data-dir=${profile}`,
      ...extraFlags, 'about:blank'];
    const child = spawn(chromium, args, { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'] });
    const browser = new Browser(child, profile);
    await browser.send('Target.setDiscoverTargets', { discover: true });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 0;
    this.pending = new Map();
    this.listeners = [];
    this.stderr = '';
    let buffer = '';
    child.stdio[4].on('data', (data) => {
      buffer += data;
      let end;
      while ((end = buffer.indexOf('\0')) >= 0) {
        const message = JSON.parse(buffer.slice(0, end));
        buffer = buffer.slice(end + 1);
        if (message.id !== undefined && this.pending.has(message.id)) {
          const { resolve, reject } = this.pending.get(message.id);
          this.pending.delete(message.id);
          if (message.error) reject(new Error(`${message.error.message} (${message.error.code})`));
          else resolve(message.result);
        } else if (message.method) {
          for (const listener of this.listeners) listener(message);
        }
      }
    });
    child.stderr.on('data', (data) => { this.stderr += data; });
    this.exited = new Promise((resolve) => child.on('exit', resolve));
  }

  send(method, params = {}, sessionId = undefined) {
    const id = ++this.nextId;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.child.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
    });
  }

  // A fresh tab; its console errors, exceptions and failed loads are collected in page.problems.
  async newPage() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    const page = new Page(this, sessionId, targetId);
    this.listeners.push((message) => { if (message.sessionId === sessionId) page.onEvent(message); });
    await page.send('Runtime.enable');
    await page.send('Log.enable');
    await page.send('Page.enable');
    return page;
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close'), new Promise((r) => setTimeout(r, 3000))]);
    } catch { /* already gone */ }
    this.child.kill('SIGKILL');
    await this.exited;
    // Chromium's helper processes may still be writing their last files.
    try {
      fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 200 });
    } catch { /* a leftover folder in the temporary directory */ }
  }
}

class Page {
  constructor(browser, sessionId, targetId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.targetId = targetId;
    this.console = [];   // {level, text}
    this.problems = [];  // errors: console.error, uncaught exceptions, failed loads
  }

  send(method, params = {}) { return this.browser.send(method, params, this.sessionId); }

  onEvent({ method, params }) {
    if (method === 'Runtime.consoleAPICalled') {
      const text = params.args.map((a) => (a.value !== undefined ? String(a.value) : a.description || '')).join(' ');
      this.console.push({ level: params.type, text });
      if (params.type === 'error' || params.type === 'assert') this.problems.push(`console.${params.type}: ${text}`);
    } else if (method === 'Runtime.exceptionThrown') {
      const d = params.exceptionDetails;
      this.problems.push(`exception: ${d.exception ? d.exception.description : d.text}`);
    } else if (method === 'Log.entryAdded') {
      this.console.push({ level: params.entry.level, text: params.entry.text });
      if (params.entry.level === 'error') this.problems.push(`log: ${params.entry.text} ${params.entry.url || ''}`);
    }
  }

  async goto(url) {
    const loaded = new Promise((resolve) => {
      const listener = (message) => {
        if (message.sessionId === this.sessionId && message.method === 'Page.loadEventFired') resolve();
      };
      this.browser.listeners.push(listener);
    });
    await this.send('Page.navigate', { url });
    await loaded;
  }

  async evaluate(expression) {
    const { result, exceptionDetails } = await this.send('Runtime.evaluate',
      { expression, returnByValue: true, awaitPromise: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.exception?.description || exceptionDetails.text}`);
    return result.value;
  }

  // Waits until expression is truthy (polled), or throws after timeoutMs.
  async waitFor(expression, timeoutMs, what = expression) {
    const until = Date.now() + timeoutMs;
    for (;;) {
      const value = await this.evaluate(expression);
      if (value) return value;
      if (Date.now() > until) throw new Error(`timed out after ${timeoutMs} ms waiting for ${what}`);
      await new Promise((r) => setTimeout(r, 100));
    }
  }

  // A real click (a user gesture: it lets the page start its sound) at the element's centre.
  centre(selector) {
    return this.evaluate(`(() => { const r = document.querySelector(${JSON.stringify(selector)}).getBoundingClientRect();
      return { x: r.left + r.width / 2, y: r.top + r.height / 2 }; })()`);
  }

  async click(selector) {
    const box = await this.centre(selector);
    for (const type of ['mousePressed', 'mouseReleased'])
      await this.send('Input.dispatchMouseEvent', { type, x: box.x, y: box.y, button: 'left', clickCount: 1 });
  }

  async doubleClick(selector) {
    const box = await this.centre(selector);
    for (const clickCount of [1, 2])
      for (const type of ['mousePressed', 'mouseReleased'])
        await this.send('Input.dispatchMouseEvent', { type, x: box.x, y: box.y, button: 'left', clickCount });
  }

  async key(code, key, keyCode) {
    for (const type of ['keyDown', 'keyUp'])
      await this.send('Input.dispatchKeyEvent', { type, code, key, windowsVirtualKeyCode: keyCode });
  }

  // The page as shown, as PNG bytes.
  async screenshot() {
    const { data } = await this.send('Page.captureScreenshot', { format: 'png' });
    return Buffer.from(data, 'base64');
  }
}
