// Time from navigation to the first frame with the whole picture in Firefox and WebKit:
// the same 4000 x 3000 JPEG shown through the viewer against a plain <img> page, in one
// run of each engine, turn about. These engines have no element timing, so the figure
// is the page's own record, both from the start of the navigation: for the <img> the
// frame after the window's load event (which waits for the image); for the viewer the
// frame after its box reports the picture shown (the canvas is drawn whole, in one go).
//
//   xvfb-run -a node bench/viewer/engines_first_frame.mjs [--runs N] [firefox] [webkit]
//
// WebKit (MiniBrowser) needs a display, hence xvfb-run. Uses build/bin (VG_BIN_DIR
// overrides). Not a test: it prints figures and fails only when something does not work.
import fs from 'node:fs';
import path from 'node:path';

import { convert, magick, startServer, tempDir } from '../../Converter/web/tests/support/harness.mjs';
import { launchEngine } from '../../Converter/web/tests/support/engines.mjs';

const args = process.argv.slice(2);
const runs = Number(args[args.indexOf('--runs') + 1]) || 7;
const engines = args.filter((a) => a === 'firefox' || a === 'webkit');
if (engines.length === 0) engines.push('firefox', 'webkit');

const site = tempDir('vgi-bench-engines-');
const photo = path.join(site, 'photo.jpg');
magick(['-size', '4000x3000', 'plasma:fractal', '-blur', '0x1', '+noise', 'Gaussian', '-attenuate', '0.6',
  '-quality', '88', '-sampling-factor', '2x2', photo]);
convert([photo], path.join(site, 'viewer'), ['--loading', '', '--status', '']);
fs.mkdirSync(path.join(site, 'plain'));
fs.copyFileSync(photo, path.join(site, 'plain', 'photo.jpg'));
fs.writeFileSync(path.join(site, 'plain', 'photo.html'),
  '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="windows-1252">\n<title>Plain image</title>\n</head>\n' +
  '<body>\n<img src="photo.jpg" width="4000" height="3000" alt="">\n</body>\n</html>\n');
const server = await startServer(site);

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

for (const engine of engines) {
  const browser = await launchEngine(engine, { width: 1024, height: 768 });
  const measure = async (rel) => {
    await browser.goto(server.url('localhost', rel));
    const t = await browser.evaluate(async () => {
      const frame = () => new Promise((r) => requestAnimationFrame(() => r(performance.now())));
      const box = document.querySelector('.vgi-viewer');
      if (!box) {
        // The <img> has loaded by the window's load event; it shows in the next frame.
        const img = document.querySelector('img');
        if (!img.complete || img.naturalWidth !== 4000) throw new Error('the plain picture did not load');
        const nav = performance.getEntriesByType('navigation')[0];
        return nav.loadEventStart + (await frame()) - performance.now();
      }
      if (box.dataset.vgiShowing === 'image') return -1; // drawn before we could watch
      await new Promise((resolve, reject) => {
        const timer = setTimeout(() => reject(new Error('the picture was not shown within 60 s')), 60000);
        new MutationObserver((_, observer) => {
          if (box.dataset.vgiShowing !== 'image') return;
          observer.disconnect();
          clearTimeout(timer);
          resolve();
        }).observe(box, { attributes: true, attributeFilter: ['data-vgi-showing'] });
      });
      return frame();
    });
    return t;
  };
  await measure('plain/photo.html'); // warm up the browser and the disk cache
  await measure('viewer/photo.html');
  const times = { plain: [], viewer: [] };
  let early = 0;
  for (let i = 0; i < runs; i++) {
    times.plain.push(await measure('plain/photo.html'));
    const v = await measure('viewer/photo.html');
    if (v < 0) early++;
    else times.viewer.push(v);
  }
  if (times.viewer.length === 0) throw new Error(`${engine}: the viewer was always drawn before the page's load event`);
  await browser.close();
  const plain = median(times.plain);
  const viewer = median(times.viewer);
  console.log(`${engine}: plain <img> ${plain.toFixed(0)} ms, viewer ${viewer.toFixed(0)} ms: ` +
    `${(viewer / plain).toFixed(2)} x (median of ${runs} runs each${early ? `, ${early} viewer runs drawn before load left out` : ''})`);
}
await server.close();
