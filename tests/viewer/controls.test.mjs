// The replay's play speed, its slider over the moves and its position links (page.html#move=N),
// in a real browser on a page written in the referee's format: every way of stepping keeps the
// slider, the move table and the address in step, and the address never floods the history.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { workDir, writePage, launchBrowser, openPage, scoresText, moveTable } from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

// Four tiles; player 1 (colour 6) reaches 1 point with the last one.
const GAME = {
  id: 6, names: ['alpha', 'beta'], colours: [6, 1], scores: [201, 99],
  moves: ['Hh123456h', 'Hn623451h', 'Fh612345h', 'Fn123456h'],
  message: 'PLAYER_1:_WIN;_PLAYER_2:_LOSE',
};
const LAST = GAME.moves.length - 1;

let pageFile;
function gamePage() {
  if (!pageFile) {
    pageFile = path.join(workDir('controls'), 'refereelogs', 'alpha-beta.6.html');
    writePage(pageFile, GAME);
  }
  return pageFile;
}

// Where the replay stands, by every part of the page that shows it.
const state = (page) => page.evaluate(() => ({
  table: [...document.querySelectorAll('#move-table tbody tr')].findIndex((row) => row.classList.contains('current')),
  slider: Number(document.getElementById('move-slider').value),
  number: document.getElementById('move-number').textContent,
  hash: location.hash,
  history: history.length,
}));

// Waits until the page shows move `n` everywhere, the address included (the address may trail
// a quick run of steps by a moment), and returns the state.
async function expectAt(page, n) {
  await page.waitForFunction((n) => location.hash === '#move=' + n, n, { timeout: 10_000 });
  const now = await state(page);
  assert.equal(now.table, n, 'move table');
  assert.equal(now.slider, n, 'slider');
  assert.match(now.number, new RegExp(`\\b${n} of ${LAST}$`));
  return now;
}

test('#move=N opens the replay at move N, 0 being the start position', async () => {
  for (const n of [0, 1, 2, LAST]) {
    const { page, context, errors, failed } = await openPage(browser, gamePage(), { hash: `#move=${n}` });
    await expectAt(page, n);
    const points = n === LAST ? 1 : 0;
    assert.deepEqual(await scoresText(page), [`Player 1 (colour 6): ${points}`, 'Player 2 (colour 1): 0']);
    assert.deepEqual(errors, []);
    assert.deepEqual(failed, []);
    await context.close();
  }
});

test('a position link out of range is held to the game; a malformed one opens at the end', async () => {
  const cases = [
    ['#move=99', LAST], ['#move=-3', 0], ['#move=000002', 2], ['#move=99999999999999999999', LAST],
    ['#move=', LAST], ['#move=abc', LAST], ['#move=1.5', LAST], ['#move=1e1', LAST],
    ['#move=2&x=1', LAST], ['#moves=1', LAST], ['#', LAST], ['#%3Cscript%3E', LAST],
  ];
  for (const [hash, expected] of cases) {
    const { page, context, errors, failed } = await openPage(browser, gamePage(), { hash });
    await expectAt(page, expected);
    assert.deepEqual(errors, [], hash);
    assert.deepEqual(failed, [], hash);
    await context.close();
  }
});

test('every way of stepping updates the slider, the table and the address in place', async () => {
  const { page, context, errors } = await openPage(browser, gamePage());
  const start = await expectAt(page, LAST);

  await page.click('#first');
  await expectAt(page, 0);
  await page.click('#next');
  await expectAt(page, 1);
  await page.keyboard.press('End');
  await expectAt(page, LAST);
  await page.keyboard.press('ArrowLeft');
  await expectAt(page, LAST - 1);
  await page.click('#move-table tbody tr:nth-child(2)');
  await expectAt(page, 1);

  // The slider, by keyboard: one press is one step (the page does not step a second time).
  await page.focus('#move-slider');
  await page.keyboard.press('ArrowRight');
  await expectAt(page, 2);
  await page.keyboard.press('Home');
  await expectAt(page, 0);
  await page.keyboard.press('End');
  await expectAt(page, LAST);
  await page.keyboard.press('ArrowLeft');
  await expectAt(page, LAST - 1);

  // The slider, by mouse: its two ends are the start position and the last move.
  const box = await page.locator('#move-slider').boundingBox();
  await page.mouse.click(box.x + 2, box.y + box.height / 2);
  await expectAt(page, 0);
  await page.mouse.click(box.x + box.width - 2, box.y + box.height / 2);
  await expectAt(page, LAST);
  // Dragging across it passes through the moves and stops where it is let go.
  await page.mouse.move(box.x + box.width - 2, box.y + box.height / 2);
  await page.mouse.down();
  await page.mouse.move(box.x + 2, box.y + box.height / 2, { steps: 12 });
  await page.mouse.up();
  await expectAt(page, 0);

  // Space on the focused slider plays; the replay runs to the end.
  await page.focus('#move-slider');
  await page.keyboard.press('Space');
  assert.equal(await page.textContent('#play-pause'), 'Pause');
  await page.waitForFunction(() => document.getElementById('play-pause').textContent === 'Play',
    null, { timeout: 20_000 });
  const end = await expectAt(page, LAST);

  assert.equal(end.history, start.history, 'no history entry was added');
  assert.deepEqual(errors, []);
  await context.close();
});

test('the slider stops a running replay and a stepped replay moves the slider', async () => {
  const { page, context } = await openPage(browser, gamePage(), { hash: '#move=0', fakeClock: true });
  await page.click('#play-pause');
  await page.clock.runFor(700);
  assert.equal((await state(page)).slider, 1, 'play moves the slider');
  await page.focus('#move-slider');
  await page.keyboard.press('ArrowRight');
  assert.equal(await page.textContent('#play-pause'), 'Play', 'moving the slider pauses');
  assert.equal((await state(page)).slider, 2);
  await page.clock.runFor(5000);
  assert.equal((await state(page)).slider, 2, 'a paused replay stays put');
  assert.equal((await moveTable(page)).current, 2);
  await context.close();
});

test('a change of the address while the page is open moves the replay', async () => {
  const { page, context, errors } = await openPage(browser, gamePage());
  await expectAt(page, LAST);
  await page.evaluate(() => { location.hash = '#move=1'; });
  await expectAt(page, 1);
  assert.deepEqual(await scoresText(page), ['Player 1 (colour 6): 0', 'Player 2 (colour 1): 0']);
  await page.evaluate(() => { location.hash = '#move=77'; });
  await expectAt(page, LAST);

  // An address that names no move leaves the replay where it is.
  await page.evaluate(() => { location.hash = '#move=0'; });
  await expectAt(page, 0);
  await page.evaluate(() => { location.hash = '#elsewhere'; });
  await page.waitForFunction(() => location.hash === '#elsewhere');
  await page.keyboard.press('ArrowRight');
  await expectAt(page, 1);

  // The back button returns to the link typed before, and the replay follows it.
  await page.goBack();
  await expectAt(page, 0);

  // A new address while playing stops the replay there.
  await page.click('#play-pause');
  await page.evaluate(() => { location.hash = '#move=2'; });
  await expectAt(page, 2);
  assert.equal(await page.textContent('#play-pause'), 'Play');
  assert.deepEqual(errors, []);
  await context.close();
});

test('the speed control sets the time per move, also while playing', async () => {
  const { page, context, errors } = await openPage(browser, gamePage(), { hash: '#move=0', fakeClock: true });
  const speeds = await page.$$eval('#play-speed option', (options) =>
    options.map((o) => [o.textContent, Number(o.value), o.selected]));
  assert.deepEqual(speeds.map(([name]) => name), ['Very slow', 'Slow', 'Normal', 'Fast', 'Very fast']);
  assert.deepEqual(speeds.find(([, , selected]) => selected), ['Normal', 700, true], 'the default is as before');
  const at = async () => (await state(page)).slider;

  await page.click('#play-pause');
  await page.clock.runFor(699);
  assert.equal(await at(), 0);
  await page.clock.runFor(1);
  assert.equal(await at(), 1, 'Normal: a move per 700 ms');

  await page.selectOption('#play-speed', { label: 'Very slow' });
  assert.equal(await page.textContent('#play-pause'), 'Pause', 'a new speed keeps playing');
  await page.clock.runFor(1999);
  assert.equal(await at(), 1);
  await page.clock.runFor(1);
  assert.equal(await at(), 2, 'Very slow: a move per 2 s');

  await page.selectOption('#play-speed', { label: 'Very fast' });
  await page.clock.runFor(120);
  assert.equal(await at(), 3, 'Very fast: a move per 120 ms');
  await page.clock.runFor(120);
  assert.equal(await page.textContent('#play-pause'), 'Play', 'stopped at the last move');

  // The speed chosen holds for the next replay; keys on the list change the speed, not the move.
  await page.focus('#play-speed');
  await page.keyboard.press('ArrowUp');
  assert.equal(await page.inputValue('#play-speed'), '350');
  assert.equal(await at(), 3);
  await page.click('#first');
  await page.click('#play-pause');
  await page.clock.runFor(350);
  assert.equal(await at(), 1, 'Fast: a move per 350 ms');
  assert.deepEqual(errors, []);
  await context.close();
});
