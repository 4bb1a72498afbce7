// zarvo-arena play-human in the browser: a person (the test) plays a whole real game against
// zarvo-random at the page the arena serves, clicking a marked legal place for every tile. The
// result the page shows must be the arena's result line and the game log's points, and bad
// requests must be refused without a move being played for the person.
import { test, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import readline from 'node:readline';
import fs from 'node:fs';
import path from 'node:path';
import { binDir, workDir, launchBrowser, newWatchedPage } from './harness.mjs';

let browser;
let arena;
after(async () => {
  if (browser) await browser.close();
  if (arena && arena.exitCode === null) arena.kill('SIGTERM');
});

// Starts the arena and returns its page's address and a promise of every later stdout line.
async function startArena(dir, args) {
  arena = spawn(path.join(binDir, 'zarvo-arena'), ['play-human', '--dir', dir, ...args],
    { cwd: dir, stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  arena.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => arena.on('exit', (code) => resolve({ code, stderr })));
  const lines = readline.createInterface({ input: arena.stdout })[Symbol.asyncIterator]();
  const first = await lines.next();
  assert.ok(!first.done, `the arena printed no address:\n${stderr}`);
  assert.match(first.value, /^http:\/\/127\.0\.0\.1:\d+\/$/);
  return { url: first.value, lines, exited };
}

async function post(url, body, headers = { 'X-Zarvo-Play': '1' }) {
  const response = await fetch(new URL('move', url), { method: 'POST', body, headers });
  return { status: response.status, body: await response.json().catch(() => null) };
}

async function state(url) {
  return (await fetch(new URL('state', url))).json();
}

// A well-formed answer that the server did not list as legal for the tile.
function illegalAnswer(legal) {
  for (const row of 'ABCDEFGHIJKLMNO') {
    for (const column of 'abcdefghijklmno') {
      if (!legal.includes(row + column + 'h')) return row + column + 'h';
    }
  }
  throw new Error('every place is legal');
}

test('a person plays a whole game at the page; its result is the arena\'s and the log\'s',
  { timeout: 300_000 }, async () => {
    const dir = workDir('play-human');
    const { url, lines, exited } = await startArena(dir, ['--id', 'play1', path.join(binDir, 'zarvo-random')]);
    browser = await launchBrowser();
    const { page, errors } = await newWatchedPage(browser);
    await page.goto(url);

    let checkedRefusals = false;
    for (;;) {
      await page.waitForSelector('body[data-state="your-turn"], body[data-state="over"]');
      if (await page.evaluate(() => document.body.dataset.state === 'over')) break;
      const before = Number(await page.evaluate(() => document.body.dataset.moves));
      if (!checkedRefusals) {
        const shown = await state(url);
        assert.equal((await post(url, 'Zz')).status, 400, 'a malformed move');
        assert.equal((await post(url, 'Hah\n')).status, 400, 'a move with more than the move');
        assert.equal((await post(url, illegalAnswer(shown.legal))).status, 422, 'an illegal place');
        assert.equal((await post(url, shown.legal[0], {})).status, 403, 'a move not from the page');
        const huge = await post(url, 'x'.repeat(100_000));
        assert.equal(huge.status, 413, 'a huge body');
        assert.match(huge.body.error, /too large/);
        await page.fill('#move-text', 'Zz');
        await page.click('#move-form button');
        await page.waitForSelector('#message:has-text("Not played: a move is a row letter")');
        const after = await state(url);
        assert.deepEqual([after.moves, after.tile], [shown.moves, shown.tile],
          'no refused request played a move');
        checkedRefusals = true;
      }
      const place = page.locator('#play-board .cell.legal').first();
      await place.click();
      await page.waitForFunction((n) => document.body.dataset.state === 'over' ||
        Number(document.body.dataset.moves) > n, before);
    }
    assert.ok(checkedRefusals, 'the person had at least one turn');

    const resultLine = (await lines.next()).value;
    const fields = resultLine.match(/^human vs zarvo_random: (\d+) (\d+) (\S+) winner (\S+) log (\S+) page (\S+)$/);
    assert.ok(fields, `the result line of match: ${resultLine}`);
    assert.equal(await page.locator('#result-line').textContent(), resultLine);
    const log = fs.readFileSync(fields[5], 'utf8');
    const gained = [1, 2].map((p) => Number(log.match(new RegExp(`^Player ${p} gained (\\d+) points$`, 'm'))[1]));
    const shownPoints = await page.evaluate(() => [1, 2].map((p) =>
      Number(/: (\d+) points$/.exec(document.getElementById(`p${p}-points`).textContent)[1])));
    assert.deepEqual(shownPoints, gained, 'the page shows the points the referee counted');
    const rounds = [...log.matchAll(/^Round \d+ player [12]: (\S+)$/gm)].map((m) => m[1]);
    const final = await state(url);
    assert.deepEqual(final.moves.slice(1), rounds, 'the page laid the moves of the log');
    const winner = gained[0] === gained[1] ? '-' : (gained[0] > gained[1] ? 'human' : 'zarvo_random');
    assert.equal(fields[4], winner);
    const resultText = await page.locator('#result-text').textContent();
    assert.ok(resultText.startsWith(winner === 'human' ? 'You won!' :
      winner === '-' ? 'Nobody won.' : 'zarvo_random won.'), resultText);

    const late = await post(url, final.legal[0] ?? 'Hah');
    assert.equal(late.status, 409, 'a move after the game is out of turn');
    assert.match(late.body.error, /not your turn/);

    // The replay, served by the arena too, shows the same game.
    const replay = await browser.newPage();
    await replay.goto(new URL(await page.locator('#replay-link').getAttribute('href'), url).href);
    const replayScores = await replay.evaluate(() => [1, 2].map((p) =>
      Number(/: (\d+)$/.exec(document.getElementById(`p${p}-score`).textContent)[1])));
    assert.deepEqual(replayScores, gained, 'the replay ends on the same points');
    // The browser notes the refusal of the move typed above; nothing else may go wrong.
    assert.deepEqual(errors.filter((e) => !/status of 400 \(Bad Request\)/.test(e)), []);

    await page.locator('#close').click();
    const { code, stderr } = await exited;
    assert.equal(code, 0, stderr);
  });

test('with a time limit the person\'s clock runs: one who does not move loses on time',
  { timeout: 300_000 }, async () => {
    const dir = workDir('play-human-clock');
    const { url, lines, exited } = await startArena(dir,
      ['--seat', '2', '--time-limit', '1', path.join(binDir, 'zarvo-random')]);
    browser ??= await launchBrowser();
    const { page } = await newWatchedPage(browser);
    await page.goto(url);
    await page.waitForSelector('body[data-state="over"]');
    assert.match(await page.locator('#notice').textContent(), /time ran out/);
    const resultLine = (await lines.next()).value;
    assert.match(resultLine, /^zarvo_random vs human: \d+ 0 \S*PLAYER_2:_TIMEOUT\S* winner zarvo_random /);
    assert.equal(await page.locator('#result-line').textContent(), resultLine);
    await page.locator('#close').click();
    assert.equal((await exited).code, 0);
  });

test('Ctrl-C stops a game the person is still thinking about', { timeout: 120_000 }, async () => {
  const dir = workDir('play-human-stopped');
  const { url, exited } = await startArena(dir, ['--id', 'stopped', path.join(binDir, 'zarvo-random')]);
  let shown = await state(url);
  while (!shown.tile) {
    shown = await (await fetch(new URL(`state?seen=${shown.version}`, url))).json();
  }
  arena.kill('SIGINT');
  const { code, stderr } = await exited;
  assert.equal(code, 130, stderr);
  assert.match(stderr, /game stopped stopped by signal 2/);
});
