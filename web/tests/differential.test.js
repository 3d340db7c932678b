// The page against the command line: random texts typed or pasted into
// the field, random options clicked, and the result shown and saved must
// be what the built Kiv writes for the same bytes and options.
'use strict';
const { test } = require('node:test');
const h = require('./harness.js');

// 200 texts, two for each option set.
const OPTION_SETS = 100;
const TEXTS_PER_SET = 2;
const SINGLES = ['-z', '-a', '-r', '-t', '-sr', '-ss', '-p', '-sk', '-st', '-kr', '-%', '-k',
  '-rk', '-ek', '-gk', '-l', '-h', '-H'];
const PRESETS = ['-C', '-P', '-J', '-B', '-S'];

// Dense in what the rules look at, with text beyond ASCII (umlauts, the
// euro sign, an emoji outside the BMP).
const PIECES = [' ', ' ', '  ', '\n', '\n', '\r\n', '\r', '>', '> ', '<', '\t', '"', '\\', '/',
  '|', '.', ';', '*', '#', '%', '&', '(', ')', '[', ']', '{', '}', 'ä', 'ß', '€', '😀', 'ab',
  'Kiv', 'x'];

function randomText(random, typed) {
  let text = '';
  const count = random.below(40);
  for (let i = 0; i < count; i++) {
    // The keyboard's Tab moves the focus, and Enter is the one line end it
    // types.
    let piece = random.pick(PIECES);
    if (typed) piece = piece.replace(/\t/g, '').replace(/\r\n?/g, '\n');
    text += piece;
  }
  return text;
}

function randomOptions(random) {
  const some = (list, most) => {
    const chosen = new Set();
    const count = 1 + random.below(most);
    for (let i = 0; i < count; i++) chosen.add(random.pick(list));
    return [...chosen];
  };
  const wrap = () => random.pick([[], ['-D'], ['-Du'], ['-D', '-Du']]);
  switch (random.below(4)) {
    case 0: return [random.pick(PRESETS), ...wrap(), ...(random.below(2) ? some(SINGLES, 2) : [])];
    case 1: return [...some(SINGLES, 5), ...(random.below(3) ? [] : wrap())];
    // Several syntaxes with a print command: the warning follows.
    case 2: return [...some(PRESETS, 5), random.pick(['-D', '-Du'])];
    default: return [];
  }
}

test(`${h.engine}: the page writes what the command line writes`, async () => {
  const random = h.random(20260813);
  const browser = await h.launch();
  try {
    const page = await h.openPage(browser);
    let compared = 0;
    for (let set = 0; set < OPTION_SETS; set++) {
      const options = randomOptions(random);
      const ticked = await h.tick(page, options);
      for (let n = 0; n < TEXTS_PER_SET; n++) {
        const typed = random.below(8) === 0;
        const text = randomText(random, typed);
        if (typed) {
          await page.fill('#source', '');
          await page.focus('#source');
          await page.keyboard.type(text);
        } else {
          await page.fill('#source', text, { force: true });
        }
        // The field holds LF for every line end, and its text is UTF-8.
        const bytes = Buffer.from(text.replace(/\r\n?/g, '\n'), 'utf8');
        const expected = h.kiv(bytes, options);
        const where = `options ${options.join(' ') || '(none)'}, text ${h.visible(bytes)}`;
        h.assert.equal(await h.shownResult(page), h.asShown(expected), where);
        compared++;
        if (n === 0 && set % 2 === 0) {
          const saved = await h.savedResult(page);
          h.assert.ok(saved.bytes.equals(expected),
            `${where}\nsaved ${h.visible(saved.bytes)}\nKiv   ${h.visible(expected)}`);
          compared++;
        }
      }
      // Both ways back to no option: each box clicked again, or the button.
      if (set % 2 === 0) await h.untick(page, ticked);
      else await h.untickAll(page);
    }
    h.assert.deepEqual(page.outside, []);
    h.assert.deepEqual(page.errors, []);
    console.log(`${compared} comparisons with Kiv`);
  } finally {
    await browser.close();
  }
});
