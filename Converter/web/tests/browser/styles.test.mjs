// The presentation styles and display options of pages made by `vellagard convert`.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, magick, startServer, tempDir, until } from '../support/harness.mjs';
import {
  COLOURS, assertNoProblems, boxRect, canvasPixel, convertInto, hex, makeSolidImages, openPage,
  screenPixels, viewerState, waitFor,
} from '../support/browser.mjs';

const site = tempDir('vgi-styles-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
const img = makeSolidImages(src);
let server;
let browser;

const TEXT = [255, 255, 0];
const BACK = [32, 48, 64];
const BORDER = 7;
const LOOK = ['--background', hex(BACK), '--text-color', hex(TEXT), '--border', String(BORDER),
  '--loading', 'Loading now', '--status', 'Harbour, 1889'];
const RED = [...COLOURS.red, 255];
const GREEN = [...COLOURS.green, 255];
const BLUE = [...COLOURS.blue, 255];
const CLEAR = [0, 0, 0, 0];
// Latin-1 letters reach the page as single bytes, the others as character references.
const MESSAGE = 'Café « déjà vu » → 20 € ✓';

before(async () => {
  convertInto(site, 'text', [img.red], ['--style', 'text-to-image', '--message', 'Press here', ...LOOK]);
  convertInto(site, 'imgtext', [img.red], ['--style', 'image-to-text', '--message', 'By the artist', ...LOOK]);
  convertInto(site, 'imgimg', [img.red], ['--style', 'image-to-image', '--second-image', img.green, ...LOOK]);
  convertInto(site, 'slides', [img.red, img.green, img.blue], ['--style', 'slideshow', '--delay', '500', ...LOOK]);
  const gif = path.join(src, 'animated.gif');
  magick(['-delay', '50', '-size', '64x48', 'xc:rgb(255,0,0)', 'xc:rgb(0,160,0)', 'xc:rgb(0,0,255)', '-loop', '0', gif]);
  convertInto(site, 'anim', [gif], LOOK);
  convertInto(site, 'accents', [img.red], ['--style', 'text-to-image', '--message', MESSAGE, '--status', 'Photo: <Zoë> & "Ana"', ...LOOK.slice(0, -2)]);
  for (const frame of ['self', 'top', 'blank', 'main']) {
    convertInto(site, `link-${frame}`, [img.red], ['--link', `/landing.html?from=${frame}`, '--frame', frame, ...LOOK]);
  }
  const page = (body) => `<!DOCTYPE html><html><head><meta charset="utf-8"><title>t</title></head><body>${body}</body></html>`;
  fs.writeFileSync(path.join(site, 'landing.html'), page('<p>Landed</p>'));
  fs.writeFileSync(path.join(site, 'blank.html'), page('<p>Nothing yet</p>'));
  fs.writeFileSync(path.join(site, 'top.html'), page('<iframe src="link-top/red.html" width="200" height="200"></iframe>'));
  fs.writeFileSync(path.join(site, 'frames.html'), page(
    '<iframe name="main" src="blank.html" width="200" height="200"></iframe>' +
    '<iframe src="link-main/red.html" width="200" height="200"></iframe>'));
  fs.writeFileSync(path.join(site, 'selfframe.html'), page('<iframe src="link-self/red.html" width="200" height="200"></iframe>'));
  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// Moves the mouse over the viewer's box, or well away from it.
async function hover(page) {
  const r = await boxRect(page);
  await page.mouse.move(r.x + r.width / 2, r.y + r.height / 2);
}
async function leave(page) {
  await page.mouse.move(600, 500);
}

describe('box and text', () => {
  test('"Loading" shows in the text colour on the background until the bytes arrive', async () => {
    const release = server.gate('text/red_0064_0048_C.class');
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'text/red.html'));
    await waitFor(page, { showing: 'text', text: 'Loading now' });
    // A box of the page's size plus the border.
    const r = await boxRect(page);
    assert.deepEqual([r.width, r.height], [64 + 2 * BORDER, 48 + 2 * BORDER]);
    const px = await screenPixels(page, r);
    const all = px.flat();
    assert.ok(all.every((p) => nearly(p, BACK) || !nearly(p, [255, 255, 255])), 'nothing of the white page shows through');
    assert.ok(all.some((p) => nearly(p, TEXT, 40)), 'the text is drawn in the text colour');
    assert.ok(all.filter((p) => nearly(p, BACK)).length > all.length / 2, 'on the background colour');
    release();
    await waitFor(page, { showing: 'text', text: 'Press here' });
    assertNoProblems(problems);
    await context.close();
  });

  test('texts in any script arrive as typed: the page bytes and the template agree', async () => {
    const html = fs.readFileSync(path.join(site, 'accents', 'red.html'));
    assert.ok(html.includes(Buffer.from('Caf\xe9', 'latin1')), 'é is the single byte E9');
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'accents/red.html'));
    await waitFor(page, { showing: 'text', text: MESSAGE });
    await hover(page);
    const s = await waitFor(page, { showing: 'image' });
    assert.equal(s.label, 'Photo: <Zoë> & "Ana"');
    assertNoProblems(problems);
    await context.close();
  });

  test('border of the given width and colour around the image', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'imgtext/red.html'));
    await waitFor(page, { showing: 'image' });
    const r = await boxRect(page);
    const px = await screenPixels(page, r);
    for (let y = 0; y < px.length; y++) {
      for (let x = 0; x < px[y].length; x++) {
        const inRing = x < BORDER || y < BORDER || x >= px[y].length - BORDER || y >= px.length - BORDER;
        const want = inRing ? BACK : COLOURS.red;
        assert.deepEqual(px[y][x], want, `pixel ${x},${y}`);
      }
    }
    assertNoProblems(problems);
    await context.close();
  });
});

describe('styles', () => {
  test('text to image: the message until the pointer enters, then the image and the label', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'text/red.html'));
    await waitFor(page, { showing: 'text', text: 'Press here' });
    assert.deepEqual(await canvasPixel(page, 5, 5), CLEAR, 'no image on the canvas while the text shows');
    const colours = await page.evaluate(() => {
      const t = document.querySelector('.vgi-text');
      return [getComputedStyle(t).color, getComputedStyle(t).backgroundColor];
    });
    assert.deepEqual(colours, ['rgb(255, 255, 0)', 'rgb(32, 48, 64)']);
    await hover(page);
    const s = await waitFor(page, { showing: 'image', frame: 0 });
    assert.equal(s.label, 'Harbour, 1889');
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    await leave(page);
    const back = await waitFor(page, { showing: 'text', text: 'Press here' });
    assert.equal(back.label, null, 'the label goes with the pointer');
    assert.deepEqual(await canvasPixel(page, 5, 5), CLEAR);
    assertNoProblems(problems);
    await context.close();
  });

  test('image to text: the image, and the message while the pointer is over it', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'imgtext/red.html'));
    const s = await waitFor(page, { showing: 'image', frame: 0 });
    assert.equal(s.label, null);
    await hover(page);
    await waitFor(page, { showing: 'text', text: 'By the artist' });
    await leave(page);
    await waitFor(page, { showing: 'image', frame: 0 });
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    assertNoProblems(problems);
    await context.close();
  });

  test('image to image: the second image while the pointer is over the first', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'imgimg/red.html'));
    assert.equal((await waitFor(page, { showing: 'image', frame: 0 })).frames, '2');
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    await hover(page);
    await waitFor(page, { showing: 'image', frame: 1 });
    assert.deepEqual(await canvasPixel(page, 5, 5), GREEN);
    await leave(page);
    await waitFor(page, { showing: 'image', frame: 0 });
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    assertNoProblems(problems);
    await context.close();
  });

  test('touch screens: a tap acts as the pointer entering, a tap elsewhere as leaving', async () => {
    const context = await browser.newContext({ hasTouch: true });
    const { page, problems } = await openPage(context, server.url('localhost', 'text/red.html'));
    await waitFor(page, { showing: 'text', text: 'Press here' });
    await page.tap('.vgi-viewer');
    await waitFor(page, { showing: 'image', frame: 0 });
    await page.touchscreen.tap(600, 500);
    await waitFor(page, { showing: 'text', text: 'Press here' });
    assertNoProblems(problems);
    await context.close();
  });

  test('slideshow: every frame in order for the delay, looping', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, null, { clock: true });
    await page.addInitScript(() => {
      window.__loaded = [];
      document.addEventListener('vgi:frameload', (e) => window.__loaded.push(e.detail.index));
    });
    await page.goto(server.url('localhost', 'slides/slideshow.html'));
    const loaded = (i) => until(() => page.evaluate((k) => window.__loaded.includes(k), i), `frame ${i} decoded`);
    const expect = [[0, RED], [1, GREEN], [2, BLUE], [0, RED], [1, GREEN]];
    assert.equal((await waitFor(page, { showing: 'image', frame: 0 })).frames, '3');
    for (let step = 1; step < expect.length; step++) {
      const [was, wasColour] = expect[step - 1];
      const [next, colour] = expect[step];
      await loaded(next);
      await page.clock.runFor(499);
      assert.equal((await viewerState(page)).frame, String(was), `frame ${was} still shows after 499 ms`);
      assert.deepEqual(await canvasPixel(page, 5, 5), wasColour);
      await page.clock.runFor(1);
      // Due now: it shows as soon as the canvas has taken it over, with no more time run.
      await waitFor(page, { showing: 'image', frame: next });
      assert.deepEqual(await canvasPixel(page, 5, 5), colour);
    }
    assertNoProblems(problems);
    await context.close();
  });
});

test('an animated GIF plays its frames with their delays, looping', async () => {
  const context = await browser.newContext();
  const { page, problems } = await openPage(context, server.url('localhost', 'anim/animated.html'), { clock: true });
  await waitFor(page, { showing: 'image', frame: 0 });
  assert.deepEqual(await canvasPixel(page, 5, 5), RED);
  // Run the clock in steps until each next colour shows; never sooner than its delay.
  for (const colour of [GREEN, BLUE, RED, GREEN]) {
    let ran = 0;
    await until(async () => {
      if (nearly(await canvasPixel(page, 5, 5), colour)) return true;
      await page.clock.runFor(50);
      ran += 50;
      return false;
    }, `the GIF to show ${colour}`);
    assert.ok(ran >= 500, `the frame before ${colour} stayed 500 ms (ran ${ran})`);
  }
  assertNoProblems(problems);
  await context.close();
});

describe('link targets', () => {
  const landing = (frame) => server.url('localhost', 'landing.html') + `?from=${frame}`;

  test('_self: the page itself, or only its frame when framed', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'link-self/red.html'));
    await waitFor(page, { showing: 'image' });
    assert.equal(await page.evaluate(() => getComputedStyle(document.querySelector('.vgi-viewer')).cursor), 'pointer');
    await page.click('.vgi-viewer');
    await page.waitForURL(landing('self'));
    const framed = await openPage(context, server.url('localhost', 'selfframe.html'));
    const frame = await until(() => framed.page.frames().find((f) => f.url().includes('link-self')), 'the framed page');
    await frame.waitForSelector('.vgi-viewer[data-vgi-showing="image"]');
    await frame.click('.vgi-viewer');
    await until(() => framed.page.frames().some((f) => f.url() === landing('self')), 'the frame to navigate');
    assert.equal(framed.page.url(), server.url('localhost', 'selfframe.html'), 'the top page stays');
    assertNoProblems([...problems, ...framed.problems]);
    await context.close();
  });

  test('_top: the whole window leaves the framing page', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'top.html'));
    const frame = await until(() => page.frames().find((f) => f.url().includes('link-top')), 'the framed page');
    await frame.waitForSelector('.vgi-viewer[data-vgi-showing="image"]');
    await frame.click('.vgi-viewer');
    await page.waitForURL(landing('top'));
    assertNoProblems(problems);
    await context.close();
  });

  test('_blank: a new window, the page stays', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'link-blank/red.html'));
    await waitFor(page, { showing: 'image' });
    const [popup] = await Promise.all([context.waitForEvent('page'), page.click('.vgi-viewer')]);
    await popup.waitForURL(landing('blank'));
    assert.equal(page.url(), server.url('localhost', 'link-blank/red.html'));
    assert.equal(await popup.evaluate(() => window.opener), null, 'opened without access to this page');
    assertNoProblems(problems);
    await context.close();
  });

  test('a named frame', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'frames.html'));
    const frame = await until(() => page.frames().find((f) => f.url().includes('link-main')), 'the framed page');
    await frame.waitForSelector('.vgi-viewer[data-vgi-showing="image"]');
    await frame.click('.vgi-viewer');
    const main = page.frame({ name: 'main' });
    await until(() => main.url() === landing('main'), 'the frame named main to navigate');
    assert.equal(page.url(), server.url('localhost', 'frames.html'));
    assertNoProblems(problems);
    await context.close();
  });
});

describe('deterrents', () => {
  test('no context menu, no dragging, no selection over the viewer', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'imgtext/red.html'));
    await waitFor(page, { showing: 'image' });
    await page.evaluate(() => {
      window.__menu = null;
      window.addEventListener('contextmenu', (e) => (window.__menu = e.defaultPrevented));
    });
    await page.click('.vgi-viewer', { button: 'right' });
    const found = await page.evaluate(() => {
      const canvas = document.querySelector('.vgi-viewer canvas');
      const fire = (type, Kind) => !canvas.dispatchEvent(new Kind(type, { bubbles: true, cancelable: true }));
      return {
        menuPrevented: window.__menu,
        dragPrevented: fire('dragstart', DragEvent),
        selectPrevented: fire('selectstart', Event),
        userSelect: getComputedStyle(document.querySelector('.vgi-viewer')).userSelect,
        draggable: canvas.draggable,
      };
    });
    assert.deepEqual(found, { menuPrevented: true, dragPrevented: true, selectPrevented: true, userSelect: 'none', draggable: false });
    assertNoProblems(problems);
    await context.close();
  });

  test('the canvas is cleared while printing and drawn again after', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'imgtext/red.html'));
    await waitFor(page, { showing: 'image' });
    await page.evaluate(() => window.dispatchEvent(new Event('beforeprint')));
    assert.deepEqual(await canvasPixel(page, 5, 5), CLEAR);
    await page.evaluate(() => window.dispatchEvent(new Event('afterprint')));
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    // Print media without the events (print preview in some browsers).
    await page.emulateMedia({ media: 'print' });
    await until(async () => (await canvasPixel(page, 5, 5))[3] === 0, 'the canvas to clear for print media');
    await page.emulateMedia({ media: 'screen' });
    await until(async () => (await canvasPixel(page, 5, 5))[3] === 255, 'the image to come back');
    assertNoProblems(problems);
    await context.close();
  });
});

function nearly(p, want, tolerance = 0) {
  return p.every((v, i) => Math.abs(v - want[i]) <= tolerance);
}
