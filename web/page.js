// The page around the program (built into pathwick.js ahead of it): its
// boxes, its window (the canvas, with the menu bar as the page's buttons),
// the keys and clicks it hands to the program, and the map file, which the
// user opens from disk, which edit mode keeps in the browser's storage and
// which can be saved to disk. The program calls Page; the page calls the
// program's Web* functions, which queue window messages.
var Page = (() => {
  const byId = (id) => document.getElementById(id);
  const query = new URLSearchParams(location.search);
  const storageKey = 'pathwick.MazeMap.txt';
  const shippedMap = '/shipped/MazeMap.txt';
  const canvas = byId('canvas');
  const root = document.documentElement;
  let mapFile = 'MazeMap.txt';
  let windowOpen = false;
  let fullScreen = false;

  // The keys the program hears, as its virtual-key codes. While its window
  // is open and no box is, the browser does nothing else with them: Space
  // would scroll the page, Backspace go back in some browsers, Return and
  // Space press the page's button that has the focus.
  const keyCodes = {
    Backspace: 8, Enter: 13, Shift: 16, Control: 17, Escape: 27, ' ': 32,
    End: 35, ArrowUp: 38, ArrowDown: 40, n: 78, N: 78, F1: 112,
  };
  // Mouse buttons (a pointer event's `button`) as the program numbers them:
  // left 1, right 2. A pointer event's `buttons` has the same bits for them.
  const pointerButtons = { 0: 1, 2: 2 };
  const leftAndRight = 1 | 2;
  // True from a press of the left or right button on the canvas until the
  // last button is released: the canvas holds the pointer meanwhile.
  let dragging = false;

  // Hands the program something (a key, a click, a box closed): the
  // program, resting on a still picture, wakes for it.
  function send(call, ...args) {
    call(...args);
    Module._WebWake();
  }

  function setState(state) {
    root.dataset.state = state;
  }

  // A box of the page: the caption, the text as it is (line breaks and
  // leading blanks kept) and OK, with Cancel when asked for. `closed` gets
  // true for OK; Escape answers as Cancel does.
  function openBox(text, caption, withCancel, closed) {
    const box = byId('box');
    byId('box-caption').textContent = caption;
    byId('box-text').textContent = text;
    markLanguage(byId('box-caption'), caption);
    markLanguage(byId('box-text'), text);
    byId('box-cancel').hidden = !withCancel;
    const finish = (ok) => {
      byId('box-ok').onclick = byId('box-cancel').onclick = box.oncancel = null;
      box.close();
      closed(ok);
    };
    byId('box-ok').onclick = () => finish(true);
    byId('box-cancel').onclick = () => finish(false);
    box.oncancel = (event) => {
      event.preventDefault();
      finish(false);
    };
    placeBox(box);
    box.showModal();
    byId('box-ok').focus();
  }

  // A box of the window is centred over it, as on the desktop; the
  // question, before any window, in the middle of the page.
  function placeBox(box) {
    const windowElement = byId('window');
    const overWindow = windowOpen && !windowElement.hidden;
    box.classList.toggle('over-window', overWindow);
    if (!overWindow) return;
    const frame = windowElement.getBoundingClientRect();
    box.style.left = `${frame.left + frame.width / 2}px`;
    box.style.top = `${frame.top + frame.height / 2}px`;
  }

  // Full screen needs the gesture of a click, such as OK's. Once there, the
  // keyboard lock lets Escape reach the program (holding it leaves full
  // screen) where the browser has one.
  function enterFullScreen() {
    if (!root.requestFullscreen) return;
    root.requestFullscreen().then(
      () => navigator.keyboard && navigator.keyboard.lock(['Escape']).catch(() => {}),
      () => {});
  }

  // The canvas's drawing buffer: its size on the page times the device's
  // pixel ratio, so that the picture is drawn at the screen's own
  // resolution. The program hears of a change as a size message.
  function fitCanvas() {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.round(canvas.clientWidth * ratio);
    const height = Math.round(canvas.clientHeight * ratio);
    if (width === canvas.width && height === canvas.height) return;
    canvas.width = width;
    canvas.height = height;
    if (windowOpen) send(Module._WebSize);
  }

  // A change of the pixel ratio (a zoom, a move to another screen) comes as
  // a change of the resolution the page matches.
  function followPixelRatio() {
    matchMedia(`(resolution: ${window.devicePixelRatio}dppx)`).addEventListener('change', () => {
      fitCanvas();
      followPixelRatio();
    }, { once: true });
  }

  // Shift and Ctrl alone are the program's (pause, resume), but also begin
  // the browser's own keys (Ctrl+F, Shift+Tab): they reach the program when
  // released with no other key pressed meanwhile.
  const modifiers = new Set(['Shift', 'Control']);
  let modifierDown = null;

  // The program hears the keyboard while the canvas, or nothing, has the
  // focus: a focused page button takes Return and Space itself.
  function keysAreTheProgram() {
    const focused = document.activeElement;
    return windowOpen && !byId('box').open &&
           (focused === null || focused === document.body || focused === canvas);
  }

  function onKeyDown(event) {
    const key = keyCodes[event.key];
    if (modifiers.has(event.key)) {
      if (!event.repeat) modifierDown = event.key;
      return;
    }
    modifierDown = null;
    if (key === undefined || event.altKey || event.ctrlKey || event.metaKey ||
        !keysAreTheProgram()) {
      return;
    }
    event.preventDefault();
    send(Module._WebKeyDown, key);
  }

  function onKeyUp(event) {
    const pressedAlone = modifierDown === event.key;
    modifierDown = null;
    if (!pressedAlone || event.altKey || !keysAreTheProgram()) return;
    send(Module._WebKeyDown, keyCodes[event.key]);
  }

  // The program's own texts are Chinese, the page's own in its language: a
  // screen reader speaks each in its own.
  function markLanguage(element, text) {
    element.lang = /[\u3400-\u9fff]/.test(text) ? 'zh-CN' : root.lang;
  }

  // Canvas pixels, from the top-left corner, however the page scales it;
  // beyond its edges (negative ones too) while a drag goes on outside it.
  function canvasPoint(event) {
    const box = canvas.getBoundingClientRect();
    return {
      x: Math.floor((event.clientX - box.left) * canvas.width / box.width),
      y: Math.floor((event.clientY - box.top) * canvas.height / box.height),
    };
  }

  function sendPointer(call, buttons, event) {
    const { x, y } = canvasPoint(event);
    send(call, buttons, x, y);
  }

  // A press on the canvas captures the pointer, as a desktop window keeps it
  // while a button is held: the moves and the release outside the canvas
  // come here too.
  function onPointerDown(event) {
    const button = pointerButtons[event.button];
    if (!windowOpen || button === undefined) return;
    event.preventDefault();
    // A click in the window gives it the keyboard.
    canvas.focus({ preventScroll: true });
    canvas.setPointerCapture(event.pointerId);
    dragging = true;
    sendPointer(Module._WebPointerDown, button, event);
  }

  // A move with the left or right button held, during a drag begun on the
  // canvas. A button pressed or released while another is held comes as a
  // move whose `button` names it.
  function onPointerMove(event) {
    const button = pointerButtons[event.button];
    if (!dragging) {
      // The left or right button pressed on the canvas while another held.
      if (button !== undefined && (event.buttons & button) !== 0) onPointerDown(event);
      return;
    }
    if (!windowOpen) return;
    if (event.button === -1) {
      const held = event.buttons & leftAndRight;
      if (held !== 0) sendPointer(Module._WebPointerMove, held, event);
    } else if (button !== undefined) {
      const pressed = (event.buttons & button) !== 0;
      sendPointer(pressed ? Module._WebPointerDown : Module._WebPointerUp, button, event);
    }
  }

  function onPointerUp(event) {
    if (!dragging) return;
    dragging = false;
    const button = pointerButtons[event.button];
    if (windowOpen && button !== undefined) sendPointer(Module._WebPointerUp, button, event);
  }

  // The browser took the pointer away (a cancelled touch, a capture lost
  // otherwise): both buttons count as released.
  function onPointerLost() {
    if (!dragging) return;
    dragging = false;
    if (!windowOpen) return;
    send(Module._WebPointerUp, 1, 0, 0);
    send(Module._WebPointerUp, 2, 0, 0);
  }

  // The page's language: ?lang=zh or ?lang=en, else the browser's first
  // choice: Chinese for any zh, English for everything else.
  const language = (() => {
    const asked = query.get('lang') || (navigator.languages || [navigator.language])[0] || '';
    return asked.toLowerCase().split('-')[0] === 'zh' ? 'zh' : 'en';
  })();
  root.lang = language === 'zh' ? 'zh-CN' : 'en';

  // The page's own words, in both languages: its buttons and legend (the
  // elements with a data-text), and what it says about the map files and
  // the program.
  const allTexts = {
    en: {
      loading: 'Loading Pathwick…',
      openMap: 'Open map…',
      shippedMap: 'Shipped maze',
      undoMap: 'Undo',
      saveMap: 'Save map',
      dropHint: 'or drop a map file on the page',
      edit: 'Edit',
      step: 'Step',
      back: 'Back to drawing',
      ended: 'Pathwick has ended.',
      startAgain: 'Start again',
      canvas: 'The maze',
      legendTitle: 'What you see',
      legendWall: 'wall',
      legendOpen: 'open way',
      legendTrail: 'way taken',
      legendDeadEnd: 'dead end',
      legendExit: 'exit',
      legendMarker: 'marker',
      legendKeys: 'Return starts the search, Shift pauses, Ctrl resumes, Space steps to the ' +
        'next decision, N draws a new maze, Up and Down change the speed, End is full ' +
        'speed, F1 shows About, Escape ends.',
      legendEdit: 'Edit: while the explorer waits at the start, a click turns a cell into ' +
        'the next kind (wall, open, exit; the right button goes back) and a drag paints; ' +
        'Backspace goes back to drawing after a search.',
      notAMap: (name) => `${name} is not a map: a map holds a number for each of the 100 ` +
        'cells. Nothing was changed.',
      tooLarge: (name, size) => `${name} is not opened: it holds ${size} bytes, and a map is a ` +
        `few hundred (${maxMapBytes} at most).`,
      unreadable: (name) => `${name} could not be read. Nothing was changed.`,
      shippedName: 'The shipped maze',
      previousName: 'The previous map',
      boxOpen: 'Close the box first: the map was not opened.',
      endedNoMap: 'Pathwick has ended: start it again to open a map.',
      notKept: (reason) => `The browser's storage did not keep the map (${reason}); ` +
        'the edit is undone.',
      storageFull: 'it is full',
      noStorage: 'This browser keeps nothing for the page: the drawn maze lasts until the page ' +
        'closes (Save map keeps it).',
      otherTab: 'The map was changed in another tab; this tab shows it now.',
      replaceQuestion: 'Replace the drawn maze with the shipped maze? Undo brings the drawn ' +
        'one back.',
      replaced: 'The map was replaced; Undo brings the previous one back.',
      contextLost: 'The browser took the graphics away; the search waits until they are back.',
      contextRestored: 'The graphics are back; the search goes on where it stood.',
      aborted: (what) => `Pathwick stopped after an error (${what}) and no longer runs.`,
      share: 'Share',
      newMaze: 'New maze',
      shared: 'The address now holds this maze: copy it to share the maze.',
      cannotShare: 'This map has cell numbers a link cannot hold (0 to 31 only).',
      badLink: 'The link holds no maze this page can read; nothing was changed.',
      linkName: 'The linked maze',
      seedName: (seed) => `The maze of seed ${seed}`,
      seedShown: (seed) => `Seed ${seed} (pathwick-maze --seed ${seed} makes the same maze)`,
    },
    zh: {
      loading: '正在载入 Pathwick…',
      openMap: '打开地图…',
      shippedMap: '自带迷宫',
      undoMap: '撤销',
      saveMap: '保存地图',
      dropHint: '或把地图文件拖到本页',
      edit: '编辑',
      step: '单步',
      back: '回到绘制',
      ended: 'Pathwick 已结束。',
      startAgain: '重新开始',
      canvas: '迷宫',
      legendTitle: '图例',
      legendWall: '墙',
      legendOpen: '通路',
      legendTrail: '走过的路',
      legendDeadEnd: '死路',
      legendExit: '出口',
      legendMarker: '标记',
      legendKeys: '回车开始搜索，Shift 暂停，Ctrl 继续，空格走到下一个岔口，N 生成新迷宫，上下箭头调速度，' +
        'End 全速，F1 关于，Esc 退出。',
      legendEdit: '编辑：探索者在起点等待时，单击把格子换成下一种（墙、通路、出口；右键反向），' +
        '拖动可连续涂画；搜索之后按退格键回到绘制。',
      notAMap: (name) => `${name} 不是地图：地图为 100 个格子各写一个数字。没有任何改动。`,
      tooLarge: (name, size) => `${name} 未打开：它有 ${size} 字节，而地图只有几百字节` +
        `（最多 ${maxMapBytes}）。`,
      unreadable: (name) => `${name} 无法读取。没有任何改动。`,
      shippedName: '自带迷宫',
      previousName: '上一张地图',
      boxOpen: '请先关闭对话框：地图没有打开。',
      endedNoMap: 'Pathwick 已结束：重新开始后才能打开地图。',
      notKept: (reason) => `浏览器的存储没有保存地图（${reason}）；这次编辑已撤销。`,
      storageFull: '存储已满',
      noStorage: '此浏览器不为本页保存任何内容：画好的迷宫只保留到关闭本页（可用“保存地图”保存）。',
      otherTab: '地图在另一个标签页中被修改；本页现在显示它。',
      replaceQuestion: '用自带迷宫替换画好的迷宫吗？“撤销”可以恢复画好的迷宫。',
      replaced: '地图已替换；“撤销”可以恢复上一张。',
      contextLost: '浏览器收回了图形；搜索会等到图形恢复。',
      contextRestored: '图形已恢复；搜索从停下的地方继续。',
      aborted: (what) => `Pathwick 因错误（${what}）停止，不再运行。`,
      share: '分享',
      newMaze: '新迷宫',
      shared: '地址栏里现在是这个迷宫：复制地址即可分享。',
      cannotShare: '这张地图有链接放不下的格子数字（只能是 0 到 31）。',
      badLink: '链接里没有本页能读的迷宫；没有任何改动。',
      linkName: '链接里的迷宫',
      seedName: (seed) => `种子 ${seed} 的迷宫`,
      seedShown: (seed) => `种子 ${seed}（pathwick-maze --seed ${seed} 生成同一个迷宫）`,
    },
  };
  const texts = allTexts[language];

  // The program's texts in the page's language, from the desktop's message
  // catalogs (po/en.po, po/zh.po, built in): msgid to msgstr, the quoted
  // parts of each joined, with their C escapes.
  let catalog = null;
  function readCatalog() {
    const unquote = (block) => [...block.matchAll(/"((?:[^"\\]|\\.)*)"/g)]
      .map((part) => JSON.parse(`"${part[1]}"`)).join('');
    const entries = new Map();
    const po = FS.readFile(`/po/${language}.po`, { encoding: 'utf8' });
    for (const entry of po.matchAll(/^msgid ((?:".*"\n)+)msgstr ((?:".*"(?:\n|$))+)/gm)) {
      const [id, translation] = [unquote(entry[1]), unquote(entry[2])];
      if (id && translation) entries.set(id, translation);
    }
    return entries;
  }
  for (const element of document.querySelectorAll('[data-text]')) {
    element.textContent = texts[element.dataset.text];
  }
  canvas.setAttribute('aria-label', texts.canvas);

  // A map is a few hundred bytes: anything much larger is refused unread.
  const maxMapBytes = 1 << 20;
  // What the browser's storage holds, as last read or written: an edit that
  // the storage refuses goes back to it. Null when nothing is kept.
  let keptMap = null;
  let storageWorks = true;
  // The map that the last replacement replaced, for Undo (one level).
  let replacedMap = null;

  function say(text) {
    const line = document.createElement('p');
    line.textContent = text;
    byId('notices').append(line);
  }

  function mapText() {
    return FS.readFile(mapFile, { encoding: 'utf8' });
  }

  // Why a map cannot be opened now, if it cannot.
  function openingRefused() {
    if (root.dataset.state === 'ended' || root.dataset.state === 'aborted') return texts.endedNoMap;
    if (byId('box').open) return texts.boxOpen;
    return windowOpen ? null : texts.endedNoMap;
  }

  // The bytes of a map become the map file, and the program loads it; bytes
  // that hold no map change nothing. The map replaced can be brought back.
  function openMap(bytes, name) {
    const refused = openingRefused();
    if (refused) {
      say(refused);
      return false;
    }
    const previous = mapText();
    FS.writeFile('/opened', bytes);
    const opened = Module._WebOpenMap();
    Module._WebWake();
    if (!opened) {
      say(texts.notAMap(name));
      return false;
    }
    if (mapText() !== previous) {
      replacedMap = previous;
      byId('undo-map').hidden = false;
    }
    return true;
  }

  function openMapFile(file) {
    if (!file) return;
    if (file.size > maxMapBytes) {
      say(texts.tooLarge(file.name, file.size));
      return;
    }
    file.arrayBuffer().then((buffer) => openMap(new Uint8Array(buffer), file.name),
                            () => say(texts.unreadable(file.name)));
  }

  // Over a drawn maze, the shipped one comes only when the user says so.
  function openShippedMap() {
    const shipped = FS.readFile(shippedMap);
    const drawn = query.has('edit') && !openingRefused() &&
                  mapText() !== new TextDecoder().decode(shipped);
    if (!drawn) {
      openMap(shipped, texts.shippedName);
      return;
    }
    openBox(texts.replaceQuestion, document.title, true, (ok) => {
      if (ok && openMap(shipped, texts.shippedName)) say(texts.replaced);
    });
  }

  function undoReplacement() {
    if (replacedMap === null) return;
    const previous = replacedMap;
    if (!openMap(new TextEncoder().encode(previous), texts.previousName)) return;
    replacedMap = null;
    byId('undo-map').hidden = true;
  }

  function saveMap() {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([FS.readFile(mapFile)], { type: 'text/plain' }));
    link.download = 'MazeMap.txt';
    link.click();
    URL.revokeObjectURL(link.href);
  }

  // Another tab in edit mode kept its map: this one takes it, as the
  // desktop program reloads a map that a second editor wrote. The program
  // sees the file change at its next frame and reloads it while it waits at
  // start, saying so on its status line.
  function onStorage(event) {
    if (event.key !== storageKey || event.newValue === null || !query.has('edit')) return;
    keptMap = event.newValue;
    if (!windowOpen || mapText() === event.newValue) return;
    // A new file, so that its stamp differs even within the same millisecond.
    FS.unlink(mapFile);
    FS.writeFile(mapFile, event.newValue);
    Module._WebWake();
    say(texts.otherTab);
  }

  // A maze in the page's address: #maze= with the version of the form (1)
  // and the 100 cells' codes, row 0 first, one base-32 digit each (0-9,
  // a-v); #seed=N for pathwick-maze's maze of seed N.
  const linkDigits = '0123456789abcdefghijklmnopqrstuv';
  const linkVersion = '1';

  function mapCodes(text) {
    return text.trim().split(/\s+/).slice(0, 100).map(Number);
  }

  function linkOfMap(text) {
    const codes = mapCodes(text);
    if (codes.some((code) => !Number.isInteger(code) || code < 0 || code >= linkDigits.length)) {
      return null;
    }
    return linkVersion + codes.map((code) => linkDigits[code]).join('');
  }

  // The map text of a #maze= link; null for a malformed one.
  function mapOfLink(link) {
    if (link.length !== 101 || link[0] !== linkVersion) return null;
    const codes = [...link.slice(1)].map((digit) => linkDigits.indexOf(digit));
    if (codes.includes(-1)) return null;
    const rows = [];
    for (let row = 0; row < 10; row++) rows.push(codes.slice(10 * row, 10 * row + 10).join(' '));
    return `${rows.join('\n')}\n`;
  }

  function setAddress(hash) {
    history.replaceState(null, '', `${location.pathname}${location.search}#${hash}`);
  }

  function shareMap() {
    const link = linkOfMap(mapText());
    if (link === null) {
      say(texts.cannotShare);
      return;
    }
    setAddress(`maze=${link}`);
    if (navigator.clipboard) navigator.clipboard.writeText(location.href).catch(() => {});
    say(texts.shared);
  }

  // A seed as its high and low 32 bits; null unless a whole number that
  // pathwick-maze takes (below 2^63).
  function seedHalves(seed) {
    const [bits, low] = [BigInt(32), BigInt(0xffffffff)];
    if (!/^[0-9]{1,19}$/.test(seed) || BigInt(seed) >= BigInt(1) << BigInt(63)) return null;
    const value = BigInt(seed);
    return [Number(value >> bits), Number(value & low)];
  }

  function openSeed(seed) {
    const halves = seedHalves(seed);
    if (halves === null || !Module._WebGenerateMaze(...halves)) {
      say(texts.badLink);
      return;
    }
    if (openMap(FS.readFile('/opened'), texts.seedName(seed))) {
      byId('seed').textContent = texts.seedShown(seed);
      setAddress(`seed=${seed}`);
    }
  }

  function newMaze() {
    openSeed(String(crypto.getRandomValues(new Uint32Array(1))[0]));
  }

  // The maze of the address, if it names one.
  function openAddress() {
    const hash = new URLSearchParams(location.hash.slice(1));
    if (hash.has('maze')) {
      const map = mapOfLink(hash.get('maze'));
      if (map === null) {
        say(texts.badLink);
      } else {
        openMap(new TextEncoder().encode(map), texts.linkName);
      }
    } else if (hash.has('seed')) {
      openSeed(hash.get('seed'));
    }
  }

  // Edit mode is a start option: the toggle starts the page again with or
  // without it, in the same kind of window, the map kept in storage.
  function toggleEditMode() {
    const next = new URLSearchParams(location.search);
    if (next.has('edit')) {
      next.delete('edit');
    } else {
      next.set('edit', '');
    }
    if (windowOpen && !next.has('fullscreen')) next.set(fullScreen ? 'fullscreen' : 'windowed', '');
    // Without the address's maze, which would replace the one kept.
    location.href = `${location.pathname}?${next.toString().replace(/=(&|$)/g, '$1')}`;
  }

  function setUpFiles() {
    const chooser = byId('map-chooser');
    byId('open-map').onclick = () => chooser.click();
    chooser.onchange = () => {
      openMapFile(chooser.files[0]);
      chooser.value = '';
    };
    byId('shipped-map').onclick = openShippedMap;
    byId('undo-map').onclick = undoReplacement;
    byId('save-map').hidden = !query.has('edit');
    byId('save-map').onclick = saveMap;
    byId('edit-toggle').setAttribute('aria-pressed', String(query.has('edit')));
    byId('edit-toggle').onclick = toggleEditMode;
    byId('share-map').onclick = shareMap;
    byId('new-maze').onclick = newMaze;
    window.addEventListener('hashchange', openAddress);
    document.addEventListener('dragover', (event) => event.preventDefault());
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      openMapFile(event.dataTransfer.files[0]);
    });
    window.addEventListener('storage', onStorage);
  }

  // Whether the screen is touched rather than typed on: it gets Step and
  // Back buttons, and the full-screen picture no key help.
  function touchScreen() {
    return matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0;
  }

  // A touch screen has no Space or Backspace: Step and Back to drawing
  // hand the program those keys, through the same commands.
  function setUpTouchKeys() {
    root.classList.toggle('touch', touchScreen());
    byId('touch-back').hidden = !query.has('edit');
    byId('touch-step').onclick = () => windowOpen && send(Module._WebKeyDown, keyCodes[' ']);
    byId('touch-back').onclick = () => windowOpen && send(Module._WebKeyDown, keyCodes.Backspace);
  }

  // The module stopped for good (out of memory, a fault): the page says so
  // and offers to start again, and never claims that the program runs.
  function onAbort(what) {
    windowOpen = false;
    for (const button of document.querySelectorAll('#menu button, #files button')) {
      button.disabled = true;
    }
    byId('ended-text').textContent = texts.aborted(what);
    byId('status').textContent = texts.aborted(what);
    byId('ended').hidden = false;
    byId('start-again').onclick = () => location.reload();
    setState('aborted');
  }
  Module.onAbort = onAbort;

  document.addEventListener('keydown', onKeyDown);
  document.addEventListener('keyup', onKeyUp);
  canvas.addEventListener('pointerdown', onPointerDown);
  canvas.addEventListener('pointermove', onPointerMove);
  canvas.addEventListener('pointerup', onPointerUp);
  canvas.addEventListener('pointercancel', onPointerLost);
  canvas.addEventListener('lostpointercapture', onPointerLost);
  canvas.addEventListener('contextmenu', (event) => event.preventDefault());
  // A lost context can come back only if the page asks for it so.
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    Module._WebContextLost();
    say(texts.contextLost);
  });
  canvas.addEventListener('webglcontextrestored', () => {
    Module._WebContextRestored();
    say(texts.contextRestored);
  });
  setUpFiles();
  setUpTouchKeys();
  setState('loading');

  return {
    canvas,

    hasOption: (name) => query.has(name),

    // The program's text `ownText` in the page's language; null where the
    // catalog has none.
    localized: (ownText) => {
      if (catalog === null) catalog = readCatalog();
      return catalog.has(ownText) ? catalog.get(ownText) : null;
    },
    // A whole number given to the option, else 0.
    numberOption: (name) => {
      const value = query.get(name);
      return value !== null && /^[0-9]{1,9}$/.test(value) ? Number(value) : 0;
    },
    touchScreen,

    notify: (kind, text) => {
      const line = document.createElement('p');
      line.textContent = text;
      byId('notices').append(line);
      (kind === 0 ? console.info : console.warn)(text);
    },

    ask: (text, caption) => {
      byId('loading').hidden = true;
      setState('question');
      openBox(text, caption, true, (ok) => {
        if (ok) enterFullScreen();
        send(Module._WebQuestionAnswered, ok);
      });
    },

    showMessage: (text, caption) => {
      const state = root.dataset.state;
      setState('box');
      openBox(text, caption, false, () => {
        setState(state);
        send(Module._WebMessageClosed);
      });
    },

    openWindow: (isFullScreen, title) => {
      document.title = title;
      fullScreen = isFullScreen;
      windowOpen = true;
      root.classList.toggle('full-screen', fullScreen);
      byId('window').hidden = false;
      byId('loading').hidden = true;
      fitCanvas();
      // Once the program has started with its own map.
      setTimeout(openAddress, 0);
      window.addEventListener('resize', fitCanvas);
      followPixelRatio();
      setState('running');
    },

    addMenuItem: (id, caption) => {
      const item = document.createElement('button');
      item.textContent = caption;
      markLanguage(item, caption);
      item.dataset.id = id;
      item.onclick = () => {
        item.blur();
        send(Module._WebCommand, id);
      };
      byId('menu').append(item);
    },

    createContext: () => {
      const attributes = { alpha: false, depth: true, stencil: false, antialias: false };
      return Browser.createContext(canvas, true, true, attributes) !== null;
    },

    closeWindow: () => {
      windowOpen = false;
      for (const button of document.querySelectorAll('#menu button, #files button')) {
        button.disabled = true;
      }
    },

    showEnded: () => {
      windowOpen = false;
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      root.classList.remove('full-screen');
      byId('ended').hidden = false;
      byId('start-again').onclick = () => location.reload();
      byId('status').textContent = byId('ended-text').textContent;
      byId('start-again').focus();
      setState('ended');
    },

    // The status line, as the canvas shows it, for screen readers.
    showStatus: (text) => {
      byId('status').textContent = text;
    },

    showHeld: () => setState('held'),

    setMapFile: (path) => {
      mapFile = path;
    },

    // Writes the map kept in the browser's storage to the map file; false
    // when none is kept (or storage is off).
    restoreMap: () => {
      try {
        keptMap = localStorage.getItem(storageKey);
      } catch (error) {
        storageWorks = false;
        if (query.has('edit')) say(texts.noStorage);
        return false;
      }
      if (keptMap === null) return false;
      FS.writeFile(mapFile, keptMap);
      return true;
    },

    // Keeps the map file in the storage. When the storage refuses it (full,
    // or turned off meanwhile), the map file gets back what the storage
    // holds, and the page says why: false. A browser without storage for
    // the page keeps the map in the page only, as said at the start.
    storeMap: () => {
      const map = mapText();
      if (!storageWorks || keptMap === map) return true;
      try {
        localStorage.setItem(storageKey, map);
        keptMap = map;
        return true;
      } catch (error) {
        FS.writeFile(mapFile, keptMap !== null ? keptMap : FS.readFile(shippedMap));
        say(texts.notKept(error.name === 'QuotaExceededError' ? texts.storageFull : error.message));
        return false;
      }
    },
  };
})();
