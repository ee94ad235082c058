// A phone (390 x 844 CSS pixels, 3 device pixels to one) opening a 1024 x 768 page in
// Firefox and WebKit: the page does not scroll sideways, the box fits the screen with
// the image's proportions, and the canvas has the box's device pixels.
// VG_SCREENSHOTS=DIR saves what each phone shows as DIR/engines-ENGINE-phone.png.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { magick, samplesDir, startServer, tempDir, until } from '../support/harness.mjs';
import { convertInto, copyInto, waitFor } from '../support/browser.mjs';
import { ENGINES, launchEngine } from '../support/engines.mjs';

const site = tempDir('vgi-engine-phone-');
const PHONE = { width: 390, height: 844, deviceScaleFactor: 3 };
const BORDER = 6;
let server;

before(async () => {
  const photo = path.join(samplesDir, 'cloud study.jpg'); // 1024 x 768
  fs.mkdirSync(path.join(site, 'originals'));
  copyInto(path.join(site, 'originals'), photo);
  convertInto(site, 'large', [photo], ['--border', String(BORDER), '--background', '203040']);
  convertInto(site, 'tap', [photo], ['--style', 'text-to-image', '--message', 'Tap to see the photo']);
  // A host page for an engine whose window cannot be as narrow as a phone: the frame is
  // the phone's screen.
  fs.writeFileSync(path.join(site, 'phone.html'), '<!DOCTYPE html><html><head><meta charset="utf-8"><title>phone</title></head>'
    + `<body><iframe id="phone" src="large/cloud%20study.html" width="${PHONE.width}" height="${PHONE.height}" frameborder="0"></iframe></body></html>`);
  server = await startServer(site);
});
after(() => server?.close());

// What the page shows of the box: its place, the viewport, the page's scroll width and
// the canvas's pixels. Runs in the page.
function layout() {
  const box = document.querySelector('.vgi-viewer');
  const canvas = box.querySelector('canvas');
  const r = box.getBoundingClientRect();
  const c = canvas.getBoundingClientRect();
  return {
    box: { left: r.left, right: r.right, width: r.width, height: r.height },
    canvasCss: [c.width, c.height],
    canvasPixels: [canvas.width, canvas.height],
    viewport: document.documentElement.clientWidth,
    scrollWidth: document.documentElement.scrollWidth,
    ratio: devicePixelRatio,
  };
}

for (const engine of ENGINES) {
  describe(engine, () => {
    let browser;
    let phone; // the page object the phone's screen is in
    before(async () => {
      browser = await launchEngine(engine, { ...PHONE, touch: true });
      if (browser.supports.exactViewport) {
        await browser.goto(server.url('localhost', 'large/cloud study.html'));
        phone = browser;
      } else {
        await browser.goto(server.url('localhost', 'phone.html'));
        phone = await browser.frame('#phone');
      }
    });
    after(() => browser?.close());

    test('a 1024 x 768 page: no sideways scrolling, the box fits with the image\'s proportions, sharp', async () => {
      await waitFor(phone, { showing: 'image', frame: 0 });
      const first = await phone.evaluate(layout);
      assert.equal(first.ratio, 3, 'three device pixels to a CSS pixel');
      assert.equal(first.viewport, PHONE.width);
      assert.ok(first.scrollWidth <= first.viewport, `the page is ${first.scrollWidth} wide on a ${first.viewport} screen`);
      assert.ok(first.box.left >= 0 && first.box.right <= first.viewport, `the box spans ${first.box.left} to ${first.box.right}`);
      const inner = [first.box.width - 2 * BORDER, first.box.height - 2 * BORDER];
      assert.ok(Math.abs(inner[0] / inner[1] - 1024 / 768) < 0.01, `the picture is ${inner[0]} x ${inner[1]}`);
      // Drawn at the box's size in device pixels once the resized copy is there.
      const sharp = await until(async () => {
        const l = await phone.evaluate(layout);
        const want = l.canvasCss.map((v) => Math.round(v * l.ratio));
        return Math.abs(l.canvasPixels[0] - want[0]) <= 1 && Math.abs(l.canvasPixels[1] - want[1]) <= 1 ? l : null;
      }, 'a canvas of the box\'s device pixels').catch(async (e) => {
        const l = await phone.evaluate(layout);
        throw new Error(`${e.message}: the canvas has ${l.canvasPixels} for ${l.canvasCss} CSS pixels`);
      });
      assert.ok(sharp.canvasPixels[0] > 1000, `the canvas has ${sharp.canvasPixels[0]} pixels across`);
      assert.deepEqual(await browser.problems(), []);
    });

    test('what the phone shows', { skip: !process.env.VG_SCREENSHOTS && 'VG_SCREENSHOTS is not set' }, async () => {
      // WebKit's screenshots leave out what changed inside a frame since it was first
      // drawn: there the page is shown in the narrowest window the engine allows.
      let view = phone;
      if (!browser.supports.exactViewport) {
        await browser.setViewport(PHONE);
        await browser.goto(server.url('localhost', 'large/cloud study.html'));
        view = browser;
      }
      await waitFor(view, { showing: 'image', frame: 0 });
      const size = await view.evaluate(() => [innerWidth, innerHeight]);
      const png = await view.screenshot({ clip: { x: 0, y: 0, width: size[0], height: size[1] } });
      const file = path.join(process.env.VG_SCREENSHOTS, `engines-${engine}-phone.png`);
      fs.mkdirSync(process.env.VG_SCREENSHOTS, { recursive: true });
      fs.writeFileSync(file, png);
      magick([file, '-resize', `${size[0]}x${size[1]}`, '-strip', file]); // one pixel to a CSS pixel
    });

    test('a tap acts as the pointer entering (where the engine has touch)', async (t) => {
      if (!browser.supports.touch) {
        t.skip(`${engine} has no touch emulation`);
        return;
      }
      await browser.goto(server.url('localhost', 'tap/cloud study.html'));
      await waitFor(browser, { showing: 'text', text: 'Tap to see the photo' });
      const r = await browser.evaluate(() => document.querySelector('.vgi-viewer').getBoundingClientRect().toJSON());
      await browser.tap(r.x + r.width / 2, r.y + Math.min(r.height / 2, 100));
      await waitFor(browser, { showing: 'image', frame: 0 });
      assert.deepEqual(await browser.problems(), []);
    });
  });
}
