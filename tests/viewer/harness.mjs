// Shared by the browser tests: where the built files are, a replay page written by hand in the
// referee's page format, and a headless Chromium that opens pages from disk and watches what
// they request.
import fs from 'node:fs';
import path from 'node:path';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

export const binDir = requiredDir('ZARVO_BIN_DIR');
export const buildDir = requiredDir('ZARVO_BUILD_DIR');
export const resourcesDir = path.join(binDir, 'resources');
export const rules = createRequire(import.meta.url)(path.join(resourcesDir, 'zarvo.js'));

function requiredDir(name) {
  const dir = process.env[name];
  if (!dir || !fs.existsSync(dir)) throw new Error(`${name} must name an existing directory`);
  return path.resolve(dir);
}

// A fresh directory under the build tree for one test's pages and logs.
export function workDir(name) {
  const dir = path.join(buildDir, 'viewer-tests', name);
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(path.join(dir, 'refereelogs'), { recursive: true });
  return dir;
}

// The page as the referee writes it: the same elements, ids and statements, with jspath
// relative to the page so that it is found from file:// like a real game's page.
export function writePage(file, { id, names, moves, colours, scores, message }) {
  const jspath = path.relative(path.dirname(file), resourcesDir) + '/';
  const title = `Zarvo game ${id}: ${names[0]} - ${names[1]}`;
  const list = moves.slice(1).map((m) => `'${m}'`).join(',');
  fs.writeFileSync(file, `<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html><head>
<meta http-equiv="Content-Type" content="text/html; charset=UTF-8">
<title>${title}</title>
<script type="text/javascript">var moves=['${moves[0]}', ${list}];</script>
<script type="text/javascript" src="${jspath}zarvo.js"></script>
<link rel="stylesheet" type="text/css" href="${jspath}zarvo.css">
</head><body>
<h2>${title}</h2>
<table><tbody>
<tr><th align="left">Message:&nbsp;&nbsp;</th><td class="quvborder">${message}</td></tr>
<tr><th align="left">Result:&nbsp;&nbsp;</th><td class="quvborder">${scores[0]} - ${scores[1]}</td></tr>
</tbody></table><br>
<div id="game-report"><table><tr><td>
<div id="game-container"><canvas id="canvas-1"></canvas><canvas id="canvas-2"></canvas></div>
<div id="scores"><pre id="p1-score">Player 1 (colour ?): 0</pre><pre id="p2-score">Player 2 (colour ?): 0</pre></div>
<div class="button-bar"><button id="first">&lt;&lt;</button><button id="prev">&lt;</button><button id="next">&gt;</button><button id="last">&gt;&gt;</button><button id="play-pause">Play</button></div>
</td><td id="move-table"><div tabindex="1"></div></td></tr></table></div>
<script type="text/javascript">var g = new Zarvo([ '${names[0]}', '${names[1]}' ], moves, [ ${colours[0]}, ${colours[1]} ]);</script>
<p>Zarvo replay.</p>
</body></html>
`);
}

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
  '--disable-background-networking', '--disable-component-update', '--disable-sync'];

// One browser for a test file; every page gets a new context, so nothing carries over.
export async function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    args: CHROMIUM_ARGS,
    timeout: 60_000,
  });
}

// Opens a page from disk and records every request, every failed request and every script
// error it causes. Options: `hash` ("#move=3") is added to the address; `fakeClock` gives the
// page a clock that only moves when the test moves it (page.clock.runFor); `width` is the
// window's.
export async function openPage(browser, file, { hash = '', fakeClock = false, width = 1200 } = {}) {
  const watched = await newWatchedPage(browser, width);
  const { page } = watched;
  if (fakeClock) await page.clock.install({ time: 0 });
  await page.goto(pathToFileURL(file).href + hash);
  // From here on, time stands still but for page.clock.runFor.
  if (fakeClock) await page.clock.pauseAt(1_000_000);
  return watched;
}

// A new page in a context of its own that records every request, every failed request and
// every script error.
export async function newWatchedPage(browser, width = 1200) {
  const context = await browser.newContext({ viewport: { width, height: 1000 } });
  const page = await context.newPage();
  const requests = [];
  const failed = [];
  const errors = [];
  // A page looks for the record of its turns beside it; one without a record (a page written
  // by hand, or by the referee run alone) makes the browser note the missing file, which is
  // neither a failure nor an error of the page.
  page.on('request', (request) => requests.push(request.url()));
  page.on('requestfailed', (request) => {
    if (!/\.turns\.js$/.test(request.url())) failed.push(request.url());
  });
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (msg) => {
    if (msg.type() !== 'error') return;
    const missingRecord = /^Failed to load resource/.test(msg.text()) &&
      /\.turns\.js$/.test((msg.location() || {}).url || '');
    if (!missingRecord) errors.push(msg.text());
  });
  return { page, context, requests, failed, errors };
}

export const scoresText = (page) =>
  page.evaluate(() => [document.getElementById('p1-score').textContent,
    document.getElementById('p2-score').textContent]);

// The move table's rows of moves as lists of their cells' texts (#, player, move text, then
// Time and Left once the record of the turns is in, then Gain and Points), and the index of the
// marked row.
export const moveTable = (page) => page.evaluate(() => {
  const rows = [...document.querySelectorAll('#move-table tbody tr:not(.dq-note)')];
  return {
    rows: rows.map((row) => [...row.cells].map((cell) => cell.textContent)),
    current: rows.findIndex((row) => row.classList.contains('current')),
  };
});

// Whether the marked row lies inside the visible part of the table's scroll box.
export const currentRowVisible = (page) => page.evaluate(() => {
  const row = document.querySelector('#move-table tr.current');
  const box = document.querySelector('#move-table > div');
  const r = row.getBoundingClientRect();
  const b = box.getBoundingClientRect();
  return r.top >= b.top - 1 && r.bottom <= b.bottom + 1;
});

// The colour of board cells as drawn on canvas-1, read back as '#RRGGBB'. Sampled near the
// cell's top-left corner, clear of the digit in its middle and of the grid and tile lines.
export const cellColours = (page, cells) => page.evaluate((cells) => {
  const canvas = document.getElementById('canvas-1');
  const ratio = canvas.width / canvas.getBoundingClientRect().width;
  const context = canvas.getContext('2d');
  const hex = (v) => v.toString(16).padStart(2, '0').toUpperCase();
  return cells.map(([row, column]) => {
    const rect = g.cellRect(row, column);
    const d = context.getImageData(Math.round((rect.x + 5) * ratio), Math.round((rect.y + 5) * ratio), 1, 1).data;
    return '#' + hex(d[0]) + hex(d[1]) + hex(d[2]);
  });
}, cells);

export const allCells = () => {
  const cells = [];
  for (let r = 1; r <= 16; r++) for (let c = 1; c <= 20; c++) cells.push([r, c]);
  return cells;
};

// A digest of everything drawn on canvas-1, to tell whether a change shows.
export const boardPixels = (page) => page.evaluate(async () => {
  const canvas = document.getElementById('canvas-1');
  const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
  const digest = await crypto.subtle.digest('SHA-256', data);
  return [...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join('');
});

export function onlyLocalRequests(requests) {
  return requests.filter((url) => !url.startsWith('file://') && !url.startsWith('data:'));
}

// Plays one game into a fresh directory and returns what the log and the page say about it.
// Players are [program, display name] pairs; `options` are more of zarvo-arena match's.
export function playGame(name, id, players, options = []) {
  const dir = workDir(name);
  const run = spawnSync(path.join(binDir, 'zarvo-arena'),
    ['match', '--dir', dir, '--id', String(id), '--name1', players[0][1], '--name2', players[1][1],
      ...options, ...players.map(([program]) => path.join(binDir, program))],
    { cwd: dir, encoding: 'utf8', timeout: 120_000 });
  assert.equal(run.status, 0, `zarvo-arena failed:\n${run.stdout}\n${run.stderr}`);
  assert.match(run.stdout, new RegExp(`${players[0][1]}-${players[1][1]}\\.${id}\\.html`),
    'the result line names the page');
  const logs = fs.readdirSync(path.join(dir, 'refereelogs')).filter((f) => f.endsWith('.log'));
  assert.equal(logs.length, 1, `one game log in ${dir}: ${logs}`);
  const log = path.join(dir, 'refereelogs', logs[0]);
  const page = log.replace(/\.log$/, '.html');
  assert.ok(fs.existsSync(page), `the page beside the log: ${page}`);
  return { log, page, ...readLog(fs.readFileSync(log, 'utf8')), ...readPage(fs.readFileSync(page, 'utf8')) };
}

function readLog(text) {
  const gained = [1, 2].map((p) => {
    const m = text.match(new RegExp(`^Player ${p} gained (\\d+) points$`, 'm'));
    assert.ok(m, `the log names the points of player ${p}`);
    return Number(m[1]);
  });
  const rounds = [...text.matchAll(/^Round (\d+) player ([12]): (\S+)$/gm)]
    .map((m) => ({ number: Number(m[1]), player: Number(m[2]), move: m[3] }));
  return { gained, rounds };
}

function readPage(html) {
  const list = html.match(/var moves=\[(.*)\];/);
  const call = html.match(/new Zarvo\(\[ '(.*)', '(.*)' \], moves, \[ (\d+), (\d+) \]\);/);
  assert.ok(list && call, 'the page holds the moves and the viewer statement');
  return {
    moves: [...list[1].matchAll(/'([^']*)'/g)].map((m) => m[1]),
    names: [call[1], call[2]],
    colours: [Number(call[3]), Number(call[4])],
  };
}
