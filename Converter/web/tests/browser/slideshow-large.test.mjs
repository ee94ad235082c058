// A slideshow of 1,200 images: the page loads at once, and the viewer fetches frames
// as they are due rather than all 1,200 up front.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { launchBrowser, startServer, tempDir, until } from '../support/harness.mjs';
import { COLOURS, assertNoProblems, canvasPixel, convertInto, makeSolidImages, openPage, waitFor } from '../support/browser.mjs';

const COUNT = 1200;
const site = tempDir('vgi-large-');
let server;
let browser;

before(async () => {
  const solid = makeSolidImages(fs.mkdtempSync(path.join(site, 'solid-')), 16, 12);
  const src = path.join(site, 'src');
  fs.mkdirSync(src);
  const order = [solid.red, solid.green, solid.blue];
  const inputs = [];
  for (let i = 0; i < COUNT; i++) {
    const file = path.join(src, `f${String(i).padStart(4, '0')}.png`);
    fs.copyFileSync(order[i % 3], file);
    inputs.push(file);
  }
  convertInto(site, 'show', inputs, ['--style', 'slideshow', '--delay', '200']);
  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

test('1,200 frames: the first shows, later ones are fetched as they come due', async () => {
  const html = fs.readFileSync(path.join(site, 'show', 'slideshow.html'), 'latin1');
  assert.match(html, /<param name="FrameCount" value="1200" \/>/);
  assert.match(html, /<param name="Frame1199" value="f1199_0016_0012_C\.class" \/>/);

  const context = await browser.newContext();
  const { page, problems } = await openPage(context, null, { clock: true });
  await page.addInitScript(() => {
    window.__loaded = [];
    document.addEventListener('vgi:frameload', (e) => window.__loaded.push(e.detail.index));
  });
  await page.goto(server.url('localhost', 'show/slideshow.html'));
  const first = await waitFor(page, { showing: 'image', frame: 0 });
  assert.equal(first.frames, String(COUNT), 'every frame, Frame1000 on included, is known');
  assert.deepEqual(await canvasPixel(page, 2, 2), [...COLOURS.red, 255]);

  const colours = [COLOURS.red, COLOURS.green, COLOURS.blue];
  for (let i = 1; i <= 4; i++) {
    await until(() => page.evaluate((k) => window.__loaded.includes(k), i), `frame ${i} decoded`);
    await page.clock.runFor(200);
    await waitFor(page, { showing: 'image', frame: i });
    assert.deepEqual(await canvasPixel(page, 2, 2), [...colours[i % 3], 255]);
  }
  const fetched = server.requests.filter((r) => r.endsWith('.class'));
  assert.ok(fetched.length <= 6, `only the frames due were fetched: ${fetched.join(', ')}`);
  assertNoProblems(problems);
  await context.close();
});
