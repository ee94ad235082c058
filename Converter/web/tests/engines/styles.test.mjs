// Each presentation style's basic behaviour in Firefox and WebKit: the pointer over the
// box, the slideshow's frames, an animated GIF's frames, the link, the border.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { magick, startServer, tempDir, until } from '../support/harness.mjs';
import {
  COLOURS, boxRect, canvasPixel, convertInto, hex, makeSolidImages, screenPixels, viewerState, waitFor,
} from '../support/browser.mjs';
import { ENGINES, launchEngine } from '../support/engines.mjs';

const site = tempDir('vgi-engine-styles-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
const img = makeSolidImages(src);
let server;

const BACK = [32, 48, 64];
const BORDER = 7;
const LOOK = ['--background', hex(BACK), '--text-color', 'FFFF00', '--border', String(BORDER), '--status', 'Harbour, 1889'];
const RED = [...COLOURS.red, 255];
const GREEN = [...COLOURS.green, 255];
const BLUE = [...COLOURS.blue, 255];
const CLEAR = [0, 0, 0, 0];

before(async () => {
  convertInto(site, 'text', [img.red], ['--style', 'text-to-image', '--message', 'Press here', ...LOOK]);
  convertInto(site, 'imgtext', [img.red], ['--style', 'image-to-text', '--message', 'By the artist', ...LOOK]);
  convertInto(site, 'imgimg', [img.red], ['--style', 'image-to-image', '--second-image', img.green, ...LOOK]);
  convertInto(site, 'slides', [img.red, img.green, img.blue], ['--style', 'slideshow', '--delay', '300', ...LOOK]);
  const gif = path.join(src, 'animated.gif');
  magick(['-delay', '30', '-size', '64x48', 'xc:rgb(255,0,0)', 'xc:rgb(0,160,0)', 'xc:rgb(0,0,255)', '-loop', '0', gif]);
  convertInto(site, 'anim', [gif], LOOK);
  convertInto(site, 'link', [img.red], ['--link', '/landing.html?from=self', ...LOOK]);
  convertInto(site, 'steps', [img.red, img.green, img.blue], ['--style', 'slideshow', '--delay', '60000', ...LOOK]);
  fs.writeFileSync(path.join(site, 'landing.html'), '<!DOCTYPE html><html><head><title>t</title></head><body><p>Landed</p></body></html>');
  server = await startServer(site);
});
after(() => server?.close());

function same(p, want) {
  return p.every((v, i) => v === want[i]);
}

for (const engine of ENGINES) {
  describe(engine, () => {
    let browser;
    before(async () => {
      browser = await launchEngine(engine);
    });
    after(() => browser?.close());

    const hover = async () => {
      const r = await boxRect(browser);
      await browser.mouse(r.x + r.width / 2, r.y + r.height / 2);
    };
    const leave = () => browser.mouse(600, 500);
    const open = async (rel) => {
      await leave();
      await browser.goto(server.url('localhost', rel));
    };

    test('text to image: the message until the pointer enters, then the image and the label', async () => {
      await open('text/red.html');
      await waitFor(browser, { showing: 'text', text: 'Press here' });
      assert.deepEqual(await canvasPixel(browser, 5, 5), CLEAR);
      await hover();
      const s = await waitFor(browser, { showing: 'image', frame: 0 });
      assert.equal(s.label, 'Harbour, 1889');
      assert.deepEqual(await canvasPixel(browser, 5, 5), RED);
      await leave();
      const back = await waitFor(browser, { showing: 'text', text: 'Press here' });
      assert.equal(back.label, null);
      assert.deepEqual(await canvasPixel(browser, 5, 5), CLEAR);
      assert.deepEqual(await browser.problems(), []);
    });

    test('image to text: the image, and the message while the pointer is over it', async () => {
      await open('imgtext/red.html');
      await waitFor(browser, { showing: 'image', frame: 0 });
      await hover();
      await waitFor(browser, { showing: 'text', text: 'By the artist' });
      await leave();
      await waitFor(browser, { showing: 'image', frame: 0 });
      assert.deepEqual(await canvasPixel(browser, 5, 5), RED);
      assert.deepEqual(await browser.problems(), []);
    });

    test('image to image: the second image while the pointer is over the first', async () => {
      await open('imgimg/red.html');
      await waitFor(browser, { showing: 'image', frame: 0 });
      await hover();
      await waitFor(browser, { showing: 'image', frame: 1 });
      assert.deepEqual(await canvasPixel(browser, 5, 5), GREEN);
      await leave();
      await waitFor(browser, { showing: 'image', frame: 0 });
      assert.deepEqual(await canvasPixel(browser, 5, 5), RED);
      assert.deepEqual(await browser.problems(), []);
    });

    test('slideshow: the frames in order, looping, each drawn as it is shown', async () => {
      await open('slides/slideshow.html');
      for (const [frame, colour] of [[0, RED], [1, GREEN], [2, BLUE], [0, RED]]) {
        await waitFor(browser, { showing: 'image', frame });
        // The canvas may lag the state by a frame's drawing; it never shows another frame.
        const px = await until(async () => {
          const p = await canvasPixel(browser, 5, 5);
          return same(p, colour) || (await viewerState(browser)).frame !== String(frame) ? p : null;
        }, `frame ${frame} drawn`);
        if ((await viewerState(browser)).frame === String(frame)) assert.deepEqual(px, colour);
      }
      assert.deepEqual(await browser.problems(), []);
    });

    // Firefox 153's ImageDecoder hands back an empty frame (width 0) when a frame is
    // decoded a second time; the viewer then plays the GIF through its own decoder.
    test('an animated GIF plays its frames, looping', async () => {
      await open('anim/animated.html');
      await waitFor(browser, { showing: 'image', frame: 0 });
      // WebKit, which has no ImageDecoder, plays it through the viewer's own decoder.
      assert.equal(await browser.evaluate(() => typeof ImageDecoder), browser.supports.imageDecoder ? 'function' : 'undefined');
      for (const colour of [RED, GREEN, BLUE, RED, GREEN]) {
        await until(async () => same(await canvasPixel(browser, 5, 5), colour), `the GIF to show ${colour}`);
      }
      assert.deepEqual(await browser.problems(), []);
    });

    test('targeted link: a click opens the link', async () => {
      await open('link/red.html');
      await waitFor(browser, { showing: 'image' });
      const r = await boxRect(browser);
      await browser.click(r.x + r.width / 2, r.y + r.height / 2);
      await until(async () => (await browser.url()).endsWith('/landing.html?from=self'), 'the landing page');
    });

    test('border of the given width and colour around the image', async () => {
      await open('imgtext/red.html');
      await waitFor(browser, { showing: 'image' });
      const r = await boxRect(browser);
      assert.deepEqual([r.width, r.height], [64 + 2 * BORDER, 48 + 2 * BORDER]);
      // WebKit's screenshot can lag the canvas by a paint: wait until it shows the picture.
      const mid = [Math.floor(r.width / 2), Math.floor(r.height / 2)];
      const px = await until(async () => {
        const shot = await screenPixels(browser, r);
        return same(shot[mid[1]][mid[0]], COLOURS.red) ? shot : null;
      }, 'a screenshot with the picture');
      const wrong = [];
      for (let y = 0; y < px.length; y++) {
        for (let x = 0; x < px[y].length; x++) {
          const inRing = x < BORDER || y < BORDER || x >= px[y].length - BORDER || y >= px.length - BORDER;
          if (!same(px[y][x], inRing ? BACK : COLOURS.red)) wrong.push(`${x},${y}: ${px[y][x]}`);
        }
      }
      assert.deepEqual(wrong.slice(0, 5), [], `${wrong.length} pixels differ`);
      assert.deepEqual(await browser.problems(), []);
    });

    describe('the keyboard', () => {
      // Tab from the top of the page to the box; resolves when the box has the focus.
      const focusBox = async () => {
        await browser.press('Tab');
        await until(() => browser.evaluate(() => !!document.activeElement?.closest('.vgi-viewer')), 'the box to take the focus');
      };

      // [page, state before, after Enter, after Escape] for the styles that react
      // to the pointer.
      const cases = [
        ['text/red.html', { showing: 'text', text: 'Press here' }, { showing: 'image', frame: 0 }],
        ['imgtext/red.html', { showing: 'image', frame: 0 }, { showing: 'text', text: 'By the artist' }],
        ['imgimg/red.html', { showing: 'image', frame: 0 }, { showing: 'image', frame: 1 }],
      ];
      for (const [rel, before, entered] of cases) {
        test(`${rel.split('/')[0]}: Enter or Space acts as the pointer entering, Escape or leaving the focus as leaving`, async () => {
          await open(rel);
          await waitFor(browser, before);
          await focusBox();
          for (const key of ['Enter', ' ']) {
            await browser.press(key);
            await waitFor(browser, entered);
            await browser.press('Escape');
            await waitFor(browser, before);
          }
          // The focus leaves the box for the page (a Tab from the last thing on a page
          // goes to the browser's own bar, where the page keeps its active element).
          // Only a document with the system's focus gets blur events: not headless Firefox.
          if (await browser.evaluate(() => document.hasFocus())) {
            await browser.press('Enter');
            await waitFor(browser, entered);
            await browser.click(600, 500);
            await until(() => browser.evaluate(() => !document.activeElement?.closest('.vgi-viewer')), 'the focus to leave');
            await waitFor(browser, before);
          }
          assert.deepEqual(await browser.problems(), []);
        });
      }

      test('slideshow: the arrow keys step through the frames', async () => {
        await open('steps/slideshow.html');
        await waitFor(browser, { showing: 'image', frame: 0 });
        await focusBox();
        for (const [key, frame, colour] of [['ArrowRight', 1, GREEN], ['ArrowRight', 2, BLUE], ['ArrowRight', 0, RED], ['ArrowLeft', 2, BLUE]]) {
          await browser.press(key);
          await waitFor(browser, { showing: 'image', frame });
          await until(async () => same(await canvasPixel(browser, 5, 5), colour), `frame ${frame} drawn`);
        }
        assert.deepEqual(await browser.problems(), []);
      });

      test('targeted link: Enter opens it', async () => {
        await open('link/red.html');
        await waitFor(browser, { showing: 'image' });
        await focusBox();
        await browser.press('Enter');
        await until(async () => (await browser.url()).endsWith('/landing.html?from=self'), 'the landing page');
      });
    });
  });
}
