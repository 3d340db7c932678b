// What the page tests share: the built Kiv as the reference, one browser
// of the engine KIV_ENGINE names (tests/browser/engines.js), the page
// opened from file://, and the few ways a user works it.
'use strict';
const assert = require('node:assert/strict');
const { execFileSync, spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { fileURLToPath, pathToFileURL } = require('node:url');
const engine = require('../../tests/browser/engines.js');

const webDir = path.resolve(required('KIV_WEB_DIR'));
const kivProgram = path.join(path.resolve(required('KIV_BIN_DIR')), 'Kiv');
const pageUrl = pathToFileURL(path.join(webDir, 'index.html')).href;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'kiv-web-'));
process.on('exit', () => fs.rmSync(scratch, { recursive: true, force: true }));

function required(name) {
  if (!process.env[name]) throw new Error(name + ' is not set');
  return process.env[name];
}

// What `Kiv source target OPTIONS` writes for these bytes.
function kiv(bytes, options) {
  const source = path.join(scratch, 'source');
  const target = path.join(scratch, 'target');
  fs.writeFileSync(source, bytes);
  fs.rmSync(target, { force: true });
  execFileSync(kivProgram, [source, target, ...options], { stdio: 'pipe' });
  return fs.readFileSync(target);
}

// The help screen of the built Kiv (it exits with 1).
function helpScreen() {
  const run = spawnSync(kivProgram, [], { encoding: 'latin1' });
  assert.equal(run.status, 1);
  return run.stdout;
}

// Seeded, so that a failure comes back on the next run.
function random(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let z = state;
    z = Math.imul(z ^ (z >>> 15), z | 1);
    z ^= z + Math.imul(z ^ (z >>> 7), z | 61);
    return ((z ^ (z >>> 14)) >>> 0) / 4294967296;
  };
  return {
    below: (n) => Math.floor(next() * n),
    pick(list) { return list[this.below(list.length)]; },
  };
}

// Whether a request's URL names a file of the build folder. A URL spells
// a blank or a percent sign of the folder's path in its own way, so the
// URL becomes a path before the two are compared.
function inWebDir(url) {
  if (!url.startsWith('file:')) return false;
  return fileURLToPath(url).startsWith(webDir + path.sep);
}

// Opens the page in a fresh context and notes every request that does not
// stay in the build folder, and every error the page reports.
async function openPage(browser, viewport) {
  const context = await browser.newContext({ acceptDownloads: true, viewport });
  const page = await context.newPage();
  page.outside = [];
  page.errors = [];
  page.on('request', (request) => {
    if (!inWebDir(request.url())) page.outside.push(request.url());
  });
  page.on('pageerror', (error) => page.errors.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error') page.errors.push(message.text());
  });
  await page.goto(pageUrl);
  await page.waitForSelector('body[data-ready=true]', { timeout: 10000 });
  if (engine.name === 'firefox') await page.evaluate(keepSavedBlobs);
  return page;
}

// Firefox's downloads are out of WebDriver BiDi's reach, so there the
// test takes what the page hands to its download link: the Blob behind the
// link's URL and the link's file name. The click on the link is stopped,
// so that Firefox saves nothing itself.
function keepSavedBlobs() {
  const blobs = new Map();
  const create = URL.createObjectURL;
  URL.createObjectURL = (blob) => {
    const url = create.call(URL, blob);
    blobs.set(url, blob);
    return url;
  };
  window.kivSaved = [];
  document.addEventListener('click', (event) => {
    const link = event.target.closest && event.target.closest('a[download]');
    if (!link) return;
    event.preventDefault();
    window.kivSaved.push({ name: link.download, blob: blobs.get(link.href) });
  }, true);
}

const box = (name) => `#options input[value="${name}"]`;

// Ticks the options one click each: single options first, then presets,
// then -D before -Du, so that none is already ticked by another. The
// clicks skip Playwright's wait for a still layout (the page has no
// animation), which halves their time.
async function tick(page, options) {
  const order = (name) => (/^-[CPJBS]$/.test(name) ? 1 : name === '-D' ? 2 : name === '-Du' ? 3 : 0);
  const sorted = [...options].sort((a, b) => order(a) - order(b));
  for (const name of sorted) await page.click(box(name), { force: true });
  return sorted;
}

// Unticks what tick ticked, last first.
async function untick(page, ticked) {
  for (const name of [...ticked].reverse()) await page.click(box(name), { force: true });
}

// Unticks every option with the page's own button.
const untickAll = (page) => page.click('#reset');

const shownResult = (page) => page.textContent('#result');

async function savedResult(page) {
  if (engine.name === 'firefox') {
    const count = await page.evaluate(() => window.kivSaved.length);
    await page.click('#save');
    await page.waitForFunction((n) => window.kivSaved.length > n, count);
    const saved = await page.evaluate(async () => {
      const { name, blob } = window.kivSaved[window.kivSaved.length - 1];
      const bytes = new Uint8Array(await blob.arrayBuffer());
      let binary = '';
      for (let i = 0; i < bytes.length; i += 0x8000) {
        binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
      }
      return { name, base64: btoa(binary) };
    });
    return { name: saved.name, bytes: Buffer.from(saved.base64, 'base64') };
  }
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#save')]);
  return { name: download.suggestedFilename(), bytes: fs.readFileSync(await download.path()) };
}

// How the page shows bytes: as UTF-8, with U+FFFD for what is none.
const asShown = (bytes) => new TextDecoder('utf-8').decode(bytes);

// Shows bytes readably in a failure message.
const visible = (bytes) => JSON.stringify(Buffer.from(bytes).toString('latin1'));

module.exports = {
  assert, webDir, scratch, engine: engine.name, launch: engine.launch, kiv, helpScreen, random, openPage, box, tick, untick, untickAll,
  shownResult, savedResult, asShown, visible,
};
