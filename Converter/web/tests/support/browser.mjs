// Helpers of the browser tests: test images, converted sites, pages and their pixels.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import { convert, magick, until } from './harness.mjs';

// Solid images, one colour each, for telling frames apart by a pixel.
export const COLOURS = { red: [255, 0, 0], green: [0, 160, 0], blue: [0, 0, 255], white: [255, 255, 255] };

export function makeSolidImages(dir, width = 64, height = 48) {
  const files = {};
  for (const [name, [r, g, b]] of Object.entries(COLOURS)) {
    const file = path.join(dir, `${name}.png`);
    // No gamma or colour chunks: the browser takes the pixels as they stand.
    magick(['-size', `${width}x${height}`, `xc:rgb(${r},${g},${b})`, '-define', 'png:exclude-chunk=all', file]);
    files[name] = file;
  }
  return files;
}

// A `width` x `height` JPEG at `file` whose Exif segment says "rotate 90 degrees
// clockwise to show": browsers show it `height` wide and `width` high.
export function makeSidewaysJpeg(file, width, height) {
  const plain = file + '.plain.jpg';
  magick(['-size', `${width}x${height}`, 'gradient:red-blue', '-quality', '95', plain]);
  const tiff = Buffer.from([0x4d, 0x4d, 0, 0x2a, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0]);
  const app1 = Buffer.concat([Buffer.from('Exif\0\0', 'latin1'), tiff]);
  const segment = Buffer.concat([Buffer.from([0xff, 0xe1, (app1.length + 2) >> 8, (app1.length + 2) & 255]), app1]);
  const jpeg = fs.readFileSync(plain);
  fs.writeFileSync(file, Buffer.concat([jpeg.subarray(0, 2), segment, jpeg.subarray(2)]));
  fs.rmSync(plain);
  return file;
}

// Converts `inputs` into `site/folder` with `options`; returns the folder.
export function convertInto(site, folder, inputs, options = []) {
  const target = path.join(site, folder);
  convert(inputs, target, options);
  return target;
}

// A page whose console errors and uncaught exceptions are collected.
export async function openPage(context, url, { clock = false } = {}) {
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (e) => problems.push(`uncaught: ${e.message}`));
  page.on('console', (m) => {
    // The server has no favicon; everything else the console reports as an error is a fault.
    if (m.type() === 'error' && !/Failed to load resource.*404/.test(m.text())) {
      problems.push(`console: ${m.text()}`);
    }
  });
  if (clock) {
    // Fake timers, paused: time moves only when the test runs the clock.
    const now = Date.now();
    await page.clock.install({ time: now });
    await page.clock.pauseAt(now + 1000);
  }
  if (url) await page.goto(url);
  return { page, problems };
}

// What viewer `index` of the page shows: "image" with its frame, or "text".
export function viewerState(page, index = 0) {
  return page.evaluate((i) => {
    const box = document.querySelectorAll('.vgi-viewer')[i];
    if (!box) return null;
    const label = box.querySelector('.vgi-label');
    return {
      showing: box.dataset.vgiShowing,
      frame: box.dataset.vgiFrame,
      frames: box.dataset.vgiFrames,
      text: box.querySelector('.vgi-text').textContent,
      label: getComputedStyle(label).display === 'none' ? null : label.textContent,
    };
  }, index);
}

// Waits until viewer `index` shows `showing` ("image" or "text"), optionally a given
// frame or text; returns its state.
export async function waitFor(page, want, index = 0) {
  return until(async () => {
    const s = await viewerState(page, index);
    if (!s || s.showing !== want.showing) return null;
    if (want.frame !== undefined && s.frame !== String(want.frame)) return null;
    if (want.text !== undefined && !(want.text instanceof RegExp ? want.text.test(s.text) : s.text === want.text)) return null;
    return s;
  }, `viewer ${index} to show ${JSON.stringify(want, (k, v) => (v instanceof RegExp ? String(v) : v))}`);
}

// Reads the picture on viewer `i`'s canvas back through a 2D canvas of its own size,
// then either returns the colour of its pixel (x, y), or compares it with the image
// at `ref` (a URL on the same site) as the browser decodes it from the original file,
// resized to the picture's size with the browser's best filter where they differ.
// Runs in the page.
async function inspectCanvas([i, x, y, ref]) {
  const canvas = document.querySelectorAll('.vgi-viewer')[i].querySelector('canvas');
  const bitmap = await createImageBitmap(canvas);
  const toPixels = (source, w, h) => {
    const c = document.createElement('canvas');
    c.width = w;
    c.height = h;
    const ctx = c.getContext('2d');
    ctx.drawImage(source, 0, 0);
    return ctx.getImageData(0, 0, w, h).data;
  };
  const got = toPixels(bitmap, bitmap.width, bitmap.height);
  if (!ref) {
    const at = (y * bitmap.width + x) * 4;
    return Array.from(got.slice(at, at + 4));
  }
  const original = await createImageBitmap(await (await fetch(ref)).blob(), { imageOrientation: 'from-image' });
  const same = bitmap.width === original.width && bitmap.height === original.height;
  const want = toPixels(same ? original : await createImageBitmap(original, {
    resizeWidth: bitmap.width, resizeHeight: bitmap.height, resizeQuality: 'high',
  }), bitmap.width, bitmap.height);
  let most = 0;
  let differing = 0;
  for (let k = 0; k < want.length; k++) {
    const d = Math.abs(want[k] - got[k]);
    if (d) differing++;
    if (d > most) most = d;
  }
  let blank = true;
  for (let k = 3; k < got.length && blank; k += 4) if (got[k]) blank = false;
  return { most, differing, blank, width: bitmap.width, height: bitmap.height, natural: [original.width, original.height] };
}

// The colour of pixel (x, y) of the picture on viewer `index`'s canvas, as [r, g, b, a].
export function canvasPixel(page, x, y, index = 0) {
  return page.evaluate(inspectCanvas, [index, x, y, null]);
}

// Compares the picture on viewer `index`'s canvas with the original image at `reference`.
export function compareWithOriginal(page, reference, index = 0) {
  return page.evaluate(inspectCanvas, [index, 0, 0, reference]);
}

// The pixels of a screenshot of `clip` (page coordinates), as rows of [r, g, b].
export async function screenPixels(page, clip) {
  const png = await page.screenshot({ clip });
  const data = await page.evaluate(async (b64) => {
    const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const c = document.createElement('canvas');
    c.width = bitmap.width;
    c.height = bitmap.height;
    c.getContext('2d').drawImage(bitmap, 0, 0);
    return { w: c.width, h: c.height, px: Array.from(c.getContext('2d').getImageData(0, 0, c.width, c.height).data) };
  }, png.toString('base64'));
  const rows = [];
  for (let y = 0; y < data.h; y++) {
    const row = [];
    for (let x = 0; x < data.w; x++) row.push(data.px.slice((y * data.w + x) * 4, (y * data.w + x) * 4 + 3));
    rows.push(row);
  }
  return rows;
}

export function hex(rgb) {
  return rgb.map((v) => v.toString(16).padStart(2, '0')).join('').toUpperCase();
}

export function boxRect(page, index = 0) {
  return page.evaluate((i) => {
    const r = document.querySelectorAll('.vgi-viewer')[i].getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height };
  }, index);
}

export function assertNoProblems(problems) {
  assert.deepEqual(problems, [], 'the page reported no errors');
}

export function copyInto(dir, file, name = path.basename(file)) {
  fs.copyFileSync(file, path.join(dir, name));
  return name;
}

// How the picture on viewer `index`'s canvas departs from the solid colour `base`
// ([r, g, b]): counts of pixels lighter and darker by more than `by` on every channel,
// of pixels within `by`, of clear ones and of opaque ones.
export function canvasAgainst(page, base, index = 0, by = 24) {
  return page.evaluate(async ([i, want, d]) => {
    const canvas = document.querySelectorAll('.vgi-viewer')[i].querySelector('canvas');
    const bitmap = await createImageBitmap(canvas);
    const c = document.createElement('canvas');
    c.width = bitmap.width;
    c.height = bitmap.height;
    const ctx = c.getContext('2d');
    ctx.drawImage(bitmap, 0, 0);
    const px = ctx.getImageData(0, 0, c.width, c.height).data;
    const out = { lighter: 0, darker: 0, same: 0, clear: 0, opaque: 0, total: c.width * c.height, width: c.width, height: c.height };
    for (let k = 0; k < px.length; k += 4) {
      if (px[k + 3] === 0) {
        out.clear++;
        continue;
      }
      if (px[k + 3] === 255) out.opaque++;
      const diff = [0, 1, 2].map((j) => px[k + j] - want[j]);
      if (diff.every((x) => x > d)) out.lighter++;
      else if (diff.every((x) => x < -d)) out.darker++;
      else if (diff.every((x) => Math.abs(x) <= d)) out.same++;
    }
    return out;
  }, [index, base, by]);
}
