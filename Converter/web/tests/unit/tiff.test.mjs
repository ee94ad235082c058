// The viewer's own TIFF decoder against ImageMagick's reading of the same files.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';

import { magick, samplesDir, tempDir, vellagard } from '../support/harness.mjs';
import { ViewerError } from '../../src/errors.js';
import { decodeProtected } from '../../src/protected.js';
import { decodeTiff } from '../../src/tiff.js';

const work = tempDir('vgi-tiff-');
const base = path.join(work, 'base.png');
const baseAlpha = path.join(work, 'base-alpha.png');
// Odd sizes, so rows of 1-bit and 4-bit samples end inside a byte.
magick([path.join(samplesDir, 'meadow.png'), '-resize', '61x37!', '-depth', '8', base]);
magick([base, '-alpha', 'set', '-channel', 'A', '-fx', 'i/w', '+channel', baseAlpha]);

function tiff(name, args, from = base) {
  const file = path.join(work, name + '.tif');
  // Strips of 7 rows: several strips, the last one short.
  magick([from, '-define', 'tiff:rows-per-strip=7', ...args, file]);
  return new Uint8Array(fs.readFileSync(file));
}

// ImageMagick's RGBA reading of a file, 8 bits per sample.
function reference(name) {
  const r = spawnSync('convert', [path.join(work, name + '.tif'), '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 28 });
  assert.equal(r.status, 0, String(r.stderr));
  return new Uint8Array(r.stdout);
}

function maxDifference(a, b) {
  assert.equal(a.length, b.length);
  let most = 0;
  for (let i = 0; i < a.length; i++) most = Math.max(most, Math.abs(a[i] - b[i]));
  return most;
}

describe('baseline TIFF kinds', () => {
  // [name, ImageMagick options, source, largest difference allowed]. 16-bit samples,
  // 16-bit palette entries and premultiplied alpha are rounded where ImageMagick
  // truncates: off by one at most.
  const kinds = [
    ['rgb-none', ['-compress', 'none', '-type', 'TrueColor']],
    ['rgb-lzw', ['-compress', 'lzw', '-type', 'TrueColor']],
    ['rgb-packbits', ['-compress', 'rle', '-type', 'TrueColor']],
    ['rgb-lzw-predictor', ['-compress', 'lzw', '-define', 'tiff:predictor=2', '-type', 'TrueColor']],
    ['rgb-big-endian', ['-compress', 'lzw', '-endian', 'MSB', '-type', 'TrueColor']],
    ['rgb-planar', ['-compress', 'rle', '-interlace', 'plane', '-type', 'TrueColor']],
    ['rgb-deflate', ['-compress', 'zip', '-type', 'TrueColor']],
    ['rgba-none', ['-compress', 'none', '-type', 'TrueColorAlpha'], baseAlpha],
    ['rgba-lzw', ['-compress', 'lzw', '-type', 'TrueColorAlpha'], baseAlpha],
    ['rgba-premultiplied', ['-compress', 'lzw', '-define', 'tiff:alpha=associated'], baseAlpha, 1],
    ['grey-none', ['-compress', 'none', '-type', 'Grayscale']],
    ['grey-lzw', ['-compress', 'lzw', '-type', 'Grayscale']],
    ['grey-packbits', ['-compress', 'rle', '-type', 'Grayscale']],
    ['palette-none', ['-compress', 'none', '-type', 'Palette'], base, 1],
    ['palette-lzw', ['-compress', 'lzw', '-type', 'Palette'], base, 1],
    ['palette-packbits', ['-compress', 'rle', '-type', 'Palette'], base, 1],
    ['palette-4bit', ['-compress', 'none', '-colors', '16', '-type', 'Palette', '-depth', '4']],
    ['bilevel', ['-compress', 'none', '-type', 'Bilevel']],
    ['rgb-16bit', ['-compress', 'lzw', '-depth', '16', '-type', 'TrueColor', '-evaluate', 'add', '77'], base, 1],
    ['rgb-16bit-predictor', ['-compress', 'lzw', '-define', 'tiff:predictor=2', '-depth', '16'], base, 1],
  ];

  for (const [name, args, from, tolerance = 0] of kinds) {
    test(name, async () => {
      const bytes = tiff(name, args, from);
      const image = await decodeTiff(bytes);
      assert.equal(image.width, 61);
      assert.equal(image.height, 37);
      assert.ok(maxDifference(image.data, reference(name)) <= tolerance);
    });
  }

  test('the sample 16-bit grey LZW file, through a protected file', async () => {
    const target = path.join(work, 'quarry.class');
    vellagard(['protect', '--domain', 'localhost', path.join(samplesDir, 'quarry.tif'), target]);
    const decoded = decodeProtected(new Uint8Array(fs.readFileSync(target)), 'localhost');
    assert.equal(decoded.type, 'tiff');
    const image = await decodeTiff(decoded.bytes);
    assert.equal(image.width, 400);
    assert.equal(image.height, 300);
    const r = spawnSync('convert', [path.join(samplesDir, 'quarry.tif'), '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 28 });
    assert.ok(maxDifference(image.data, new Uint8Array(r.stdout)) <= 1);
  });
});

// A minimal uncompressed TIFF: the pixel data at offset 8, the directory after it.
function buildTiff({ width, height, bits = 8, spp = 1, photometric = 1, data, little = true, tags = [] }) {
  const entries = [
    [256, 4, [width]],
    [257, 4, [height]],
    [258, 3, new Array(spp).fill(bits)],
    [259, 3, [1]],
    [262, 3, [photometric]],
    [273, 4, [8]],
    [277, 3, [spp]],
    [278, 4, [height]],
    [279, 4, [data.length]],
    ...tags,
  ].sort((a, b) => a[0] - b[0]);
  const pad = data.length % 2;
  const ifd = 8 + data.length + pad;
  const extraAt = ifd + 2 + entries.length * 12 + 4;
  const size = { 3: 2, 4: 4 };
  let extraLength = 0;
  for (const [, type, values] of entries) {
    if (values.length * size[type] > 4) extraLength += values.length * size[type];
  }
  const out = new Uint8Array(extraAt + extraLength);
  const view = new DataView(out.buffer);
  out.set(little ? [0x49, 0x49] : [0x4d, 0x4d]);
  view.setUint16(2, 42, little);
  view.setUint32(4, ifd, little);
  out.set(data, 8);
  view.setUint16(ifd, entries.length, little);
  let extra = extraAt;
  entries.forEach(([tag, type, values], i) => {
    const at = ifd + 2 + i * 12;
    view.setUint16(at, tag, little);
    view.setUint16(at + 2, type, little);
    view.setUint32(at + 4, values.length, little);
    const inline = values.length * size[type] <= 4;
    let p = inline ? at + 8 : extra;
    if (!inline) {
      view.setUint32(at + 8, extra, little);
      extra += values.length * size[type];
    }
    for (const v of values) {
      if (type === 3) view.setUint16(p, v, little);
      else view.setUint32(p, v, little);
      p += size[type];
    }
  });
  return out;
}

describe('hand-made TIFF files', () => {
  test('white-is-zero grey and big-endian 16-bit grey', async () => {
    const wiz = await decodeTiff(buildTiff({ width: 3, height: 1, photometric: 0, data: [0, 128, 255] }));
    assert.deepEqual(Array.from(wiz.data), [255, 255, 255, 255, 127, 127, 127, 255, 0, 0, 0, 255]);
    const grey16 = await decodeTiff(buildTiff({
      width: 2, height: 1, bits: 16, little: false, data: [0xff, 0xff, 0x80, 0x00],
    }));
    assert.deepEqual(Array.from(grey16.data), [255, 255, 255, 255, 128, 128, 128, 255]);
  });

  test('grey with straight alpha; missing strip byte counts on an uncompressed file', async () => {
    const t = buildTiff({ width: 2, height: 1, spp: 2, data: [10, 255, 20, 0], tags: [[338, 3, [2]]] });
    assert.deepEqual(Array.from((await decodeTiff(t)).data), [10, 10, 10, 255, 20, 20, 20, 0]);
  });

  test('unsupported variants are named in the notice', async () => {
    const cases = [
      ['JPEG compression', tiff('jpeg', ['-compress', 'jpeg'])],
      ['CMYK colours', tiff('cmyk', ['-compress', 'none', '-colorspace', 'cmyk'])],
      ['tiled layout', tiff('tiled', ['-define', 'tiff:tile-geometry=16x16'])],
      ['floating-point', tiff('float', ['-define', 'quantum:format=floating-point', '-depth', '32'])],
      ['old-style LZW', buildTiff({ width: 2, height: 1, data: [0x00, 0x01], tags: [[259, 3, [5]]] })],
      ['12-bit', buildTiff({ width: 2, height: 1, bits: 12, data: [0, 0, 0] })],
      ['YCbCr', buildTiff({ width: 1, height: 1, spp: 3, photometric: 6, data: [1, 2, 3] })],
      // More pixels than a phone can hold: refused from the directory, before any allocation.
      ['8000 x 4001 pixels is too large', buildTiff({ width: 8000, height: 4001, data: [0] })],
    ];
    for (const [words, bytes] of cases) {
      await assert.rejects(decodeTiff(bytes), (e) => e.code === 'tiff-unsupported' && e.message.includes(words), words);
    }
  });

  test('damaged files are refused without reading past the data', async () => {
    const good = tiff('cut', ['-compress', 'lzw', '-type', 'TrueColor']);
    const view = new DataView(good.buffer);
    const cases = [
      ['too short', good.slice(0, 6)],
      ['directory outside the file', (() => { const b = good.slice(); new DataView(b.buffer).setUint32(4, b.length + 10, true); return b; })()],
      ['cut short', (() => {
        // The first strip's LZW data ends at once, leaving its rows unfilled.
        const b = good.slice();
        const ifd = view.getUint32(4, true);
        const n = view.getUint16(ifd, true);
        for (let i = 0; i < n; i++) {
          const at = ifd + 2 + i * 12;
          if (view.getUint16(at, true) === 273) {
            const first = view.getUint32(at + 8, true);
            const offset = view.getUint32(first, true);
            b.set([0x80, 0x40, 0x20], offset); // 9-bit codes 256 (clear), then 257 (end)
          }
        }
        return b;
      })()],
      ['no image size', buildTiff({ width: 0, height: 1, data: [1] })],
      ['palette missing', buildTiff({ width: 1, height: 1, photometric: 3, data: [1] })],
    ];
    for (const [words, bytes] of cases) {
      await assert.rejects(decodeTiff(bytes), (e) => e.code === 'tiff-damaged' && e.message.includes(words), words);
    }
  });

  test('random damage to the directory raises only viewer errors', async () => {
    const seeds = [
      tiff('fz-rgb', ['-compress', 'lzw', '-type', 'TrueColor']),
      tiff('fz-pal', ['-compress', 'rle', '-type', 'Palette']),
      buildTiff({ width: 2, height: 2, bits: 16, spp: 3, photometric: 2, data: new Array(24).fill(7) }),
    ];
    let x = 12345;
    const next = (n) => {
      x ^= x << 13;
      x ^= x >>> 17;
      x ^= x << 5;
      return (x >>> 0) % n;
    };
    let decoded = 0;
    for (let round = 0; round < 1500; round++) {
      const b = seeds[round % seeds.length].slice();
      const ifd = new DataView(b.buffer).getUint32(4, true);
      for (let e = 1 + next(4); e > 0; e--) {
        const at = next(3) === 0 ? next(b.length) : Math.min(b.length - 1, ifd + next(200));
        b[at] = next(256);
      }
      try {
        await decodeTiff(b);
        decoded++;
      } catch (e) {
        if (!(e instanceof ViewerError)) assert.fail(`round ${round}: ${e && e.stack}`);
      }
    }
    assert.ok(decoded > 0);
  });
});
