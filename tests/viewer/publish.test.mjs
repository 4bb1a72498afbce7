// `zarvo-arena publish`: the site made for contestants holds no error file, no log, nobody's
// standard error and no path of the organiser's machine, renders in Chromium from file:// (its
// index, an entrant's page and a replay page with its turn record, reached by their links), and
// each entrant's private folder holds its own error files and turn records only.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { binDir, workDir, launchBrowser, newWatchedPage } from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

function run(args, cwd) {
  const result = spawnSync(path.join(binDir, 'zarvo-arena'), args,
    { cwd, encoding: 'utf8', timeout: 300_000 });
  assert.equal(result.status, 0, `zarvo-arena ${args.join(' ')} failed:\n${result.stdout}\n${result.stderr}`);
  return result.stdout;
}

function filesBelow(dir) {
  return fs.readdirSync(dir, { recursive: true }).map((name) => path.join(dir, name))
    .filter((file) => fs.statSync(file).isFile());
}

test('a published tournament holds no error file nor path, and renders in Chromium', async () => {
  const root = workDir('publish');
  fs.chmodSync(root, 0o755);
  // An entrant that leaves a probe log on its standard error, then plays as the greedy bot.
  const noisy = path.join(root, 'noisy');
  fs.mkdirSync(noisy, { mode: 0o755 });
  fs.writeFileSync(path.join(noisy, 'noisy.sh'),
    `#!/bin/sh\necho "probe of $PWD: secret-probe-line" >&2\nexec ${path.join(binDir, 'zarvo-greedy')}\n`,
    { mode: 0o755 });
  const dir = path.join(root, 'cup');
  run(['tournament', '--dir', dir, '--seed', 'pub', '--games-per-pair', '2', '--concurrency', '2',
    '--time-limit', '20', '--ro-dir', binDir,
    '--player', `greedy=${path.join(binDir, 'zarvo-greedy')}`,
    '--player', `random=${path.join(binDir, 'zarvo-random')}`,
    '--player', `noisy=sh ${path.join(noisy, 'noisy.sh')}`], root);
  assert.ok(filesBelow(dir).some((file) => file.endsWith('.err')), 'the run left error files');

  const site = path.join(root, 'site');
  const privateDir = path.join(root, 'private');
  run(['publish', dir, site, '--title', 'Spring Cup <2026>', '--private', privateDir], root);

  const files = filesBelow(site);
  assert.ok(files.some((file) => file.endsWith('.html') && file.includes('refereelogs')));
  for (const file of files) {
    assert.ok(!/\.(err|log|failed|txt|csv)$/.test(file), `${file} is not for contestants`);
    const text = fs.readFileSync(file, 'utf8');
    for (const secret of [root, dir, 'secret-probe-line', 'noisy.sh']) {
      assert.ok(!text.includes(secret), `${file} holds ${secret}`);
    }
  }
  // The private folders: each entrant's own error files and turn records, nobody else's.
  assert.deepEqual(fs.readdirSync(privateDir), ['noisy']);
  const own = filesBelow(path.join(privateDir, 'noisy'));
  assert.equal(own.filter((file) => file.endsWith('.err')).length, 4, 'one error file per game of noisy');
  assert.equal(own.filter((file) => file.endsWith('.turns.js')).length, 4, 'one turn record per game');
  for (const file of own) assert.match(fs.readFileSync(file, 'utf8'), /secret-probe-line/);

  const { page, context, failed, errors } = await newWatchedPage(browser);
  await page.goto(pathToFileURL(path.join(site, 'index.html')).href);
  assert.equal(await page.title(), 'Spring Cup <2026>');
  assert.equal(await page.locator('#standings tr').count(), 4, 'a heading and three entrants');
  assert.match(await page.locator('#settings').innerText(), /Tile seed\s+pub/);
  assert.match(await page.locator('#settings').innerText(), /time-limit 20/);
  assert.equal(await page.locator('#games tr').count(), 7, 'a heading and six games');

  await page.locator('#entrants a', { hasText: 'noisy' }).click();
  await page.waitForLoadState('load');
  assert.match(page.url(), /\/players\/noisy\.html$/);
  assert.equal(await page.locator('#games tr').count(), 5, 'a heading and noisy\'s four games');

  await page.locator('#games a', { hasText: 'replay' }).first().click();
  await page.waitForLoadState('load');
  assert.match(page.url(), /\/refereelogs\/[^/]+\.html(#move=\d+)?$/);
  assert.equal(await page.evaluate(() => typeof Zarvo), 'function', 'the viewer script was loaded');
  assert.ok(await page.evaluate(() => moves.length) > 5, 'a whole game');
  // The site's turn record is beside the page: the moves' thinking times, no standard error.
  await page.waitForSelector('#turn-panel');
  assert.equal(await page.locator('th', { hasText: 'Time' }).count(), 1);
  assert.ok(await page.evaluate(() => [...document.querySelectorAll('td')]
    .some((cell) => /^(\d+ ms|\d+\.\d\d s)$/.test(cell.textContent))), 'a move shows its time');
  assert.equal(await page.locator('#turn-stderr').evaluate((e) => e.hidden), true);
  assert.deepEqual(failed, []);
  assert.deepEqual(errors, []);
  await context.close();

  // A withdrawn entrant leaves the tables; its games stay where they are.
  const without = path.join(root, 'site-without');
  run(['publish', dir, without, '--exclude', 'noisy'], root);
  const index = fs.readFileSync(path.join(without, 'index.html'), 'utf8');
  assert.ok(!index.includes('noisy'), 'noisy is left out');
  assert.equal(filesBelow(path.join(dir, 'refereelogs')).filter((f) => f.endsWith('.log')).length, 6);
});
