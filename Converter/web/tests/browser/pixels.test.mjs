// Pages made by `vellagard convert`, opened in Chromium: the canvas must hold exactly
// the pixels the browser decodes from the original image file.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, magick, samplesDir, startServer, tempDir, until } from '../support/harness.mjs';
import {
  assertNoProblems, compareWithOriginal, convertInto, copyInto, makeSidewaysJpeg, openPage, viewerState, waitFor,
} from '../support/browser.mjs';

const site = tempDir('vgi-pixels-');
const originals = path.join(site, 'originals');
fs.mkdirSync(originals);
let server;
let chunked; // the same files, their length not announced
let browser;

before(async () => {
  server = await startServer(site);
  chunked = await startServer(site, { announceLength: false });
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
  await chunked?.close();
});

const SAMPLES = ['harbour-dusk.jpg', 'cloud study.jpg', 'meadow.png', 'lantern.gif'];

describe('images are drawn pixel for pixel', () => {
  before(() => {
    const inputs = SAMPLES.map((name) => path.join(samplesDir, name));
    for (const name of SAMPLES) copyInto(originals, path.join(samplesDir, name));
    convertInto(site, 'keyless', inputs);
    convertInto(site, 'keyed', inputs, ['--domain', 'localhost']);
  });

  for (const folder of ['keyless', 'keyed']) {
    test(`${folder} JPEG, PNG and GIF, their length announced or not`, async () => {
      const context = await browser.newContext();
      for (const [name, from] of SAMPLES.flatMap((n) => [[n, server], [n, chunked]])) {
        const pageName = name.replace(/\.[^.]+$/, '.html');
        const { page, problems } = await openPage(context, from.url('localhost', `${folder}/${pageName}`));
        await waitFor(page, { showing: 'image', frame: 0 });
        const r = await compareWithOriginal(page, `/originals/${encodeURIComponent(name)}`);
        assert.equal(r.blank, false, `${name}: something is drawn`);
        assert.deepEqual([r.width, r.height], r.natural, `${name}: canvas at the image's size`);
        assert.equal(r.most, 0, `${name}: ${r.differing} samples differ, by up to ${r.most}`);
        assertNoProblems(problems);
        await page.close();
      }
      await context.close();
    });
  }

  test('sharp on high-density screens: the picture has device pixels', async () => {
    const context = await browser.newContext({ deviceScaleFactor: 2 });
    const { page, problems } = await openPage(context, server.url('localhost', 'keyless/meadow.html'));
    await waitFor(page, { showing: 'image' });
    const cssSize = await page.evaluate(() => {
      const r = document.querySelector('.vgi-viewer canvas').getBoundingClientRect();
      return [r.width, r.height];
    });
    assert.deepEqual(cssSize, [480, 360]);
    // The picture is redrawn at twice the size once the resized copy is ready, and
    // matches the original resized the same way.
    const r = await until(async () => {
      const c = await compareWithOriginal(page, '/originals/meadow.png');
      return c.width === 960 ? c : null;
    }, 'a picture of 960 x 720 device pixels');
    assert.deepEqual([r.width, r.height], [960, 720]);
    assert.equal(r.most, 0, `${r.differing} samples differ, by up to ${r.most}`);
    assertNoProblems(problems);
    await context.close();
  });

  test('a photo stored on its side (EXIF orientation) stands upright in a box of its upright size', async () => {
    // A 64 x 48 JPEG with an Exif segment saying "rotate 90 degrees clockwise to show".
    const dir = path.join(site, 'exif-src');
    fs.mkdirSync(dir);
    const rotated = makeSidewaysJpeg(path.join(dir, 'upright.jpg'), 64, 48);
    copyInto(originals, rotated);
    convertInto(site, 'exif', [rotated]);

    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'exif/upright.html'));
    await waitFor(page, { showing: 'image' });
    const r = await compareWithOriginal(page, '/originals/upright.jpg');
    assert.deepEqual(r.natural, [48, 64], 'the browser shows the photo upright');
    assert.deepEqual([r.width, r.height], [48, 64]);
    assert.equal(r.most, 0, `${r.differing} samples differ, by up to ${r.most}`);
    assertNoProblems(problems);
    await context.close();
  });

  test('no <img>, no object URL, nothing global but VGI, no policy violation', async () => {
    const context = await browser.newContext();
    await context.addInitScript(() => {
      window.__before = new Set(Object.getOwnPropertyNames(window));
      window.__objectUrls = 0;
      const create = URL.createObjectURL;
      URL.createObjectURL = function (...args) {
        window.__objectUrls++;
        return create.apply(this, args);
      };
      window.__violations = [];
      document.addEventListener('securitypolicyviolation', (e) => window.__violations.push(e.violatedDirective));
    });
    const { page, problems } = await openPage(context, server.url('localhost', 'keyed/harbour-dusk.html'));
    await waitFor(page, { showing: 'image' });
    const found = await page.evaluate(() => ({
      images: document.querySelectorAll('img').length,
      objectUrls: window.__objectUrls,
      added: Object.getOwnPropertyNames(window).filter((n) => !window.__before.has(n) && !n.startsWith('__')),
      api: Object.keys(window.VGI).sort(),
      frozen: Object.isFrozen(window.VGI),
      violations: window.__violations,
      objectShown: getComputedStyle(document.querySelector('object.vgi')).display,
    }));
    assert.deepEqual(found, {
      images: 0, objectUrls: 0, added: ['VGI'], api: ['scan', 'version'], frozen: true, violations: [], objectShown: 'none',
    });
    assertNoProblems(problems);
    await context.close();
  });
});

describe('TIFF files are decoded by the viewer', () => {
  // [name, ImageMagick options, largest difference allowed against the browser's
  // decoding of the same image as PNG]
  const kinds = [
    ['rgb-none', ['-compress', 'none', '-type', 'TrueColor'], 0],
    ['rgb-lzw', ['-compress', 'lzw', '-type', 'TrueColor'], 0],
    ['rgb-packbits', ['-compress', 'rle', '-type', 'TrueColor'], 0],
    ['rgba-lzw', ['-compress', 'lzw', '-type', 'TrueColorAlpha', '-alpha', 'set', '-channel', 'A', '-fx', 'i/w', '+channel'], 1],
    ['grey-lzw', ['-compress', 'lzw', '-type', 'Grayscale'], 0],
    ['palette-packbits', ['-compress', 'rle', '-type', 'Palette'], 1],
    ['rgb-16bit', ['-compress', 'lzw', '-depth', '16'], 1],
  ];
  const unsupported = [
    ['jpeg-in-tiff', ['-compress', 'jpeg'], /cannot show \(JPEG compression\)/],
    ['cmyk', ['-compress', 'none', '-colorspace', 'cmyk'], /cannot show \(CMYK colours\)/],
  ];

  before(() => {
    const dir = path.join(site, 'tiff-src');
    fs.mkdirSync(dir);
    const base = path.join(dir, 'base.png');
    magick([path.join(samplesDir, 'meadow.png'), '-resize', '123x77!', '-depth', '8', base]);
    const inputs = [];
    for (const [name, args] of [...kinds, ...unsupported]) {
      const tif = path.join(dir, `${name}.tif`);
      magick([base, '-define', 'tiff:rows-per-strip=10', ...args, tif]);
      // The reference: ImageMagick's 8-bit reading of the same TIFF, as a PNG without
      // gamma or colour chunks, so the browser takes its pixels as they stand.
      magick([tif, '-depth', '8', '-define', 'png:exclude-chunk=all', path.join(originals, `${name}.png`)]);
      inputs.push(tif);
    }
    convertInto(site, 'tiff', inputs, ['--domain', 'localhost']);
  });

  test('each supported kind matches the original', async () => {
    const context = await browser.newContext();
    for (const [name, , tolerance] of kinds) {
      const { page, problems } = await openPage(context, server.url('localhost', `tiff/${name}.html`));
      await waitFor(page, { showing: 'image' });
      const r = await compareWithOriginal(page, `/originals/${name}.png`);
      assert.equal(r.blank, false, name);
      assert.ok(r.most <= tolerance, `${name}: ${r.differing} samples differ, by up to ${r.most}`);
      assertNoProblems(problems);
      await page.close();
    }
    await context.close();
  });

  test('variants it cannot decode show a notice naming the file', async () => {
    const context = await browser.newContext();
    for (const [name, , words] of unsupported) {
      const { page, problems } = await openPage(context, server.url('localhost', `tiff/${name}.html`));
      const s = await waitFor(page, { showing: 'text', text: words });
      assert.match(s.text, new RegExp(`^${name.replace(/-/g, '_')}_0123_0077_C\\.class uses a TIFF variant`));
      assertNoProblems(problems);
      await page.close();
    }
    await context.close();
  });
});

describe('broken files show a notice instead of failing', () => {
  before(() => {
    const dir = convertInto(site, 'broken', ['harbour-dusk.jpg', 'meadow.png', 'lantern.gif', 'cloud study.jpg']
      .map((n) => path.join(samplesDir, n)));
    const cut = path.join(dir, 'harbour_dusk_0800_0600_C.class');
    fs.writeFileSync(cut, fs.readFileSync(cut).subarray(0, 20000));
    fs.writeFileSync(path.join(dir, 'meadow_0480_0360_C.class'), Buffer.from('<html>Not here</html>'));
    fs.rmSync(path.join(dir, 'lantern_0320_0240_C.class'));
    const garbled = path.join(dir, 'cloud_study_1024_0768_C.class');
    const bytes = fs.readFileSync(garbled);
    bytes[3] = 9; // an unknown protection mode
    fs.writeFileSync(garbled, bytes);
  });

  test('cut short, not a protected file, missing, damaged header', async () => {
    const cases = [
      ['harbour-dusk.html', /^harbour_dusk_0800_0600_C\.class does not hold a GIF, JPEG, PNG, TIFF or BMP image\.$/],
      ['meadow.html', /^meadow_0480_0360_C\.class is not a protected image file\.$/],
      ['lantern.html', /^lantern_0320_0240_C\.class could not be loaded \(HTTP 404\)\.$/],
      ['cloud study.html', /^cloud_study_1024_0768_C\.class is not a protected image file \(unknown mode 9\)\.$/],
    ];
    const context = await browser.newContext();
    for (const [pageName, words] of cases) {
      const { page, problems } = await openPage(context, server.url('localhost', `broken/${pageName}`));
      await waitFor(page, { showing: 'text', text: words });
      // The 404 is the browser's own report of the missing file, not the viewer's.
      assertNoProblems(problems);
      await page.close();
    }
    await context.close();
  });

  test('a keyed file cut short in the middle of the image', async () => {
    const dir = convertInto(site, 'cut-keyed', ['meadow.png', 'cloud study.jpg'].map((n) => path.join(samplesDir, n)),
      ['--domain', 'localhost']);
    // [page, its file, the window's width]: a JPEG in a box smaller than it is decoded
    // while it arrives.
    const cases = [['meadow.html', 'meadow_0480_0360_C.class', 1280], ['cloud study.html', 'cloud_study_1024_0768_C.class', 600]];
    for (const [pageName, name, width] of cases) {
      const file = path.join(dir, name);
      fs.writeFileSync(file, fs.readFileSync(file).subarray(0, 30000));
      const context = await browser.newContext({ viewport: { width, height: 700 } });
      const { page, problems } = await openPage(context, server.url('localhost', `cut-keyed/${pageName}`));
      const s = await waitFor(page, { showing: 'text', text: new RegExp(`^${name.replace(/\./g, '\\.')} is damaged or cut short`) });
      assert.equal(s.frame, '');
      assertNoProblems(problems);
      assert.equal((await viewerState(page)).showing, 'text');
      await context.close();
    }
  });
});
