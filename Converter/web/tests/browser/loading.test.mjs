// What the viewer fetches and keeps: only boxes near the screen load, failed frames
// are tried again, decoded frames stay within the page's budget, and pages that cannot
// load their files say why.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, magick, startServer, tempDir, until } from '../support/harness.mjs';
import {
  COLOURS, assertNoProblems, canvasPixel, convertInto, makeSolidImages, openPage, viewerState, waitFor,
} from '../support/browser.mjs';

const site = tempDir('vgi-loading-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
const img = makeSolidImages(src);
const RED = [...COLOURS.red, 255];
const GREEN = [...COLOURS.green, 255];
const BOXES = 30;
let server;
let browser;

const fetched = (prefix) => server.requests.filter((r) => r.startsWith(prefix) && r.endsWith('.class'));

before(async () => {
  // A gallery: the <object> blocks of 30 generated pages pasted into one page.
  const gallery = path.join(src, 'gallery');
  fs.mkdirSync(gallery);
  const big = path.join(src, 'big.png');
  magick(['-size', '600x400', 'xc:rgb(0,0,255)', '-define', 'png:exclude-chunk=all', big]);
  const inputs = [];
  for (let i = 0; i < BOXES; i++) {
    const file = path.join(gallery, `g${String(i).padStart(2, '0')}.png`);
    fs.copyFileSync(big, file);
    inputs.push(file);
  }
  const dir = convertInto(site, 'gallery', inputs);
  const blocks = inputs.map((f) => {
    const html = fs.readFileSync(path.join(dir, path.basename(f, '.png') + '.html'), 'latin1');
    return /<object[\s\S]*?<\/object>/.exec(html)[0];
  });
  const template = fs.readFileSync(path.join(dir, 'g00.html'), 'latin1');
  fs.writeFileSync(path.join(dir, 'index.html'), template.replace(/<object[\s\S]*?<\/object>/, blocks.join('\n')), 'latin1');

  convertInto(site, 'imgimg', [img.red], ['--style', 'image-to-image', '--second-image', img.green]);
  convertInto(site, 'retry', [img.red], ['--style', 'image-to-text', '--message', 'By the artist']);
  convertInto(site, 'retry-slides', [img.red, img.green, img.white], ['--style', 'slideshow', '--delay', '500']);
  convertInto(site, 'csp', [img.red]);
  convertInto(site, 'file', [img.red]);

  // Frames of 1200 x 1000 pixels: 4.8 MB each, decoded.
  const large = [];
  for (let i = 0; i < 5; i++) {
    const file = path.join(src, `large${i}.png`);
    const [r, g, b] = Object.values(COLOURS)[i % 4];
    magick(['-size', '1200x1000', `xc:rgb(${r},${g},${b})`, '-define', 'png:exclude-chunk=all', file]);
    large.push(file);
  }
  convertInto(site, 'budget', large, ['--style', 'slideshow', '--delay', '200']);

  const gif = path.join(src, 'animated.gif');
  magick(['-delay', '50', '-size', '64x48', 'xc:rgb(255,0,0)', 'xc:rgb(0,160,0)', 'xc:rgb(0,0,255)', '-loop', '0', gif]);
  convertInto(site, 'anim', [gif]);

  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

test('a gallery of 30 boxes fetches what is near the screen, the rest as it is scrolled to', async () => {
  const context = await browser.newContext({ viewport: { width: 1280, height: 720 } });
  await context.addInitScript(() => {
    window.__objectUrls = 0;
    const create = URL.createObjectURL;
    URL.createObjectURL = function (...args) {
      window.__objectUrls++;
      return create.apply(this, args);
    };
  });
  const { page, problems } = await openPage(context, server.url('localhost', 'gallery/index.html'));
  await waitFor(page, { showing: 'image' }, 0);
  const boxes = await page.evaluate(() => [...document.querySelectorAll('.vgi-viewer')].map((b) => b.getBoundingClientRect().top));
  assert.equal(boxes.length, BOXES);
  // Within a screen (720 pixels) below the viewport: loaded; farther: not yet.
  const near = boxes.filter((top) => top < 2 * 720).length;
  await until(() => fetched('/gallery/').length >= near, `${near} boxes fetched`);
  const early = fetched('/gallery/');
  assert.ok(near < BOXES / 2, `the test page is long enough (${near} boxes near)`);
  assert.equal(early.length, near, `only the boxes near the screen: ${early.join(' ')}`);
  for (let i = 0; i < near; i++) assert.ok(early.some((r) => r.startsWith(`/gallery/g${String(i).padStart(2, '0')}_`)), `box ${i}`);

  for (let y = 0; y <= boxes[BOXES - 1]; y += 600) {
    await page.evaluate((top) => window.scrollTo(0, top), y);
    const due = await page.evaluate(() => [...document.querySelectorAll('.vgi-viewer')]
      .filter((b) => b.getBoundingClientRect().top < 2 * window.innerHeight).length);
    await until(() => fetched('/gallery/').length >= due, `${due} boxes fetched, scrolled to ${y}`);
  }
  await until(() => fetched('/gallery/').length === BOXES, 'every box fetched after scrolling');
  await waitFor(page, { showing: 'image' }, BOXES - 1);
  assert.deepEqual(await page.evaluate(() => ({ images: document.querySelectorAll('img').length, urls: window.__objectUrls })),
    { images: 0, urls: 0 }, 'no <img> and no object URL');
  assert.equal(new Set(fetched('/gallery/')).size, BOXES, 'each file once');
  assertNoProblems(problems);
  await context.close();
});

test('image to image: the first picture shows while the second is still on its way', async () => {
  const release = server.gate('imgimg/green_0064_0048_C.class');
  const context = await browser.newContext();
  const { page, problems } = await openPage(context, server.url('localhost', 'imgimg/red.html'));
  await waitFor(page, { showing: 'image', frame: 0 });
  assert.deepEqual(await canvasPixel(page, 5, 5), RED);
  release();
  await page.hover('.vgi-viewer');
  await waitFor(page, { showing: 'image', frame: 1 });
  assertNoProblems(problems);
  await context.close();
});

describe('a frame that failed is tried again later', () => {
  const hide = (file) => fs.renameSync(file, file + '.away');
  const bring = (file) => fs.renameSync(file + '.away', file);

  test('a single picture: after a back-off of a second, then doubling', async () => {
    const file = path.join(site, 'retry', 'red_0064_0048_C.class');
    hide(file);
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'retry/red.html'), { clock: true });
    const tries = () => fetched('/retry/').length;
    await waitFor(page, { showing: 'text', text: /could not be loaded \(HTTP 404\)/ });
    assert.equal(tries(), 1);
    // Back-offs of 1 s and then 2 s: never sooner.
    for (const [wait, want] of [[999, 1], [1, 2], [1999, 2], [1, 3]]) {
      const had = tries();
      await page.clock.runFor(wait);
      if (want > had) await until(() => tries() === want, `${want} tries`);
      else await new Promise((r) => setTimeout(r, 200)); // room for a wrong early try to arrive
      assert.equal(tries(), want, `after ${wait} ms more`);
    }
    await waitFor(page, { showing: 'text', text: /HTTP 404/ });
    bring(file);
    await page.clock.runFor(4000);
    await waitFor(page, { showing: 'image', frame: 0 });
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    assertNoProblems(problems);
    await context.close();
  });

  test('a slideshow frame: on a later round', async () => {
    const file = path.join(site, 'retry-slides', 'green_0064_0048_C.class');
    hide(file);
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'retry-slides/slideshow.html'), { clock: true });
    await waitFor(page, { showing: 'image', frame: 0 });
    await until(() => fetched('/retry-slides/green').length === 1, 'frame 1 asked for');
    await page.clock.runFor(500);
    await waitFor(page, { showing: 'text', text: /green_0064_0048_C\.class could not be loaded \(HTTP 404\)/ });
    bring(file);
    await until(async () => {
      await page.clock.runFor(250);
      const s = await viewerState(page);
      return s.showing === 'image' && s.frame === '1';
    }, 'frame 1 shown on a later round');
    assert.deepEqual(await canvasPixel(page, 5, 5), GREEN);
    assertNoProblems(problems);
    await context.close();
  });
});

test('decoded frames stay within the page budget, smaller on a device with little memory', async () => {
  // [device memory in GB, times the first frame is fetched over a round and back]
  for (const [memory, firstFetches] of [[8, 1], [0.25, 2]]) {
    const context = await browser.newContext();
    await context.addInitScript((gb) => {
      Object.defineProperty(Navigator.prototype, 'deviceMemory', { get: () => gb, configurable: true });
      window.__most = 0;
      document.addEventListener('vgi:frameload', (e) => {
        window.__most = Math.max(window.__most, e.detail.decodedBytes || 0);
      });
    }, memory);
    const { page, problems } = await openPage(context, null, { clock: true });
    server.requests.length = 0;
    await page.goto(server.url('localhost', 'budget/slideshow.html'));
    for (const frame of [0, 1, 2, 3, 4, 0]) {
      await until(async () => {
        const s = await viewerState(page);
        if (s.showing === 'image' && s.frame === String(frame)) return true;
        await page.clock.runFor(50);
        return false;
      }, `frame ${frame} with ${memory} GB`);
    }
    const first = fetched('/budget/').filter((r) => r.includes('large0_'));
    assert.equal(first.length, firstFetches, `${memory} GB: first frame fetched ${first.length} times`);
    const most = await page.evaluate(() => window.__most);
    const frame = 1200 * 1000 * 4;
    // With 8 MB the frames shown and next (9.6 MB) stay, the others go.
    const limit = memory < 1 ? 2 * frame + 1 : 64 * 1024 * 1024;
    assert.ok(most <= limit, `${memory} GB: ${most} bytes decoded at most`);
    assertNoProblems(problems);
    await context.close();
  }
});

describe('notices', () => {
  test('a page opened from disk says it has to be served over HTTP', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, pathToFileURL(path.join(site, 'file', 'red.html')).href);
    const s = await waitFor(page, { showing: 'text', text: /has to be served over HTTP/ });
    assert.equal(s.text, 'This page has to be served over HTTP: opened from a file, the browser does not let it load its images.');
    assertNoProblems(problems);
    await context.close();
  });

  test("a fetch refused by the site's Content-Security-Policy says so", async () => {
    server.policy('csp/red.html', "default-src 'self'; connect-src 'none'; object-src 'none'");
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'csp/red.html'));
    const s = await waitFor(page, { showing: 'text', text: /Content-Security-Policy/ });
    assert.equal(s.text, "red_0064_0048_C.class could not be loaded: the site's Content-Security-Policy (connect-src) refuses it.");
    // The browser reports the refusal on the console itself.
    assertNoProblems(problems.filter((p) => !/red_0064_0048_C\.class.*(violates|Refused to connect)/.test(p)));
    await context.close();
  });
});

test('an animated GIF plays where the browser has no ImageDecoder', async () => {
  const context = await browser.newContext();
  await context.addInitScript(() => delete window.ImageDecoder);
  const { page, problems } = await openPage(context, server.url('localhost', 'anim/animated.html'), { clock: true });
  await waitFor(page, { showing: 'image', frame: 0 });
  assert.equal(await page.evaluate(() => typeof ImageDecoder), 'undefined');
  assert.deepEqual(await canvasPixel(page, 5, 5), RED);
  for (const want of [[0, 160, 0], [0, 0, 255], [255, 0, 0]]) {
    let ran = 0;
    await until(async () => {
      const px = await canvasPixel(page, 5, 5);
      if (px.slice(0, 3).every((c, i) => Math.abs(c - want[i]) <= 2)) return true;
      await page.clock.runFor(50);
      ran += 50;
      return false;
    }, `the GIF to show ${want}`);
    assert.ok(ran >= 500, `the frame before ${want} stayed its 500 ms (ran ${ran})`);
  }
  assertNoProblems(problems);
  await context.close();
});
