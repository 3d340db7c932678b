// Starts Debian's chromium headless through playwright-core. Nothing is
// downloaded: the browser is the system's, and the flags keep it from
// reaching for the network on its own (updates, sync, QUIC probes).
'use strict';
const { chromium } = require('playwright-core');

const executablePath = process.env.KIV_CHROMIUM || '/usr/bin/chromium';

function launch() {
  return chromium.launch({
    executablePath,
    headless: true,
    args: [
      '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update',
      '--disable-sync',
    ],
  });
}

module.exports = { launch, executablePath };
