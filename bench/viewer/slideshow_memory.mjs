// Decoded memory of a long slideshow: 1,200 frames of 800 x 600 pixels (1.9 MB each,
// decoded), shown for some minutes at a short delay, against the page's budget for
// decoded frames (64 MB; less where navigator.deviceMemory is small). The viewer's own
// count comes with every "vgi:frameload" event; the resident memory of the browser's
// processes (browser, renderer, GPU and utility processes, from /proc) is sampled
// beside it, so that a leak outside the count shows too.
//
//   node bench/viewer/slideshow_memory.mjs [--seconds N] [--delay MS] [--keep]
//
// Uses build/bin (VG_BIN_DIR overrides) for `vellagard convert`, ImageMagick and
// Debian's Chromium. Not a test: it prints figures and fails only when something does
// not work.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import {
  convert, launchBrowser, magick, startServer, tempDir,
} from '../../Converter/web/tests/support/harness.mjs';

const args = process.argv.slice(2);
const option = (name, fallback) => (args.includes(name) ? Number(args[args.indexOf(name) + 1]) : fallback);
const seconds = option('--seconds', 180);
const delay = option('--delay', 100);
if (args.includes('--keep')) process.env.VG_KEEP_TEMP = '1';
const COUNT = 1200;
const BUDGET = 64 * 1024 * 1024;

const site = tempDir('vgi-bench-memory-');
const src = path.join(site, 'src');
fs.mkdirSync(src);
console.log(`making ${COUNT} frames of 800 x 600 ...`);
const kinds = ['plasma:fractal', 'gradient:red-blue', 'plasma:green-yellow'].map((pattern, i) => {
  const file = path.join(src, `kind${i}.jpg`);
  magick(['-size', '800x600', pattern, '-quality', '85', file]);
  return file;
});
const inputs = [];
for (let i = 0; i < COUNT; i++) {
  const file = path.join(src, `f${String(i).padStart(4, '0')}.jpg`);
  fs.copyFileSync(kinds[i % kinds.length], file);
  inputs.push(file);
}
convert(inputs, path.join(site, 'show'), ['--style', 'slideshow', '--delay', String(delay)]);

// Resident memory of every process under this one (the browser and its helpers), in bytes.
function residentBytes() {
  const rows = execFileSync('ps', ['-e', '-o', 'pid=,ppid=,rss='], { encoding: 'utf8' })
    .trim().split('\n').map((l) => l.trim().split(/\s+/).map(Number));
  const children = new Map();
  for (const [pid, ppid] of rows) children.set(ppid, [...(children.get(ppid) || []), pid]);
  const rss = new Map(rows.map(([pid, , kb]) => [pid, kb * 1024]));
  let total = 0;
  const walk = (pid) => {
    for (const c of children.get(pid) || []) {
      total += rss.get(c) || 0;
      walk(c);
    }
  };
  walk(process.pid);
  return total;
}

const server = await startServer(site);
const browser = await launchBrowser();
const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
await page.addInitScript(() => {
  window.__frames = 0;
  window.__decoded = [];
  document.addEventListener('vgi:frameload', (e) => {
    window.__frames++;
    if (e.detail.ok) window.__decoded.push(e.detail.decodedBytes);
  });
});
await page.goto(server.url('localhost', 'show/slideshow.html'));
await page.waitForSelector('.vgi-viewer[data-vgi-showing="image"]');
const mb = (n) => (n / 1e6).toFixed(1) + ' MB';
const samples = [];
const started = Date.now();
while (Date.now() - started < seconds * 1000) {
  await new Promise((r) => setTimeout(r, 10000));
  const s = await page.evaluate(() => ({
    frames: window.__frames,
    decoded: window.__decoded.length ? window.__decoded[window.__decoded.length - 1] : 0,
    most: window.__decoded.reduce((a, b) => Math.max(a, b), 0),
    frame: Number(document.querySelector('.vgi-viewer').dataset.vgiFrame),
  }));
  s.resident = residentBytes();
  s.at = Math.round((Date.now() - started) / 1000);
  samples.push(s);
  console.log(`${String(s.at).padStart(4)} s: frame ${s.frame}, ${s.frames} loaded, decoded ${mb(s.decoded)} (most ${mb(s.most)}), browser resident ${mb(s.resident)}`);
}
await browser.close();
await server.close();

const last = samples[samples.length - 1];
const first = samples[0];
console.log(`slideshow of ${COUNT} frames at ${delay} ms for ${seconds} s: ${last.frames} frames loaded`);
console.log(`decoded frames at most ${mb(last.most)} against the budget of ${mb(BUDGET)}: ${(last.most / BUDGET).toFixed(2)} x`);
console.log(`browser resident memory ${mb(first.resident)} at ${first.at} s, ${mb(last.resident)} at ${last.at} s`);
