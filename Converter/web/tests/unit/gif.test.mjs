// The viewer's own GIF decoder against ImageMagick's coalesced reading of the same files.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';

import { magick, samplesDir, tempDir } from '../support/harness.mjs';
import { GifError, closeGif, compositeFrames, createCompositor, decodeGif } from '../../src/gif.js';

const work = tempDir('vgi-gif-');

function gif(name, args) {
  const file = path.join(work, name + '.gif');
  magick([...args, file]);
  return new Uint8Array(fs.readFileSync(file));
}

// ImageMagick's coalesced frames of a file, RGBA, one Buffer per frame.
function coalesced(name, width, height) {
  const r = spawnSync('convert', [path.join(work, name + '.gif'), '-coalesce', '-depth', '8', 'rgba:-'], { maxBuffer: 1 << 28 });
  assert.equal(r.status, 0, String(r.stderr));
  const size = width * height * 4;
  const frames = [];
  for (let o = 0; o < r.stdout.length; o += size) frames.push(r.stdout.subarray(o, o + size));
  return frames;
}

// Compares two RGBA buffers; the colour of a fully transparent pixel does not count.
function firstDifference(got, want, width) {
  for (let i = 0; i < want.length; i += 4) {
    const same = want[i + 3] === 0 ? got[i + 3] === 0
      : got[i] === want[i] && got[i + 1] === want[i + 1] && got[i + 2] === want[i + 2] && got[i + 3] === want[i + 3];
    if (!same) {
      const p = i / 4;
      return `pixel ${p % width},${Math.floor(p / width)}: ${[...got.subarray(i, i + 4)]} instead of ${[...want.subarray(i, i + 4)]}`;
    }
  }
  return null;
}

const base = path.join(work, 'base.png');
magick([path.join(samplesDir, 'meadow.png'), '-resize', '61x37!', base]);

// [name, ImageMagick arguments, what the file must hold for the case to mean anything]
const FILES = [
  ['disposal', [
    '-dispose', 'none', '-delay', '20', '-size', '40x30', 'xc:red',
    '-dispose', 'background', '-delay', '30', '(', '-size', '10x8', 'xc:blue', '-repage', '40x30+5+5', ')',
    '-dispose', 'previous', '-delay', '0', '(', '-size', '12x12', 'xc:none', '-fill', 'lime', '-draw', 'circle 6,6 6,1', '-repage', '40x30+20+10', ')',
    '-dispose', 'none', '-delay', '1', '(', '-size', '8x8', 'xc:yellow', '-repage', '40x30+30+2', ')',
    '-loop', '3'], // three plays: the file says "repeat twice"
  { frames: 4, loopCount: 2, delays: [200, 300, 100, 100], disposals: [1, 2, 3, 1], transparent: [false, false, true, false] }],
  // A transparent first frame smaller than the screen, then a frame that draws over
  // part of it: what is not drawn stays transparent.
  ['holes', [
    '-dispose', 'none', '-delay', '10', '(', '-size', '20x20', 'xc:none', '-fill', 'blue', '-draw', 'rectangle 2,2 12,12', '-repage', '32x24+4+2', ')',
    '(', '-size', '6x6', 'xc:orange', '-repage', '32x24+20+14', ')', '-loop', '0'],
  { frames: 2, loopCount: 0 }],
  ['interlaced', [base, '(', base, '-negate', ')', '(', base, '-flop', ')', '-interlace', 'GIF', '-delay', '7'],
  { frames: 3, interlaced: true, local: true }],
  // Many colours in noise: the LZW table fills up and the encoder clears it.
  ['noise', ['-size', '200x150', 'xc:', '+noise', 'Random', '-colors', '256'], { frames: 1, loopCount: null }],
  ['two-colours', ['-size', '33x7', 'pattern:checkerboard', '-colors', '2'], { frames: 1 }],
];

describe('frames match ImageMagick', () => {
  for (const [name, args, expect] of FILES) {
    test(name, () => {
      const bytes = gif(name, args);
      const g = decodeGif(bytes);
      assert.equal(g.frames.length, expect.frames);
      if ('loopCount' in expect) {
        assert.equal(g.loopCount, expect.loopCount);
        assert.equal(g.repeat, expect.loopCount === null ? 0 : expect.loopCount || Infinity);
      }
      if (expect.delays) assert.deepEqual(g.frames.map((f) => f.delayMs), expect.delays);
      if (expect.disposals) assert.deepEqual(g.frames.map((f) => f.disposal), expect.disposals);
      if (expect.transparent) assert.deepEqual(g.frames.map((f) => f.transparent), expect.transparent);
      if (expect.interlaced) assert.ok(g.frames.every((f) => f.interlaced), 'the file is interlaced');
      if (expect.local) assert.ok(bytes.some((b, i) => b === 0x2c && bytes[i + 9] & 0x80), 'a frame has its own colour table');
      const want = coalesced(name, g.width, g.height);
      assert.equal(want.length, g.frames.length);
      compositeFrames(g, (rgba, i) => {
        assert.equal(rgba.length, g.width * g.height * 4);
        assert.equal(firstDifference(rgba, want[i], g.width), null, `${name} frame ${i}`);
      });
    });
  }

  test('a compositor goes back to an earlier frame and forward again', () => {
    const g = decodeGif(fs.readFileSync(path.join(work, 'disposal.gif')));
    const want = coalesced('disposal', g.width, g.height);
    const comp = createCompositor(g);
    for (const i of [3, 1, 2, 0, 3, 3]) {
      assert.equal(firstDifference(comp.render(i), want[i], g.width), null, `frame ${i}`);
      assert.equal(comp.index, i);
    }
    comp.close();
    closeGif(g);
    assert.throws(() => createCompositor(g).render(0), GifError, 'nothing left to render once closed');
  });
});

// A GIF of one 2 x 2 frame, built by hand: [header and screen, global table, image
// descriptor, LZW data]. LZW with code size 2: clear 4, EOI 5; codes start at 3 bits
// and grow as the decoder's table does.
function tiny({ width = 2, height = 2, frameHeight = 2, codeSize = 2, codes = [4, 1, 2, 3, 0, 5], trailer = true } = {}) {
  let bits = 0;
  let n = 0;
  let size = 3;
  let next = 6;
  let first = true;
  const data = [];
  for (const c of codes) {
    bits |= c << n;
    n += size;
    while (n >= 8) {
      data.push(bits & 255);
      bits >>= 8;
      n -= 8;
    }
    if (c === 4) [size, next, first] = [3, 6, true];
    else if (first) first = false;
    else if (++next === 1 << size && size < 12) size++;
  }
  if (n) data.push(bits & 255);
  return Uint8Array.from([
    ...Buffer.from('GIF89a'), width & 255, width >> 8, height & 255, height >> 8, 0x81, 0, 0,
    0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, // black, red, green, blue
    0x2c, 0, 0, 0, 0, 2, 0, frameHeight, 0, 0,
    codeSize, data.length, ...data, 0,
    ...(trailer ? [0x3b] : []),
  ]);
}

describe('damaged and oversized files', () => {
  test('the hand-made file decodes (the cases below change one thing each)', () => {
    const rgba = createCompositor(decodeGif(tiny({ trailer: false }))).render(0);
    assert.deepEqual([...rgba], [255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 0, 0, 0, 255]);
  });

  const cases = [
    // [what, bytes, options, error code, words] (thrown by decodeGif or by render)
    ['not a GIF', Buffer.from('GIF90a' + 'x'.repeat(20)), {}, 'gif-damaged', /not a GIF signature/],
    ['header cut short', tiny().subarray(0, 9), {}, 'gif-damaged', /header cut short/],
    ['colour table cut short', tiny().subarray(0, 20), {}, 'gif-damaged', /global colour table cut short/],
    ['image data cut short', tiny().subarray(0, 38), {}, 'gif-damaged', /image data cut short/],
    ['only a screen', tiny().subarray(0, 25), {}, 'gif-damaged', /no image/],
    ['code size 12', tiny({ codeSize: 12 }), {}, 'gif-damaged', /LZW code size 12/],
    ['code size 0', tiny({ codeSize: 0 }), {}, 'gif-damaged', /LZW code size 0/],
    ['a code beyond the table', tiny({ codes: [4, 1, 7, 5] }), {}, 'gif-damaged', /LZW code out of range/],
    ['a string code first', tiny({ codes: [4, 6, 5] }), {}, 'gif-damaged', /LZW code before any string/],
    ['screen above the limit', tiny({ width: 65535, height: 65535 }), {}, 'gif-too-large', /65535 x 65535 pixels/],
    ['screen above a given limit', tiny(), { maxPixels: 3 }, 'gif-too-large', /2 x 2 pixels/],
  ];
  for (const [what, bytes, options, code, words] of cases) {
    test(what, () => {
      assert.throws(() => createCompositor(decodeGif(bytes, options)).render(0), (e) => {
        assert.ok(e instanceof GifError, `${what}: ${e.stack}`);
        assert.equal(e.code, code);
        assert.match(e.message, words);
        return true;
      });
    });
  }

  test('more frames than allowed', () => {
    const g = fs.readFileSync(path.join(work, 'disposal.gif'));
    assert.throws(() => decodeGif(g, { maxFrames: 3 }), /more than 3 frames/);
    assert.equal(decodeGif(g, { maxFrames: 4 }).frames.length, 4);
  });

  test('pixel data that ends early leaves the rest of the frame undrawn', () => {
    // Codes for 4 pixels in exactly two bytes, for a frame of 6.
    const rgba = createCompositor(decodeGif(tiny({ height: 3, frameHeight: 3, codes: [4, 1, 2, 3, 1] }))).render(0);
    assert.deepEqual([...rgba.subarray(0, 16)], [255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 0, 0, 255]);
    assert.deepEqual([...rgba.subarray(16)], new Array(8).fill(0));
  });

  test('every cut of a real animation: a GifError or frames, nothing else', () => {
    const whole = fs.readFileSync(path.join(work, 'interlaced.gif'));
    for (let end = 0; end < whole.length; end += 7) {
      try {
        compositeFrames(decodeGif(whole.subarray(0, end)), () => {});
      } catch (e) {
        assert.ok(e instanceof GifError, `cut at ${end}: ${e.stack}`);
      }
    }
  });
});
