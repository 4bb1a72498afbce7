// The legal places the replay page shows for a move's tile, against the referee's own move
// generation (tests/support/legal_places reads the game log), on real games that zarvo-arena
// plays; and the thinking time each player had left, under a clock with an increment.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import { launchBrowser, openPage, moveTable, playGame } from './harness.mjs';

const INCREMENT = ['--time-limit', '5s', '--increment', '50ms'];

let browser;
let games;
before(async () => {
  games = [
    playGame('legal-greedy-random', 1, [['zarvo-greedy', 'greedy'], ['zarvo-random', 'random']],
      INCREMENT),
    playGame('legal-random-greedy', 2, [['zarvo-random', 'chance'], ['zarvo-greedy', 'greed']]),
  ];
  for (const game of games) {
    game.legal = JSON.parse(execFileSync(process.env.ZARVO_LEGAL_PLACES, [game.log], { encoding: 'utf8' }));
  }
  browser = await launchBrowser();
});
after(async () => { await browser?.close(); });

// The places marked on canvas-1, read back from its pixels: a black bar along the foot of the
// anchor cell for a horizontal place, down its right side for a vertical one.
const markedPlaces = (page) => page.evaluate(() => {
  const canvas = document.getElementById('canvas-1');
  const ratio = canvas.width / canvas.getBoundingClientRect().width;
  const context = canvas.getContext('2d');
  const black = (x, y) => {
    const d = context.getImageData(Math.round(x * ratio), Math.round(y * ratio), 1, 1).data;
    return d[0] === 0 && d[1] === 0 && d[2] === 0;
  };
  const { rowLetter, columnLetter } = Zarvo.rules;
  const places = [];
  for (const [orientation, dx, dy] of [['h', 11, 23], ['v', 23, 11]]) {
    for (let r = 1; r <= 16; r++) {
      for (let c = 1; c <= 20; c++) {
        const { x, y } = g.cellRect(r, c);
        if (black(x + dx, y + dy)) places.push(rowLetter(r) + columnLetter(c) + orientation);
      }
    }
  }
  return places;
});

test('the legal places shown for a move are the referee\'s for its tile', async () => {
  for (const game of games) {
    const count = game.moves.length - 1;
    assert.equal(Object.keys(game.legal).length, count, 'the program read every move');
    const { page, context, errors } = await openPage(browser, game.page, { hash: '#move=1' });
    await page.check('#show-legal');
    for (const move of [1, 2, 3, Math.floor(count / 2), count - 1, count]) {
      await page.evaluate((n) => { location.hash = '#move=' + n; }, move);
      await page.waitForFunction((n) => g.current === n, move);
      const expected = game.legal[String(move)];
      assert.ok(expected.includes(game.rounds[move - 1].move.slice(0, 2) + game.rounds[move - 1].move[8]),
        'the move played is one of them');
      const marked = await markedPlaces(page);
      assert.deepEqual(marked.filter((p) => p.endsWith('h')), expected.filter((p) => p.endsWith('h')), `move ${move}`);
      assert.deepEqual(marked.filter((p) => p.endsWith('v')), expected.filter((p) => p.endsWith('v')), `move ${move}`);
      assert.match(await page.textContent('#legal-info'),
        new RegExp(`^The board before move ${move}, with the ${expected.length} legal places`));
    }
    await page.uncheck('#show-legal');
    assert.deepEqual(await markedPlaces(page), [], 'hidden again');
    assert.ok(await page.locator('#legal-info').evaluate((e) => e.hidden));
    assert.deepEqual(errors, []);
    await context.close();
  }
});

test('each move shows what its player had left of its thinking time, the increment earned', async () => {
  const game = games[0];
  const script = fs.readFileSync(game.page.replace(/\.html$/, '.turns.js'), 'utf8');
  const record = JSON.parse(script.slice('zarvoTurnRecord('.length, -');\n'.length));
  assert.deepEqual(record.clock,
    { counts: 'thinking', limit_ms: 5000, increment_ms: 50, move_limit_ms: null });
  for (const player of record.players) {
    let charged = 0;
    player.turns.forEach((turn, n) => {
      charged += turn.ms;
      // Each turn's time is rounded to the millisecond by itself: n + 1 roundings at most.
      const expected = 5000 + 50 * (n + 1) - charged;
      assert.ok(Math.abs(turn.left_ms - expected) <= n + 1, `turn ${n + 1}: ${turn.left_ms} vs ${expected}`);
    });
  }
  const { page, context } = await openPage(browser, game.page, { hash: '#move=2' });
  await page.waitForSelector('#turn-info');
  const table = await moveTable(page);
  const left = table.rows.slice(1).map((row) => row[4]);
  assert.match(left[0], /^[45]\.\d\d s$/);
  assert.deepEqual(await page.locator('table.moves thead th').allTextContents(),
    ['#', 'Player', 'Move', 'Time', 'Left', 'Gain', 'Points']);
  assert.match(await page.textContent('#turn-info'),
    /^Move 2 \(random\): \d+ ms of thinking time, \d\.\d\d s left of 5\.00 s per game, \+50 ms per move\.$/);
  await context.close();
});
