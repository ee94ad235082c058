// TIFF, which browsers do not decode: baseline strips, uncompressed, PackBits, LZW or
// Deflate, to RGBA pixels.
import { ViewerError } from './errors.js';

// Larger pictures than a phone can hold are refused before anything is allocated.
const TIFF_MAX_PIXELS = 32 * 1000 * 1000;
const TIFF_MAX_RAW_BYTES = 512 * 1024 * 1024;
const TIFF_MAX_ENTRIES = 4096;
const TIFF_TYPE_SIZES = { 1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 6: 1, 7: 1, 8: 2, 9: 4, 10: 8, 11: 4, 12: 8 };
const TIFF_COMPRESSION_NAMES = {
  2: 'CCITT Huffman', 3: 'CCITT fax 3', 4: 'CCITT fax 4', 6: 'old-style JPEG', 7: 'JPEG',
  34712: 'JPEG 2000', 50000: 'Zstandard', 34925: 'LZMA',
};
const TIFF_PHOTOMETRIC_NAMES = { 4: 'transparency mask', 5: 'CMYK', 6: 'YCbCr', 8: 'CIE L*a*b*' };

function unsupportedTiff(detail) {
  return new ViewerError('tiff-unsupported', 'uses a TIFF variant this viewer cannot show (' + detail + ')');
}
function damagedTiff(detail) {
  return new ViewerError('tiff-damaged', 'is a damaged TIFF image (' + detail + ')');
}

// Reads the first image directory of a TIFF into a map tag -> array of numbers.
function readTiffDirectory(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  if (bytes.length < 8) throw damagedTiff('too short');
  const little = bytes[0] === 0x49;
  const u16 = (at) => view.getUint16(at, little);
  const u32 = (at) => view.getUint32(at, little);
  if (u16(2) !== 42) throw unsupportedTiff('BigTIFF or unknown version');
  const ifd = u32(4);
  if (ifd < 8 || ifd + 2 > bytes.length) throw damagedTiff('directory outside the file');
  const count = u16(ifd);
  if (count === 0 || count > TIFF_MAX_ENTRIES || ifd + 2 + count * 12 > bytes.length) {
    throw damagedTiff('directory cut short');
  }
  const tags = new Map();
  for (let e = 0; e < count; e++) {
    const at = ifd + 2 + e * 12;
    const tag = u16(at);
    const type = u16(at + 2);
    const n = u32(at + 4);
    const size = TIFF_TYPE_SIZES[type];
    if (!size || n === 0) continue;
    const total = size * n;
    const start = total <= 4 ? at + 8 : u32(at + 8);
    if (start + total > bytes.length || total > bytes.length) throw damagedTiff('tag ' + tag + ' outside the file');
    if (type !== 1 && type !== 3 && type !== 4 && type !== 7) {
      tags.set(tag, []);
      continue; // rationals, texts, signed and floating values: nothing we need
    }
    const values = new Array(n);
    for (let i = 0; i < n; i++) {
      const p = start + i * size;
      values[i] = size === 1 ? bytes[p] : size === 2 ? u16(p) : u32(p);
    }
    tags.set(tag, values);
  }
  return { tags, little };
}

// PackBits: a header byte n; 0..127 copy n+1 bytes, -127..-1 repeat the next byte 1-n
// times, -128 nothing. Fills `out` from `pos` up to `end` at most; returns the new end.
function unpackBits(src, out, pos, end) {
  let i = 0;
  while (i < src.length && pos < end) {
    const n = src[i++];
    if (n < 128) {
      const count = Math.min(n + 1, end - pos, src.length - i);
      out.set(src.subarray(i, i + count), pos);
      pos += count;
      i += n + 1;
    } else if (n > 128) {
      if (i >= src.length) break;
      const count = Math.min(257 - n, end - pos);
      out.fill(src[i++], pos, pos + count);
      pos += count;
    }
  }
  return pos;
}

// TIFF LZW: codes of 9 to 12 bits, most significant bit first, with the code width
// growing one code early. 256 clears the table, 257 ends the strip. Fills `out` from
// `pos` up to `end` at most; returns the new end.
function unLzw(src, out, pos, end) {
  if (src.length >= 2 && src[0] === 0 && (src[1] & 1) === 1) {
    throw unsupportedTiff('old-style LZW');
  }
  const prefix = new Int32Array(4096);
  const suffix = new Uint8Array(4096);
  const first = new Uint8Array(4096);
  const length = new Int32Array(4096);
  for (let c = 0; c < 256; c++) {
    prefix[c] = -1;
    suffix[c] = c;
    first[c] = c;
    length[c] = 1;
  }
  let next = 258;
  let width = 9;
  let old = -1;
  let bitBuffer = 0;
  let bitCount = 0;
  let i = 0;
  while (pos < end) {
    while (bitCount < width) {
      if (i >= src.length) return pos;
      bitBuffer = ((bitBuffer << 8) | src[i++]) & 0xffffff;
      bitCount += 8;
    }
    const code = (bitBuffer >>> (bitCount - width)) & ((1 << width) - 1);
    bitCount -= width;
    if (code === 257) break;
    if (code === 256) {
      next = 258;
      width = 9;
      old = -1;
      continue;
    }
    if (old === -1) {
      if (code > 255) throw damagedTiff('LZW data');
      out[pos++] = code;
      old = code;
      continue;
    }
    if (code > next || (code === next && next >= 4096)) throw damagedTiff('LZW data');
    const added = code < next ? first[code] : first[old];
    if (next < 4096) {
      prefix[next] = old;
      suffix[next] = added;
      first[next] = first[old];
      length[next] = length[old] + 1;
      next++;
    }
    // Write the string of `code` backwards, without the tail that does not fit.
    const len = length[code];
    const room = Math.min(len, end - pos);
    let c = code;
    for (let skip = len - room; skip > 0; skip--) c = prefix[c];
    for (let k = room - 1; k >= 0; k--) {
      out[pos + k] = suffix[c];
      c = prefix[c];
    }
    pos += room;
    old = code;
    if (next >= (1 << width) - 1 && width < 12) width++;
  }
  return pos;
}

// Reads what decoding a TIFF's first image needs, refusing what it cannot decode.
function readTiffLayout(bytes) {
  const { tags, little } = readTiffDirectory(bytes);
  const one = (tag, fallback) => {
    const v = tags.get(tag);
    return v && v.length ? v[0] : fallback;
  };
  const width = one(256, 0);
  const height = one(257, 0);
  if (!width || !height) throw damagedTiff('no image size');
  if (width * height > TIFF_MAX_PIXELS) throw unsupportedTiff(width + ' x ' + height + ' pixels is too large');
  const compression = one(259, 1);
  if (compression !== 1 && compression !== 5 && compression !== 32773 && !isDeflate(compression)) {
    throw unsupportedTiff((TIFF_COMPRESSION_NAMES[compression] || 'compression ' + compression) + ' compression');
  }
  const photometric = one(262, -1);
  const spp = one(277, 1);
  const bitsList = tags.get(258) || [1];
  const bits = bitsList[0];
  if (bitsList.some((b) => b !== bits)) throw unsupportedTiff('mixed sample sizes');
  const planar = one(284, 1);
  const predictor = one(317, 1);
  const sampleFormat = one(339, 1);
  if (tags.has(322) || tags.has(324)) throw unsupportedTiff('tiled layout');
  if (sampleFormat !== 1) throw unsupportedTiff('floating-point or signed samples');
  if (TIFF_PHOTOMETRIC_NAMES[photometric]) throw unsupportedTiff(TIFF_PHOTOMETRIC_NAMES[photometric] + ' colours');
  if (photometric < 0 || photometric > 3) throw unsupportedTiff('colour model ' + photometric);
  if (spp < 1 || spp > 16) throw damagedTiff(spp + ' samples per pixel');
  const colour = photometric === 2;
  if (colour && spp < 3) throw damagedTiff('RGB with ' + spp + ' samples per pixel');
  if (colour || planar === 2) {
    if (bits !== 8 && bits !== 16) throw unsupportedTiff(bits + '-bit colour samples');
  } else if (bits !== 1 && bits !== 2 && bits !== 4 && bits !== 8 && bits !== 16) {
    throw unsupportedTiff(bits + '-bit samples');
  }
  if (photometric === 3 && bits > 8) throw unsupportedTiff(bits + '-bit palette');
  if (predictor !== 1 && !(predictor === 2 && (bits === 8 || bits === 16))) {
    throw unsupportedTiff('predictor ' + predictor);
  }
  if (planar !== 1 && planar !== 2) throw damagedTiff('planar configuration ' + planar);

  // Which extra sample is alpha: ExtraSamples 1 (premultiplied) or 2 (straight).
  const baseSamples = colour ? 3 : 1;
  const extra = tags.get(338) || [];
  const alphaKind = spp > baseSamples && (extra[0] === 1 || extra[0] === 2) ? extra[0] : 0;

  const planes = planar === 2 ? spp : 1;
  const samplesInRow = planar === 2 ? 1 : spp;
  const rowBytes = Math.ceil((width * samplesInRow * bits) / 8);
  const rowsPerStrip = Math.min(one(278, height) || height, height);
  const stripsPerPlane = Math.ceil(height / rowsPerStrip);
  const offsets = tags.get(273);
  if (!offsets) throw damagedTiff('no strip offsets');
  if (offsets.length < stripsPerPlane * planes) throw damagedTiff('missing strips');
  let counts = tags.get(279);
  if (!counts) {
    if (compression !== 1) throw damagedTiff('no strip byte counts');
    counts = offsets.map(() => rowsPerStrip * rowBytes);
  }
  if (counts.length < offsets.length) throw damagedTiff('missing strip byte counts');
  const planeBytes = rowBytes * height;
  if (planeBytes * planes > TIFF_MAX_RAW_BYTES) throw unsupportedTiff('image data too large');

  // Where each strip's data lies in the file and where its rows go in the planes.
  const strips = [];
  for (let p = 0; p < planes; p++) {
    for (let s = 0; s < stripsPerPlane; s++) {
      const index = p * stripsPerPlane + s;
      const start = offsets[index];
      if (start >= bytes.length) throw damagedTiff('strip ' + index + ' outside the file');
      const from = p * planeBytes + s * rowsPerStrip * rowBytes;
      const rows = Math.min(rowsPerStrip, height - s * rowsPerStrip);
      strips.push({
        index,
        src: bytes.subarray(start, Math.min(bytes.length, start + counts[index])),
        from,
        to: from + rows * rowBytes,
      });
    }
  }
  return {
    width, height, little, compression, photometric, spp, bits, planar, predictor,
    colour, baseSamples, alphaKind, planes, samplesInRow, rowBytes, planeBytes, strips,
    colourMap: tags.get(320),
  };
}

function isDeflate(compression) {
  return compression === 8 || compression === 32946;
}

// Inflates a zlib stream, stopping once `limit` bytes have come out.
async function inflate(src, limit) {
  if (typeof DecompressionStream !== 'function') throw unsupportedTiff('Deflate compression');
  const stream = new Blob([src]).stream().pipeThrough(new DecompressionStream('deflate'));
  const reader = stream.getReader();
  const out = new Uint8Array(limit);
  let pos = 0;
  try {
    while (pos < limit) {
      const { done, value } = await reader.read();
      if (done) break;
      const n = Math.min(value.length, limit - pos);
      out.set(value.subarray(0, n), pos);
      pos += n;
    }
  } catch (e) {
    // a damaged stream: what came out so far is checked against the strip size below
  } finally {
    reader.cancel().catch(() => {});
  }
  return out.subarray(0, pos);
}

// Decodes a TIFF's first image to { width, height, data } with data RGBA, 8 bits.
export async function decodeTiff(bytes) {
  const t = readTiffLayout(bytes);
  const { width, height, little, compression, photometric, spp, bits, planar } = t;
  const { colour, baseSamples, alphaKind, samplesInRow, rowBytes, planeBytes } = t;
  // Every plane unpacked to rows of rowBytes bytes.
  const raw = new Uint8Array(planeBytes * t.planes);
  for (const strip of t.strips) {
    const { src, from, to } = strip;
    let got;
    if (compression === 1 || isDeflate(compression)) {
      const data = compression === 1 ? src : await inflate(src, to - from);
      got = Math.min(data.length, to - from);
      raw.set(data.subarray(0, got), from);
      got += from;
    } else if (compression === 32773) {
      got = unpackBits(src, raw, from, to);
    } else {
      got = unLzw(src, raw, from, to);
    }
    if (got < to) throw damagedTiff('strip ' + strip.index + ' cut short');
  }

  if (t.predictor === 2) undoPredictor(raw, width, height * t.planes, rowBytes, samplesInRow, bits, little);

  const paletteMap = photometric === 3 ? readPalette(t.colourMap, bits) : null;
  const out = new Uint8ClampedArray(width * height * 4);
  // Each row as 8-bit samples in pixel order (palette indexes and samples of fewer
  // than 8 bits unscaled), then mapped to RGBA.
  const line = new Uint8Array(width * spp);
  const low = bits < 8 ? (1 << bits) - 1 : 0;
  const lowScale = low ? 255 / low : 1;
  const readRow = (plane, y, into, step, first) => {
    const row = plane * planeBytes + y * rowBytes;
    const n = width * samplesInRow;
    for (let k = 0, o = first; k < n; k++, o += step) {
      let v;
      if (bits === 8) {
        v = raw[row + k];
      } else if (bits === 16) {
        const at = row + k * 2;
        v = ((little ? raw[at] | (raw[at + 1] << 8) : (raw[at] << 8) | raw[at + 1]) + 128) / 257;
      } else {
        const bit = k * bits;
        v = (raw[row + (bit >> 3)] >> (8 - bits - (bit & 7))) & low;
      }
      into[o] = v;
    }
  };
  for (let y = 0; y < height; y++) {
    if (planar === 2) {
      for (let c = 0; c < spp; c++) readRow(c, y, line, spp, c);
    } else {
      readRow(0, y, line, 1, 0);
    }
    let o = y * width * 4;
    for (let x = 0, i = 0; x < width; x++, i += spp, o += 4) {
      let r, g, b;
      if (colour) {
        r = line[i];
        g = line[i + 1];
        b = line[i + 2];
      } else if (paletteMap) {
        const p = line[i] * 3;
        r = paletteMap[p];
        g = paletteMap[p + 1];
        b = paletteMap[p + 2];
      } else {
        let v = low ? Math.round(line[i] * lowScale) : line[i];
        if (photometric === 0) v = 255 - v;
        r = g = b = v;
      }
      let a = 255;
      if (alphaKind) {
        a = low ? Math.round(line[i + baseSamples] * lowScale) : line[i + baseSamples];
        if (alphaKind === 1 && a < 255) {
          // premultiplied: back to straight colour
          if (a === 0) {
            r = g = b = 0;
          } else {
            r = Math.min(255, Math.round((r * 255) / a));
            g = Math.min(255, Math.round((g * 255) / a));
            b = Math.min(255, Math.round((b * 255) / a));
          }
        }
      }
      out[o] = r;
      out[o + 1] = g;
      out[o + 2] = b;
      out[o + 3] = a;
    }
  }
  raw.fill(0);
  return { width, height, data: out };
}

function undoPredictor(raw, width, rows, rowBytes, samplesInRow, bits, little) {
  if (bits === 8) {
    for (let y = 0; y < rows; y++) {
      const row = y * rowBytes;
      for (let i = samplesInRow; i < width * samplesInRow; i++) {
        raw[row + i] = (raw[row + i] + raw[row + i - samplesInRow]) & 0xff;
      }
    }
    return;
  }
  const view = new DataView(raw.buffer, raw.byteOffset, raw.byteLength);
  for (let y = 0; y < rows; y++) {
    const row = y * rowBytes;
    for (let i = samplesInRow; i < width * samplesInRow; i++) {
      const at = row + i * 2;
      const before = view.getUint16(at - samplesInRow * 2, little);
      view.setUint16(at, (view.getUint16(at, little) + before) & 0xffff, little);
    }
  }
}

// The colour map: 3 * 2^bits 16-bit values, all reds, then greens, then blues.
function readPalette(map, bits) {
  const n = 1 << bits;
  if (!map || map.length < 3 * n) throw damagedTiff('palette missing or short');
  const rgb = new Uint8Array(256 * 3);
  for (let i = 0; i < n; i++) {
    rgb[i * 3] = ((map[i] + 128) / 257) | 0;
    rgb[i * 3 + 1] = ((map[n + i] + 128) / 257) | 0;
    rgb[i * 3 + 2] = ((map[2 * n + i] + 128) / 257) | 0;
  }
  return rgb;
}
