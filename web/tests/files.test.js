// Files chosen or dropped are converted byte for byte, NUL, 0xFF, lone
// CRs and bytes that are no UTF-8 included, and the saved file is what
// `Kiv file out OPTIONS` writes.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { test } = require('node:test');
const h = require('./harness.js');

const everyByte = Buffer.from(Array.from({ length: 256 }, (_, c) => c));
const random = h.random(4711);
const binary = Buffer.from(Array.from({ length: 8192 }, () => random.below(256)));

const FILES = [
  { name: 'alle-bytes.bin', bytes: everyByte },
  { name: 'crlf.txt', bytes: Buffer.from('<p>\r\nzwei \r\ndrei\rvier>\r\n\r\n', 'latin1') },
  { name: 'kein-utf8.txt', bytes: Buffer.from('Gr\xfc\xdfe \xc3\x28 \xe2\x82 \xf0\x9f\x98 \xff\xfe\x00\x00 \x80\n', 'latin1') },
  { name: 'leer.txt', bytes: Buffer.alloc(0) },
  { name: 'zufall.bin', bytes: binary },
];

// The option sets and the name the page gives the saved result.
const OPTION_SETS = [
  { options: [], name: 'kiv-ergebnis.txt' },
  { options: ['-z', '-H'], name: 'kiv-ergebnis.txt' },
  { options: ['-l', '-ss', '-rk', '-gk'], name: 'kiv-ergebnis.txt' },
  { options: ['-C', '-Du'], name: 'kiv-ergebnis.c' },
  { options: ['-J', '-D'], name: 'kiv-ergebnis.js' },
  { options: ['-J', '-Du'], name: 'kiv-ergebnis.html' },
  { options: ['-S', '-kr', '-D'], name: 'kiv-ergebnis.sed' },
  { options: ['-C', '-P', '-J', '-B', '-S', '-Du'], name: 'kiv-ergebnis.txt' },
];

async function choose(page, file) {
  if (h.engine === 'firefox') {
    // Over WebDriver BiDi the chooser hands the page's real file input a
    // file from disk, not bytes: the file is written under its name first.
    const folder = fs.mkdtempSync(path.join(h.scratch, 'chosen-'));
    fs.writeFileSync(path.join(folder, file.name), file.bytes);
    const [chooser] = await Promise.all([page.driver.waitForFileChooser(), page.click('#file-choose')]);
    await chooser.accept([path.join(folder, file.name)]);
    return;
  }
  const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#file-choose')]);
  await chooser.setFiles({ name: file.name, mimeType: 'application/octet-stream', buffer: file.bytes });
}

// A drop as the browser delivers it, with the file in a DataTransfer.
async function drop(page, file) {
  await page.evaluate(({ base64, name }) => {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const transfer = new DataTransfer();
    transfer.items.add(new File([bytes], name));
    const target = document.getElementById('source');
    for (const type of ['dragenter', 'dragover', 'drop']) {
      target.dispatchEvent(new DragEvent(type, { dataTransfer: transfer, bubbles: true, cancelable: true }));
    }
  }, { base64: file.bytes.toString('base64'), name: file.name });
}

async function load(page, file, route) {
  await route(page, file);
  await page.waitForFunction((name) =>
    document.getElementById('file-status').textContent.includes(name), file.name);
}

test(`${h.engine}: chosen and dropped files convert byte for byte`, async () => {
  const browser = await h.launch();
  try {
    const page = await h.openPage(browser);
    let compared = 0;
    for (const [index, file] of FILES.entries()) {
      const route = index % 2 === 0 ? choose : drop;
      await load(page, file, route);
      h.assert.equal(await page.$eval('#source', (field) => field.readOnly), true);
      // Half of the option sets per file, the other half for the next one.
      for (const set of OPTION_SETS.filter((_, j) => (j + index) % 2 === 0)) {
        await h.tick(page, set.options);
        const expected = h.kiv(file.bytes, set.options);
        const where = `${file.name} (${route.name}), options ${set.options.join(' ') || '(none)'}`;
        const saved = await h.savedResult(page);
        h.assert.ok(saved.bytes.equals(expected), `${where}: saved bytes differ from Kiv's`);
        h.assert.equal(saved.name, set.name, where);
        h.assert.equal(await h.shownResult(page), h.asShown(expected), where);
        const exact = Buffer.from(h.asShown(expected), 'utf8').equals(expected);
        h.assert.equal(await page.isVisible('#result-note'), !exact, `${where}: note on bytes that are no UTF-8`);
        compared += 2;
        await h.untickAll(page);
      }
    }

    // Closing the file goes back to the text field.
    await page.click('#file-close');
    await page.fill('#source', 'a\r\nb');
    await h.tick(page, ['-z']);
    h.assert.equal(await h.shownResult(page), h.asShown(h.kiv(Buffer.from('a\nb'), ['-z'])));

    // A result beyond what the page shows: cut short on the screen, whole
    // in the file.
    const big = { name: 'gross.html', bytes: Buffer.alloc(100 * 1024, '<') };
    await h.untickAll(page);
    await load(page, big, choose);
    await h.tick(page, ['-H']);
    const expected = h.kiv(big.bytes, ['-H']);
    const shown = await h.shownResult(page);
    h.assert.ok(shown.length === 256 * 1024 && expected.toString('latin1').startsWith(shown),
      `shown ${shown.length} characters`);
    h.assert.match(await page.textContent('#result-note'), /Gezeigt sind die ersten 256 KiB/);
    h.assert.ok((await h.savedResult(page)).bytes.equals(expected));
    compared += 2;

    h.assert.deepEqual(page.outside, []);
    h.assert.deepEqual(page.errors, []);
    console.log(`${compared} comparisons with Kiv`);
  } finally {
    await browser.close();
  }
});
