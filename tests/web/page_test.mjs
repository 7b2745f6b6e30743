// The browser build in headless Chromium, driven over the DevTools protocol
// in one page session: what the page loads, the frames against the
// offscreen native render, the question and the About box, the keys,
// Escape, and edit mode with the browser's storage and the map files.
//
//   node --experimental-websocket page_test.mjs SITE PATHWICK_RECORD DATA
//
// SITE is the built page (build-web/), PATHWICK_RECORD the native recorder
// that draws the reference frames, DATA the folder of the shipped maze and
// texture. The page is served on 127.0.0.1 only, on a free port. Needs
// chromium-headless-shell and ImageMagick's convert (PNG and GIF to RGB).
import { execFileSync, spawn } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { gzipSync } from 'node:zlib';
import { extname, join } from 'node:path';

const [site, recorder, data] = process.argv.slice(2);
const scratch = mkdtempSync(join(tmpdir(), 'pathwick-web-'));
const side = 420;
const question = '是否要工作在全屏模式?';
const questionCaption = '迷宫DEMO';
const aboutText = '迷宫搜索Demo\n 用OpenGL加速\n\n   Orlanvey 2002-5-18';
const aboutCaption = '迷宫搜索Demo';

// --- Serving the page ---------------------------------------------------------

const requested = [];  // the paths asked for, in order
const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
function serve() {
  const server = createServer((request, response) => {
    const path = new URL(request.url, 'http://x').pathname;
    requested.push(path);
    try {
      const body = readFileSync(join(site, path === '/' ? 'index.html' : path));
      response.writeHead(200, { 'Content-Type': types[extname(path)] || 'text/html' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// --- The browser and its DevTools protocol ---------------------------------------

function launchBrowser() {
  const browser = spawn('chromium-headless-shell', [
    '--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--no-first-run', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', `--user-data-dir=${join(scratch, 'profile')}`,
    '--remote-debugging-address=127.0.0.1', '--remote-debugging-port=0', 'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe'] });
  return new Promise((resolve, reject) => {
    let text = '';
    browser.stderr.on('data', (chunk) => {
      text += chunk;
      const found = text.match(/DevTools listening on (ws:\/\/\S+)/);
      if (found) resolve({ browser, endpoint: found[1] });
    });
    browser.on('exit', () => reject(new Error(`the browser ended:\n${text}`)));
  });
}

class DevTools {
  constructor(socket) {
    this.socket = socket;
    this.nextId = 1;
    this.pending = new Map();
    this.errors = [];
    socket.onmessage = (event) => this.receive(JSON.parse(event.data));
  }

  static async connect(endpoint) {
    const socket = new WebSocket(endpoint);
    await new Promise((resolve, reject) => {
      socket.onopen = resolve;
      socket.onerror = reject;
    });
    return new DevTools(socket);
  }

  receive(message) {
    if (message.id && this.pending.has(message.id)) {
      const { resolve, reject } = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error) reject(new Error(JSON.stringify(message.error)));
      else resolve(message.result);
    } else if (message.method === 'Runtime.exceptionThrown') {
      this.errors.push(message.params.exceptionDetails.exception?.description ||
                       message.params.exceptionDetails.text);
    }
  }

  // To the page, or with a null session to the browser.
  send(method, params = {}, sessionId = this.sessionId) {
    const id = this.nextId++;
    this.socket.send(JSON.stringify({ id, method, params, sessionId: sessionId || undefined }));
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }

  async openPage() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' });
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true });
    this.sessionId = sessionId;
    await this.send('Runtime.enable');
    await this.send('Page.enable');
  }

  async evaluate(expression) {
    const { result, exceptionDetails } = await this.send('Runtime.evaluate',
                                                         { expression, returnByValue: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
    return result.value;
  }
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// --- Checks ---------------------------------------------------------------------------

let failures = 0;
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures++;
}

async function waitFor(page, expression, what, timeoutMs = 60000) {
  const end = Date.now() + timeoutMs;
  while (Date.now() < end) {
    // A page on its way in may not evaluate yet.
    if (await page.evaluate(expression).catch(() => false)) return true;
    await sleep(50);
  }
  check(false, `${what} (waited for ${expression})`);
  return false;
}

async function open(page, base, query, state) {
  await page.send('Page.navigate', { url: `${base}/${query}` });
  await sleep(100);
  return waitFor(page, `document.documentElement.dataset.state === '${state}'`,
                 `${query || 'the page'} comes to ${state}`);
}

// The canvas as RGB bytes, rows from the top, as the screen shows it.
async function canvasPixels(page) {
  const box = await page.evaluate(
    'JSON.stringify(document.getElementById("canvas").getBoundingClientRect())');
  const { x, y } = JSON.parse(box);
  const { data: png } = await page.send('Page.captureScreenshot', {
    format: 'png', clip: { x, y, width: side, height: side, scale: 1 },
  });
  return execFileSync('convert', ['png:-', '-depth', '8', 'rgb:-'],
                      { input: Buffer.from(png, 'base64') });
}

// Frame N of the search as pathwick-record draws it offscreen, at the clock
// the page's test mode keeps: every frame, 20 ms apart.
function referenceFrame(frame) {
  const gif = join(scratch, `frame-${frame}.gif`);
  execFileSync(recorder, ['--map', join(data, 'MazeMap.txt'), '--texture', join(data, 'Stone.BMP'),
                          '--size', String(side), '--every', '1', '--delay', '20',
                          '--from', String(frame), '--to', String(frame), gif]);
  return execFileSync('convert', [gif, '-coalesce', '-depth', '8', 'rgb:-']);
}

// Equal within one level a channel, but for a few pixels (edges that the
// rasterisers round differently).
function compareFrames(actual, expected, what) {
  let differing = 0;
  let largest = 0;
  for (let i = 0; i < expected.length; i += 3) {
    let pixel = 0;
    for (let c = 0; c < 3; c++) pixel = Math.max(pixel, Math.abs(actual[i + c] - expected[i + c]));
    if (pixel > 1) differing++;
    largest = Math.max(largest, pixel);
  }
  check(actual.length === expected.length && differing <= 8,
        `${what}: ${differing} pixels differ by more than 1 level (largest ${largest})`);
}

// The maze's square of the canvas (the framed window's viewport is the
// whole canvas; the maze fills 30..330 of the 360-unit scene).
function mazeRegion(pixels) {
  const from = Math.floor(side * 30 / 360);
  const to = Math.ceil(side * 330 / 360);
  const rows = [];
  for (let y = from; y < to; y++) rows.push(pixels.subarray(3 * (y * side + from), 3 * (y * side + to)));
  return Buffer.concat(rows);
}

// Whether the maze shows the explorer moving: two looks, 400 ms apart.
async function mazeChanges(page) {
  const before = mazeRegion(await canvasPixels(page));
  await sleep(400);
  return !before.equals(mazeRegion(await canvasPixels(page)));
}

const keys = {
  Enter: 13, Shift: 16, Control: 17, Escape: 27, F1: 112,
};
async function press(page, key) {
  const code = keys[key];
  await page.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key, code: key,
                                              windowsVirtualKeyCode: code });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key, code: key,
                                              windowsVirtualKeyCode: code });
}

// A click by the user, a gesture that full screen needs.
async function click(page, selector) {
  await page.send('Runtime.evaluate', {
    expression: `document.querySelector(${JSON.stringify(selector)}).click()`, userGesture: true,
  });
}

// The centre of maze cell (column, row) in page coordinates; row 0 is the
// bottom row.
async function cellCentre(page, column, row) {
  const box = JSON.parse(await page.evaluate(
    'JSON.stringify(document.getElementById("canvas").getBoundingClientRect())'));
  const unit = side / 360;
  return { x: box.x + (30 + 30 * column + 15) * unit, y: box.y + side - (30 + 30 * row + 15) * unit };
}

function pixelAt(pixels, point, box) {
  const i = 3 * (Math.floor(point.y - box.y) * side + Math.floor(point.x - box.x));
  return [...pixels.subarray(i, i + 3)];
}

// What a visitor loads: the page, the program and its WebAssembly, each
// once (the page asks for the last two together), at most 300 KB compressed.
function checkDownload() {
  check(JSON.stringify([...requested].sort()) === '["/","/pathwick.js","/pathwick.wasm"]',
        `the page loads index.html, pathwick.js and pathwick.wasm once each (${requested})`);
  const size = ['pathwick.js', 'pathwick.wasm']
    .map((name) => gzipSync(readFileSync(join(site, name)), { level: 9 }).length)
    .reduce((sum, bytes) => sum + bytes);
  check(size <= 300000, `pathwick.js and pathwick.wasm take ${size} bytes gzipped`);
}

async function run(page, base) {
  // Frames: the first one and one deep into the search, against the
  // offscreen native render of the same frames.
  for (const frame of [1, 600]) {
    if (await open(page, base, `?frames=${frame}`, 'held')) {
      compareFrames(await canvasPixels(page), referenceFrame(frame), `frame ${frame}`);
    }
    if (frame === 1) checkDownload();
  }

  // The question at start, with the program's texts; Cancel gives the
  // framed window with its menu bar of eight items.
  if (await open(page, base, '', 'question')) {
    check(await page.evaluate('document.getElementById("box-caption").textContent') === questionCaption,
          'the question box has the caption');
    check(await page.evaluate('document.getElementById("box-text").textContent') === question,
          'the question box has the question');
    await click(page, '#box-cancel');
    await waitFor(page, 'document.documentElement.dataset.state === "running"', 'Cancel starts');
    check(await page.evaluate('document.querySelectorAll("#menu button").length') === 8,
          'the framed window has the eight menu items');
  }

  // Keys: the explorer waits until Return; Shift pauses it, Ctrl resumes.
  check(!(await mazeChanges(page)), 'the explorer waits at start');
  await press(page, 'Enter');
  check(await mazeChanges(page), 'Return starts the search');
  await press(page, 'Shift');
  await sleep(100);
  check(!(await mazeChanges(page)), 'Shift pauses');
  await press(page, 'Control');
  check(await mazeChanges(page), 'Ctrl resumes');

  // F1 shows the About box; no frame runs until OK.
  await press(page, 'F1');
  if (await waitFor(page, 'document.getElementById("box").open', 'F1 shows the About box')) {
    check(await page.evaluate('document.getElementById("box-text").textContent') === aboutText &&
          await page.evaluate('document.getElementById("box-caption").textContent') === aboutCaption,
          'the About box has the About text and caption');
    check(!(await mazeChanges(page)), 'no frame runs while the About box is open');
    await click(page, '#box-ok');
    check(await mazeChanges(page), 'frames run again after OK');
  }

  // Escape ends the program; the page says so and offers to start again.
  await press(page, 'Escape');
  if (await waitFor(page, 'document.documentElement.dataset.state === "ended"', 'Escape ends')) {
    check(await page.evaluate('!document.getElementById("ended").hidden'),
          'the page says that the program has ended');
    // Started again, OK in the question goes full screen: the browser's,
    // and the canvas over the whole page.
    await click(page, '#start-again');
    if (await waitFor(page, 'document.documentElement.dataset.state === "question"',
                      'Start again asks the question again')) {
      await click(page, '#box-ok');
      await waitFor(page, 'document.documentElement.dataset.state === "running" && ' +
                          'document.fullscreenElement !== null && ' +
                          'document.getElementById("canvas").width === innerWidth',
                    'OK goes full screen');
    }
  }

  // Edit mode: a click cycles the cell (a wall turns open) and the stored
  // maze follows at once; the page reloads with the drawn maze.
  if (await open(page, base, '?edit&windowed', 'running')) {
    const box = JSON.parse(await page.evaluate(
      'JSON.stringify(document.getElementById("canvas").getBoundingClientRect())'));
    const cell = await cellCentre(page, 0, 1);  // a wall of the shipped maze
    const wall = pixelAt(await canvasPixels(page), cell, box);
    for (const type of ['mousePressed', 'mouseReleased']) {
      await page.send('Input.dispatchMouseEvent', { type, x: cell.x, y: cell.y, button: 'left',
                                                    clickCount: 1 });
    }
    await sleep(300);
    const open = pixelAt(await canvasPixels(page), cell, box);
    check(open.join() !== wall.join(), `the click changes the cell (${wall} to ${open})`);
    const stored = await page.evaluate('localStorage.getItem("pathwick.MazeMap.txt")');
    const rows = (stored || '').trim().split('\n').map((line) => line.trim().split(/\s+/));
    check(rows.length === 10 && rows[1][0] === '1', 'the stored maze has the cell open');
    await page.send('Page.reload');
    await sleep(100);
    await waitFor(page, 'document.documentElement.dataset.state === "running"', 'the page reloads');
    await sleep(300);
    const reloaded = pixelAt(await canvasPixels(page), cell, box);
    check(reloaded.join() === open.join(), 'the reloaded page shows the drawn maze');

    // Saved to disk as MazeMap.txt, as the stored maze.
    const downloads = join(scratch, 'downloads');
    await page.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads },
                    null);
    await click(page, '#save-map');
    const saved = join(downloads, 'MazeMap.txt');
    for (let i = 0; i < 100 && !existsSync(saved); i++) await sleep(50);
    check(existsSync(saved) && readFileSync(saved, 'utf8') === stored,
          'Save map writes MazeMap.txt as stored');

    // A map opened from disk (the shipped one, where the cell is a wall)
    // replaces the drawn one, on the screen and in the storage.
    const { result: chooser } = await page.send('Runtime.evaluate',
                                                { expression: 'document.getElementById("map-chooser")' });
    const shipped = join(scratch, 'shipped.txt');
    copyFileSync(join(data, 'MazeMap.txt'), shipped);
    await page.send('DOM.setFileInputFiles', { files: [shipped],
                                               objectId: chooser.objectId });
    await sleep(300);
    check(pixelAt(await canvasPixels(page), cell, box).join() === wall.join(),
          'an opened map shows its own maze');
    check(await page.evaluate('localStorage.getItem("pathwick.MazeMap.txt")') ===
          readFileSync(join(data, 'MazeMap.txt'), 'utf8'), 'the opened map is stored');
  }
}

const server = await serve();
const { browser, endpoint } = await launchBrowser();
try {
  const page = await DevTools.connect(endpoint);
  await page.openPage();
  await run(page, `http://127.0.0.1:${server.address().port}`);
  check(page.errors.length === 0, `no errors in the page ${page.errors.join('; ')}`);
} finally {
  const ended = new Promise((resolve) => browser.on('exit', resolve));
  browser.kill();
  await ended;
  server.close();
  rmSync(scratch, { recursive: true, force: true });
}
process.exit(failures === 0 ? 0 : 1);
