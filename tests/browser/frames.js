// Loads case documents in a headless browser (engines.js: KIV_ENGINE), as
// frames of a few pages, and writes what each of them reported.
//
// Usage: node frames.js      (folders on standard input, one a line)
// FOLDER/frames.txt names one case per line; FOLDER/NAME.html is its
// document, and every other file of FOLDER can be loaded by it (external
// scripts). The documents load harness.js (as /harness.js), which reports
// a transcript once the document has loaded; it is written to
// FOLDER/NAME.out. A frame that reports nothing leaves no .out file.
// Everything is served from 127.0.0.1; a request for anywhere else is
// refused and makes the folder fail.
//
// It starts the browser once and loads each folder read from standard
// input, answering one line for it on standard output:
// "done"; "refused: " and the requests for other places, when the folder
// loaded but made some; or "error: " and what broke the load, after which
// the browser may be gone. In both texts each backslash and line feed
// stands as \\ and \n. It ends, closing the browser, when its standard
// input ends.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const engine = require('./engines');

// Chromium holds at most 1000 frames per page; a few loading at a time
// load fastest.
const framesPerPage = 250;
const framesLoading = 16;
const pageTimeoutMs = 60000;

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
};

// The page that holds the frames. It keeps a few of them loading at a
// time and removes each one once it has reported: a page costs a browser
// less with few frames alive.
function holder(names) {
  return `<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body><script>
const names = ${JSON.stringify(names)};
const frames = new Map();
let next = 0;
function start() {
  if (next >= names.length) return;
  const name = names[next++];
  const frame = document.createElement('iframe');
  frame.src = '/' + encodeURIComponent(name) + '.html';
  frames.set(name, frame);
  document.body.appendChild(frame);
}
window.kivReports = {};
window.kivReport = (name, text) => {
  window.kivReports[name] = text;
  setTimeout(() => {
    if (frames.has(name)) frames.get(name).remove();
    start();
  });
};
for (let i = 0; i < ${framesLoading}; ++i) start();
</script></body></html>
`;
}

function isFile(file) {
  return fs.existsSync(file) && fs.statSync(file).isFile();
}

function serve(folder, pages) {
  const harness = fs.readFileSync(path.join(__dirname, 'harness.js'));
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    const name = decodeURIComponent(url.pathname.slice(1));
    let body;
    let type = types['.html'];
    if (url.pathname === '/harness.js') {
      body = harness;
      type = types['.js'];
    } else if (url.pathname.startsWith('/page/')) {
      body = pages[Number(url.pathname.slice(6))];
    } else if (!name.includes('/') && isFile(path.join(folder, name))) {
      body = fs.readFileSync(path.join(folder, name));
      type = types[path.extname(name)] || 'application/octet-stream';
    }
    if (body === undefined) {
      response.writeHead(404, { 'Content-Type': 'text/plain' });
      response.end('not found');
      return;
    }
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'max-age=600' });
    response.end(body);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Loads one folder in `browser`, in a context and on a server of its
// own (a fresh cache: folders reuse document names); the requests for
// other places that its documents made.
async function load(browser, folder) {
  const names = fs.readFileSync(path.join(folder, 'frames.txt'), 'utf8').split('\n').filter(Boolean);
  const pages = [];
  for (let i = 0; i < names.length; i += framesPerPage) {
    pages.push(names.slice(i, i + framesPerPage));
  }
  const server = await serve(folder, pages.map(holder));
  const origin = `http://127.0.0.1:${server.address().port}`;
  const refused = [];
  const late = [];
  const context = await browser.newContext();
  try {
    const page = await context.newPage();
    page.on('request', (request) => {
      if (new URL(request.url()).origin !== origin) refused.push(request.url());
    });
    for (let p = 0; p < pages.length; ++p) {
      await page.goto(`${origin}/page/${p}`);
      const count = pages[p].length;
      try {
        await page.waitForFunction((n) => Object.keys(window.kivReports).length >= n, count,
          { timeout: pageTimeoutMs, polling: 50 });
      } catch (error) {
        late.push(`page ${p}: not every frame reported within ${pageTimeoutMs} ms`);
      }
      const reports = await page.evaluate(() => window.kivReports);
      for (const name of pages[p]) {
        if (Object.prototype.hasOwnProperty.call(reports, name)) {
          fs.writeFileSync(path.join(folder, name + '.out'), reports[name], 'utf8');
        }
      }
    }
  } finally {
    await context.close();
    server.close();
  }
  // Frames that did not report fail their own cases; the note only says why.
  for (const note of late) console.error(`${engine.name}, ${folder}, ${note}`);
  return refused;
}

function refusal(refused) {
  return `${engine.name}: requests for other places were refused:\n` + refused.join('\n');
}

function answer(kind, text) {
  const escaped = text.replace(/\\/g, '\\\\').replace(/\n/g, '\\n');
  process.stdout.write(`${kind}: ${escaped}\n`);
}

async function main() {
  const browser = await engine.launch();
  try {
    const lines = require('readline').createInterface({ input: process.stdin });
    for await (const folder of lines) {
      try {
        const refused = await load(browser, folder);
        if (refused.length > 0) answer('refused', refusal(refused));
        else process.stdout.write('done\n');
      } catch (thrown) {
        answer('error', `${engine.name}, ${folder}: ${thrown && thrown.stack || thrown}`);
      }
    }
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(`${engine.name}:`, error);
  process.exit(1);
});
