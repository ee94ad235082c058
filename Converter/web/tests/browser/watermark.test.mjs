// The watermark: a page carrying <param name="Watermark"> gets its text drawn into
// every picture, in every style and frame and in the printed box; a page without it
// draws the original exactly.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, test } from 'node:test';

import { launchBrowser, magick, samplesDir, startServer, tempDir, until } from '../support/harness.mjs';
import {
  assertNoProblems, boxRect, canvasAgainst, compareWithOriginal, convertInto, copyInto, openPage, waitFor,
} from '../support/browser.mjs';

const site = tempDir('vgi-watermark-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
const GREY = [128, 128, 128];
const MARK = 'Quillmere &#169; 2026';
let server;
let browser;

// Writes the watermark line into a generated page, right after "Label".
function addWatermark(page, text = MARK) {
  const html = fs.readFileSync(page, 'latin1');
  const marked = html.replace(/(\t<param name="Label" value="[^"]*" \/>\r?\n)/, `$1\t<param name="Watermark" value="${text}" />\r\n`);
  assert.notEqual(marked, html, `${page} has a Label line`);
  fs.writeFileSync(page, marked, 'latin1');
}

before(async () => {
  const grey = (name, w = 300, h = 200) => {
    const file = path.join(src, name);
    magick(['-size', `${w}x${h}`, `xc:rgb(${GREY.join(',')})`, '-define', 'png:exclude-chunk=all', file]);
    return file;
  };
  const one = grey('grey.png');
  const two = grey('grey2.png');
  for (const [folder, options, inputs] of [
    ['plain', [], [one]],
    ['link', [], [one]],
    ['text', ['--style', 'text-to-image', '--message', 'Press here'], [one]],
    ['imgtext', ['--style', 'image-to-text', '--message', 'By the artist'], [one]],
    ['imgimg', ['--style', 'image-to-image', '--second-image', two], [one]],
    ['slides', ['--style', 'slideshow', '--delay', '500'], [one, two]],
  ]) {
    const dir = convertInto(site, folder, inputs, options);
    if (folder !== 'plain') addWatermark(path.join(dir, folder === 'slides' ? 'slideshow.html' : 'grey.html'));
  }
  const gif = path.join(src, 'animated.gif');
  magick(['-delay', '50', '-size', '300x200', `xc:rgb(${GREY.join(',')})`, 'xc:rgb(100,100,100)', '-loop', '0', gif]);
  addWatermark(path.join(convertInto(site, 'anim', [gif]), 'animated.html'));
  const photo = path.join(samplesDir, 'meadow.png');
  fs.mkdirSync(path.join(site, 'originals'));
  copyInto(path.join(site, 'originals'), photo);
  convertInto(site, 'photo-plain', [photo]);
  addWatermark(path.join(convertInto(site, 'photo', [photo]), 'meadow.html'));
  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// The text shows as light letters with dark outlines over part of the picture only.
function assertMarked(stats, what) {
  assert.equal(stats.clear, 0, `${what}: the picture is drawn`);
  assert.ok(stats.lighter > stats.total * 0.01, `${what}: light letters (${stats.lighter} of ${stats.total})`);
  assert.ok(stats.darker > stats.total * 0.005, `${what}: dark outlines (${stats.darker} of ${stats.total})`);
  assert.ok(stats.same > stats.total * 0.5, `${what}: most of the picture as it is (${stats.same} of ${stats.total})`);
}

test('a page without the watermark draws the original exactly, the same page with it does not', async () => {
  const context = await browser.newContext();
  for (const [folder, marked] of [['photo-plain', false], ['photo', true]]) {
    const { page, problems } = await openPage(context, server.url('localhost', `${folder}/meadow.html`));
    await waitFor(page, { showing: 'image' });
    const r = await compareWithOriginal(page, '/originals/meadow.png');
    if (marked) assert.ok(r.differing > r.width * r.height * 0.01, `${folder}: ${r.differing} samples differ`);
    else assert.equal(r.most, 0, `${folder}: ${r.differing} samples differ, by up to ${r.most}`);
    assertNoProblems(problems);
    await page.close();
  }
  const { page } = await openPage(context, server.url('localhost', 'plain/grey.html'));
  await waitFor(page, { showing: 'image' });
  const s = await canvasAgainst(page, GREY);
  assert.equal(s.same, s.total, 'nothing drawn over the grey picture');
  await context.close();
});

test('every style and every frame carries the mark', async () => {
  const context = await browser.newContext();
  const hover = async (page) => {
    const r = await boxRect(page);
    await page.mouse.move(r.x + r.width / 2, r.y + r.height / 2);
  };
  // [page, how to bring the picture (or the second one) up]
  const cases = [
    ['link/grey.html', null],
    ['text/grey.html', hover],
    ['imgtext/grey.html', null],
    ['imgimg/grey.html', null],
    ['imgimg/grey.html', hover],
  ];
  for (const [rel, act] of cases) {
    const { page, problems } = await openPage(context, server.url('localhost', rel));
    await page.mouse.move(900, 700);
    await waitFor(page, rel.startsWith('text') ? { showing: 'text', text: 'Press here' } : { showing: 'image', frame: 0 });
    if (act) await act(page);
    await waitFor(page, { showing: 'image', frame: rel.startsWith('imgimg') && act ? 1 : 0 });
    assertMarked(await canvasAgainst(page, GREY), rel);
    assertNoProblems(problems);
    await page.close();
  }

  const { page, problems } = await openPage(context, server.url('localhost', 'slides/slideshow.html'), { clock: true });
  await page.mouse.move(900, 700);
  for (const frame of [0, 1]) {
    await until(async () => {
      const st = await page.evaluate(() => document.querySelector('.vgi-viewer').dataset.vgiFrame);
      if (st === String(frame)) return true;
      await page.clock.runFor(100);
      return false;
    }, `slide ${frame}`);
    await waitFor(page, { showing: 'image', frame });
    assertMarked(await canvasAgainst(page, GREY), `slide ${frame}`);
  }
  assertNoProblems(problems);
  await context.close();
});

test('each frame of an animated GIF carries the mark', async () => {
  const context = await browser.newContext();
  const { page, problems } = await openPage(context, server.url('localhost', 'anim/animated.html'), { clock: true });
  await waitFor(page, { showing: 'image', frame: 0 });
  assertMarked(await canvasAgainst(page, GREY), 'GIF frame 1');
  const second = await until(async () => {
    const s = await canvasAgainst(page, [100, 100, 100]);
    if (s.same > s.total * 0.5) return s;
    await page.clock.runFor(100);
    return null;
  }, 'the second GIF frame');
  assertMarked(second, 'GIF frame 2');
  assertNoProblems(problems);
  await context.close();
});

test('the printed box carries the mark alone', async () => {
  const context = await browser.newContext();
  const { page, problems } = await openPage(context, server.url('localhost', 'imgtext/grey.html'));
  await waitFor(page, { showing: 'image' });
  await page.evaluate(() => window.dispatchEvent(new Event('beforeprint')));
  const printed = await until(async () => {
    const s = await canvasAgainst(page, GREY);
    return s.clear > 0 ? s : null;
  }, 'the printed view');
  assert.equal(printed.opaque, 0, 'no picture in the printed box: only the see-through mark');
  assert.ok(printed.clear > printed.total * 0.5 && printed.clear < printed.total, 'the mark alone');
  await page.evaluate(() => window.dispatchEvent(new Event('afterprint')));
  await until(async () => (await canvasAgainst(page, GREY)).clear === 0, 'the picture back');
  assertMarked(await canvasAgainst(page, GREY), 'after printing');
  assertNoProblems(problems);
  await context.close();
});
