// The browser engines the tests run in, each the system's own build
// started headless: Debian's chromium through playwright-core, and
// Debian's firefox-esr through puppeteer-core over WebDriver BiDi. Nothing
// is downloaded, and every request for another machine goes to a proxy
// that is not there. KIV_ENGINE names the engine (chromium when unset).
//
// Both engines hand out pages with the part of Playwright's page API the
// tests use, so that each test runs unchanged in either; what differs is
// left to the tests, which say why.
//
// Run as `node engines.js`, it prints the engine's name when it can be
// started, and otherwise what is missing (exit code 1).
'use strict';
const fs = require('fs');
const path = require('path');

const deadProxy = { host: '127.0.0.1', port: 9 };

const engines = {
  chromium: {
    executablePath: process.env.KIV_CHROMIUM || '/usr/bin/chromium',
    debianPackage: 'chromium',
    driver: 'playwright-core',
    launch: launchChromium,
  },
  firefox: {
    executablePath: process.env.KIV_FIREFOX || '/usr/bin/firefox-esr',
    debianPackage: 'firefox-esr',
    driver: 'puppeteer-core',
    launch: launchFirefox,
  },
};

const name = process.env.KIV_ENGINE || 'chromium';
const engine = engines[name];

// The flags keep chromium from reaching for the network on its own
// (updates, sync, QUIC probes).
function launchChromium() {
  const { chromium } = require('playwright-core');
  return chromium.launch({
    executablePath: engine.executablePath,
    headless: true,
    proxy: { server: `http://${deadProxy.host}:${deadProxy.port}`, bypass: '127.0.0.1' },
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update',
      '--disable-sync',
    ],
  });
}

// puppeteer-core gives Firefox a fresh profile of its own for each start;
// the preferences send everything that is not 127.0.0.1 to the dead proxy
// (Firefox asks for its own services at start) and name no resolver of
// its own.
async function launchFirefox() {
  const puppeteer = require('puppeteer-core');
  const browser = await puppeteer.launch({
    browser: 'firefox',
    executablePath: engine.executablePath,
    headless: true,
    extraPrefsFirefox: {
      'network.proxy.type': 1,
      'network.proxy.http': deadProxy.host,
      'network.proxy.http_port': deadProxy.port,
      'network.proxy.ssl': deadProxy.host,
      'network.proxy.ssl_port': deadProxy.port,
      'network.trr.mode': 5,
      'network.dns.disablePrefetch': true,
    },
  });
  return {
    async newContext(options = {}) {
      const context = await browser.createBrowserContext();
      const shaped = {
        async newPage() {
          const page = await context.newPage();
          await page.setViewport(options.viewport || { width: 1280, height: 720 });
          return playwrightShaped(page, shaped);
        },
        // Firefox knows no clipboard permissions: writing takes a click or
        // key of the user's, which the tests give, and a page may read back
        // what it wrote.
        async grantPermissions() {},
        close: () => context.close(),
      };
      return shaped;
    },
    close: () => browser.close(),
  };
}

// A puppeteer page with the calls of Playwright's that the tests make.
// `driver` is the puppeteer page itself, for what only Firefox's route
// needs.
function playwrightShaped(page, context) {
  // Playwright's key names, such as Shift+Tab; puppeteer presses a
  // modifier on its own and names the space bar ' '.
  const keys = async (combination) => {
    const parts = combination.split('+');
    const key = parts.pop().replace(/^Space$/, ' ');
    for (const modifier of parts) await page.keyboard.down(modifier);
    await page.keyboard.press(key);
    for (const modifier of parts.reverse()) await page.keyboard.up(modifier);
  };
  return {
    driver: page,
    context: () => context,
    on: (event, handler) => page.on(event, handler),
    goto: (url) => page.goto(url),
    waitForSelector: (selector, options) => page.waitForSelector(selector, options),
    waitForFunction: (fn, arg, options = {}) => page.waitForFunction(fn, options, arg),
    evaluate: (fn, arg) => page.evaluate(fn, arg),
    $eval: (selector, fn, arg) => page.$eval(selector, fn, arg),
    $$eval: (selector, fn, arg) => page.$$eval(selector, fn, arg),
    // A real click at the element's middle; Playwright's `force` only
    // skips its own waiting, which puppeteer does not do.
    click: (selector) => page.click(selector),
    focus: (selector) => page.focus(selector),
    // Like Playwright's fill: the text goes in through the editor at once,
    // as a paste does, and the field fires one input event.
    fill: (selector, text) => page.$eval(selector, (field, value) => {
      field.focus();
      field.select();
      document.execCommand(value === '' ? 'delete' : 'insertText', false, value);
    }, text),
    textContent: (selector) => page.$eval(selector, (element) => element.textContent),
    isVisible: (selector) => page.$eval(selector, (element) => {
      const box = element.getBoundingClientRect();
      return box.width > 0 && box.height > 0 && getComputedStyle(element).visibility !== 'hidden';
    }),
    screenshot: (options) => page.screenshot(options),
    keyboard: { type: (text) => page.keyboard.type(text), press: keys },
  };
}

// What keeps the engine from starting, or ''.
function missing() {
  if (!engine) return `KIV_ENGINE=${name} names no engine (${Object.keys(engines).join(', ')})`;
  if (!fs.existsSync(engine.executablePath)) {
    return `${engine.executablePath} is missing (Debian package ${engine.debianPackage})`;
  }
  if (!fs.existsSync(path.join(__dirname, 'node_modules', engine.driver, 'package.json'))) {
    return `${engine.driver} is missing in ${path.join(__dirname, 'node_modules')} (npm ci there installs it)`;
  }
  return '';
}

function launch() {
  const why = missing();
  if (why) throw new Error(why);
  return engine.launch();
}

module.exports = { name, launch, missing };

if (require.main === module) {
  const why = missing();
  console.log(why || name);
  process.exit(why ? 1 : 0);
}
