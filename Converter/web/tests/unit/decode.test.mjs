// The viewer's decoding functions against files the C++ writer produced.
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';
import { describe, test } from 'node:test';

import { samplesDir, tempDir, vellagard } from '../support/harness.mjs';
import { ViewerError } from '../../src/errors.js';
import { parseSettings, safeLink } from '../../src/params.js';
import {
  BodyDecoder, decodeProtected, detectImageType, keyStream, keylessTable, makeHeaderKeyText, normalizeKey, parseHeader,
  unscramble,
} from '../../src/protected.js';
import { scaledDecodeSize } from '../../src/jpeg_stream.js';
import { decodeTiff } from '../../src/tiff.js';

const work = tempDir('vgi-unit-');

// Protects `source` with the built `vellagard protect`; returns the file's bytes.
function protect(source, domain) {
  const target = path.join(work, `p${crypto.randomUUID()}.class`);
  vellagard(['protect', ...(domain ? ['--domain', domain] : []), source, target]);
  return new Uint8Array(fs.readFileSync(target));
}

function writeSource(bytes) {
  const file = path.join(work, `s${crypto.randomUUID()}.bin`);
  fs.writeFileSync(file, bytes);
  return file;
}

// A deterministic byte source, so failures can be replayed.
function seededBytes(seed, n) {
  const out = new Uint8Array(n);
  let x = seed >>> 0 || 1;
  for (let i = 0; i < n; i++) {
    x ^= x << 13;
    x ^= x >>> 17;
    x ^= x << 5;
    out[i] = x & 0xff;
  }
  return out;
}

describe('key text and patterns', () => {
  test('header key text of the worked example and domain names', () => {
    assert.equal(makeHeaderKeyText('abc'), 'UbK');
    assert.equal(normalizeKey('www.Example-site.com'), 'WWWEXAMPLESITECOM');
    // Case and dropped characters do not change the text.
    assert.equal(makeHeaderKeyText('example.com'), makeHeaderKeyText('EXAMPLECOM'));
    assert.equal(makeHeaderKeyText('localhost').length, 9);
    assert.match(makeHeaderKeyText('a-very.long.domain-name.example.org'), /^[0-9A-Za-g]+$/);
    assert.equal(makeHeaderKeyText('...'), '');
  });

  test('keyless table check values (wrapping product, sign-keeping shift)', () => {
    assert.equal(keylessTable(1)[0], 0xfffffffc);
    assert.deepEqual(Array.from(keylessTable(4).slice(0, 4), (v) => v & 0xff), [0xfe, 0xf9, 0xea, 0x9c]);
    const t = keylessTable(1000);
    assert.deepEqual(Array.from(t.slice(0, 4)), [0x0007909c, 0x3a927ebe, 0xcd762d19, 0xe9aeefa7]);
    assert.equal(t[255], 0x2cce9d97);
  });
});

describe('same bytes as the C++ writer', () => {
  const sizes = [1, 2, 8, 9, 255, 256, 257, 1000, 70001];
  // The longest key a domain can give: 253 characters.
  const longest = ['a'.repeat(63), 'b'.repeat(63), 'c'.repeat(63), 'd'.repeat(61)].join('.');
  const keys = ['', 'abc', 'localhost', 'www.Example.com', longest];

  test('the viewer rebuilds every protected file byte for byte and reads it back', () => {
    for (const size of sizes) {
      const source = seededBytes(size * 7919, size);
      const sourceFile = writeSource(source);
      for (const key of keys) {
        const written = protect(sourceFile, key);
        const what = `size ${size}, key "${key.slice(0, 20)}"`;
        const header = parseHeader(written);
        assert.equal(header.mode, key ? 1 : 3, what);
        assert.equal(header.keyText, makeHeaderKeyText(key), what);
        // Scrambling is its own inverse: the viewer's pattern applied to the source
        // must give exactly the writer's body.
        const body = source.slice();
        unscramble(body, 0, keyStream(header, size));
        assert.deepEqual(body, written.subarray(header.bodyOffset), what);
        const back = written.slice();
        unscramble(back, header.bodyOffset, keyStream(header, size));
        assert.deepEqual(back.subarray(header.bodyOffset), source, what);
      }
    }
  });

  test('sample images decode to their original bytes and type', () => {
    const samples = [
      ['harbour-dusk.jpg', 'jpeg'],
      ['lantern.gif', 'gif'],
      ['meadow.png', 'png'],
      ['quarry.tif', 'tiff'],
    ];
    for (const [name, type] of samples) {
      const file = path.join(samplesDir, name);
      const original = new Uint8Array(fs.readFileSync(file));
      for (const [domain, host] of [['', 'anywhere.example'], ['localhost', 'localhost'], ['example.com', 'www.example.com']]) {
        const image = decodeProtected(protect(file, domain), host);
        assert.equal(image.type, type, name);
        assert.equal(image.mime, `image/${type}`);
        assert.deepEqual(image.bytes, original, `${name} keyed "${domain}" on ${host}`);
      }
    }
  });
});

describe('files arriving in pieces', () => {
  // Splits `bytes` into pieces of the given sizes (repeating), copying each piece.
  function pieces(bytes, sizes) {
    const out = [];
    for (let at = 0, i = 0; at < bytes.length; i++) {
      const n = sizes[i % sizes.length];
      out.push(bytes.slice(at, at + n));
      at += n;
    }
    return out;
  }

  test('any split, with the length announced, unknown or wrong, gives the original', () => {
    // Also what a reader taking the chunks as they come (a decoder of a download still
    // arriving) sees, where the decoder says they are final: keyed files, and keyless
    // ones whose length was announced right.
    const original = new Uint8Array(fs.readFileSync(path.join(samplesDir, 'lantern.gif')));
    const source = writeSource(original);
    for (const key of ['', 'localhost']) {
      const file = protect(source, key);
      for (const sizes of [[1], [3, 5], [7, 1, 4096], [65536], [file.length]]) {
        for (const announced of [file.length, 0, file.length + 5, 3]) {
          const decoder = new BodyDecoder('localhost', announced);
          const seen = [];
          for (const piece of pieces(file, sizes)) {
            decoder.push(piece);
            if (decoder.unscramblesAsPushed()) {
              for (let k = seen.length; k < decoder.chunks.length; k++) seen.push(decoder.chunks[k].slice());
            }
          }
          const image = decoder.finish();
          const what = `key "${key}", pieces ${sizes}, announced ${announced}`;
          const streamed = decoder.unscramblesAsPushed() && !decoder.redone;
          assert.equal(streamed, key !== '' || announced === file.length, what);
          if (streamed) assert.deepEqual(Buffer.concat(seen), Buffer.from(original), `${what}: as pushed`);
          assert.equal(image.type, 'gif', what);
          assert.equal(image.length, original.length, what);
          assert.deepEqual(Buffer.concat(image.chunks), Buffer.from(original), what);
          decoder.wipe();
          assert.ok(image.chunks.every((c) => c.every((b) => b === 0)), 'wiped');
        }
      }
    }
  });

  test('a locked file is refused once its header is in, before the body comes', () => {
    const file = protect(path.join(samplesDir, 'lantern.gif'), 'example.com');
    const decoder = new BodyDecoder('localhost', file.length);
    decoder.push(file.slice(0, 8));
    const headerEnd = parseHeader(file).bodyOffset;
    assert.throws(() => decoder.push(file.slice(8, headerEnd + 10)), { code: 'locked' });
  });

  test('a header cut short is reported at the end, not taken for a sound one', () => {
    // The header of a file keyed "abc" is 12 bytes: 8, the key text "UbK", 0x01.
    const file = protect(path.join(samplesDir, 'lantern.gif'), 'abc');
    for (const [cut, code] of [[0, 'not-protected'], [5, 'not-protected'], [8, 'bad-header'], [10, 'bad-header'], [12, 'empty']]) {
      const decoder = new BodyDecoder('abc', 0);
      decoder.push(file.slice(0, cut));
      assert.throws(() => decoder.finish(), (e) => e instanceof ViewerError && e.code === code, `cut at ${cut}`);
    }
  });
});

describe('domain lock', () => {
  const cases = [
    // file's domain, page host, shown?
    ['localhost', 'localhost', true],
    ['localhost', '127.0.0.1', false],
    ['localhost', 'www.localhost', true],
    ['example.com', 'example.com', true],
    ['example.com', 'EXAMPLE.COM', true],
    ['example.com', 'www.example.com', true],
    ['www.example.com', 'www.example.com', true],
    ['www.example.com', 'example.com', false],
    ['example.com', 'shop.example.com', false],
    ['example.com', 'example.org', false],
    ['example.com', '', false],
  ];

  test('a keyed file is shown only on its own host or that host with www.', () => {
    const source = writeSource(fs.readFileSync(path.join(samplesDir, 'lantern.gif')));
    for (const [domain, host, shown] of cases) {
      const file = protect(source, domain);
      const before = file.slice();
      if (shown) {
        assert.equal(decodeProtected(file, host).type, 'gif', `${domain} on "${host}"`);
      } else {
        assert.throws(() => decodeProtected(file, host), { code: 'locked', message: /locked to another web site/ }, `${domain} on "${host}"`);
        assert.deepEqual(file, before, 'nothing is unscrambled for another site');
      }
    }
  });

  test('keyless files show on any host', () => {
    const file = protect(path.join(samplesDir, 'lantern.gif'), '');
    for (const host of ['localhost', '127.0.0.1', 'example.org', '']) {
      assert.equal(decodeProtected(file.slice(), host).type, 'gif');
    }
  });
});

describe('malformed files', () => {
  const bytes = (...parts) => Uint8Array.from(parts.flat());
  const MAGIC = [0x51, 0x4c, 0x4d];
  const MARKER = [0x62, 0x31, 0x5a, 0x60];
  const UBK = [0x55, 0x62, 0x4b]; // "UbK", the key text of "abc"
  const cases = [
    ['empty', bytes(), 'not-protected'],
    ['shorter than the header', bytes(MAGIC, 3, 0x62, 0x31), 'not-protected'],
    ['wrong magic', bytes([0x51, 0x4c, 0x4e], 3, MARKER, 1, 2, 3), 'not-protected'],
    ['wrong marker', bytes(MAGIC, 3, [0x62, 0x31, 0x5a, 0x61], 1, 2, 3), 'not-protected'],
    ['unknown mode', bytes(MAGIC, 2, MARKER, 1, 2, 3), 'not-protected'],
    ['keyed without terminator', bytes(MAGIC, 1, MARKER, UBK), 'bad-header'],
    ['keyed with an empty key text', bytes(MAGIC, 1, MARKER, 1, 0xff, 0xd8), 'bad-header'],
    ['keyed with a bad key character', bytes(MAGIC, 1, MARKER, 0x55, 0x3a, 0x4b, 1, 0xff), 'bad-header'],
    ['keyed with an endless key text', bytes(MAGIC, 1, MARKER, new Array(5000).fill(0x41), 1, 0), 'bad-header'],
    ['keyless without body', bytes(MAGIC, 3, MARKER), 'empty'],
    ['keyed without body', bytes(MAGIC, 1, MARKER, UBK, 1), 'empty'],
    ['keyless body that is no image', bytes(MAGIC, 3, MARKER, 1, 2, 3, 4, 5, 6), 'unknown-type'],
  ];

  test('each is refused with its own error', () => {
    for (const [what, file, code] of cases) {
      assert.throws(() => decodeProtected(file, 'abc'), (e) => e instanceof ViewerError && e.code === code, what);
    }
  });

  test('a cut-short file still unscrambles what it has (the browser then refuses the image)', () => {
    const whole = protect(path.join(samplesDir, 'harbour-dusk.jpg'), '');
    const cut = whole.slice(0, 5000);
    // The keyless pattern depends on the length, so a cut file yields garbage: no
    // image signature, and the viewer says the file holds no image it knows.
    assert.throws(() => decodeProtected(cut, 'x'), { code: 'unknown-type' });
    const keyed = protect(path.join(samplesDir, 'harbour-dusk.jpg'), 'abc').slice(0, 5000);
    // Keyed files do not depend on the length: the start is intact and the type known.
    assert.equal(decodeProtected(keyed, 'abc').type, 'jpeg');
  });
});

test('a JPEG decoded while it arrives is asked for the smallest eighth no smaller than wanted', () => {
  // [picture, wanted (height 0: the width only), asked]
  const cases = [
    [[4000, 3000], [1264, 0], [1500, 1125]],
    [[1024, 768], [572, 0], [640, 480]],
    [[4000, 3000], [1264, 1200], [2000, 1500]], // the height needs more
    [[4000, 3000], [500, 375], [500, 375]], // exactly an eighth
    [[4001, 3001], [1, 1], [501, 376]], // rounded up, as the decoder does
    [[1000, 750], [999, 0], [1000, 750]], // no more than the whole
  ];
  for (const [[w, h], [ww, wh], want] of cases) {
    const got = scaledDecodeSize(w, h, { width: ww, height: wh });
    assert.deepEqual([got.width, got.height], want, `${w} x ${h} for ${ww} x ${wh}`);
  }
});

test('image type from the first bytes', () => {
  const cases = [
    [[0x47, 0x49, 0x46, 0x38, 0x39, 0x61], 'gif'],
    [[0x47, 0x49, 0x46, 0x38, 0x37, 0x61], 'gif'],
    [[0xff, 0xd8, 0xff, 0xe0], 'jpeg'],
    [[0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a], 'png'],
    [[0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a], ''], // cut short
    [[0x49, 0x49, 0x2a, 0x00], 'tiff'],
    [[0x4d, 0x4d, 0x00, 0x2a], 'tiff'],
    [[0x4d, 0x4d, 0x2a, 0x00], ''],
    [[0x42, 0x4d, ...new Array(24).fill(0)], 'bmp'],
    [[0x42, 0x4d, 0, 0], ''], // too short for a bitmap header
    [[0x00, 0x00, 0x01, 0x00], ''], // an icon: not ours
    [[...'RIFF', 0x1a, 0, 0, 0, ...'WEBPVP8L'].map((c) => (typeof c === 'string' ? c.charCodeAt(0) : c)), 'webp'],
    [[...'RIFF', 0x1a, 0, 0, 0, ...'WAVEfmt '].map((c) => (typeof c === 'string' ? c.charCodeAt(0) : c)), ''],
    [[0, 0, 0, 0x1c, ...'ftypavif', 0, 0, 0, 0, ...'avifmif1miaf'].map((c) => (typeof c === 'string' ? c.charCodeAt(0) : c)), 'avif'],
    [[0, 0, 0, 0x18, ...'ftypheix', 0, 0, 0, 0, ...'heicmif1'].map((c) => (typeof c === 'string' ? c.charCodeAt(0) : c)), 'avif'],
    [[0, 0, 0, 0x14, ...'ftypisom', 0, 0, 0, 0, ...'avc1'].map((c) => (typeof c === 'string' ? c.charCodeAt(0) : c)), ''], // a video
    [[], ''],
  ];
  for (const [bytes, type] of cases) {
    assert.equal(detectImageType(Uint8Array.from(bytes)), type, bytes.join(' '));
  }
});

describe('page parameters', () => {
  const params = (entries) => new Map(entries.map(([k, v]) => [k.toLowerCase(), v]));

  test('a full text-to-image block', () => {
    const s = parseSettings(params([
      ['Style', 'TextFirst'], ['Message', 'Look "here" & <now>'], ['Loading', 'Wait'], ['Label', 'Caption'],
      ['Watermark', ' © Quillmere '], ['TextColor', '00FF7f'], ['BorderColor', '102030'], ['Border', '4'], ['FrameCount', '1'],
      ['Frame000', 'My_photo_0800_0600_C.class'],
    ]), '800', '600');
    assert.deepEqual(s, {
      style: 'TextFirst', link: '', target: '_self', message: 'Look "here" & <now>', delay: 1000,
      loading: 'Wait', label: 'Caption', watermark: '© Quillmere', textColor: '#00FF7F', borderColor: '#102030', border: 4,
      width: 800, height: 600, frames: ['My_photo_0800_0600_C.class'],
    });
  });

  test('1,200 frames: Frame999 is followed by Frame1000', () => {
    const entries = [['Style', 'SlideShow'], ['FrameDelay', '250'], ['FrameCount', '1200']];
    for (let i = 0; i < 1200; i++) entries.push([`Frame${String(i).padStart(3, '0')}`, `f${i}_0010_0010_C.class`]);
    const s = parseSettings(params(entries), '10', '10');
    assert.equal(s.style, 'SlideShow');
    assert.equal(s.delay, 250);
    assert.equal(s.frames.length, 1200);
    assert.equal(s.frames[999], 'f999_0010_0010_C.class');
    assert.equal(s.frames[1000], 'f1000_0010_0010_C.class');
    assert.equal(s.frames[1199], 'f1199_0010_0010_C.class');
  });

  test('doubtful values fall back to sound ones', () => {
    const cases = [
      // [entries, width, height, expected subset]
      [[['style', 'imagelink'], ['TARGETFRAME', ' main ']], '10', '10', { style: 'ImageLink', target: 'main' }],
      [[['Style', 'Marquee']], '10', '10', { style: 'ImageLink' }],
      [[['TextColor', 'red'], ['BorderColor', '#abcdef']], '10', '10', { textColor: '#FFFFFF', borderColor: '#ABCDEF' }],
      [[['Border', '-3']], '10', '10', { border: 0 }],
      [[['Border', '99999']], '10', '10', { border: 1000 }],
      [[['FrameDelay', '0']], '10', '10', { delay: 1 }],
      [[['FrameDelay', 'soon']], '10', '10', { delay: 1000 }],
      // Frames past FrameCount are ignored; without a count they run to the first gap.
      [[['FrameCount', '1'], ['Frame000', 'a'], ['Frame001', 'b']], '1', '1', { frames: ['a'] }],
      [[['Frame000', 'a'], ['Frame001', 'b'], ['Frame003', 'd']], '1', '1', { frames: ['a', 'b'] }],
      // A size of 0 (unreadable image) comes from the file name, else from the image.
      [[['Frame000', 'x_0640_0480_C.class']], '0', '0', { width: 640, height: 480 }],
      [[['Frame000', 'x.class']], '0', '0', { width: 0, height: 0 }],
      [[['Frame000', 'a']], '99999', '20', { width: 16384, height: 20 }],
    ];
    for (const [entries, w, h, expected] of cases) {
      const s = parseSettings(params(entries), w, h);
      for (const [key, value] of Object.entries(expected)) {
        assert.deepEqual(s[key], value, `${JSON.stringify(entries)} -> ${key}`);
      }
    }
  });

  test('links open only web and mail addresses', () => {
    const base = 'http://localhost:8080/gallery/page.html';
    const cases = [
      ['https://example.com/x?a=1', 'https://example.com/x?a=1'],
      ['other.html', 'http://localhost:8080/gallery/other.html'],
      ['/top.html', 'http://localhost:8080/top.html'],
      ['mailto:artist@example.com', 'mailto:artist@example.com'],
      ['javascript:alert(1)', ''],
      [' JavaScript:alert(1)', ''],
      ['data:text/html,<b>x</b>', ''],
      ['', ''],
    ];
    for (const [link, expected] of cases) assert.equal(safeLink(link, base), expected, link);
  });
});

test('random damage to protected files raises only viewer errors', async () => {
  // A bounded, seeded fuzz run over the decoding path a page takes: every outcome is
  // an image or a ViewerError, never another exception and never a hang.
  const seeds = [
    protect(path.join(samplesDir, 'lantern.gif'), ''),
    protect(path.join(samplesDir, 'quarry.tif'), 'abc'),
    protect(path.join(samplesDir, 'quarry.tif'), ''),
  ];
  const rnd = seededBytes(20240601, 200000);
  let r = 0;
  const next = (n) => {
    const v = (rnd[r % rnd.length] | (rnd[(r + 1) % rnd.length] << 8) | (rnd[(r + 2) % rnd.length] << 16)) % n;
    r += 3;
    return v;
  };
  let images = 0;
  for (let round = 0; round < 600; round++) {
    const base = seeds[round % seeds.length];
    let file = base.slice();
    const edits = 1 + next(8);
    for (let e = 0; e < edits; e++) {
      const kind = next(4);
      if (kind === 0) file[next(Math.min(file.length, 400))] = next(256); // header and TIFF directory
      else if (kind === 1) file[next(file.length)] = next(256);
      else if (kind === 2) file = file.slice(0, next(file.length) + 1);
      else file[8 + next(Math.min(file.length - 8, 64))] ^= 1 << next(8);
    }
    try {
      const image = decodeProtected(file, 'abc');
      if (image.type === 'tiff') await decodeTiff(image.bytes);
      images++;
    } catch (e) {
      if (!(e instanceof ViewerError)) {
        assert.fail(`round ${round}: ${e && e.stack}`);
      }
    }
  }
  assert.ok(images > 0, 'some damaged files still decode');
});
