// Boxes fit their container: a large page on a phone scales down, keeps its
// proportions, draws sharp at the phone's pixel density and follows a rotation.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { launchBrowser, samplesDir, startServer, tempDir, until } from '../support/harness.mjs';
import {
  assertNoProblems, boxRect, compareWithOriginal, convertInto, copyInto, makeSidewaysJpeg, openPage, waitFor,
} from '../support/browser.mjs';

const site = tempDir('vgi-fit-');
const BORDER = 6;
let server;
let browser;

before(async () => {
  const photo = path.join(samplesDir, 'cloud study.jpg'); // 1024 x 768
  fs.mkdirSync(path.join(site, 'originals'));
  copyInto(path.join(site, 'originals'), photo, 'cloud.jpg');
  convertInto(site, 'big', [photo], ['--border', String(BORDER)]);
  // 640 x 480 as stored, 480 x 640 as shown.
  const sideways = makeSidewaysJpeg(path.join(site, 'originals', 'upright.jpg'), 640, 480);
  convertInto(site, 'sideways', [sideways]);
  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// The page's width against the viewport's, the box and the canvas's CSS size.
function layout(page) {
  return page.evaluate(() => {
    const canvas = document.querySelector('.vgi-viewer canvas').getBoundingClientRect();
    return {
      scrollWidth: document.documentElement.scrollWidth,
      viewport: window.innerWidth,
      canvas: [canvas.width, canvas.height],
    };
  });
}

test('a 1024 x 768 page on a phone: no sideways scrolling, sharp, redrawn on rotation', async () => {
  const context = await browser.newContext({
    viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true,
  });
  const { page, problems } = await openPage(context, server.url('localhost', 'big/cloud study.html'));
  await waitFor(page, { showing: 'image' });
  // [viewport, what the canvas may be wide at most]
  for (const [viewport, widest] of [[{ width: 390, height: 844 }, 390 - 16 - 2 * BORDER], [{ width: 844, height: 390 }, 844 - 16 - 2 * BORDER]]) {
    await page.setViewportSize(viewport);
    const l = await until(async () => {
      const now = await layout(page);
      return now.viewport === viewport.width && Math.abs(now.canvas[0] - widest) < 1 ? now : null;
    }, `the box to fit ${viewport.width} pixels`);
    assert.ok(l.scrollWidth <= l.viewport, `no sideways scrolling: ${l.scrollWidth} > ${l.viewport}`);
    assert.ok(Math.abs(l.canvas[1] - (l.canvas[0] * 768) / 1024) < 1, `the proportions stay: ${l.canvas}`);
    const r = await boxRect(page);
    assert.ok(Math.abs(r.width - l.canvas[0] - 2 * BORDER) < 1, 'the border stays as it is');
    // The picture has the canvas's size in device pixels and matches the original
    // resized to it with the browser's best filter.
    const want = [Math.round(l.canvas[0] * 3), Math.round(l.canvas[1] * 3)];
    const c = await until(async () => {
      const got = await compareWithOriginal(page, '/originals/cloud.jpg');
      return Math.abs(got.width - want[0]) <= 1 && Math.abs(got.height - want[1]) <= 1 ? got : null;
    }, `a picture of ${want.join(' x ')} device pixels`);
    assert.equal(c.most, 0, `${c.differing} samples differ, by up to ${c.most}`);
  }
  assertNoProblems(problems);
  await context.close();
});

test('never enlarged: in a wide window the box keeps the page size', async () => {
  const context = await browser.newContext({ viewport: { width: 1600, height: 900 } });
  const { page, problems } = await openPage(context, server.url('localhost', 'big/cloud study.html'));
  await waitFor(page, { showing: 'image' });
  assert.deepEqual((await layout(page)).canvas, [1024, 768]);
  const c = await compareWithOriginal(page, '/originals/cloud.jpg');
  assert.deepEqual([c.width, c.height, c.most], [1024, 768, 0]);
  assertNoProblems(problems);
  await context.close();
});

test('a picture larger than its box is decoded at the box\'s size: upright, sharp, no larger copy', async () => {
  // [page, original, viewport width, the canvas's CSS size in it, how far its samples
  // may be from the original's resized]: a JPEG is decoded at a scale of eighths while
  // it arrives, then resized; a photo on its side is decoded whole, as before.
  const cases = [
    ['big/cloud study.html', 'cloud.jpg', 600, [600 - 16 - 2 * BORDER, ((600 - 16 - 2 * BORDER) * 768) / 1024], 6],
    ['sideways/upright.html', 'upright.jpg', 316, [300, 400], 0],
  ];
  const chunked = await startServer(site, { announceLength: false });
  // From a server that announces the length of its files, and one that does not.
  for (const [[url, original, width, css, near], from] of cases.flatMap((c) => [[c, server], [c, chunked]])) {
    const context = await browser.newContext({ viewport: { width, height: 700 } });
    await context.addInitScript(() => {
      window.__decoded = [];
      document.addEventListener('vgi:frameload', (e) => window.__decoded.push(e.detail.decodedBytes));
    });
    const { page, problems } = await openPage(context, from.url('localhost', url));
    await waitFor(page, { showing: 'image' });
    const l = await layout(page);
    assert.ok(Math.abs(l.canvas[0] - css[0]) < 1 && Math.abs(l.canvas[1] - css[1]) < 1, `${url}: canvas of ${l.canvas}`);
    const c = await compareWithOriginal(page, `/originals/${original}`);
    assert.deepEqual([c.width, c.height], css.map(Math.round), `${url}: the picture has the canvas's size`);
    assert.ok(c.most <= near, `${url}: ${c.differing} samples differ, by up to ${c.most}`);
    // What was decoded first is the box's size, not the whole picture.
    const decoded = await page.evaluate(() => window.__decoded[0]);
    assert.ok(decoded <= c.width * (c.height + 1) * 4, `${url}: ${decoded} bytes decoded first`);
    // A narrower window: decoded again at the new size, from the file.
    await page.setViewportSize({ width: width - 100, height: 700 });
    const narrow = [css[0] - 100, ((css[0] - 100) * css[1]) / css[0]].map(Math.round);
    const again = await until(async () => {
      const got = await compareWithOriginal(page, `/originals/${original}`);
      return got.width === narrow[0] ? got : null;
    }, `${url}: a picture ${narrow[0]} pixels wide`);
    assert.deepEqual([again.width, again.height, again.most], [...narrow, 0], `${url}: ${again.differing} samples differ`);
    assertNoProblems(problems);
    await context.close();
  }
  await chunked.close();
});
