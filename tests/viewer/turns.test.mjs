// Each turn on the replay page of a real game: zarvo-arena plays a Python bot that writes a line
// ending in a carriage return to standard error on its 5th answer and prints debug output on
// standard output on its 8th (an ILLEGAL answer), and the browser shows the record of the turns
// the arena wrote beside the log: the thinking time of the shown move, the standard error lines
// of that turn, the disqualification with its reason and the arena's note, the referee's
// stand-in moves after it, and a chart of the times; at 700 px, without sideways scrolling.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { binDir, buildDir, workDir, launchBrowser, openPage } from './harness.mjs';

const sourceBot = path.resolve(path.dirname(fileURLToPath(import.meta.url)),
  '../../players/zarvo_bot.py');

const BOT = `import os, sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import zarvo_bot
answers = 0
choose = zarvo_bot.choose_move
def choose_and_tell(*args, **kwargs):
    global answers
    answers += 1
    if answers == 5:
        print('weighing 5 of many\\r', file=sys.stderr, flush=True)
    if answers == 8:
        print('debug: best so far', flush=True)
    return choose(*args, **kwargs)
zarvo_bot.choose_move = choose_and_tell
sys.exit(zarvo_bot.main())
`;

let browser;
let game;
before(async () => {
  const dir = workDir('turns');
  fs.mkdirSync(path.join(dir, 'bot'));
  fs.copyFileSync(sourceBot, path.join(dir, 'bot', 'zarvo_bot.py'));
  fs.writeFileSync(path.join(dir, 'bot', 'teller.py'), BOT);
  const run = spawnSync(path.join(binDir, 'zarvo-arena'),
    ['match', '--no-sandbox', '--dir', dir, '--id', '1', '--tiles', writeTiles(dir),
      'python3 bot/teller.py', path.join(binDir, 'zarvo-random')],
    { cwd: dir, encoding: 'utf8', timeout: 120_000 });
  assert.equal(run.status, 0, `zarvo-arena failed:\n${run.stdout}\n${run.stderr}`);
  assert.match(run.stdout, /PLAYER_1:_ILLEGAL/, run.stdout);
  const page = path.join(dir, 'refereelogs', 'teller-zarvo_random.1.html');
  game = { dir, page, record: page.replace(/\.html$/, '.turns.js') };
  assert.ok(fs.existsSync(game.record), 'the record lies beside the page');
  browser = await launchBrowser();
});
after(async () => { await browser?.close(); });

// A fixed tile script long enough for any game: the same permutation over and over.
function writeTiles(dir) {
  const file = path.join(dir, 'tiles.txt');
  const tiles = ['123456', '654321', '246135', '531642', '314265', '462513'];
  fs.writeFileSync(file, '3 5\n' + Array.from({ length: 400 }, (_, i) => tiles[i % 6]).join('\n') + '\n');
  return file;
}

const turnInfo = (page) => page.locator('#turn-info').textContent();
const turnStderr = (page) => page.locator('#turn-stderr').evaluate((e) => (e.hidden ? '' : e.textContent));

test('the standard error line of the 5th answer is shown at that move, and only there', async () => {
  const { page, context, errors } = await openPage(browser, game.page, { hash: '#move=9' });
  await page.waitForSelector('#turn-info');
  assert.match(await turnInfo(page),
    /^Move 9 \(teller\): \d+ ms of thinking time, \d+\.\d\d s left of 10\.00 s per game\.$/);
  assert.equal(await turnStderr(page), 'Standard error during this turn:\nweighing 5 of many\\r');
  await page.keyboard.press('ArrowLeft');
  assert.match(await turnInfo(page), /^Move 8 \(zarvo_random\): \d+ ms of thinking time, /);
  assert.equal(await turnStderr(page), '');
  await page.keyboard.press('ArrowLeft');
  assert.equal(await turnStderr(page), '', 'the 4th answer wrote nothing');
  assert.deepEqual(errors, []);
  await context.close();
});

test('the disqualification and the stand-in moves after it are marked', async () => {
  const { page, context, errors } = await openPage(browser, game.page, { hash: '#move=15' });
  await page.waitForSelector('#turn-info');
  const info = await turnInfo(page);
  assert.match(info, /^Move 15 \(teller\): disqualified: Player Player 1 made an illegal move debug: /);
  assert.match(info, /random legal stand-in moves/);
  const classes = await page.locator('table.moves tbody tr:not(.dq-note)').evaluateAll(
    (rows) => rows.map((r) => r.className));
  assert.ok(classes.length > 20, 'a whole game');
  classes.forEach((c, i) => {
    const seat = i === 0 ? 0 : ((i - 1) % 2) + 1;
    assert.equal(c.includes('disqualified'), i === 15, `row ${i}: ${c}`);
    assert.equal(c.includes('stand-in'), seat === 1 && i > 15, `row ${i}: ${c}`);
  });
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  assert.match(await turnInfo(page), /^Move 17 \(teller\): a stand-in move/);
  assert.equal(await turnStderr(page), '');
  // The chart of the times is drawn.
  const inked = await page.locator('#time-chart').evaluate((c) => {
    const data = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let red = 0;
    for (let i = 0; i < data.length; i += 4) if (data[i] > 190 && data[i + 1] < 30 && data[i + 2] < 30) red++;
    return red;
  });
  assert.ok(inked > 0, 'the disqualification is red on the chart');
  assert.deepEqual(errors, []);
  await context.close();
});

test('a page without a record of its turns works as before', async () => {
  const bare = path.join(game.dir, 'refereelogs', 'bare.html');
  fs.copyFileSync(game.page, bare);
  const { page, context, errors } = await openPage(browser, bare, { hash: '#move=9' });
  await page.waitForLoadState('load');
  await page.waitForTimeout(300);
  assert.equal(await page.locator('#turn-panel').count(), 0);
  assert.equal(await page.locator('table.moves thead th').count(), 5, 'no Time and Left');
  await page.click('#next');
  assert.equal(await page.locator('#move-number').textContent(), await page.evaluate(
    () => 'Move 10 of ' + (moves.length - 1)));
  assert.deepEqual(errors, []);
  await context.close();
});

test('the disqualified move names its reason, the arena\'s note stands under it', async () => {
  const { page, context, errors } = await openPage(browser, game.page, { hash: '#move=15' });
  await page.waitForSelector('#turn-info');
  const row = page.locator('table.moves tbody tr.disqualified');
  assert.equal(await row.locator('td').nth(3).textContent(), 'ILLEGAL');
  const note = await page.locator('tr.disqualified + tr.dq-note pre').textContent();
  const lines = note.split('\n');
  assert.equal(lines[0], 'teller (player 1) was disqualified: ILLEGAL in move 15: ' +
    'Player Player 1 made an illegal move debug: (wrong length).');
  assert.equal(lines[1], '  it wrote "debug: best so far"');
  assert.match(lines[2], /^ {2}that is not a move .*write debug output to standard error$/);
  assert.equal(await page.locator('tr.dq-note').count(), 1);
  assert.deepEqual(errors, []);
  await context.close();
});

test('at 700 px the page does not scroll sideways and the move table is whole', async () => {
  const { page, context, errors } = await openPage(browser, game.page, { hash: '#move=15', width: 700 });
  await page.waitForSelector('tr.dq-note');
  await page.check('#show-legal');
  const fit = await page.evaluate(() => {
    const box = document.querySelector('#move-table > div').getBoundingClientRect();
    const root = document.documentElement;
    return { scroll: root.scrollWidth, client: root.clientWidth, left: box.left, right: box.right };
  });
  assert.ok(fit.scroll <= fit.client, `the page is ${fit.scroll} px wide in ${fit.client}`);
  assert.ok(fit.left >= 0 && fit.right <= fit.client, `the table lies in ${fit.left} to ${fit.right}`);
  // Kept outside the sources, to look at.
  await page.screenshot({ path: path.join(buildDir, 'viewer-700px-disqualified.png'), fullPage: true });
  assert.deepEqual(errors, []);
  await context.close();
});

test('a record of an older arena, without the clock, the budget left and the notes, still shows', async () => {
  const old = path.join(game.dir, 'refereelogs', 'old.html');
  fs.copyFileSync(game.page, old);
  const script = fs.readFileSync(game.record, 'utf8');
  const record = JSON.parse(script.slice('zarvoTurnRecord('.length, -');\n'.length));
  delete record.clock;
  for (const player of record.players) for (const turn of player.turns) delete turn.left_ms;
  for (const out of record.disqualifications) { delete out.reason; delete out.note; }
  fs.writeFileSync(old.replace(/\.html$/, '.turns.js'), `zarvoTurnRecord(${JSON.stringify(record)});\n`);
  const { page, context, errors } = await openPage(browser, old, { hash: '#move=9' });
  await page.waitForSelector('#turn-info');
  assert.deepEqual(await page.locator('table.moves thead th').allTextContents(),
    ['#', 'Player', 'Move', 'Time', 'Gain', 'Points']);
  assert.match(await turnInfo(page), /^Move 9 \(teller\): \d+ ms of thinking time\.$/);
  assert.equal(await page.locator('tr.disqualified td').nth(3).textContent(), 'out');
  assert.equal(await page.locator('tr.dq-note').count(), 0);
  assert.deepEqual(errors, []);
  await context.close();
});
