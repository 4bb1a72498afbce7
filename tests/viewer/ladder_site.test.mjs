// The ladder's web site through the real zarvo-ladder server and a real Chromium: signing in
// with a token, uploading an entry through the form, its build shown as it goes (a worker played
// by hand over the worker API), a game and its replay page with the viewer loaded, and what is
// refused: another entrant's private files, forms from another origin or without their token, a
// session after sign-out. Names, reasons and build logs that look like HTML show as text, and
// every page fits 700 px without scrolling sideways.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import readline from 'node:readline';
import { binDir, workDir, launchBrowser, writePage } from './harness.mjs';

const ladder = path.join(binDir, 'zarvo-ladder');
const scratch = workDir('ladder-site');
const data = path.join(scratch, 'data');
let server;
let base;
let browser;

function admin(...args) {
  const out = execFileSync(ladder, ['admin', '--data', data, ...args], { encoding: 'utf8' });
  return out.trim().split('\n').pop().trim();
}

function startServer() {
  return new Promise((resolve, reject) => {
    server = spawn(ladder, ['serve', '--data', data, '--listen', '127.0.0.1:0'],
      { stdio: ['ignore', 'pipe', 'inherit'] });
    server.on('error', reject);
    readline.createInterface({ input: server.stdout }).on('line', (line) => {
      const found = /listening on (http:\/\/\S+)/.exec(line);
      if (found) resolve(found[1]);
    });
  });
}

// The worker's side of the API, called directly.
async function workerCall(token, route, body) {
  const res = await fetch(base + route, {
    method: 'POST',
    headers: { Authorization: `Bearer ${token}`, 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
  assert.equal(res.status, 200, await res.clone().text());
  return res.json();
}

function packEntry(name) {
  const dir = path.join(scratch, `entry-${name}`);
  fs.mkdirSync(dir, { recursive: true });
  fs.writeFileSync(path.join(dir, 'main.c'), 'int main(void) { return 0; }\n');
  const archive = path.join(scratch, `${name}.tar.gz`);
  execFileSync('tar', ['czf', archive, '-C', dir, 'main.c']);
  return archive;
}

async function signIn(token) {
  const context = await browser.newContext({ viewport: { width: 700, height: 900 } });
  const page = await context.newPage();
  await page.goto(base + '/signin');
  await page.fill('input[name=token]', token);
  await Promise.all([page.waitForURL(/\/entrants\//), page.click('button')]);
  return { context, page };
}

async function submitThroughForm(page, archive) {
  await page.goto(base + '/submit');
  await page.setInputFiles('input[type=file]', archive);
  await Promise.all([page.waitForURL(/\/entrants\//), page.click('form button')]);
}

async function fitsWidth(page, url) {
  await page.goto(url);
  const { scroll, client } = await page.evaluate(() => ({
    scroll: document.documentElement.scrollWidth, client: document.documentElement.clientWidth,
  }));
  assert.ok(scroll <= client, `${url} is ${scroll} px wide in ${client} px`);
}

let alice;
let bob;
let worker;

before(async () => {
  fs.rmSync(data, { recursive: true, force: true });
  alice = admin('add-entrant', 'alice');
  bob = admin('add-entrant', 'bob');
  worker = admin('add-worker', 'box');
  base = await startServer();
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  server?.kill('SIGTERM');
});

test('an entry goes in through the form, builds, plays, and its game replays', async () => {
  const { context, page } = await signIn(alice);
  assert.match(await page.textContent('h1'), /Entrant alice/);
  await page.goto(base + '/submit');
  assert.match(await page.textContent('main'), /at most \d+ bytes/);
  await submitThroughForm(page, packEntry('alice'));
  assert.match(await page.textContent('main table'), /queued/);
  assert.ok(await page.$('meta[http-equiv=refresh]'), 'a queued version refreshes its page');

  // Bob's version fails with a reason and a build log that look like HTML.
  const bobSide = await signIn(bob);
  await submitThroughForm(bobSide.page, packEntry('bob'));
  await submitThroughForm(bobSide.page, packEntry('bob'));
  const versions = {};
  for (let i = 0; i < 3; i++) {
    const { job } = await workerCall(worker, '/api/worker/lease', { slot: 'test/0' });
    assert.equal(job.kind, 'build');
    const who = `${job.version.entrant}/${job.version.number}`;
    versions[who] = job.version.version_id;
    const fails = who === 'bob/1';
    await workerCall(worker, '/api/worker/report', {
      lease: job.lease, job: job.id, kind: 'build', built: true, passed: !fails,
      reason: fails ? '<b>no main</b>' : null,
      build_log: fails ? 'cc: <script>alert(1)</script>' : 'built fine',
    });
  }
  await bobSide.page.goto(base + '/entrants/bob');
  assert.match(await bobSide.page.textContent('main table'), /failed: <b>no main<\/b>/);
  assert.equal(await bobSide.page.$('main b'), null);
  assert.match(await bobSide.page.textContent('main'), /cc: <script>alert\(1\)<\/script>/);
  assert.equal(await bobSide.page.$('main script'), null);

  // A pair between the two active versions, reported by hand, with a replay page in the
  // referee's format that loads the viewer from the ladder.
  const { job } = await workerCall(worker, '/api/worker/lease', { slot: 'test/0' });
  assert.equal(job.kind, 'pair');
  const [first, second] = job.players.map((p) => p.version_id);
  const replayFile = path.join(scratch, 'replay.html');
  writePage(replayFile, { id: 1, names: ['alice', 'bob'], moves: ['Aa1a'], colours: [1, 2],
    scores: [20, 10], message: 'done' });
  const replay = fs.readFileSync(replayFile, 'utf8').replace(/src="[^"]*zarvo\.js"/, 'src="../resources/zarvo.js"')
    .replace(/href="[^"]*zarvo\.css"/, 'href="../resources/zarvo.css"');
  const game = (a, b) => ({ players: [a, b], points: [20, 10], outcome: 'PLAYER_1:_WIN',
    winner: 1, log: 'the log', replay, turns: '[]', usage: 'usage',
    stderr: ['secret one', 'secret two'], notes: null });
  await workerCall(worker, '/api/worker/report',
    { lease: job.lease, job: job.id, kind: 'pair', games: [game(first, second), game(second, first)] });

  await page.goto(base + '/');
  assert.match(await page.textContent('main table'), /alice/);
  assert.match(await page.textContent('main table'), /bob/);
  await page.goto(base + '/entrants/alice');
  assert.match(await page.textContent('main'), /active/);
  assert.match(await page.textContent('main'), /built fine/);
  const gameLink = await page.getAttribute('a[href^="/games/"]', 'href');
  const stderrLink = await page.getAttribute('a[href*="/stderr/"]', 'href');
  assert.match((await (await page.goto(base + stderrLink)).text()), /secret/);
  await page.goto(base + gameLink);
  assert.match(await page.textContent('main'), /PLAYER_1:_WIN/);
  const errors = [];
  page.on('pageerror', (e) => errors.push(String(e)));
  const failed = [];
  page.on('requestfailed', (r) => { if (!/turns\.js$/.test(r.url())) failed.push(r.url()); });
  await Promise.all([page.waitForLoadState('load'), page.click('a:text("Replay")')]);
  await page.waitForFunction(() => typeof Zarvo === 'function' && typeof g === 'object');
  assert.deepEqual(errors, []);
  assert.deepEqual(failed, []);

  // Bob finds none of alice's private files, by link or by guessing.
  await bobSide.page.goto(base + '/entrants/alice');
  assert.doesNotMatch(await bobSide.page.textContent('main'), /built fine/);
  assert.equal(await bobSide.page.$('a[href*="/stderr/"]'), null);
  const bobCookie = (await bobSide.context.cookies()).map((c) => `${c.name}=${c.value}`).join('; ');
  const guessed = await fetch(base + stderrLink, { headers: { Cookie: bobCookie } });
  assert.equal(guessed.status, 403);
  assert.doesNotMatch(await guessed.text(), /secret/);
  const unsigned = await fetch(base + stderrLink, { redirect: 'manual' });
  assert.equal(unsigned.status, 303);
  await bobSide.context.close();

  for (const url of ['/', '/entrants/alice', '/entrants/bob', gameLink, '/submit', '/signin', '/status']) {
    await fitsWidth(page, base + url);
  }
  await context.close();
});

test('forms from elsewhere, without their token, or after sign-out are refused', async () => {
  const { context, page } = await signIn(alice);
  const cookie = (await context.cookies()).map((c) => `${c.name}=${c.value}`).join('; ');
  const sessionCookie = (await context.cookies()).find((c) => c.name === 'zarvo_session');
  assert.equal(sessionCookie.httpOnly, true);
  assert.equal(sessionCookie.sameSite, 'Strict');
  const overTls = await fetch(base + '/signin', {
    method: 'POST', redirect: 'manual',
    headers: { 'Content-Type': 'application/x-www-form-urlencoded', 'X-Forwarded-Proto': 'https',
      Origin: base.replace('http:', 'https:') },
    body: `token=${alice}`,
  });
  assert.equal(overTls.status, 303);
  assert.match(overTls.headers.get('set-cookie'), /HttpOnly; SameSite=Strict; Secure/);
  await page.goto(base + '/signout');
  const csrf = await page.getAttribute('input[name=csrf]', 'value');
  const post = (headers, body) => fetch(base + '/signout', {
    method: 'POST', redirect: 'manual',
    headers: { 'Content-Type': 'application/x-www-form-urlencoded', Cookie: cookie, ...headers },
    body,
  });
  assert.equal((await post({ Origin: 'http://evil.example' }, `csrf=${csrf}`)).status, 403);
  assert.equal((await post({ Origin: base }, '')).status, 403);
  assert.equal((await post({ Origin: base }, 'csrf=' + '0'.repeat(64))).status, 403);
  assert.equal((await fetch(base + '/submit', { headers: { Cookie: cookie }, redirect: 'manual' })).status, 200);

  const upload = (origin, size) => {
    const form = new FormData();
    form.append('csrf', csrf);
    form.append('archive', new Blob([new Uint8Array(size)]), 'entry.tar.gz');
    return fetch(base + '/submit', { method: 'POST', redirect: 'manual', body: form,
      headers: { Cookie: cookie, Origin: origin } });
  };
  assert.equal((await upload('http://evil.example', 10)).status, 403);
  assert.equal((await upload(base, 6 << 20)).status, 413);
  assert.equal((await upload(base, 10)).status, 400);

  await Promise.all([page.waitForURL(base + '/'), page.click('form button')]);
  const after = await fetch(base + '/submit', { headers: { Cookie: cookie }, redirect: 'manual' });
  assert.equal(after.status, 303);
  assert.equal((await post({ Origin: base }, `csrf=${csrf}`)).status, 303);
  const again = await fetch(base + '/entrants/alice', { headers: { Cookie: cookie } });
  assert.doesNotMatch(await again.text(), /Sign out/);
  await context.close();
});

test('challenges queue unranked pairs within their limits', async () => {
  const { context, page } = await signIn(alice);
  for (const pairs of ['5', '5']) {
    await page.goto(base + '/entrants/bob');
    await page.fill('input[name=pairs]', pairs);
    await Promise.all([page.waitForURL(base + '/entrants/alice'), page.click('form[action$="/challenge"] button')]);
  }
  await page.goto(base + '/entrants/bob');
  await page.fill('input[name=pairs]', '1');
  const [answer] = await Promise.all([page.waitForResponse(/\/challenge$/), page.click('form[action$="/challenge"] button')]);
  assert.equal(answer.status(), 429);
  assert.match(await page.textContent('main'), /at most 10 pairs an hour.*next free slot is at \d{4}-/s);
  await page.goto(base + '/entrants/alice');
  assert.equal(await page.$('form[action$="/challenge"]'), null, 'no challenging oneself');
  await context.close();
});
