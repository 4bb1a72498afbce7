// The viewer in a real browser, on replay pages written by hand in the referee's page format:
// stepping with the buttons, the keys and the move table, the scores text, the colours drawn
// on the board, and that a page opened from disk asks nothing of the network.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import {
  rules, workDir, writePage, launchBrowser, openPage, scoresText, moveTable, currentRowVisible,
  cellColours, boardPixels, onlyLocalRequests,
} from './harness.mjs';

const { PALETTE } = rules;
let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Four tiles that leave colour 6 a 2x2 block at rows G-H, columns m-n (1 point for player 1,
// colour 6) and colour 1 nothing: player 2 keeps 0 throughout.
const SMALL_GAME = {
  id: 5, names: ['alpha', 'beta'], colours: [6, 1], scores: [201, 99],
  moves: ['Hh123456h', 'Hn623451h', 'Fh612345h', 'Fn123456h'],
  message: 'PLAYER_1:_WIN;_PLAYER_2:_LOSE',
};

async function openSmallGame() {
  const file = path.join(workDir('small-game'), 'refereelogs', 'alpha-beta.5.html');
  writePage(file, SMALL_GAME);
  return openPage(browser, file);
}

test('the page opens at the last move with the scores of that position', async () => {
  const { page, context, requests, errors } = await openSmallGame();
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 6): 1', 'Player 2 (colour 1): 0']);
  const table = await moveTable(page);
  // Each move's gain for its player and both players' points after it.
  assert.deepEqual(table.rows, [
    ['0', 'start', 'Hh123456h', '', '0 - 0'], ['1', 'alpha', 'Hn623451h', '0', '0 - 0'],
    ['2', 'beta', 'Fh612345h', '0', '0 - 0'], ['3', 'alpha', 'Fn123456h', '+1', '1 - 0']]);
  assert.equal(table.current, 3);
  assert.equal(await page.textContent('#move-points'),
    'Move 3 (alpha): +1 for alpha, 0 for beta; after it 1 - 0.');
  assert.equal(await page.textContent('#play-pause'), 'Play');
  assert.deepEqual(errors, []);
  assert.ok(requests.some((url) => url.endsWith('/zarvo.js')), 'the request listener sees the script load');
  assert.deepEqual(onlyLocalRequests(requests), []);
  await context.close();
});

test('the board shows each cell in the colour of the tile on top of it', async () => {
  const { page, context } = await openSmallGame();
  // Row G (7) comes from the third tile laid backwards; row H (8) from the start tile and the
  // second tile; the 2x2 block of colour 6 sits at G-H, m-n.
  const cells = [[7, 8], [7, 13], [7, 14], [8, 8], [8, 13], [8, 14], [9, 14], [6, 19], [1, 1]];
  const expected = [5, 6, 6, 1, 6, 6, 1, 6, 0];
  const drawn = await cellColours(page, cells);
  expected.forEach((colour, i) => {
    if (colour) assert.equal(drawn[i], PALETTE[colour], `cell ${cells[i]}`);
    else assert.ok(!Object.values(PALETTE).includes(drawn[i]), `empty cell ${cells[i]} drawn as ${drawn[i]}`);
  });
  // At the start move only the start tile is on the board.
  await page.keyboard.press('Home');
  const start = await cellColours(page, [[8, 8], [9, 8], [8, 14], [7, 13]]);
  assert.equal(start[0], PALETTE[1]);
  assert.equal(start[1], PALETTE[6]);
  assert.ok(!Object.values(PALETTE).includes(start[2]));
  assert.ok(!Object.values(PALETTE).includes(start[3]));
  await context.close();
});

test('the six colours are told apart on the board', async () => {
  const { page, context } = await openSmallGame();
  const drawn = await cellColours(page, [[8, 8], [8, 9], [8, 10], [8, 11], [8, 12], [9, 8]]);
  assert.equal(new Set(drawn).size, 6);
  await context.close();
});

test('buttons and keys step through the game and the table follows', async () => {
  const { page, context } = await openSmallGame();
  const at = async () => (await moveTable(page)).current;

  await page.click('#first');
  assert.equal(await at(), 0);
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 6): 0', 'Player 2 (colour 1): 0']);
  await page.click('#prev');
  assert.equal(await at(), 0, 'no step before the start move');
  await page.click('#next');
  await page.click('#next');
  assert.equal(await at(), 2);
  await page.click('#last');
  assert.equal(await at(), 3);
  await page.click('#next');
  assert.equal(await at(), 3, 'no step past the last move');
  await page.click('#prev');
  assert.equal(await at(), 2);
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 6): 0', 'Player 2 (colour 1): 0']);

  await page.keyboard.press('Home');
  assert.equal(await at(), 0);
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  assert.equal(await at(), 3);
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 6): 1', 'Player 2 (colour 1): 0']);
  await page.keyboard.press('ArrowLeft');
  assert.equal(await at(), 2);
  await page.keyboard.press('End');
  assert.equal(await at(), 3);

  await page.click('#move-table tbody tr:nth-child(2)');
  assert.equal(await at(), 1);
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 6): 0', 'Player 2 (colour 1): 0']);
  await context.close();
});

test('play runs to the last move and turns back into Play; Space pauses and resumes', async () => {
  const { page, context } = await openSmallGame();
  await page.click('#first');
  await page.click('#play-pause');
  assert.equal(await page.textContent('#play-pause'), 'Pause');
  await page.waitForFunction(() => document.getElementById('play-pause').textContent === 'Play',
    null, { timeout: 20_000 });
  assert.equal((await moveTable(page)).current, 3);

  await page.click('#first');
  await page.locator('body').click({ position: { x: 5, y: 5 } }); // keys go to the page, not a button
  await page.keyboard.press('Space');
  assert.equal(await page.textContent('#play-pause'), 'Pause');
  await page.keyboard.press('Space');
  assert.equal(await page.textContent('#play-pause'), 'Play');
  const paused = (await moveTable(page)).current;
  assert.ok(paused < 3, 'paused before the end');
  await page.waitForTimeout(1500);
  assert.equal((await moveTable(page)).current, paused, 'a paused replay stays put');

  // Stepping by hand stops a running replay.
  await page.click('#play-pause');
  await page.click('#first');
  assert.equal(await page.textContent('#play-pause'), 'Play');
  await context.close();
});

test('the squares that score for a player can be highlighted', async () => {
  const { page, context } = await openSmallGame();
  const plain = await boardPixels(page);
  await page.check('#highlight-p2'); // colour 1 scores nothing: nothing to draw
  assert.equal(await boardPixels(page), plain);
  await page.check('#highlight-p1');
  const marked = await boardPixels(page);
  assert.notEqual(marked, plain);
  await page.keyboard.press('Home'); // no square at the start move
  await page.keyboard.press('End');
  assert.equal(await boardPixels(page), marked, 'the highlight stays on while stepping');
  await page.uncheck('#highlight-p1');
  assert.equal(await boardPixels(page), plain);
  await context.close();
});

// A long game of legal moves (placement rule only, colours left to a seeded generator), so
// that the move table has to scroll.
function longGame(seed) {
  let state = seed;
  const random = (n) => { state = (state * 1103515245 + 12345) % 2147483648; return state % n; };
  const tile = () => {
    const digits = [1, 2, 3, 4, 5, 6];
    for (let i = 5; i > 0; i--) { const j = random(i + 1); [digits[i], digits[j]] = [digits[j], digits[i]]; }
    return digits.join('');
  };
  const covered = new Set();
  const key = (r, c) => r * 100 + c;
  const moves = [];
  const lay = (text) => {
    for (const cell of rules.tileCells(rules.parseMove(text))) covered.add(key(cell.row, cell.column));
    moves.push(text);
  };
  lay('Hh' + tile() + 'h');
  for (;;) {
    const digits = tile();
    const legal = [];
    for (const o of ['h', 'v']) {
      for (let r = 1; r <= (o === 'h' ? 15 : 11); r++) {
        for (let c = 1; c <= (o === 'h' ? 15 : 19); c++) {
          const text = rules.rowLetter(r) + rules.columnLetter(c) + digits + o;
          const cells = rules.tileCells(rules.parseMove(text));
          const overlap = cells.filter((x) => covered.has(key(x.row, x.column))).length;
          const touches = cells.some((x) => [[1, 0], [-1, 0], [0, 1], [0, -1]].some(([dr, dc]) =>
            covered.has(key(x.row + dr, x.column + dc)) &&
            !cells.some((y) => y.row === x.row + dr && y.column === x.column + dc)));
          if (overlap <= 4 && touches) legal.push(text);
        }
      }
    }
    if (legal.length === 0) return moves;
    lay(legal[random(legal.length)]);
  }
}

test('in a long game the current move stays in view and a click on any row jumps there', async () => {
  const moves = longGame(7);
  assert.ok(moves.length > 25, `a long game, got ${moves.length} moves`);
  const file = path.join(workDir('long-game'), 'refereelogs', 'left-right.9.html');
  writePage(file, { id: 9, names: ['left', 'right'], colours: [2, 5], scores: [0, 0], moves, message: '' });
  const { page, context, requests, errors } = await openPage(browser, file);
  await page.addStyleTag({ content: '#move-table > div { max-height: 160px; }' });

  const expectedPoints = rules.replay(moves, [2, 5]).points;
  await page.keyboard.press('Home');
  for (let i = 0; i < moves.length; i++) {
    const table = await moveTable(page);
    assert.equal(table.current, i);
    assert.ok(await currentRowVisible(page), `row ${i} in view`);
    assert.deepEqual(await scoresText(page),
      [`Player 1 (colour 2): ${expectedPoints[i][0]}`, `Player 2 (colour 5): ${expectedPoints[i][1]}`]);
    await page.keyboard.press('ArrowRight');
  }
  await page.keyboard.press('Home');
  assert.ok(await currentRowVisible(page));
  const table = await moveTable(page);
  assert.equal(table.rows.length, moves.length);
  assert.deepEqual(table.rows.map((row) => row[2]), moves);
  assert.deepEqual(table.rows.slice(1, 5).map((row) => row[1]), ['left', 'right', 'left', 'right']);

  await page.keyboard.press('End');
  assert.ok(await currentRowVisible(page));
  const target = Math.floor(moves.length / 2);
  await page.locator('#move-table tbody tr').nth(target).scrollIntoViewIfNeeded();
  await page.locator('#move-table tbody tr').nth(target).click();
  assert.equal((await moveTable(page)).current, target);
  assert.deepEqual(errors, []);
  assert.deepEqual(onlyLocalRequests(requests), []);
  await context.close();
});

test('a page with a broken move shows the game up to it and says why', async () => {
  const file = path.join(workDir('broken-move'), 'refereelogs', 'a-b.1.html');
  writePage(file, { id: 1, names: ['a', 'b'], colours: [3, 4], scores: [0, 0], message: '',
    moves: ['Hh123456h', 'Jh654321h', 'Zz999999h'] });
  const { page, context, errors } = await openPage(browser, file);
  assert.deepEqual(errors, []);
  assert.match(await page.textContent('.zarvo-error'), /Move 2/);
  assert.equal((await moveTable(page)).rows.length, 2);
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 3): 0', 'Player 2 (colour 4): 0']);
  await context.close();
});
