// A bounded GIF decoder for browsers without ImageDecoder (Safari, WebKit): it reads the
// frames, their delays and the loop count, and draws each frame onto one canvas-sized
// RGBA buffer the way browsers do (disposal methods, transparency, interlacing).
//
// How the viewer uses it:
//
//   import { decodeGif, createCompositor, GifError } from './gif.js';
//
//   const gif = decodeGif(bytes, { maxPixels, maxFrames });
//     // Reads the whole block structure at once and throws GifError before allocating
//     // anything large when the file is damaged or too big. The caller may wipe `bytes`
//     // afterwards: `gif` keeps its own copy of the compressed pixel data (out of sight
//     // of page scripts) until closeGif(gif).
//     // gif = { width, height, repeat, loopCount, frames: [{ x, y, width, height,
//     //         delayMs, disposal, transparent, interlaced }] }
//     // repeat: how many times the animation plays again after the first time, as
//     //   ImageDecoder's repetitionCount: Infinity for "loop for ever", 0 without a loop
//     //   extension. loopCount is the file's own number (null without the extension).
//     // delayMs: the frame's delay; 0 and 10 ms count as 100 ms, as browsers do.
//
//   const comp = createCompositor(gif);
//   const rgba = comp.render(index);
//     // Frame `index` composited over what came before, as a Uint8ClampedArray of
//     // width * height * 4 bytes (straight alpha, row by row): ready for
//     // new ImageData(rgba, gif.width, gif.height). The same buffer is returned every
//     // time and changes with the next render; copy it (createImageBitmap) before then.
//     // Going forward by one frame costs that frame only; going back starts again from
//     // frame 0. Throws GifError when a frame's pixel data is damaged: the frames before
//     // it stay good.
//   comp.close();   // wipes the buffers
//   closeGif(gif);  // wipes the compressed data
//
//   compositeFrames(gif, (rgba, index, frame) => { ... });
//     // Every frame in order through one compositor (for tests and short GIFs).
//
// Limits: maxPixels bounds the canvas and every frame rectangle (default 16 megapixels,
// 64 MB of RGBA); maxFrames bounds the number of frames (default 5000). The work of one
// render is bounded by the frame's rectangle and its data; nothing loops on its own.
import { ViewerError } from './errors.js';

// The decoder's only error: damaged or unsupported data ('gif-damaged') or a size
// above the limits ('gif-too-large').
export class GifError extends ViewerError {
  constructor(code, message) {
    super(code, message);
    this.name = 'GifError';
  }
}

const damaged = (detail) => new GifError('gif-damaged', 'is a damaged GIF image (' + detail + ')');
const tooLarge = (detail) => new GifError('gif-too-large', 'is a GIF image too large to animate here (' + detail + ')');

const MAX_CODE_BITS = 12;
const gifData = new WeakMap(); // gif -> { data, frames: [{ start, end, palette, ... }] }

// Sub-block chains (a length byte, that many bytes, ..., a zero byte) from `pos`: returns
// the position after the terminator and the total payload length. Each step moves
// forward by at least one byte, so a chain ends or runs out of bytes.
function skipSubBlocks(bytes, pos, what) {
  let total = 0;
  for (;;) {
    if (pos >= bytes.length) throw damaged(what + ' cut short');
    const n = bytes[pos];
    pos += 1;
    if (n === 0) return { pos, total };
    if (pos + n > bytes.length) throw damaged(what + ' cut short');
    pos += n;
    total += n;
  }
}

function readPalette(bytes, pos, flags, what) {
  const count = 2 << (flags & 7);
  const end = pos + 3 * count;
  if (end > bytes.length) throw damaged(what + ' colour table cut short');
  // 256 entries always, so an index beyond a short table reads opaque black.
  const palette = new Uint8Array(256 * 4);
  for (let i = 0; i < 256; i++) palette[i * 4 + 3] = 255;
  for (let i = 0; i < count; i++) {
    palette[i * 4] = bytes[pos + 3 * i];
    palette[i * 4 + 1] = bytes[pos + 3 * i + 1];
    palette[i * 4 + 2] = bytes[pos + 3 * i + 2];
  }
  return { palette, pos: end };
}

export function decodeGif(bytes, { maxPixels = 16 * 1024 * 1024, maxFrames = 5000 } = {}) {
  if (!(bytes instanceof Uint8Array)) bytes = new Uint8Array(bytes);
  if (bytes.length < 13) throw damaged('header cut short');
  const sig = String.fromCharCode(...bytes.subarray(0, 6));
  if (sig !== 'GIF87a' && sig !== 'GIF89a') throw damaged('not a GIF signature');
  let width = bytes[6] | (bytes[7] << 8);
  let height = bytes[8] | (bytes[9] << 8);
  const screenFlags = bytes[10];
  if (width * height > maxPixels) throw tooLarge(width + ' x ' + height + ' pixels');
  let pos = 13;
  let globalPalette = null;
  if (screenFlags & 0x80) ({ palette: globalPalette, pos } = readPalette(bytes, pos, screenFlags, 'global'));

  const frames = [];
  const inner = [];
  const spans = [];
  let dataLength = 0;
  let loopCount = null;
  let control = null; // the graphic control extension for the next image
  let ended = false;
  while (!ended) {
    if (pos >= bytes.length) break; // a missing trailer is common and harmless
    const kind = bytes[pos];
    pos += 1;
    if (kind === 0x3b) {
      ended = true;
    } else if (kind === 0x21) {
      if (pos >= bytes.length) throw damaged('extension cut short');
      const label = bytes[pos];
      pos += 1;
      if (label === 0xf9 && pos < bytes.length && bytes[pos] >= 4 && pos + 5 <= bytes.length) {
        const f = bytes[pos + 1];
        const cs = bytes[pos + 2] | (bytes[pos + 3] << 8);
        control = {
          disposal: (f >> 2) & 7,
          transparentIndex: f & 1 ? bytes[pos + 4] : -1,
          delayMs: cs <= 1 ? 100 : cs * 10,
        };
      } else if (label === 0xff && pos + 12 <= bytes.length && bytes[pos] === 11) {
        const app = String.fromCharCode(...bytes.subarray(pos + 1, pos + 12));
        const sub = pos + 12;
        if ((app === 'NETSCAPE2.0' || app === 'ANIMEXTS1.0') && sub + 4 <= bytes.length
            && bytes[sub] >= 3 && bytes[sub + 1] === 1) {
          loopCount = bytes[sub + 2] | (bytes[sub + 3] << 8);
        }
      }
      pos = skipSubBlocks(bytes, pos, 'extension').pos;
    } else if (kind === 0x2c) {
      if (pos + 9 > bytes.length) throw damaged('image descriptor cut short');
      const x = bytes[pos] | (bytes[pos + 1] << 8);
      const y = bytes[pos + 2] | (bytes[pos + 3] << 8);
      const w = bytes[pos + 4] | (bytes[pos + 5] << 8);
      const h = bytes[pos + 6] | (bytes[pos + 7] << 8);
      const flags = bytes[pos + 8];
      pos += 9;
      if (frames.length >= maxFrames) throw tooLarge('more than ' + maxFrames + ' frames');
      if (w * h > maxPixels) throw tooLarge('a frame of ' + w + ' x ' + h + ' pixels');
      let palette = globalPalette;
      if (flags & 0x80) ({ palette, pos } = readPalette(bytes, pos, flags, 'local'));
      if (!palette) throw damaged('an image without a colour table');
      if (pos >= bytes.length) throw damaged('image data cut short');
      const minCodeSize = bytes[pos];
      pos += 1;
      if (minCodeSize < 1 || minCodeSize >= MAX_CODE_BITS) throw damaged('LZW code size ' + minCodeSize);
      const start = pos;
      const chain = skipSubBlocks(bytes, pos, 'image data');
      pos = chain.pos;
      if (frames.length === 0 && (width === 0 || height === 0)) {
        // A screen of no size: take the first frame's extent, as browsers do.
        width = Math.max(width, x + w);
        height = Math.max(height, y + h);
      }
      const c = control || { disposal: 0, transparentIndex: -1, delayMs: 100 };
      control = null;
      frames.push({
        x, y, width: w, height: h, delayMs: c.delayMs, disposal: c.disposal,
        transparent: c.transparentIndex >= 0, interlaced: (flags & 0x40) !== 0,
      });
      inner.push({ offset: dataLength, length: chain.total, palette, minCodeSize, transparentIndex: c.transparentIndex });
      spans.push(start);
      dataLength += chain.total;
    } else {
      // Anything else is not a GIF block: browsers stop here and keep what they have.
      break;
    }
  }
  if (!frames.length) throw damaged('no image in the file');
  if (width * height > maxPixels) throw tooLarge(width + ' x ' + height + ' pixels');

  // One copy of the compressed data, the sub-block lengths taken out.
  const data = new Uint8Array(dataLength);
  for (let i = 0; i < frames.length; i++) {
    let p = spans[i];
    let o = inner[i].offset;
    for (let n = bytes[p]; n; n = bytes[p]) {
      data.set(bytes.subarray(p + 1, p + 1 + n), o);
      o += n;
      p += n + 1;
    }
  }
  const gif = {
    width,
    height,
    loopCount,
    repeat: loopCount === null ? 0 : loopCount === 0 ? Infinity : loopCount,
    frames,
  };
  gifData.set(gif, { data, inner });
  return gif;
}

// Wipes the compressed data a decoded GIF keeps; its compositors can render no more.
export function closeGif(gif) {
  const kept = gifData.get(gif);
  if (!kept) return;
  kept.data.fill(0);
  gifData.delete(gif);
}

// Draws frame `f` of `gif` onto `out` (the canvas, width * height RGBA): LZW decoding
// straight into the canvas through the palette, clipped to the canvas, transparent
// pixels left as they are.
function drawFrame(gif, f, out, tables) {
  const kept = gifData.get(gif);
  if (!kept) throw new GifError('gif-damaged', 'is a GIF image that was closed');
  const { data } = kept;
  const info = kept.inner[f];
  const frame = gif.frames[f];
  const { prefix, suffix, stack } = tables;
  const palette = info.palette;
  const transparent = info.transparentIndex;
  const W = gif.width;
  const H = gif.height;
  const fw = frame.width;
  const fh = frame.height;
  const total = fw * fh;
  if (!total) return;

  // Rows in the order the data gives them.
  let row = 0;
  let pass = 0;
  const steps = [8, 8, 4, 2];
  const starts = [0, 4, 2, 1];
  let col = 0;
  let written = 0;
  let target = -1; // index into `out` of the current row's first pixel, -1 when clipped
  const rowTarget = (r) => {
    const cy = frame.y + r;
    return cy < H ? (cy * W + frame.x) * 4 : -1;
  };
  const visibleCols = Math.max(0, Math.min(fw, W - frame.x));
  target = rowTarget(0);
  const put = (index) => {
    if (target >= 0 && col < visibleCols && index !== transparent) {
      const o = target + col * 4;
      const p = index * 4;
      out[o] = palette[p];
      out[o + 1] = palette[p + 1];
      out[o + 2] = palette[p + 2];
      out[o + 3] = palette[p + 3];
    }
    written++;
    if (++col === fw) {
      col = 0;
      if (frame.interlaced) {
        row += steps[pass];
        while (row >= fh && pass < 3) {
          pass++;
          row = starts[pass];
        }
      } else {
        row++;
      }
      target = row < fh ? rowTarget(row) : -1;
    }
  };

  const minCodeSize = info.minCodeSize;
  const clear = 1 << minCodeSize;
  const eoi = clear + 1;
  let codeSize = minCodeSize + 1;
  let codeMask = (1 << codeSize) - 1;
  let next = clear + 2;
  let previous = -1;
  let first = 0;
  let bits = 0;
  let bitCount = 0;
  let p = info.offset;
  const end = info.offset + info.length;
  for (let i = 0; i < clear; i++) {
    prefix[i] = 0;
    suffix[i] = i;
  }

  while (written < total) {
    while (bitCount < codeSize) {
      if (p >= end) return; // data ends early: the rest of the frame stays as it was
      bits |= data[p++] << bitCount;
      bitCount += 8;
    }
    const code = bits & codeMask;
    bits >>>= codeSize;
    bitCount -= codeSize;
    if (code === clear) {
      codeSize = minCodeSize + 1;
      codeMask = (1 << codeSize) - 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code === eoi) return;
    if (previous < 0) {
      if (code >= clear) throw damaged('an LZW code before any string');
      put(code);
      previous = code;
      first = code;
      continue;
    }
    let cur = code;
    let n = 0;
    if (code >= next) {
      if (code > next || next >= 4096) throw damaged('an LZW code out of range');
      // The string of the previous code followed by its own first character.
      stack[n++] = first;
      cur = previous;
    }
    while (cur >= clear) {
      stack[n++] = suffix[cur];
      cur = prefix[cur];
    }
    stack[n++] = cur;
    first = cur;
    while (n > 0 && written < total) put(stack[--n]);
    if (next < 4096) {
      prefix[next] = previous;
      suffix[next] = first;
      next++;
      if (next > codeMask && codeSize < MAX_CODE_BITS) {
        codeSize++;
        codeMask = (1 << codeSize) - 1;
      }
    }
    previous = code;
  }
}

// A compositor: renders the frames of `gif` one after another onto one RGBA buffer.
export function createCompositor(gif) {
  const { width, height } = gif;
  const rgba = new Uint8ClampedArray(width * height * 4);
  const tables = {
    prefix: new Uint16Array(4096),
    suffix: new Uint8Array(4096),
    stack: new Uint8Array(4097),
  };
  let saved = null; // the area under the last frame, for "restore to previous"
  let current = -1;
  let closed = false;

  // Undoes frame `i` as its disposal method says, before the next frame is drawn.
  const dispose = (i) => {
    const f = gif.frames[i];
    const x1 = Math.min(width, f.x + f.width);
    const y1 = Math.min(height, f.y + f.height);
    if (x1 <= f.x || y1 <= f.y) return; // wholly outside the canvas
    if (f.disposal === 2) {
      for (let y = f.y; y < y1; y++) rgba.fill(0, (y * width + f.x) * 4, (y * width + x1) * 4);
    } else if ((f.disposal === 3 || f.disposal === 4) && saved) {
      let k = 0;
      for (let y = f.y; y < y1; y++) {
        const row = (y * width + f.x) * 4;
        const n = (x1 - f.x) * 4;
        rgba.set(saved.subarray(k, k + n), row);
        k += n;
      }
    }
  };
  const step = (i) => {
    const f = gif.frames[i];
    if (f.disposal === 3 || f.disposal === 4) {
      const x1 = Math.min(width, f.x + f.width);
      const y1 = Math.min(height, f.y + f.height);
      const n = Math.max(0, x1 - f.x) * 4;
      const need = n * Math.max(0, y1 - f.y);
      if (!saved || saved.length < need) saved = new Uint8ClampedArray(need);
      let k = 0;
      for (let y = f.y; y < y1; y++) {
        saved.set(rgba.subarray((y * width + f.x) * 4, (y * width + f.x) * 4 + n), k);
        k += n;
      }
    }
    drawFrame(gif, i, rgba, tables);
    current = i;
  };

  return {
    width,
    height,
    rgba,
    get index() {
      return current;
    },
    render(index) {
      if (closed) throw new GifError('gif-damaged', 'is a GIF image that was closed');
      if (!(index >= 0 && index < gif.frames.length) || !Number.isInteger(index)) {
        throw new RangeError('no frame ' + index);
      }
      if (index === current) return rgba;
      if (index < current || current < 0) {
        rgba.fill(0);
        current = -1;
      }
      while (current < index) {
        const at = current;
        if (at >= 0) dispose(at);
        try {
          step(at + 1);
        } catch (e) {
          // The buffer holds a half-drawn frame: start afresh next time.
          current = -1;
          throw e;
        }
      }
      return rgba;
    },
    close() {
      closed = true;
      rgba.fill(0);
      if (saved) saved.fill(0);
    },
  };
}

// Renders every frame of `gif` in order, calling onFrame(rgba, index, frame) after each;
// `rgba` is the compositor's buffer, valid until onFrame returns.
export function compositeFrames(gif, onFrame) {
  const comp = createCompositor(gif);
  try {
    for (let i = 0; i < gif.frames.length; i++) onFrame(comp.render(i), i, gif.frames[i]);
  } finally {
    comp.close();
  }
}
