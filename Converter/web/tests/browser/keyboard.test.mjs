// The keyboard, screen readers and reduced motion: every style that reacts to the
// pointer reacts to the keyboard too, a slideshow can be paused and stepped, and
// nothing moves on its own for a visitor who asked for less motion.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { launchBrowser, magick, startServer, tempDir, until } from '../support/harness.mjs';
import {
  COLOURS, assertNoProblems, boxRect, canvasPixel, convertInto, makeSolidImages, openPage, viewerState, waitFor,
} from '../support/browser.mjs';

const site = tempDir('vgi-keys-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
const img = makeSolidImages(src);
const RED = [...COLOURS.red, 255];
const GREEN = [...COLOURS.green, 255];
let server;
let browser;

before(async () => {
  const look = ['--status', 'Harbour, 1889', '--loading', 'Loading now'];
  convertInto(site, 'text', [img.red], ['--style', 'text-to-image', '--message', 'Press here', ...look]);
  convertInto(site, 'imgtext', [img.red], ['--style', 'image-to-text', '--message', 'By the artist', ...look]);
  convertInto(site, 'imgimg', [img.red], ['--style', 'image-to-image', '--second-image', img.green, ...look]);
  convertInto(site, 'slides', [img.red, img.green, img.blue], ['--style', 'slideshow', '--delay', '500', ...look]);
  convertInto(site, 'link', [img.red], ['--link', '/landing.html', ...look]);
  const gif = path.join(src, 'animated.gif');
  magick(['-delay', '50', '-size', '64x48', 'xc:rgb(255,0,0)', 'xc:rgb(0,160,0)', 'xc:rgb(0,0,255)', '-loop', '0', gif]);
  convertInto(site, 'anim', [gif]);
  fs.writeFileSync(path.join(site, 'landing.html'), '<!DOCTYPE html><html><head><title>t</title></head><body><p>Landed</p></body></html>');
  server = await startServer(site);
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  await server?.close();
});

// The accessible name of viewer 0 and what its status line says.
function spoken(page) {
  return page.evaluate(() => {
    const box = document.querySelector('.vgi-viewer');
    const status = document.querySelector('.vgi-status');
    return { name: box.getAttribute('aria-label'), status: status.textContent, live: status.getAttribute('role') };
  });
}

describe('keyboard', () => {
  // [folder and page, what shows at first, what shows after Enter or Space]
  const cases = [
    ['text/red.html', { showing: 'text', text: 'Press here' }, { showing: 'image', frame: 0 }],
    ['imgtext/red.html', { showing: 'image', frame: 0 }, { showing: 'text', text: 'By the artist' }],
    ['imgimg/red.html', { showing: 'image', frame: 0 }, { showing: 'image', frame: 1 }],
  ];
  for (const [rel, first, entered] of cases) {
    test(`${rel.split('/')[0]}: Tab focuses, Enter and Space enter, Escape and leaving the focus leave`, async () => {
      const context = await browser.newContext();
      const { page, problems } = await openPage(context, server.url('localhost', rel));
      await waitFor(page, first);
      await page.keyboard.press('Tab');
      assert.equal(await page.evaluate(() => document.activeElement.className), 'vgi-viewer');
      for (const key of ['Enter', 'Space']) {
        await page.keyboard.press(key);
        await waitFor(page, entered);
        assert.equal((await viewerState(page)).label, 'Harbour, 1889', 'the label shows as under the pointer');
        await page.keyboard.press('Escape');
        await waitFor(page, first);
      }
      await page.keyboard.press('Enter');
      await waitFor(page, entered);
      await page.evaluate(() => document.activeElement.blur());
      await waitFor(page, first);
      assert.equal(await page.evaluate(() => window.scrollY), 0, 'Space did not scroll the page');
      assertNoProblems(problems);
      await context.close();
    });
  }

  test('targeted link: Tab reaches it and Enter opens it', async () => {
    const context = await browser.newContext();
    const { page, problems } = await openPage(context, server.url('localhost', 'link/red.html'));
    await waitFor(page, { showing: 'image' });
    await page.keyboard.press('Tab');
    assert.equal(await page.evaluate(() => document.activeElement.tagName), 'A');
    await page.keyboard.press('Enter');
    await page.waitForURL(server.url('localhost', 'landing.html'));
    assertNoProblems(problems);
    await context.close();
  });
});

describe('slideshow controls', () => {
  async function openSlides(options = {}) {
    const context = await browser.newContext(options);
    const { page, problems } = await openPage(context, null, { clock: true });
    await page.addInitScript(() => {
      window.__loaded = [];
      document.addEventListener('vgi:frameload', (e) => window.__loaded.push(e.detail.index));
    });
    await page.goto(server.url('localhost', 'slides/slideshow.html'));
    await waitFor(page, { showing: 'image', frame: 0 });
    await until(() => page.evaluate(() => window.__loaded.includes(1)), 'frame 1 decoded');
    return { context, page, problems };
  }
  const frameNow = async (page) => (await viewerState(page)).frame;

  test('pauses while hovered and while focused; Space pauses and plays; the arrows step', async () => {
    const { context, page, problems } = await openSlides();
    // Hovered: it stays.
    const r = await boxRect(page);
    await page.mouse.move(r.x + r.width / 2, r.y + r.height / 2);
    await page.clock.runFor(2000);
    assert.equal(await frameNow(page), '0', 'no change while the pointer is over it');
    await page.mouse.move(600, 500);
    await page.clock.runFor(500);
    await waitFor(page, { showing: 'image', frame: 1 });

    // Focused: it stays; the arrows step, both ways, round the ends.
    await page.keyboard.press('Tab');
    await page.clock.runFor(2000);
    assert.equal(await frameNow(page), '1', 'no change while it has the focus');
    for (const [key, want] of [['ArrowRight', 2], ['ArrowRight', 0], ['ArrowLeft', 2], ['ArrowUp', 1], ['ArrowDown', 2]]) {
      await page.keyboard.press(key);
      await waitFor(page, { showing: 'image', frame: want });
    }
    // Space plays it, focused as it is; Space again pauses it, and it stays paused
    // after the focus has gone.
    await page.keyboard.press('Space');
    await page.clock.runFor(500);
    await waitFor(page, { showing: 'image', frame: 0 });
    await page.keyboard.press('Space');
    await page.evaluate(() => document.activeElement.blur());
    await page.clock.runFor(3000);
    assert.equal(await frameNow(page), '0', 'paused by Space');
    assert.deepEqual(await canvasPixel(page, 5, 5), RED);
    assert.equal(await page.evaluate(() => window.scrollY), 0, 'the keys did not scroll the page');
    assertNoProblems(problems);
    await context.close();
  });

  test('reduced motion: no advancing on its own, the arrows still step', async () => {
    const { context, page, problems } = await openSlides({ reducedMotion: 'reduce' });
    await page.clock.runFor(3000);
    assert.equal(await frameNow(page), '0');
    await page.focus('.vgi-viewer');
    await page.keyboard.press('ArrowRight');
    await waitFor(page, { showing: 'image', frame: 1 });
    assert.deepEqual(await canvasPixel(page, 5, 5), GREEN);
    assertNoProblems(problems);
    await context.close();
  });

  test('off screen it neither advances nor fetches, and goes on where it was', async () => {
    const { context, page, problems } = await openSlides();
    await page.evaluate(() => {
      const spacer = document.createElement('div');
      spacer.style.height = '5000px';
      document.body.prepend(spacer);
      window.scrollTo(0, 0);
    });
    // The viewer's observers report before this one, made later.
    await page.evaluate(() => new Promise((resolve) => {
      new IntersectionObserver((records, observer) => {
        if (!records[0].isIntersecting) {
          observer.disconnect();
          resolve();
        }
      }).observe(document.querySelector('.vgi-viewer'));
    }));
    const before = server.requests.length;
    await page.clock.runFor(3000);
    assert.equal(await frameNow(page), '0', 'no advancing off screen');
    assert.equal(server.requests.length, before, 'no fetching off screen');
    // Back on screen: once the viewer has been told (its observer reports before this
    // one), the slideshow goes on from where it was.
    await page.evaluate(() => new Promise((resolve) => {
      const box = document.querySelector('.vgi-viewer');
      new IntersectionObserver((records, observer) => {
        if (records[records.length - 1].isIntersecting) {
          observer.disconnect();
          resolve();
        }
      }).observe(box);
      box.scrollIntoView();
    }));
    assert.equal(await frameNow(page), '0', 'back on screen at the frame it stopped at');
    await page.clock.runFor(600); // one delay of 500 ms
    await waitFor(page, { showing: 'image', frame: 1 });
    assertNoProblems(problems);
    await context.close();
  });
});

test('reduced motion: an animated GIF shows its first frame until entered', async () => {
  const context = await browser.newContext({ reducedMotion: 'reduce' });
  const { page, problems } = await openPage(context, server.url('localhost', 'anim/animated.html'), { clock: true });
  await waitFor(page, { showing: 'image', frame: 0 });
  await page.clock.runFor(2000);
  assert.deepEqual(await canvasPixel(page, 5, 5), RED, 'still the first frame');
  const r = await boxRect(page);
  await page.mouse.move(r.x + 5, r.y + 5);
  await until(async () => {
    if ((await canvasPixel(page, 5, 5))[1] === 160) return true;
    await page.clock.runFor(100);
    return false;
  }, 'the GIF to play while the pointer is over it');
  await page.mouse.move(600, 500);
  await until(async () => (await canvasPixel(page, 5, 5))[0] === 255, 'the first frame again');
  assertNoProblems(problems);
  await context.close();
});

test('the accessible name follows what the box shows, on a polite status line', async () => {
  const release = server.gate('text/red_0064_0048_C.class');
  const context = await browser.newContext();
  const { page, problems } = await openPage(context, server.url('localhost', 'text/red.html'));
  await waitFor(page, { showing: 'text', text: 'Loading now' });
  assert.deepEqual(await spoken(page), { name: 'Loading now', status: 'Loading now', live: 'status' });
  release();
  await waitFor(page, { showing: 'text', text: 'Press here' });
  assert.equal((await spoken(page)).name, 'Press here');
  await page.focus('.vgi-viewer');
  await page.keyboard.press('Enter');
  await waitFor(page, { showing: 'image' });
  assert.deepEqual(await spoken(page), { name: 'Harbour, 1889', status: 'Harbour, 1889', live: 'status' });
  assertNoProblems(problems);
  await context.close();
});
