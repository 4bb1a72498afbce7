// Result directories and installed trees stand on their own: a tournament directory moved to
// another path, or served by a web server, still shows every page with its board, and an
// installed tree plays a game from any directory and its pages find their viewer. Each page
// must load only files of its own directory and fail no request.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import {
  binDir, buildDir, resourcesDir, rules, workDir, launchBrowser, openPage, newWatchedPage, cellColours,
  allCells,
} from './harness.mjs';

const { PALETTE } = rules;
let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

function run(program, args, cwd) {
  const result = spawnSync(program, args, { cwd, encoding: 'utf8', timeout: 300_000 });
  assert.equal(result.status, 0, `${program} ${args.join(' ')} failed:\n${result.stdout}\n${result.stderr}`);
  return result.stdout;
}

// The viewer ran and its style sheet applies, and the board shows the position at the last move.
async function expectBoard(page) {
  assert.equal(await page.evaluate(() => typeof Zarvo), 'function', 'the viewer script was loaded');
  assert.equal(await page.evaluate(() => getComputedStyle(document.getElementById('play-pause')).minWidth),
    '72px', 'the viewer style sheet was loaded');
  const moves = await page.evaluate(() => moves);
  assert.ok(moves.length > 5, `a whole game, ${moves.length} moves`);
  const final = rules.replay(moves, [0, 0]).positions.at(-1);
  const drawn = await cellColours(page, allCells());
  allCells().forEach(([r, c], i) => {
    const colour = final.colour(r, c);
    if (colour) assert.equal(drawn[i], PALETTE[colour], `cell ${rules.rowLetter(r)}${rules.columnLetter(c)}`);
    else assert.ok(!Object.values(PALETTE).includes(drawn[i]), `empty cell ${r},${c}`);
  });
}

// Every request of a page went to `base` (a directory's file:// address or a server's origin).
function expectOnlyFrom(requests, base) {
  assert.ok(requests.length >= 3, `the page, its script and style sheet: ${requests}`);
  for (const url of requests) assert.ok(url.startsWith(base), `${url} lies outside ${base}`);
}

// Opens the tournament's index and follows each of the first `count` replay links.
async function followReplayLinks(indexUrl, base, count) {
  const { page, context, requests, failed, errors } = await newWatchedPage(browser);
  page.on('response', (response) => { if (response.status() >= 400) failed.push(response.url()); });
  await page.goto(indexUrl);
  const links = page.locator('#games a', { hasText: 'replay' });
  assert.ok(await links.count() >= count, 'the index links every game');
  for (let i = 0; i < count; i++) {
    await page.goto(indexUrl);
    await links.nth(i).click();
    await page.waitForLoadState('load');
    assert.match(page.url(), /\/refereelogs\/[^/]+\.html(#move=\d+)?$/);
    await expectBoard(page);
  }
  expectOnlyFrom(requests, base);
  assert.deepEqual(failed, []);
  assert.deepEqual(errors, []);
  await context.close();
}

// A web server for one directory: GET of the files below it, nothing else.
async function serve(root) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css' };
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    if (name === '/favicon.ico') { // every browser asks a server for one
      response.writeHead(204).end();
      return;
    }
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] ?? 'text/plain' });
    response.end(fs.readFileSync(file));
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { server, origin: `http://127.0.0.1:${server.address().port}` };
}

test('a tournament directory moved elsewhere, or served as it is, shows its games', async () => {
  const root = workDir('portable-tournament');
  const played = path.join(root, 'played', 't1');
  run(path.join(binDir, 'zarvo-arena'), ['tournament', '--dir', played, '--seed', '5',
    '--games-per-pair', '2', '--concurrency', '2',
    '--player', `greedy=${path.join(binDir, 'zarvo-greedy')}`,
    '--player', `random=${path.join(binDir, 'zarvo-random')}`,
    '--player', `python=${path.join(binDir, 'zarvo_bot.py')}`], root);
  const moved = path.join(root, 'elsewhere', 'moved-t1');
  fs.mkdirSync(path.dirname(moved), { recursive: true });
  fs.renameSync(played, moved);
  assert.ok(!fs.existsSync(played));

  // The directory's own copy of the viewer, as the build has it, and no temporary file beside.
  assert.deepEqual(fs.readdirSync(path.join(moved, 'resources')).sort(), ['zarvo.css', 'zarvo.js']);
  for (const file of ['zarvo.js', 'zarvo.css']) {
    assert.equal(fs.readFileSync(path.join(moved, 'resources', file), 'utf8'),
      fs.readFileSync(path.join(resourcesDir, file), 'utf8'));
  }
  const base = pathToFileURL(moved).href + '/';
  await followReplayLinks(base + 'index.html', base, 3);

  const { server, origin } = await serve(moved);
  try {
    await followReplayLinks(origin + '/index.html', origin + '/', 2);
  } finally {
    server.close();
  }
});

test('an installed tree plays from any directory and its pages find their viewer', async () => {
  const root = workDir('installed');
  const prefix = path.join(root, 'prefix');
  run(process.env.ZARVO_CMAKE ?? 'cmake', ['--install', buildDir, '--prefix', prefix], root);

  // The programs, the sample bots and the viewer files (the replay's and play-human's page's);
  // no test program.
  const javaBot = fs.existsSync(path.join(binDir, 'RandomBot.class'));
  const expected = ['java-launcher', 'zarvo-arena', 'zarvo-checker', 'zarvo-greedy', 'zarvo-random',
    'zarvo_bot.py', ...(javaBot ? ['RandomBot', 'RandomBot.class'] : [])].sort();
  assert.deepEqual(fs.readdirSync(path.join(prefix, 'bin')).sort(), expected);
  assert.deepEqual(fs.readdirSync(path.join(prefix, 'share', 'zarvo', 'resources')).sort(),
    ['zarvo-play.css', 'zarvo-play.js', 'zarvo.css', 'zarvo.js']);

  const bin = path.join(prefix, 'bin');
  const games = [[path.join(bin, 'zarvo-greedy'), path.join(bin, 'zarvo-random')]];
  if (javaBot) games.push([path.join(bin, 'zarvo_bot.py'), path.join(bin, 'RandomBot')]);
  for (const [i, players] of games.entries()) {
    const playDir = path.join(root, `somewhere-${i}`);
    fs.mkdirSync(playDir);
    const line = run(path.join(bin, 'zarvo-arena'), ['match', '--time-limit', '30', ...players], playDir);
    assert.doesNotMatch(line, /TIMEOUT|CRASH|EXIT|ILLEGAL/, line);
    const pagePath = path.resolve(playDir, line.trim().split(' page ')[1]);
    assert.equal(path.dirname(pagePath), path.join(playDir, 'refereelogs'));
    const { page, context, requests, failed, errors } = await openPage(browser, pagePath);
    await expectBoard(page);
    expectOnlyFrom(requests, pathToFileURL(playDir).href + '/');
    assert.deepEqual(failed, []);
    assert.deepEqual(errors, []);
    await context.close();
  }
});
