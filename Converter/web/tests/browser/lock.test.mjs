// Domain-locked pages: the image shows on its own host (with or without "www.") and
// a short notice shows everywhere else.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { launchBrowser, samplesDir, startServer, tempDir } from '../support/harness.mjs';
import { assertNoProblems, canvasPixel, compareWithOriginal, convertInto, copyInto, openPage, waitFor } from '../support/browser.mjs';

const site = tempDir('vgi-lock-');
let server;
let browser;

before(async () => {
  const photo = path.join(samplesDir, 'harbour-dusk.jpg');
  fs.mkdirSync(path.join(site, 'originals'));
  copyInto(path.join(site, 'originals'), photo);
  convertInto(site, 'localhost', [photo], ['--domain', 'localhost']);
  convertInto(site, 'www', [photo], ['--domain', 'www.localhost']);
  convertInto(site, 'open', [photo]);
  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

const LOCKED = 'This image is locked to another web site.';

test('each page on each host: the image or the lock notice', async () => {
  // Chromium takes every *.localhost name for the loopback address, which gives the
  // test a second host name with "www." in front.
  const cases = [
    // folder (locked to), host, shown?
    ['localhost', 'localhost', true],
    ['localhost', '127.0.0.1', false],
    ['localhost', 'www.localhost', true],
    ['localhost', 'shop.localhost', false],
    ['www', 'www.localhost', true],
    ['www', 'localhost', false],
    ['open', '127.0.0.1', true],
    ['open', 'localhost', true],
  ];
  const context = await browser.newContext();
  for (const [folder, host, shown] of cases) {
    const what = `${folder} on ${host}`;
    const { page, problems } = await openPage(context, server.url(host, `${folder}/harbour-dusk.html`));
    if (shown) {
      await waitFor(page, { showing: 'image', frame: 0 });
      const r = await compareWithOriginal(page, '/originals/harbour-dusk.jpg');
      assert.equal(r.most, 0, what);
    } else {
      await waitFor(page, { showing: 'text', text: LOCKED });
      assert.deepEqual(await canvasPixel(page, 5, 5), [0, 0, 0, 0], `${what}: nothing drawn`);
    }
    assertNoProblems(problems);
    await page.close();
  }
  await context.close();
});
