// A visitor who asked for reduced motion, in Firefox and WebKit: the slideshow does not
// advance on its own and an animated GIF keeps its first frame until the box is entered;
// the keyboard still steps through the slideshow.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { magick, startServer, tempDir, until } from '../support/harness.mjs';
import { COLOURS, boxRect, canvasPixel, convertInto, makeSolidImages, viewerState, waitFor } from '../support/browser.mjs';
import { ENGINES, launchEngine } from '../support/engines.mjs';

const site = tempDir('vgi-engine-motion-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
const img = makeSolidImages(src);
const DELAY = 100;
let server;

const RED = [...COLOURS.red, 255];
const GREEN = [...COLOURS.green, 255];

before(async () => {
  convertInto(site, 'slides', [img.red, img.green, img.blue], ['--style', 'slideshow', '--delay', String(DELAY)]);
  const gif = path.join(src, 'animated.gif');
  magick(['-delay', String(DELAY / 10), '-size', '64x48', 'xc:rgb(255,0,0)', 'xc:rgb(0,160,0)', '-loop', '0', gif]);
  convertInto(site, 'anim', [gif]);
  server = await startServer(site);
});
after(() => server?.close());

const same = (p, want) => p.every((v, i) => v === want[i]);
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

for (const engine of ENGINES) {
  describe(engine, () => {
    let browser;
    before(async () => {
      browser = await launchEngine(engine, { reducedMotion: true });
    });
    after(() => browser?.close());

    test('the engine reports the wish', async () => {
      await browser.goto(server.url('localhost', 'slides/slideshow.html'));
      assert.equal(await browser.evaluate(() => matchMedia('(prefers-reduced-motion: reduce)').matches), true);
    });

    test('slideshow: stays on its frame, and the arrow keys still step', async () => {
      await browser.mouse(900, 700);
      await browser.goto(server.url('localhost', 'slides/slideshow.html'));
      await waitFor(browser, { showing: 'image', frame: 0 });
      // Ten delays' time: a slideshow that moves on its own has moved by then.
      await sleep(10 * DELAY);
      assert.equal((await viewerState(browser)).frame, '0');
      await browser.press('Tab');
      await browser.press('ArrowRight');
      await waitFor(browser, { showing: 'image', frame: 1 });
      await sleep(10 * DELAY);
      assert.equal((await viewerState(browser)).frame, '1');
      assert.deepEqual(await browser.problems(), []);
    });

    test('animated GIF: the first frame until the pointer enters, then it plays', async () => {
      await browser.mouse(900, 700);
      await browser.goto(server.url('localhost', 'anim/animated.html'));
      await waitFor(browser, { showing: 'image', frame: 0 });
      await sleep(10 * DELAY);
      assert.deepEqual(await canvasPixel(browser, 5, 5), RED);
      const r = await boxRect(browser);
      await browser.mouse(r.x + r.width / 2, r.y + r.height / 2);
      await until(async () => same(await canvasPixel(browser, 5, 5), GREEN), 'the GIF to move on');
      assert.deepEqual(await browser.problems(), []);
    });
  });
}
