// An author's gallery: 30 generated <object> blocks pasted into one long page, opened in
// Firefox and WebKit. Only the boxes near the screen fetch their files; the others
// fetch theirs when scrolled to.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { magick, startServer, tempDir, until } from '../support/harness.mjs';
import { convertInto, waitFor } from '../support/browser.mjs';
import { ENGINES, launchEngine } from '../support/engines.mjs';

const site = tempDir('vgi-engine-gallery-');
const COUNT = 30;
let server;
let files = []; // the protected file of each box, in page order

before(async () => {
  const src = path.join(site, 'src');
  fs.mkdirSync(src);
  // 30 photos of 320 x 240, one colour each, made by one ImageMagick run.
  const colours = Array.from({ length: COUNT }, (_, i) => `hsl(${i * 12},80%,50%)`);
  magick(['-size', '320x240', ...colours.map((c) => `xc:${c}`), '+adjoin', path.join(src, 'photo-%02d.png')]);
  const inputs = colours.map((_, i) => path.join(src, `photo-${String(i).padStart(2, '0')}.png`));
  const dir = convertInto(site, 'gallery', inputs);
  // The author pastes each page's <object> block into one page of their own.
  const blocks = inputs.map((f) => {
    const html = fs.readFileSync(path.join(dir, path.basename(f, '.png') + '.html'), 'latin1');
    return html.match(/<object class="vgi"[\s\S]*?<\/object>/)[0];
  });
  files = blocks.map((b) => b.match(/name="Frame000" value="([^"]+)"/)[1]);
  fs.writeFileSync(path.join(dir, 'index.html'), [
    '<!DOCTYPE html><html lang="en"><head><meta charset="windows-1252">',
    '<meta name="viewport" content="width=device-width, initial-scale=1">',
    '<title>Gallery</title><script src="vgi.js" defer></script></head><body><h1>Gallery</h1>',
    ...blocks.map((b, i) => `<div><p>Photo ${i + 1}</p>\n${b}\n</div>`),
    '</body></html>',
  ].join('\n'), 'latin1');
  server = await startServer(site);
});
after(() => server?.close());

// The boxes whose files the server was asked for, by index.
function fetched() {
  const asked = new Set(server.requests);
  return files.map((f, i) => (asked.has(`/gallery/${f}`) ? i : -1)).filter((i) => i >= 0);
}

for (const engine of ENGINES) {
  describe(engine, () => {
    let browser;
    before(async () => {
      browser = await launchEngine(engine, { width: 1024, height: 768 });
    });
    after(() => browser?.close());

    test('30 boxes: the first screen fetches a few, scrolling fetches what comes near', async (t) => {
      server.requests.length = 0;
      await browser.goto(server.url('localhost', 'gallery/index.html'));
      await waitFor(browser, { showing: 'image', frame: 0 }, 0);
      // The browser's own account agrees with the server's once the fetches in flight
      // have finished: a resource entry appears only when its response is complete.
      const first = await until(async () => {
        const asked = fetched();
        const resources = (await browser.resources()).filter((u) => u.endsWith('.class'));
        return resources.length === asked.length && asked;
      }, 'the browser to account for every file the server sent');
      assert.ok(first.includes(0), 'the first box fetched its file');
      assert.ok(first.length < 12, `before any scrolling ${first.length} boxes fetched: ${first}`);
      assert.ok(!first.includes(15) && !first.includes(COUNT - 1), `far boxes wait: ${first}`);

      // Straight to the end of the page: the last boxes load, the middle ones still wait.
      await browser.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight));
      await waitFor(browser, { showing: 'image', frame: 0 }, COUNT - 1);
      const second = fetched();
      assert.ok(second.includes(COUNT - 1), 'the last box fetched its file');
      assert.ok(!second.includes(15), `the middle box still waits: ${second}`);
      assert.ok(second.length < COUNT, `${second.length} boxes fetched`);
      t.diagnostic(`boxes fetched at the top: ${first.join(' ')}; after scrolling to the end: ${second.join(' ')}`);

      // And to the middle.
      await browser.evaluate(() => document.querySelectorAll('.vgi-viewer')[15].scrollIntoView());
      await waitFor(browser, { showing: 'image', frame: 0 }, 15);
      assert.ok(fetched().includes(15));
      assert.deepEqual(await browser.problems(), []);
    });
  });
}
