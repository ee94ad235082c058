// Time from navigation to the first drawn frame: a 4000 x 3000 JPEG of about 5 MB
// shown through the viewer (protected file, vgi.js, canvas) against the same JPEG in
// a plain <img> page, in the same Chromium run, turn about; and the same viewer page
// with a watermark drawn over the picture. Each from a server that announces the
// length of its files, as static file servers do, and from one that does not (a
// keyless file is then decoded only once it is complete).
//
//   node bench/viewer/first_frame.mjs [--runs N] [--keep]
//
// Uses build/bin (VG_BIN_DIR overrides) for `vellagard convert`, ImageMagick for the
// test photo and Debian's Chromium. Not a test: it prints figures and fails only
// when something does not work.
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';

import {
  binDir, convert, launchBrowser, magick, startServer, tempDir,
} from '../../Converter/web/tests/support/harness.mjs';

const args = process.argv.slice(2);
const runs = Number(args[args.indexOf('--runs') + 1]) || 15;
if (args.includes('--keep')) process.env.VG_KEEP_TEMP = '1';

const site = tempDir('vgi-bench-');
const photo = path.join(site, 'photo.jpg');
console.log('making a 4000 x 3000 test photo ...');
magick(['-size', '4000x3000', 'plasma:fractal', '-blur', '0x1', '+noise', 'Gaussian', '-attenuate', '0.6',
  '-quality', '88', '-sampling-factor', '2x2', photo]);
const bytes = fs.statSync(photo).size;

// The viewer page as the converter writes it; no loading text, so that the first
// contentful paint is the picture in both pages.
convert([photo], path.join(site, 'viewer'), ['--loading', '', '--status', '']);
convert([photo], path.join(site, 'keyed'), ['--loading', '', '--status', '', '--domain', 'localhost']);
// The keyless page with a watermark: the line the converter writes after "Label".
convert([photo], path.join(site, 'marked'), ['--loading', '', '--status', '']);
const markedPage = path.join(site, 'marked', 'photo.html');
fs.writeFileSync(markedPage, fs.readFileSync(markedPage, 'latin1').replace(/(\t<param name="Label" [^\n]*\n)/,
  '$1\t<param name="Watermark" value="&#169; Quillmere 2026" />\r\n'), 'latin1');
if (!fs.readFileSync(markedPage, 'latin1').includes('"Watermark"')) throw new Error('no Label line to put the watermark after');
fs.mkdirSync(path.join(site, 'plain'));
fs.copyFileSync(photo, path.join(site, 'plain', 'photo.jpg'));
fs.writeFileSync(path.join(site, 'plain', 'photo.html'),
  '<!DOCTYPE html>\n<html lang="en">\n<head>\n<meta charset="windows-1252">\n<title>Plain image</title>\n</head>\n' +
  '<body>\n<img src="photo.jpg" width="4000" height="3000" alt="" elementtiming="photo">\n</body>\n</html>\n');

const servers = {
  announced: await startServer(site),
  chunked: await startServer(site, { announceLength: false }),
};
const browser = await launchBrowser();

// The time of the first frame that shows the whole picture, from the navigation's
// start, as the browser records it: for the viewer the first contentful paint (the
// canvas is drawn whole, in one go); for the <img> the element timing of the image,
// which Chromium reports once the image has fully loaded and been painted (its first
// contentful paint may come earlier, from a partly loaded image).
async function measure(server, rel) {
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(server.url('localhost', rel));
  const t = await page.evaluate(() => new Promise((resolve) => {
    const plain = !document.querySelector('object.vgi');
    const type = plain ? 'element' : 'paint';
    new PerformanceObserver((list, observer) => {
      for (const e of list.getEntries()) {
        if (plain && e.identifier === 'photo' && e.renderTime > 0) {
          observer.disconnect();
          resolve(e.renderTime);
        } else if (!plain && e.name === 'first-contentful-paint') {
          observer.disconnect();
          resolve(e.startTime);
        }
      }
    }).observe({ type, buffered: true });
  }));
  // Check that the picture really is on the screen.
  const shown = await page.evaluate(() => {
    const box = document.querySelector('.vgi-viewer');
    if (box) return box.dataset.vgiShowing === 'image';
    const img = document.querySelector('img');
    return img.complete && img.naturalWidth === 4000;
  });
  if (!shown) throw new Error(`${rel}: the picture is not shown`);
  await context.close();
  return t;
}

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

const pages = { plain: 'plain/photo.html', viewer: 'viewer/photo.html', keyed: 'keyed/photo.html', marked: 'marked/photo.html' };
const times = {};
for (const kind of Object.keys(servers)) {
  times[kind] = Object.fromEntries(Object.keys(pages).map((name) => [name, []]));
  await measure(servers[kind], pages.plain); // warm up the browser and the disk cache
  await measure(servers[kind], pages.viewer);
}
for (let i = 0; i < runs; i++) {
  for (const kind of Object.keys(servers)) {
    for (const name of Object.keys(pages)) times[kind][name].push(await measure(servers[kind], pages[name]));
  }
}
await browser.close();
for (const server of Object.values(servers)) await server.close();

console.log(`photo: 4000 x 3000 JPEG, ${(bytes / 1e6).toFixed(2)} MB; ${runs} runs each, turn about, median`);
for (const [kind, label] of [['announced', 'length announced'], ['chunked', 'length not announced']]) {
  const m = Object.fromEntries(Object.entries(times[kind]).map(([k, v]) => [k, median(v)]));
  console.log(`server: ${label}`);
  console.log(`  plain <img> page:            ${m.plain.toFixed(0)} ms to the first frame with the whole picture`);
  console.log(`  viewer, keyless file:        ${m.viewer.toFixed(0)} ms  (${(m.viewer / m.plain).toFixed(2)} x the plain page)`);
  console.log(`  viewer, locked to localhost: ${m.keyed.toFixed(0)} ms  (${(m.keyed / m.plain).toFixed(2)} x the plain page)`);
  console.log(`  viewer, keyless, watermark:  ${m.marked.toFixed(0)} ms  (${(m.marked / m.plain).toFixed(2)} x the plain page, ${(m.marked / m.viewer).toFixed(2)} x without the mark)`);
}
const script = fs.readFileSync(path.join(binDir(), 'vgi.js'));
console.log(`vgi.js as shipped: ${script.length} bytes, ${zlib.gzipSync(script, { level: 9 }).length} bytes gzipped`);
