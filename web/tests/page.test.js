// The page's own behaviour: labels and groups as on the help screen,
// presets ticking what they stand for, the version and the README link,
// no request beyond its own files, the keyboard alone, and a phone-sized
// screen.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { after, before, test } = require('node:test');
const h = require('./harness.js');

const readme = path.join(__dirname, '..', '..', 'README.md');
const screenshot = path.resolve(process.env.KIV_SCREENSHOT || `web-page-390-${h.engine}.png`);

// The help screen's option list as groups of { name, text }.
function helpGroups() {
  const groups = [[]];
  for (const line of h.helpScreen().split('\n')) {
    const match = /^ {2}(-\S+)\t(.*)$/.exec(line);
    if (match) groups[groups.length - 1].push({ name: match[1], text: match[2] });
    else if (line === '' && groups[groups.length - 1].length > 0) groups.push([]);
  }
  return groups.filter((group) => group.length > 0);
}

// Whether ticking `option` is all that ticking `other` as well does, as
// the command line shows it: the same output without and with -D, on a
// text with every byte value, blanks before line breaks and after a >.
const probe = Buffer.concat([Buffer.from(Array.from({ length: 256 }, (_, c) => c)),
  Buffer.from(' a \n<b>  c\n>')]);
const runs = new Map();
function kivOnProbe(options) {
  const key = [...new Set(options)].sort().join(' ');
  if (!runs.has(key)) runs.set(key, h.kiv(probe, options));
  return runs.get(key);
}
const includes = (option, other) => [[], ['-D']].every((extra) =>
  kivOnProbe([option, ...extra]).equals(kivOnProbe([option, other, ...extra])));

let browser;
before(async () => { browser = await h.launch(); });
after(() => browser.close());

const boxState = (page) => page.$$eval('#options input', (boxes) => boxes.map((box) => ({
  name: box.value, checked: box.checked, disabled: box.disabled,
  label: document.querySelector(`label[for="${box.id}"]`).textContent,
})));

test(`${h.engine}: labels and groups are the help screen's`, async () => {
  const page = await h.openPage(browser);
  const fieldsets = await page.$$eval('#options fieldset', (sets) => sets.map((set) => ({
    legend: set.querySelector('legend').textContent,
    names: [...set.querySelectorAll('input[type=checkbox]')].map((box) => box.value),
  })));
  const help = helpGroups();
  h.assert.equal(help.length, 3);
  const shown = help[0].concat(help[1]);
  // The help's two option groups, each parted where the page starts a
  // group; the standard streams (-E, -A) have no place on a page.
  h.assert.deepEqual(help[2].map((option) => option.name), ['-E', '-A']);
  h.assert.deepEqual(fieldsets.map((set) => set.names[0]), ['-z', '-l', '-C', '-D']);
  h.assert.deepEqual(fieldsets.flatMap((set) => set.names), shown.map((option) => option.name));
  for (const set of fieldsets) h.assert.ok(set.legend.length > 0);
  const labels = (await boxState(page)).map((box) => box.label);
  h.assert.deepEqual(labels, shown.map((option) => `${option.name} ${option.text}`));

  const version = /^ Version (\S+),/m.exec(h.helpScreen())[1];
  h.assert.equal(await page.textContent('#version'), version);
  const link = await page.$eval('footer a', (a) => a.href);
  h.assert.ok(link.startsWith('file://'), link);
  h.assert.ok(fs.readFileSync(new URL(link)).equals(fs.readFileSync(readme)));
  h.assert.deepEqual(page.outside, []);
});

test(`${h.engine}: presets tick the options they stand for, as the option table says`, async () => {
  const page = await h.openPage(browser);
  for (const option of ['-C', '-P', '-J', '-B', '-S', '-Du']) {
    await page.click(h.box(option));
    for (const box of await boxState(page)) {
      if (box.name === option) continue;
      const implied = includes(option, box.name);
      h.assert.equal(box.checked, implied, `${option} and ${box.name}`);
      h.assert.equal(box.disabled, implied, `${option} and ${box.name}`);
      h.assert.equal(box.label.endsWith(`(durch ${option})`), implied, box.label);
    }
    await page.click(h.box(option));
    h.assert.ok((await boxState(page)).every((box) => !box.checked && !box.disabled), option);
  }
  const afterS = async () => (await boxState(page)).find((box) => box.name === '-kr').checked;
  await page.click(h.box('-S'));
  h.assert.equal(await afterS(), false, '-S does not tick -kr');

  // An option ticked by hand stays ticked when the preset goes, and the
  // command line names only what is not already included.
  await h.untickAll(page);
  await h.tick(page, ['-a', '-sr', '-C', '-Du']);
  h.assert.equal(await page.textContent('#command'), 'Kiv <Quelldatei> <Zieldatei> -sr -C -Du');
  await h.untick(page, ['-C', '-Du']);
  const left = (await boxState(page)).filter((box) => box.checked).map((box) => box.name);
  h.assert.deepEqual(left, ['-a', '-sr']);
  h.assert.equal(await page.textContent('#command'), 'Kiv <Quelldatei> <Zieldatei> -a -sr');
});

test(`${h.engine}: the keyboard alone reaches and works everything`, async () => {
  const page = await h.openPage(browser);
  await page.context().grantPermissions(['clipboard-read', 'clipboard-write']);
  const names = await page.$$eval('#options input', (boxes) => boxes.map((box) => box.value));
  const expected = ['source', 'file-choose', ...names, 'reset', 'result', 'copy', 'save', 'README.md'];
  const order = [];
  for (let i = 0; i < expected.length; i++) {
    await page.keyboard.press('Tab');
    order.push(await page.evaluate(() => {
      const active = document.activeElement;
      return active.type === 'checkbox' ? active.value : active.id || active.getAttribute('href');
    }));
  }
  h.assert.deepEqual(order, expected);
  // The focus shows.
  const outline = await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle);
  h.assert.notEqual(outline, 'none');

  // Type, tick -C and -D with the space bar, copy with Enter.
  await page.keyboard.press('Shift+Tab');
  while (await page.evaluate(() => document.activeElement.id) !== 'source') {
    await page.keyboard.press('Shift+Tab');
  }
  await page.keyboard.type('Preis: 50% "alles"\nEnde');
  for (const option of ['-C', '-D']) {
    while (await page.evaluate(() => document.activeElement.value) !== option) {
      await page.keyboard.press('Tab');
    }
    await page.keyboard.press('Space');
  }
  while (await page.evaluate(() => document.activeElement.id) !== 'copy') {
    await page.keyboard.press('Tab');
  }
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.getElementById('status').textContent !== '');
  const result = h.kiv(Buffer.from('Preis: 50% "alles"\nEnde'), ['-C', '-D']).toString('utf8');
  h.assert.equal(await h.shownResult(page), result);
  h.assert.equal(await page.evaluate(() => navigator.clipboard.readText()), result);
  h.assert.deepEqual(page.errors, []);
});

test(`${h.engine}: the page fits a phone-sized screen`, async () => {
  const page = await h.openPage(browser, { width: 390, height: 844 });
  await page.fill('#source', '<p class="hinweis">Preis: 50% Rabatt auf "alles" & mehr.</p>\n' +
    '<a href="/angebot?x=1">Zum Angebot</a>');
  await h.tick(page, ['-C', '-D']);
  await page.screenshot({ path: screenshot, fullPage: true });
  console.log(`screenshot: ${screenshot}`);
  // The width the page has: the screen's, less the scrollbar where the
  // engine draws one beside the page (Firefox, 12 px).
  const [width, scrollWidth] = await page.evaluate(() =>
    [document.documentElement.clientWidth, document.documentElement.scrollWidth]);
  h.assert.ok(width > 370 && width <= 390, `width ${width}`);
  h.assert.equal(scrollWidth, width);
  const outside = await page.$$eval('label, button, textarea, pre, legend', (elements, right) =>
    elements.filter((element) => {
      const box = element.getBoundingClientRect();
      return box.width > 0 && (box.left < 0 || box.right > right);
    }).map((element) => element.id || element.textContent.slice(0, 30)), width);
  h.assert.deepEqual(outside, []);
});
