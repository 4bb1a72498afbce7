// The viewer on the pages of real games: zarvo-arena plays the sample bots against each other
// through zarvo-checker, and the browser replays the page the referee wrote. The points shown at
// the last move must be the referee's, read from the game log.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {
  buildDir, rules, launchBrowser, openPage, scoresText, moveTable, currentRowVisible,
  cellColours, allCells, onlyLocalRequests, playGame,
} from './harness.mjs';

const { PALETTE } = rules;

let browser;
let games;
before(async () => {
  games = [
    playGame('game-greedy-random', 1, [['zarvo-greedy', 'greedy'], ['zarvo-random', 'random']]),
    playGame('game-random-greedy', 2, [['zarvo-random', 'chance'], ['zarvo-greedy', 'greed']]),
  ];
  browser = await launchBrowser();
});
after(async () => { await browser?.close(); });

test('the games were real: the page lists the log moves after the start move', () => {
  for (const game of games) {
    assert.ok(game.rounds.length > 5, `a full game, got ${game.rounds.length} moves`);
    assert.deepEqual(game.moves.slice(1), game.rounds.map((r) => r.move));
    assert.match(game.moves[0], /^Hh[1-6]{6}h$/);
  }
});

test('at the last move the scores are the points in the game log', async () => {
  for (const game of games) {
    const { page, context, requests, errors } = await openPage(browser, game.page);
    assert.deepEqual(await scoresText(page), [
      `Player 1 (colour ${game.colours[0]}): ${game.gained[0]}`,
      `Player 2 (colour ${game.colours[1]}): ${game.gained[1]}`]);
    await page.keyboard.press('Home');
    await page.click('#last');
    assert.deepEqual(await scoresText(page), [
      `Player 1 (colour ${game.colours[0]}): ${game.gained[0]}`,
      `Player 2 (colour ${game.colours[1]}): ${game.gained[1]}`]);
    assert.deepEqual(errors, []);
    assert.deepEqual(onlyLocalRequests(requests), [], 'no network request');
    await context.close();
  }
});

test('the page sets the final points beside the result values and says how they follow', async () => {
  for (const game of games) {
    const { page, context, errors } = await openPage(browser, game.page);
    const result = await page.locator('th:has-text("Result:") + td').textContent();
    const points = await page.locator('#result-explained td').textContent();
    assert.ok(points.startsWith(`${game.gained[0]} - ${game.gained[1]} on the final board`), points);
    const [r1, r2] = result.split(' - ').map(Number);
    const d = game.gained[0] - game.gained[1];
    const value = (diff) => (diff > 0 ? 200 + diff : diff === 0 ? 150 : 100 - Math.min(-diff, 100));
    assert.deepEqual([r1, r2], [value(d), value(-d)], 'the rule the page states gives the values');
    assert.match(points, /a win 200 \+ the difference in points, a draw 150/);
    // The points row sits right under the result row.
    assert.equal(await page.locator('th:has-text("Result:")').evaluate(
      (th) => th.parentNode.nextElementSibling.id), 'result-explained');
    assert.deepEqual(errors, []);
    await context.close();
  }
});

test('the move table lists every move with its number and player', async () => {
  for (const game of games) {
    const { page, context } = await openPage(browser, game.page);
    // The record of the turns beside the page adds each move's thinking time.
    await page.waitForSelector('#turn-info');
    const table = await moveTable(page);
    assert.deepEqual(table.rows[0], ['0', 'start', game.moves[0], '', '', '', '0 - 0']);
    assert.deepEqual(table.rows.slice(1).map((row) => row.slice(0, 3)), game.rounds.map((r) =>
      [String(r.number), game.names[r.player - 1], r.move]));
    for (const row of table.rows.slice(1)) assert.match(row[3], /^(\d+ ms|\d+\.\d\d s)$/);
    assert.equal(table.current, game.moves.length - 1);
    await context.close();
  }
});

test('stepping through a whole game with keys and buttons keeps the table and scores in step', async () => {
  const game = games[0];
  const { page, context } = await openPage(browser, game.page);
  const expected = rules.replay(game.moves, game.colours).points;
  const scores = (i) => [`Player 1 (colour ${game.colours[0]}): ${expected[i][0]}`,
    `Player 2 (colour ${game.colours[1]}): ${expected[i][1]}`];

  await page.click('#first');
  assert.deepEqual(await scoresText(page), scores(0));
  for (let i = 1; i < game.moves.length; i++) {
    if (i % 2) await page.keyboard.press('ArrowRight');
    else await page.click('#next');
    assert.equal((await moveTable(page)).current, i);
    assert.ok(await currentRowVisible(page), `move ${i} in view`);
    assert.deepEqual(await scoresText(page), scores(i));
  }
  await page.keyboard.press('Home');
  assert.equal((await moveTable(page)).current, 0);
  assert.ok(await currentRowVisible(page));
  await page.keyboard.press('End');
  assert.equal((await moveTable(page)).current, game.moves.length - 1);
  await page.click('#prev');
  await page.keyboard.press('ArrowLeft');
  assert.equal((await moveTable(page)).current, game.moves.length - 3);
  await context.close();
});

test('the board shows the cells of the final position, the last tile whole on top', async () => {
  for (const game of games) {
    const { page, context } = await openPage(browser, game.page);
    const final = rules.replay(game.moves, game.colours).positions.at(-1);
    const drawn = await cellColours(page, allCells());
    allCells().forEach(([r, c], i) => {
      const colour = final.colour(r, c);
      if (colour) assert.equal(drawn[i], PALETTE[colour], `cell ${rules.rowLetter(r)}${rules.columnLetter(c)}`);
      else assert.ok(!Object.values(PALETTE).includes(drawn[i]), `empty cell ${r},${c}`);
    });
    // The last tile lies on top: its anchor shows the first digit when horizontal and the last
    // when vertical, and the cell a half turn away shows the same.
    const last = game.moves.at(-1);
    const row = last.charCodeAt(0) - 64;
    const column = last.charCodeAt(1) - 96;
    const horizontal = last[8] === 'h';
    const anchorDigit = Number(horizontal ? last[2] : last[7]);
    const opposite = horizontal ? [row + 1, column + 5] : [row + 5, column + 1];
    assert.deepEqual(await cellColours(page, [[row, column], opposite]),
      [PALETTE[anchorDigit], PALETTE[anchorDigit]]);
    await context.close();
  }
});

test('a screenshot of the last position is kept as an artefact', async () => {
  // The game where a player scored the most, with that player's squares highlighted.
  const game = games.reduce((a, b) => (Math.max(...b.gained) > Math.max(...a.gained) ? b : a));
  const { page, context } = await openPage(browser, game.page);
  const leader = game.gained[0] >= game.gained[1] ? 1 : 2;
  await page.check(`#highlight-p${leader}`);
  const file = path.join(buildDir, 'viewer-last-position.png');
  await page.screenshot({ path: file, fullPage: true });
  assert.ok(fs.statSync(file).size > 10_000);
  await context.close();
});
