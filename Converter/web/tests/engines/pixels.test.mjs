// Converted pages in Firefox and WebKit: the canvas holds the pixels the engine itself
// decodes from the original file (JPEG, PNG, GIF; TIFF against ImageMagick's reading),
// keyed files show on their own host and a lock notice elsewhere.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { magick, samplesDir, startServer, tempDir } from '../support/harness.mjs';
import {
  canvasPixel, compareWithOriginal, convertInto, copyInto, makeSidewaysJpeg, waitFor,
} from '../support/browser.mjs';
import { ENGINES, launchEngine } from '../support/engines.mjs';

const site = tempDir('vgi-engine-pixels-');
const originals = path.join(site, 'originals');
fs.mkdirSync(originals);
const SAMPLES = ['harbour-dusk.jpg', 'meadow.png', 'lantern.gif'];
const TIFFS = [
  ['rgb-lzw', ['-compress', 'lzw', '-type', 'TrueColor']],
  ['palette-packbits', ['-compress', 'rle', '-type', 'Palette']],
];
let server;

before(async () => {
  const inputs = SAMPLES.map((name) => path.join(samplesDir, name));
  for (const name of SAMPLES) copyInto(originals, path.join(samplesDir, name));
  const dir = path.join(site, 'tiff-src');
  fs.mkdirSync(dir);
  const base = path.join(dir, 'base.png');
  magick([path.join(samplesDir, 'meadow.png'), '-resize', '123x77!', '-depth', '8', base]);
  for (const [name, args] of TIFFS) {
    const tif = path.join(dir, `${name}.tif`);
    magick([base, '-define', 'tiff:rows-per-strip=10', ...args, tif]);
    // No engine here decodes TIFF: the reference is ImageMagick's reading as a PNG
    // without gamma or colour chunks.
    magick([tif, '-depth', '8', '-define', 'png:exclude-chunk=all', path.join(originals, `${name}.png`)]);
    inputs.push(tif);
  }
  convertInto(site, 'keyless', inputs);
  convertInto(site, 'keyed', inputs, ['--domain', 'localhost']);
  // A photo stored on its side (640 x 480, shown 480 x 640), pasted by its author into
  // a column 300 pixels wide.
  const sideways = convertInto(site, 'sideways', [makeSidewaysJpeg(path.join(originals, 'upright.jpg'), 640, 480)]);
  const block = fs.readFileSync(path.join(sideways, 'upright.html'), 'latin1').match(/<object class="vgi"[\s\S]*?<\/object>/)[0];
  fs.writeFileSync(path.join(sideways, 'column.css'), '.column { width: 300px; }\n');
  fs.writeFileSync(path.join(sideways, 'column.html'), '<!DOCTYPE html><html lang="en"><head><meta charset="windows-1252">' +
    '<title>Column</title><link rel="stylesheet" href="column.css"><script src="vgi.js" defer></script></head>' +
    '<body><div class="column">' + block + '</div></body></html>', 'latin1');
  server = await startServer(site);
});
after(() => server?.close());

const PAGES = [
  ...SAMPLES.map((name) => [name.replace(/\.[^.]+$/, '.html'), name, 0]),
  // ImageMagick and the viewer may round a palette colour one step apart.
  ...TIFFS.map(([name]) => [`${name}.html`, `${name}.png`, 1]),
];

for (const engine of ENGINES) {
  describe(engine, () => {
    let browser;
    before(async () => {
      browser = await launchEngine(engine);
    });
    after(() => browser?.close());

    for (const folder of ['keyless', 'keyed']) {
      test(`${folder} JPEG, PNG, GIF and TIFF pixel for pixel`, async () => {
        for (const [pageName, original, tolerance] of PAGES) {
          await browser.goto(server.url('localhost', `${folder}/${pageName}`));
          await waitFor(browser, { showing: 'image', frame: 0 });
          const r = await compareWithOriginal(browser, `/originals/${encodeURIComponent(original)}`);
          assert.equal(r.blank, false, `${pageName}: something is drawn`);
          assert.deepEqual([r.width, r.height], r.natural, `${pageName}: canvas at the image's size`);
          assert.ok(r.most <= tolerance, `${pageName}: ${r.differing} samples differ, by up to ${r.most}`);
          assert.deepEqual(await browser.problems(), [], `${pageName}: no errors`);
        }
      });
    }

    test('a photo on its side, larger than its box, stands upright at the box\'s size', async () => {
      await browser.goto(server.url('localhost', 'sideways/column.html'));
      await waitFor(browser, { showing: 'image', frame: 0 });
      const r = await compareWithOriginal(browser, '/originals/upright.jpg');
      assert.deepEqual(r.natural, [480, 640], 'the engine shows the photo upright');
      assert.deepEqual([r.width, r.height], [300, 400]);
      // Resizing while it decodes, WebKit may round a step away from resizing after.
      assert.ok(r.most <= 1, `${r.differing} samples differ, by up to ${r.most}`);
      assert.deepEqual(await browser.problems(), []);
    });

    test('a keyed page on another host shows the lock notice and draws nothing', async () => {
      await browser.goto(server.url('127.0.0.1', 'keyed/meadow.html'));
      await waitFor(browser, { showing: 'text', text: 'This image is locked to another web site.' });
      assert.deepEqual(await canvasPixel(browser, 5, 5), [0, 0, 0, 0]);
      assert.deepEqual(await browser.problems(), []);
    });
  });
}
