// The browser build in headless Chromium, driven over the DevTools protocol
// in one page session: what the page loads, the frames against the
// offscreen native render, the question and the About box, the keys,
// Escape, and edit mode (clicks, a drag, stepping) with the browser's
// storage and the map files.
//
//   node page_test.mjs SITE PATHWICK_RECORD DATA
//
// SITE is the built page (build-web/), PATHWICK_RECORD the native recorder
// that draws the reference frames, DATA the folder of the shipped maze and
// texture. The page is served on 127.0.0.1 only, on a free port. Needs
// chromium-headless-shell and ImageMagick's convert (PNG and GIF to RGB).
import { execFileSync, spawn } from 'node:child_process';
import {
  copyFileSync, existsSync, mkdtempSync, readdirSync, readFileSync, rmSync, writeFileSync,
} from 'node:fs';
import { createServer } from 'node:http';
import { tmpdir } from 'node:os';
import { gzipSync } from 'node:zlib';
import { extname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const [site, recorder, data] = process.argv.slice(2);
const scratch = mkdtempSync(join(tmpdir(), 'pathwick-web-'));
const side = 420;
const question = '是否要工作在全屏模式?';
const questionCaption = '迷宫DEMO';
const aboutText = '迷宫搜索Demo\n 用OpenGL加速\n\n   Orlanvey 2002-5-18';
const aboutCaption = '迷宫搜索Demo';

// --- Serving the page ---------------------------------------------------------

const requested = [];  // the paths asked for, in order
const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};
function serve() {
  const server = createServer((request, response) => {
    const path = new URL(request.url, 'http://x').pathname;
    requested.push(path);
    try {
      // The gzip copy where the build wrote one, as scripts/web.sh sends it.
      const file = join(site, path === '/' ? 'index.html' : path);
      const gzip = /gzip/.test(request.headers['accept-encoding'] || '') && existsSync(`${file}.gz`);
      const body = readFileSync(gzip ? `${file}.gz` : file);
      response.writeHead(200, { 'Content-Type': types[extname(file)] || 'text/html',
                                ...(gzip ? { 'Content-Encoding': 'gzip' } : {}) });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// --- The browser and its DevTools protocol ---------------------------------------

// Headless Chromium in a process group of its own, speaking the DevTools
// protocol over the pipes of descriptors 3 (to it) and 4 (from it), so that
// no WebSocket client is needed. It ends itself when the pipes close (this
// process killed); every way out of the test kills the whole group first.
function launchBrowser() {
  const browser = spawn('chromium-headless-shell', [
    '--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
    '--no-first-run', '--disable-background-networking', '--disable-component-update',
    '--disable-sync', `--user-data-dir=${join(scratch, 'profile')}`, '--remote-debugging-pipe',
    'about:blank',
  ], { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
  process.on('exit', () => {
    try {
      process.kill(-browser.pid, 'SIGKILL');
    } catch {
      // The group has ended already.
    }
  });
  let log = '';  // the end of what the browser says, for when it ends early
  browser.stderr.on('data', (chunk) => {
    log = (log + chunk).slice(-4000);
  });
  // Only this process ends it, on its way out: an earlier end fails the test.
  browser.on('exit', (code, signal) => {
    check(false, `the browser keeps running (it ended with ${signal || code}):\n${log}`);
    process.exit(1);
  });
  // A write to a browser that has just ended fails; its end is reported above.
  browser.stdio[3].on('error', () => {});
  return browser;
}

class DevTools {
  constructor(browser) {
    this.input = browser.stdio[3];
    this.ids = { next: 1 };  // shared with the sessions of other pages
    this.pending = new Map();
    this.errors = [];
    // Messages end in a NUL byte; a chunk may hold several or a part of one.
    let parts = [];
    browser.stdio[4].on('data', (chunk) => {
      let end;
      while ((end = chunk.indexOf(0)) !== -1) {
        parts.push(chunk.subarray(0, end));
        this.receive(JSON.parse(Buffer.concat(parts).toString('utf8')));
        parts = [];
        chunk = chunk.subarray(end + 1);
      }
      if (chunk.length > 0) parts.push(chunk);
    });
  }

  receive(message) {
    if (message.id && this.pending.has(message.id)) {
      const { resolve, reject } = this.pending.get(message.id);
      this.pending.delete(message.id);
      if (message.error) reject(new Error(JSON.stringify(message.error)));
      else resolve(message.result);
    } else if (message.method === 'Page.fileChooserOpened') {
      this.fileChoosers = (this.fileChoosers || 0) + 1;
    } else if (message.method === 'Runtime.exceptionThrown') {
      this.errors.push(message.params.exceptionDetails.exception?.description ||
                       message.params.exceptionDetails.text);
    }
  }

  // To the page, or with a null session to the browser.
  send(method, params = {}, sessionId = this.sessionId) {
    const id = this.ids.next++;
    this.input.write(`${JSON.stringify({ id, method, params, sessionId: sessionId || undefined })}\0`);
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }

  async openPage() {
    const { targetId } = await this.send('Target.createTarget', { url: 'about:blank' }, null);
    const { sessionId } = await this.send('Target.attachToTarget', { targetId, flatten: true },
                                          null);
    this.sessionId = sessionId;
    this.targetId = targetId;
    await this.send('Runtime.enable');
    await this.send('Page.enable');
  }

  // Another page (a second tab) on the same connection.
  async anotherPage() {
    const other = Object.create(this);
    await other.openPage();
    return other;
  }

  async closePage() {
    await this.send('Target.closeTarget', { targetId: this.targetId }, null);
  }

  async evaluate(expression) {
    const { result, exceptionDetails } = await this.send('Runtime.evaluate',
                                                         { expression, returnByValue: true });
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
    return result.value;
  }
}

// The processor time, in seconds, that the browser's processes (the page's,
// the GPU's, the browser's own: all of its process group) have taken.
const clockTicks = Number(execFileSync('getconf', ['CLK_TCK']));
function browserCpuSeconds(group) {
  let ticks = 0;
  for (const pid of readdirSync('/proc').filter((name) => /^[0-9]+$/.test(name))) {
    try {
      // The fields after the command's closing parenthesis: state is the
      // first, the process group the third, utime and stime the 12th and 13th.
      const stat = readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      if (Number(fields[2]) === group) ticks += Number(fields[11]) + Number(fields[12]);
    } catch {
      // The process has ended meanwhile.
    }
  }
  return ticks / clockTicks;
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

async function open(page, base, query, state, timeoutMs = 60000) {
  await page.send('Page.navigate', { url: `${base}/${query}` });
  await sleep(100);
  return waitFor(page, `document.documentElement.dataset.state === '${state}'`,
                 `${query || 'the page'} comes to ${state}`, timeoutMs);
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

// The part of the canvas that shows the scene from (left, low) to
// (right, high), in the framed window's scene units: 360 a side, y upward.
function sceneArea(pixels, left, low, right, high) {
  const [from, to] = [Math.floor(side * left / 360), Math.ceil(side * right / 360)];
  const rows = [];
  for (let y = Math.floor(side * (360 - high) / 360); y < Math.ceil(side * (360 - low) / 360); y++) {
    rows.push(pixels.subarray(3 * (y * side + from), 3 * (y * side + to)));
  }
  return Buffer.concat(rows);
}

// The maze fills 30..330 of the scene; the status line is below it, the
// title line (with its changing rate) above.
const maze = (pixels) => sceneArea(pixels, 30, 30, 330, 330);
const statusLine = (pixels) => sceneArea(pixels, 0, 0, 360, 30);
const mazeAndStatus = (pixels) => sceneArea(pixels, 0, 0, 360, 330);

// Whether `area` of the picture changes: two looks, 400 ms apart.
async function pictureChanges(page, area = maze) {
  const before = area(await canvasPixels(page));
  await sleep(400);
  return !before.equals(area(await canvasPixels(page)));
}

// Whether the picture comes to pass `test` within 10 s.
async function pictureComes(page, test) {
  for (const end = Date.now() + 10000; Date.now() < end; await sleep(100)) {
    if (test(await canvasPixels(page))) return true;
  }
  return false;
}

// The left button of the mouse at `point` of the page: pressed, moved while
// held, released.
async function mouse(page, type, point) {
  await page.send('Input.dispatchMouseEvent', {
    type, x: point.x, y: point.y, button: 'left', buttons: type === 'mouseReleased' ? 0 : 1,
    clickCount: type === 'mouseMoved' ? 0 : 1,
  });
}

// The rows of the maze kept in the browser's storage, each a list of codes.
async function storedRows(page) {
  const stored = await page.evaluate('localStorage.getItem("pathwick.MazeMap.txt")');
  return (stored || '').trim().split('\n').map((line) => line.trim().split(/\s+/));
}

// DevTools key names: the key, its code and its virtual-key code.
const keys = {
  Enter: ['Enter', 13], Shift: ['ShiftLeft', 16], Control: ['ControlLeft', 17],
  Escape: ['Escape', 27], F1: ['F1', 112], ' ': ['Space', 32], Backspace: ['Backspace', 8],
  ArrowUp: ['ArrowUp', 38], ArrowDown: ['ArrowDown', 40], Tab: ['Tab', 9], n: ['KeyN', 78],
};
// Return, Space and N type their characters too, as a button's activation
// and a letter need.
const typed = { Enter: '\r', ' ': ' ', n: 'n' };
async function press(page, key) {
  const [code, windowsVirtualKeyCode] = keys[key];
  const text = typed[key];
  await page.send('Input.dispatchKeyEvent', { type: text ? 'keyDown' : 'rawKeyDown', key, code,
                                              windowsVirtualKeyCode, text });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key, code, windowsVirtualKeyCode });
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

// What a visitor loads: the page, the program and its WebAssembly, the
// last two once (the page asks for them together), at most 200 KB on the
// wire with the build's gzip copies.
function checkDownload() {
  // The service worker's cache takes the program from the browser's HTTP
  // cache; the page (2 KB) it asks for again.
  const program = requested.filter((path) => /^\/pathwick\.(js|wasm)$/.test(path));
  check(requested[0] === '/' && JSON.stringify(program.sort()) === '["/pathwick.js","/pathwick.wasm"]',
        `the page loads pathwick.js and pathwick.wasm once each (${requested})`);
  // Every file of the site, each as its gzip copy where the build wrote one.
  const files = readdirSync(site).filter((name) => !name.endsWith('.gz'));
  const size = files
    .map((name) => readFileSync(join(site, existsSync(join(site, `${name}.gz`)) ? `${name}.gz` : name)).length)
    .reduce((sum, bytes) => sum + bytes);
  check(size <= 200000, `the site (${files.length} files) takes ${size} bytes gzipped`);
}

// scripts/web.sh's server sends the gzip copies to a browser that takes
// them, and the files as they are to one that does not.
async function checkWebServer() {
  const port = 20000 + (process.pid % 20000);
  const script = fileURLToPath(new URL('../../scripts/serve_web.py', import.meta.url));
  const server = spawn('python3', [script, site, String(port)], { stdio: 'ignore' });
  try {
    const get = async (encoding) => {
      for (let i = 0; i < 50; i++) {
        try {
          return await fetch(`http://127.0.0.1:${port}/pathwick.wasm`,
                             { headers: { 'Accept-Encoding': encoding } });
        } catch {
          await sleep(100);
        }
      }
      return null;
    };
    const compressed = await get('gzip');
    const plain = await get('identity');
    const wasm = readFileSync(join(site, 'pathwick.wasm'));
    check(compressed?.headers.get('content-encoding') === 'gzip' &&
          Buffer.from(await compressed.arrayBuffer()).equals(wasm) &&
          compressed.headers.get('content-type') === 'application/wasm',
          'web.sh\'s server sends the gzip copy');
    check(plain && !plain.headers.get('content-encoding') &&
          Buffer.from(await plain.arrayBuffer()).equals(wasm),
          'web.sh\'s server sends the plain file without gzip');
  } finally {
    server.kill();
  }
}

// A key pressed with Ctrl held, as the browser's own keys are.
async function pressWithControl(page, key, code) {
  await page.send('Input.dispatchKeyEvent',
                  { type: 'rawKeyDown', key: 'Control', code: 'ControlLeft', windowsVirtualKeyCode: 17,
                    modifiers: 2 });
  for (const type of ['rawKeyDown', 'keyUp']) {
    await page.send('Input.dispatchKeyEvent', { type, key, code, modifiers: 2 });
  }
  await page.send('Input.dispatchKeyEvent',
                  { type: 'keyUp', key: 'Control', code: 'ControlLeft', windowsVirtualKeyCode: 17 });
}

// Tabs until the focus is on `selector`; false when it never comes.
async function tabTo(page, selector) {
  for (let i = 0; i < 20; i++) {
    await press(page, 'Tab');
    if (await page.evaluate(`document.activeElement === document.querySelector(${JSON.stringify(selector)})`)) {
      return true;
    }
  }
  return false;
}

// The keyboard and screen readers, while the search runs: Shift+Tab and
// Ctrl with another key are the browser's; Tab to each button and Return
// does the button's job, not the program's; the status line is in a live
// region, and the box is named by its caption in the accessibility tree.
async function checkKeyboard(page) {
  await press(page, 'Shift');
  await sleep(100);
  await pressWithControl(page, 'f', 'KeyF');
  check(!(await pictureChanges(page)), 'Ctrl+F does not resume the search');
  await press(page, 'Control');
  await page.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key: 'Shift', code: 'ShiftLeft',
                                              windowsVirtualKeyCode: 16, modifiers: 8 });
  await page.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key: 'Tab', code: 'Tab',
                                              windowsVirtualKeyCode: 9, modifiers: 8 });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Tab', code: 'Tab',
                                              windowsVirtualKeyCode: 9, modifiers: 8 });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Shift', code: 'ShiftLeft',
                                              windowsVirtualKeyCode: 16 });
  check(await pictureChanges(page), 'Shift+Tab does not pause the search');
  await page.evaluate('document.activeElement.blur()');

  const status = await page.evaluate('document.getElementById("status").textContent');
  check(status.length > 0, `the live region holds the status line ("${status}")`);

  // Every menu button but Exit (Escape's, tried below): the About item
  // opens its box, named by its caption; each sends its command.
  const captions = await page.evaluate('[...document.querySelectorAll("#menu button")]' +
                                       '.map((item) => item.textContent)');
  for (const [i, caption] of captions.entries()) {
    if (caption === '退出') continue;
    const selector = `#menu button:nth-child(${i + 1})`;
    if (!(await tabTo(page, selector))) {
      check(false, `Tab reaches ${caption}`);
      continue;
    }
    await page.evaluate('window.commandsSent = 0; ' +
      'window.realCommand = window.realCommand || Module._WebCommand; ' +
      'Module._WebCommand = (id) => { window.commandsSent++; window.realCommand(id); }');
    await press(page, 'Enter');
    await sleep(100);
    check(await page.evaluate('window.commandsSent') === 1,
          `Tab to ${caption} and Return sends its command`);
    if (await page.evaluate('document.getElementById("box").open')) {
      const { nodes } = await page.send('Accessibility.getFullAXTree');
      const dialog = nodes.find((node) => node.role?.value === 'dialog');
      check(dialog?.name?.value === aboutCaption, `the box is named "${dialog?.name?.value}"`);
      await press(page, 'Enter');
      await sleep(100);
      check(!(await page.evaluate('document.getElementById("box").open')),
            'Return on the focused OK closes the box');
    }
  }
  await page.evaluate('Module._WebCommand = window.realCommand');

  // Open map… from the keyboard opens the file chooser.
  await page.send('Page.setInterceptFileChooserDialog', { enabled: true });
  if (await tabTo(page, '#open-map')) {
    await press(page, 'Enter');
    await sleep(300);
    check(page.fileChoosers === 1, 'Tab to Open map… and Return opens the file chooser');
  }
  await page.send('Page.setInterceptFileChooserDialog', { enabled: false });
  await page.evaluate('document.activeElement.blur()');
  await press(page, 'Control');
}

// The map kept, shown and saved: the three that must agree.
async function mapState(page, cell, box) {
  return {
    stored: await page.evaluate('localStorage.getItem("pathwick.MazeMap.txt")'),
    file: await page.evaluate('FS.readFile("MazeMap.txt", { encoding: "utf8" })'),
    shown: pixelAt(await canvasPixels(page), cell, box).join(),
  };
}

const noticeCount = (page) => page.evaluate('document.querySelectorAll("#notices p").length');
const lastNotice = (page) => page.evaluate('document.querySelector("#notices p:last-child")' +
                                           '?.textContent || ""');

// Files that hold no map, a file too large to be one, a storage that
// refuses the map, a second tab that draws, the shipped maze over a drawn
// one: none loses the drawn maze, and the page says what happened.
async function checkNothingLost(page, base, cell, box, { wallPixel, openPixel }) {
  const before = await mapState(page, cell, box);
  const { result: chooser } = await page.send('Runtime.evaluate',
                                              { expression: 'document.getElementById("map-chooser")' });
  const png = Buffer.from('89504e470d0a1a0a0000000d49484452', 'hex');
  const badFiles = {
    'empty.txt': Buffer.alloc(0),
    'random.bin': Buffer.from(Array.from({ length: 300 }, (_, i) => (i * 97 + 13) % 256)),
    'picture.png': png,
    'utf16.txt': Buffer.from(`\ufeff${readFileSync(join(data, 'MazeMap.txt'), 'utf8')}`, 'utf16le'),
    'hello.txt': Buffer.from('hello world'),
    'fifty.txt': Buffer.from(`${Array(50).fill('1').join(' ')}\n`),
  };
  for (const [name, bytes] of Object.entries(badFiles)) {
    const file = join(scratch, name);
    writeFileSync(file, bytes);
    const notices = await noticeCount(page);
    await page.send('DOM.setFileInputFiles', { files: [file], objectId: chooser.objectId });
    await waitFor(page, `document.querySelectorAll("#notices p").length > ${notices}`,
                  `${name} gets a word`, 5000);
    check((await lastNotice(page)).includes(name), `${name} is refused by name`);
    check(JSON.stringify(await mapState(page, cell, box)) === JSON.stringify(before),
          `${name} changes neither the screen, the storage nor Save`);
  }

  // Too large to be a map: refused unread, with the reason.
  const huge = join(scratch, 'huge.txt');
  writeFileSync(huge, '');
  execFileSync('truncate', ['-s', '30M', huge]);
  await page.send('DOM.setFileInputFiles', { files: [huge], objectId: chooser.objectId });
  await sleep(300);
  check((await lastNotice(page)).includes(String(30 << 20)),
        'a 30 MB file is refused with its size');
  check(JSON.stringify(await mapState(page, cell, box)) === JSON.stringify(before),
        'the 30 MB file changes nothing');

  // A storage that refuses the write: the click is undone and the page says so.
  await page.evaluate('window.realSetItem = Storage.prototype.setItem; ' +
                      'Storage.prototype.setItem = () => { throw new DOMException("full", ' +
                      '"QuotaExceededError"); }');
  await mouse(page, 'mousePressed', cell);
  await mouse(page, 'mouseReleased', cell);
  await sleep(300);
  check((await lastNotice(page)).includes('undone'), 'a refused storage write is said');
  check(JSON.stringify(await mapState(page, cell, box)) === JSON.stringify(before),
        'a refused storage write leaves screen, storage and Save agreeing');
  await page.evaluate('Storage.prototype.setItem = window.realSetItem');

  // A second tab draws: this one shows its maze and says so.
  const other = await page.anotherPage();
  if (await open(other, base, '?edit&windowed', 'running')) {
    const otherCell = await cellCentre(other, 0, 1);
    await mouse(other, 'mousePressed', otherCell);
    await mouse(other, 'mouseReleased', otherCell);
    await sleep(300);
    const changed = await mapState(page, cell, box);
    check(changed.stored !== before.stored && changed.file === changed.stored &&
          changed.shown !== openPixel.join(), 'the other tab\'s map is shown, kept and saved here');
    check(await page.evaluate('document.getElementById("notices").textContent.includes(' +
                              '"another tab")'), 'the page says that another tab changed it');
    await other.closePage();
  }
  // The other tab made the cell an exit: two clicks more open it again.
  for (let i = 0; i < 2; i++) {
    await mouse(page, 'mousePressed', cell);
    await mouse(page, 'mouseReleased', cell);
    await sleep(300);
  }
  const drawn = await mapState(page, cell, box);
  check(drawn.shown === openPixel.join(), 'the cell is drawn open again');

  // The shipped maze over the drawn one asks first; Cancel keeps it, OK
  // replaces it, Undo brings it back.
  const shipped = readFileSync(join(data, 'MazeMap.txt'), 'utf8');
  await click(page, '#shipped-map');
  if (await waitFor(page, 'document.getElementById("box").open', 'Shipped maze asks first', 5000)) {
    await click(page, '#box-cancel');
    await sleep(300);
    check(JSON.stringify(await mapState(page, cell, box)) === JSON.stringify(drawn),
          'Cancel keeps the drawn maze');
    await click(page, '#shipped-map');
    await waitFor(page, 'document.getElementById("box").open', 'Shipped maze asks again', 5000);
    await click(page, '#box-ok');
    await sleep(300);
    const replaced = await mapState(page, cell, box);
    check(replaced.stored === shipped && replaced.file === shipped && replaced.shown === wallPixel.join(),
          'OK shows, keeps and saves the shipped maze');
    await click(page, '#undo-map');
    await sleep(300);
    check(JSON.stringify(await mapState(page, cell, box)) === JSON.stringify(drawn),
          'Undo brings the drawn maze back');
  }
}

async function run(page, base) {
  // Frames: the first one and one deep into the search, against the
  // offscreen native render of the same frames.
  for (const frame of [1, 600]) {
    // One frame a display refresh: 600 of them take 10 s, and several
    // times that on a busy machine.
    if (await open(page, base, `?frames=${frame}`, 'held', 150000)) {
      compareFrames(await canvasPixels(page), referenceFrame(frame), `frame ${frame}`);
    }
    if (frame === 1) {
      checkDownload();
      await checkWebServer();
    }
  }

  // The test clock under a cap below its 50 frames a second: the clock
  // goes on at every refresh, so the capped frames still come.
  if (await open(page, base, '?frames=150', 'running')) {
    for (let i = 0; i < 12; i++) await press(page, 'ArrowDown');
    await waitFor(page, 'document.documentElement.dataset.state === "held"',
                  'a cap of 40 does not stop the test clock', 30000);
  }

  // The WebGL context lost in the middle of the search and restored: the
  // page says so both times, and the frames go on as the native render's
  // (the maze and the status line: the figure counts the time lost too).
  if (await open(page, base, '?frames=300', 'running')) {
    await sleep(1500);
    const loseContext = 'document.getElementById("canvas").getContext("webgl")' +
                        '.getExtension("WEBGL_lose_context")';
    await page.evaluate(`window.loser = ${loseContext}; loser.loseContext()`);
    await waitFor(page, 'document.getElementById("notices").textContent.includes("away")',
                  'the page says that the context is lost', 5000);
    await sleep(500);
    await page.evaluate('loser.restoreContext()');
    await waitFor(page, 'document.getElementById("notices").textContent.includes("back")',
                  'the page says that the context is back', 5000);
    if (await waitFor(page, 'document.documentElement.dataset.state === "held"',
                      'the search goes on after the context is back', 150000)) {
      compareFrames(mazeAndStatus(await canvasPixels(page)), mazeAndStatus(referenceFrame(300)),
                    'frame 300 after the context came back');
    }
  }

  // The page's language: the browser's (English in the headless browser),
  // with the desktop's catalog for the program's texts; ?lang=zh gives the
  // program's own Chinese texts and the page's Chinese words.
  if (await open(page, base, '', 'question')) {
    check(await page.evaluate('document.getElementById("box-text").textContent') ===
          'Run in full screen mode?' && await page.evaluate('document.documentElement.lang') === 'en',
          'an English browser gets the English question from the catalog');
    check(await page.evaluate('document.getElementById("loading").hidden'),
          'the loading sign goes once the program asks');
  }

  // The question at start, with the program's texts; Cancel gives the
  // framed window with its menu bar of eight items.
  if (await open(page, base, '?lang=zh', 'question')) {
    check(await page.evaluate('document.documentElement.lang') === 'zh-CN' &&
          await page.evaluate('document.getElementById("open-map").textContent') === '打开地图…',
          '?lang=zh gives the page in Chinese');
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
  check(!(await pictureChanges(page)), 'the explorer waits at start');
  // Waiting, the page draws only for a changed figure: the browser takes
  // a tenth of a core at most.
  await sleep(1500);
  const cpuBefore = browserCpuSeconds(browserGroup);
  await sleep(5000);
  const cpuShare = (browserCpuSeconds(browserGroup) - cpuBefore) / 5;
  check(cpuShare <= 0.1, `waiting at start takes ${(cpuShare * 100).toFixed(1)} % of a core`);
  await press(page, 'Enter');
  check(await pictureChanges(page), 'Return starts the search');
  await press(page, 'Shift');
  await sleep(100);
  check(!(await pictureChanges(page)), 'Shift pauses');
  await press(page, 'Control');
  check(await pictureChanges(page), 'Ctrl resumes');
  await checkKeyboard(page);

  // F1 shows the About box; no frame runs until OK.
  await press(page, 'F1');
  if (await waitFor(page, 'document.getElementById("box").open', 'F1 shows the About box')) {
    check(await page.evaluate('document.getElementById("box-text").textContent') === aboutText &&
          await page.evaluate('document.getElementById("box-caption").textContent') === aboutCaption,
          'the About box has the About text and caption');
    check(!(await pictureChanges(page)), 'no frame runs while the About box is open');
    await click(page, '#box-ok');
    check(await pictureChanges(page), 'frames run again after OK');
  }

  // Escape ends the program; the page says so and offers to start again.
  await press(page, 'Escape');
  if (await waitFor(page, 'document.documentElement.dataset.state === "ended"', 'Escape ends')) {
    check(await page.evaluate('!document.getElementById("ended").hidden'),
          'the page says that the program has ended');
    check(await page.evaluate('document.getElementById("status").textContent === ' +
                              'document.getElementById("ended-text").textContent && ' +
                              'document.activeElement.id === "start-again"'),
          'the end is announced and Start again has the focus');
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

  // ?fullscreen starts without the question, the canvas over the whole page
  // with no menu bar; ?windowed (below, with ?edit) starts framed.
  if (await open(page, base, '?fullscreen', 'running')) {
    check(await page.evaluate('document.getElementById("canvas").width === innerWidth && ' +
                              'document.getElementById("menu").offsetHeight === 0'),
          '?fullscreen fills the page with no menu bar');
  }

  // Edit mode: a click cycles the cell (a wall turns open) and the stored
  // maze follows at once. A drag from the wall beside it paints the two
  // walls after it open too; it leaves the canvas and is released outside,
  // where the release still ends it: its cells are stored then. The page
  // reloads with the drawn maze.
  if (await open(page, base, '?edit&windowed', 'running')) {
    const box = JSON.parse(await page.evaluate(
      'JSON.stringify(document.getElementById("canvas").getBoundingClientRect())'));
    const cell = await cellCentre(page, 0, 1);  // a wall of the shipped maze
    const corridor = [await cellCentre(page, 1, 1), await cellCentre(page, 2, 1),
                      await cellCentre(page, 3, 1)];  // walls too
    const shown = await canvasPixels(page);
    const wall = pixelAt(shown, cell, box);
    const corridorWalls = corridor.map((point) => pixelAt(shown, point, box).join());
    await mouse(page, 'mousePressed', cell);
    await mouse(page, 'mouseReleased', cell);
    await sleep(300);
    const open = pixelAt(await canvasPixels(page), cell, box);
    check(open.join() !== wall.join(), `the click changes the cell (${wall} to ${open})`);
    check((await storedRows(page))[1]?.[0] === '1', 'the stored maze has the cell open');

    const outside = { x: corridor[2].x, y: box.y + side + 30 };
    await mouse(page, 'mousePressed', corridor[0]);
    for (const point of [corridor[1], corridor[2], outside]) await mouse(page, 'mouseMoved', point);
    await mouse(page, 'mouseReleased', outside);
    await sleep(300);
    const painted = await canvasPixels(page);
    check(corridor.every((point, i) => pixelAt(painted, point, box).join() !== corridorWalls[i]),
          'the drag changes the cells it passes');
    check((await storedRows(page))[1]?.join(' ') === '1 1 1 1 1 0 0 0 1 0',
          'the stored maze has the corridor open');
    const stored = await page.evaluate('localStorage.getItem("pathwick.MazeMap.txt")');
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

    // A map file dropped on the page (the drawn one, where the cell is
    // open) does the same.
    const dropped = join(scratch, 'dropped.txt');
    writeFileSync(dropped, stored);
    const dragData = { items: [], files: [dropped], dragOperationsMask: 1 };
    for (const type of ['dragEnter', 'dragOver', 'drop']) {
      await page.send('Input.dispatchDragEvent', { type, ...cell, data: dragData });
    }
    await sleep(300);
    check(pixelAt(await canvasPixels(page), cell, box).join() === open.join(),
          'a dropped map shows its own maze');
    check(await page.evaluate('localStorage.getItem("pathwick.MazeMap.txt")') === stored,
          'the dropped map is stored');

    await checkNothingLost(page, base, cell, box, { wallPixel: wall, openPixel: open });

    // Space steps the search to its first decision and holds there, saying
    // so on the status line; Backspace goes back to drawing. The browser
    // does nothing else with either key (no scrolling, no going back).
    await page.evaluate('addEventListener("keydown", (event) => ' +
                        '{ window.keysKept = (window.keysKept || "") + event.defaultPrevented; })');
    const drawing = statusLine(await canvasPixels(page));
    await press(page, ' ');
    check(await pictureComes(page, (pixels) => !statusLine(pixels).equals(drawing)),
          'Space changes the status line');
    check(!(await pictureChanges(page, mazeAndStatus)), 'the search holds at the decision');
    await press(page, 'Backspace');
    check(await pictureComes(page, (pixels) => statusLine(pixels).equals(drawing)),
          'Backspace gives the drawing status line back');
    check(await page.evaluate('window.keysKept') === 'truetrue',
          'the browser takes no default action for Space and Backspace');

    // N draws a new maze, as on the desktops: the status line names its seed.
    await press(page, 'n');
    await waitFor(page, '/^New maze, seed [0-9]+$/.test(' +
                  'document.getElementById("status").textContent)',
                  'N names the new maze\'s seed on the status line', 10000);
  }
}

// A display of `hz` refreshes a second on a simulated clock, for the pages
// loaded after it: animation frames come as fast as the page takes them,
// each 1000 / hz ms after the last, and the frames drawn (clears of the
// canvas) are counted.
const simulatedDisplay = (hz) => `(() => {
  let time = 0;
  let waiting = [];
  const channel = new MessageChannel();
  channel.port1.onmessage = () => {
    time += 1000 / ${hz};
    const callbacks = waiting;
    waiting = [];
    for (const callback of callbacks) callback(time);
  };
  window.requestAnimationFrame = (callback) => {
    waiting.push(callback);
    if (waiting.length === 1) channel.port2.postMessage(0);
    return waiting.length;
  };
  window.simulated = { time: () => time, frames: 0 };
  const clear = WebGLRenderingContext.prototype.clear;
  WebGLRenderingContext.prototype.clear = function (mask) {
    window.simulated.frames++;
    return clear.call(this, mask);
  };
})();`;

// Speed settings against refresh rates: on a maze with no exit and every
// cell open, whose search runs long, Down steps the setting from 100 (the
// start) to each one below, and the frames over four simulated seconds
// average the setting within 3 %.
async function checkSpeeds(page, base) {
  const openMaze = join(scratch, 'open.txt');
  writeFileSync(openMaze, `${Array(10).fill(Array(10).fill('1').join(' ')).join('\n')}\n`);
  const table = { 60: [55, 45, 30, 15], 144: [95, 75, 45] };
  for (const [hz, settings] of Object.entries(table)) {
    const { identifier } = await page.send('Page.addScriptToEvaluateOnNewDocument',
                                           { source: simulatedDisplay(hz) });
    if (await open(page, base, '?windowed', 'running')) {
      const { result: chooser } = await page.send(
        'Runtime.evaluate', { expression: 'document.getElementById("map-chooser")' });
      await page.send('DOM.setFileInputFiles', { files: [openMaze], objectId: chooser.objectId });
      await sleep(300);
      await press(page, 'Enter');
      let setting = 100;
      for (const wanted of settings) {
        for (; setting > wanted; setting -= 5) await press(page, 'ArrowDown');
        await sleep(200);
        const sample = () => page.evaluate('[simulated.time(), simulated.frames]');
        const [startTime, startFrames] = await sample();
        await waitFor(page, `simulated.time() >= ${startTime + 4000}`, 'the clock runs', 30000);
        const [endTime, endFrames] = await sample();
        const average = (endFrames - startFrames) * 1000 / (endTime - startTime);
        check(Math.abs(average - wanted) <= wanted * 0.03,
              `setting ${wanted} at ${hz} Hz averages ${average.toFixed(1)} frames a second`);
      }
    }
    await page.send('Page.removeScriptToEvaluateOnNewDocument', { identifier });
  }
}

// How many pixel rows of the screen the status line's text spans at the
// page's device scale: the red pixels in the strip below the maze (the
// 6 x 13 font spans about 10 rows, the 12 x 24 one about 18).
async function statusTextRows(page) {
  const box = JSON.parse(await page.evaluate(
    'JSON.stringify(document.getElementById("canvas").getBoundingClientRect())'));
  const { data: png } = await page.send('Page.captureScreenshot', {
    format: 'png', clip: { x: box.x, y: box.y, width: box.width, height: box.height, scale: 1 },
  });
  const pixels = execFileSync('convert', ['png:-', '-depth', '8', 'rgb:-'],
                              { input: Buffer.from(png, 'base64'), maxBuffer: 1 << 26 });
  const width = Math.round(Math.sqrt(pixels.length / 3));
  const strip = Math.floor(width * 30 / 360);
  let first = -1;
  let last = -1;
  for (let y = width - strip; y < width; y++) {
    for (let x = 0; x < width; x++) {
      const i = 3 * (y * width + x);
      if (pixels[i] > 200 && pixels[i + 1] < 60 && pixels[i + 2] < 60) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

// Screens of other densities and sizes: at a device scale of 2 the canvas
// keeps its size on the page and draws at twice the pixels; a phone (390 x
// 844 CSS pixels, scale 3, touch) shows the whole framed window, with Step
// and Back to drawing as buttons.
async function checkScreens(page, base) {
  const metrics = { width: 1280, height: 900, deviceScaleFactor: 2, mobile: false };
  await page.send('Emulation.setDeviceMetricsOverride', metrics);
  if (await open(page, base, '?windowed', 'running')) {
    check(await page.evaluate('document.getElementById("canvas").width') === 840 &&
          await page.evaluate('document.getElementById("canvas").clientWidth') === 420,
          'at scale 2 the 420-pixel canvas draws 840 pixels a side');
    const rows = await statusTextRows(page);
    check(rows >= 14, `at scale 2 the status line takes the 12 x 24 font (${rows} rows of text)`);
  }
  await page.send('Emulation.setDeviceMetricsOverride',
                  { width: 390, height: 844, deviceScaleFactor: 3, mobile: true });
  await page.send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
  if (await open(page, base, '?edit&windowed', 'running')) {
    const layout = JSON.parse(await page.evaluate(`JSON.stringify({
      page: document.documentElement.scrollWidth,
      canvas: document.getElementById("canvas").getBoundingClientRect(),
      buffer: document.getElementById("canvas").width,
      buttons: ["touch-step", "touch-back"].map((id) =>
        document.getElementById(id).getBoundingClientRect()),
    })`));
    check(layout.page <= 390 && layout.canvas.left >= 0 && layout.canvas.right <= 390,
          `the phone shows the whole canvas (${layout.canvas.left} to ${layout.canvas.right}, ` +
          `page ${layout.page} wide)`);
    check(layout.buffer === Math.round(layout.canvas.width * 3),
          `the phone's canvas draws at its pixel ratio (${layout.buffer})`);
    check(layout.buttons.every((button) => button.width > 0 && button.right <= 390),
          'the phone shows Step and Back to drawing');
  }
  await page.send('Emulation.setTouchEmulationEnabled', { enabled: false });
  await page.send('Emulation.clearDeviceMetricsOverride');
}

// Mazes in the address: Share puts the drawn maze into a #maze= link that
// shows it again in another page; a malformed link changes nothing; #seed=N
// gives pathwick-maze --seed N's maze.
async function checkLinks(page, base) {
  const mapFile = 'FS.readFile("MazeMap.txt", { encoding: "utf8" })';
  if (!(await open(page, base, '?edit&windowed', 'running'))) return;
  const cell = await cellCentre(page, 4, 4);
  await mouse(page, 'mousePressed', cell);
  await mouse(page, 'mouseReleased', cell);
  await sleep(300);
  const drawn = await page.evaluate(mapFile);
  await click(page, '#share-map');
  const link = await page.evaluate('location.hash');
  check(/^#maze=1[0-9a-v]{100}$/.test(link), `Share puts the maze into the address (${link})`);
  await page.evaluate('localStorage.clear()');
  if (await open(page, base, `?windowed${link}`, 'running')) {
    await sleep(300);
    check(await page.evaluate(mapFile) === drawn, 'the link shows the drawn maze');
  }
  // The same page, its address changed: the hash alone.
  const notices = await noticeCount(page);
  await page.evaluate('location.hash = "#maze=1zz"');
  await sleep(300);
  check(await page.evaluate(mapFile) === drawn && await noticeCount(page) === notices + 1,
        'a malformed link is refused with a word and changes nothing');
  const maker = join(recorder, '..', 'pathwick-maze');
  for (const seed of ['42', '9223372036854775807']) {
    if (await open(page, base, `?windowed#seed=${seed}`, 'running')) {
      await sleep(300);
      check(await page.evaluate(mapFile) === execFileSync(maker, ['--seed', seed], { encoding: 'utf8' }) &&
            (await page.evaluate('document.getElementById("seed").textContent')).includes(seed),
            `#seed=${seed} gives pathwick-maze --seed ${seed}'s maze, and says the seed`);
    }
  }
}

// The app offline: once the service worker has the page's files, a reload
// with no server at all still gets the first frame.
async function checkOffline(page, base, server) {
  if (!(await open(page, base, '?frames=1', 'held'))) return;
  await page.evaluate('navigator.serviceWorker.ready.then(() => { window.workerReady = true; })');
  if (!(await waitFor(page, 'window.workerReady === true', 'the service worker is ready', 30000))) {
    return;
  }
  check(await page.evaluate('document.querySelector("link[rel=manifest]") !== null'),
        'the page names its app manifest');
  server.close();
  server.closeAllConnections();
  await page.send('Network.enable');
  await page.send('Network.emulateNetworkConditions',
                  { offline: true, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
  await page.evaluate('document.documentElement.dataset.state = "gone"');
  await page.send('Page.reload');
  await waitFor(page, 'document.documentElement.dataset.state === "held"',
                'the page reloads offline to its first frame');
}

// The module stops for good: the page says so, offers to start again and
// never claims that the program runs.
async function checkAbort(page, base) {
  if (!(await open(page, base, '?windowed', 'running'))) return;
  await page.evaluate('try { abort("a test"); } catch (error) {}');
  if (await waitFor(page, 'document.documentElement.dataset.state === "aborted"',
                    'an abort stops the page', 5000)) {
    check(await page.evaluate('!document.getElementById("ended").hidden && ' +
                              'document.getElementById("ended-text").textContent.includes("a test")'),
          'the page says that the program stopped, and why');
    check(await page.evaluate('[...document.querySelectorAll("#menu button")].every(' +
                              '(button) => button.disabled)'), 'the menu is disabled');
  }
}

// Every way out goes through process.exit, whose handlers kill the browser
// and then remove the scratch folder: the end of the checks, an exception,
// a signal, and a session that takes too long (ended here well before
// ctest's timeout would kill this process).
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, () => process.exit(1));
const sessionLimitMs = 420000;
setTimeout(() => {
  check(false, `the session ends within ${sessionLimitMs / 1000} s`);
  process.exit(1);
}, sessionLimitMs);

const server = await serve();
const browser = launchBrowser();
const browserGroup = browser.pid;
process.on('exit', () => rmSync(scratch, { recursive: true, force: true, maxRetries: 3 }));
try {
  const page = new DevTools(browser);
  await page.openPage();
  await run(page, `http://127.0.0.1:${server.address().port}`);
  await checkSpeeds(page, `http://127.0.0.1:${server.address().port}`);
  await checkScreens(page, `http://127.0.0.1:${server.address().port}`);
  await checkLinks(page, `http://127.0.0.1:${server.address().port}`);
  await checkAbort(page, `http://127.0.0.1:${server.address().port}`);
  await checkOffline(page, `http://127.0.0.1:${server.address().port}`, server);
  check(page.errors.length === 0, `no errors in the page ${page.errors.join('; ')}`);
} catch (error) {
  check(false, `the session runs to its end: ${error.stack}`);
}
process.exit(failures === 0 ? 0 : 1);
