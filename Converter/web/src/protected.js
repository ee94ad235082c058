// Protected image files: reading the header, the domain lock and unscrambling.
//
//   0   "QLM"
//   3   mode: 1 keyed (locked to a domain), 3 keyless
//   4   62 31 5A 60
//   8   keyed only: the header key text (ASCII '0'-'9', 'A'-'Z', 'a'-'g'), then 0x01
//   ... the image bytes, each XOR-ed with one byte of the key stream
// Keyed files XOR with the upper-cased header key text, repeating; keyless files with a
// 256-byte pattern computed from the body length alone.
import { ViewerError } from './errors.js';

export const MODE_KEYED = 1;
export const MODE_KEYLESS = 3;
const KEY_TERMINATOR = 0x01;
const HEADER_SIZE = 8;
// Longer than any host name (253 characters); bounds the terminator search.
const MAX_KEY_TEXT = 1024;

// Upper-cases ASCII letters and keeps only the characters '0' to 'Z' (codes 48 to 90).
export function normalizeKey(text) {
  let out = '';
  for (let i = 0; i < text.length; i++) {
    let c = text.charCodeAt(i);
    if (c >= 97 && c <= 122) c -= 32;
    if (c >= 48 && c <= 90) out += String.fromCharCode(c);
  }
  return out;
}

// The text a keyed file carries in its header for `key` (a domain name).
export function makeHeaderKeyText(key) {
  const k = normalizeKey(key);
  const n = k.length;
  let s = n;
  let out = '';
  for (let i = 0; i < n; i++) {
    const v = k.charCodeAt(i) - 48;
    s = (s + v + Math.imul(127, i)) | 0;
    let r = ((s + v) | 0) % 43;
    if (r < 0) r += 43;
    let c = 48 + r;
    if (c >= 58 && c <= 64) c = c - 58 + 97; // ':'..'@' become 'a'..'g'
    out += String.fromCharCode(c);
  }
  return out;
}

// The 256 entries of the keyless table for a body of `length` bytes, as unsigned
// 32-bit numbers. Signed 32-bit arithmetic that wraps, with a sign-keeping shift.
export function keylessTable(length) {
  const table = new Uint32Array(256);
  let f = length | 0;
  for (let i = 0; i < 256; i++) {
    const g = f ^ (Math.imul(f, (f - 7) | 0) >> 1);
    table[i] = g;
    f = (f + g + i) | 0;
  }
  return table;
}

// The key stream a body is XOR-ed with: 256 pattern bytes (keyless) or the header
// key text upper-cased (keyed).
export function keyStream(header, bodyLength) {
  if (header.mode === MODE_KEYLESS) {
    const table = keylessTable(bodyLength);
    const pattern = new Uint8Array(256);
    for (let i = 0; i < 256; i++) pattern[i] = table[i] & 0xff;
    return pattern;
  }
  const text = normalizeKey(header.keyText);
  const pattern = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) pattern[i] = text.charCodeAt(i);
  return pattern;
}

function isKeyTextChar(c) {
  return (c >= 48 && c <= 57) || (c >= 65 && c <= 90) || (c >= 97 && c <= 103);
}

// Reads the header of a protected file. Returns { mode, keyText, bodyOffset }. With
// `partial` set (the start of a file still arriving), returns null where more bytes
// could still make a sound header.
export function parseHeader(bytes, partial) {
  if (bytes.length < HEADER_SIZE && partial) return null;
  const looksProtected =
    bytes.length >= HEADER_SIZE &&
    bytes[0] === 0x51 && bytes[1] === 0x4c && bytes[2] === 0x4d &&
    bytes[4] === 0x62 && bytes[5] === 0x31 && bytes[6] === 0x5a && bytes[7] === 0x60;
  if (!looksProtected) throw new ViewerError('not-protected', 'is not a protected image file');
  const mode = bytes[3];
  if (mode === MODE_KEYLESS) return { mode, keyText: '', bodyOffset: HEADER_SIZE };
  if (mode !== MODE_KEYED) {
    throw new ViewerError('not-protected', 'is not a protected image file (unknown mode ' + mode + ')');
  }
  const limit = HEADER_SIZE + MAX_KEY_TEXT + 1;
  const end = Math.min(bytes.length, limit);
  let keyText = '';
  const damaged = new ViewerError('bad-header', 'has a damaged header');
  for (let i = HEADER_SIZE; i < end; i++) {
    const c = bytes[i];
    if (c === KEY_TERMINATOR) {
      if (keyText.length === 0) throw damaged;
      return { mode, keyText, bodyOffset: i + 1 };
    }
    if (!isKeyTextChar(c)) throw damaged;
    keyText += String.fromCharCode(c);
  }
  if (partial && end < limit) return null; // the key text goes on in bytes still to come
  throw damaged;
}

// XORs bytes[offset ...] with the repeating `pattern`, starting at pattern position
// `phase`, in place. The bulk goes four bytes at a time against the pattern repeated
// to a whole number of words.
export function unscramble(bytes, offset, pattern, phase) {
  const period = pattern.length;
  const n = bytes.length;
  let j = offset;
  let k = phase || 0;
  while (j < n && ((bytes.byteOffset + j) & 3) !== 0) {
    bytes[j++] ^= pattern[k];
    if (++k === period) k = 0;
  }
  const words = (n - j) >> 2;
  if (words >= 64) {
    // `period` words hold the pattern four times over, starting at phase k.
    const block = new Uint8Array(period * 4);
    for (let i = 0; i < block.length; i++) block[i] = pattern[(k + i) % period];
    const mask = new Uint32Array(block.buffer);
    const data = new Uint32Array(bytes.buffer, bytes.byteOffset + j, words);
    let w = 0;
    for (let i = 0; i < words; i++) {
      data[i] ^= mask[w];
      if (++w === period) w = 0;
    }
    j += words * 4;
    k = (k + words * 4) % period;
  }
  for (; j < n; j++) {
    bytes[j] ^= pattern[k];
    if (++k === period) k = 0;
  }
}

// The header key texts a page at `hostname` accepts: the host's own, and that of the
// host without a leading "www.".
export function acceptedKeyTexts(hostname) {
  const host = String(hostname || '');
  const texts = [];
  if (host) texts.push(makeHeaderKeyText(host));
  if (/^www\./i.test(host) && host.length > 4) texts.push(makeHeaderKeyText(host.slice(4)));
  return texts.filter((t) => t.length > 0);
}

export function isLockedFor(header, hostname) {
  return header.mode === MODE_KEYED && !acceptedKeyTexts(hostname).includes(header.keyText);
}

export const IMAGE_TYPES = {
  gif: 'image/gif',
  jpeg: 'image/jpeg',
  png: 'image/png',
  tiff: 'image/tiff',
  bmp: 'image/bmp',
  webp: 'image/webp',
  avif: 'image/avif',
};

function startsWith(bytes, at, signature) {
  if (bytes.length < at + signature.length) return false;
  for (let i = 0; i < signature.length; i++) {
    if (bytes[at + i] !== signature[i]) return false;
  }
  return true;
}

// The image type of `bytes` from its signature, or '' when it is none of ours.
export function detectImageType(bytes, at) {
  at = at || 0;
  if (startsWith(bytes, at, [0x47, 0x49, 0x46, 0x38])) return 'gif'; // GIF8
  if (startsWith(bytes, at, [0xff, 0xd8, 0xff])) return 'jpeg';
  if (startsWith(bytes, at, [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a])) return 'png';
  if (startsWith(bytes, at, [0x49, 0x49, 0x2a, 0x00])) return 'tiff'; // II*
  if (startsWith(bytes, at, [0x4d, 0x4d, 0x00, 0x2a])) return 'tiff'; // MM*
  if (startsWith(bytes, at, [0x42, 0x4d]) && bytes.length >= at + 26) return 'bmp'; // BM
  if (startsWith(bytes, at, [0x52, 0x49, 0x46, 0x46]) && startsWith(bytes, at + 8, [0x57, 0x45, 0x42, 0x50])) {
    return 'webp'; // RIFF....WEBP
  }
  if (startsWith(bytes, at + 4, [0x66, 0x74, 0x79, 0x70]) && hasAvifBrand(bytes, at)) return 'avif'; // ....ftyp
  return '';
}

// An ftyp box whose major or a compatible brand is avif, avis or mif1.
function hasAvifBrand(bytes, at) {
  const size = ((bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3]) >>> 0;
  const end = Math.min(at + size, bytes.length, at + 8 + 4 * 64);
  for (let p = at + 8; p + 4 <= end; p += p === at + 8 ? 8 : 4) {
    const brand = String.fromCharCode(bytes[p], bytes[p + 1], bytes[p + 2], bytes[p + 3]);
    if (brand === 'avif' || brand === 'avis' || brand === 'mif1') return true;
  }
  return false;
}

// Unscrambles a protected file for a page at `hostname` as its bytes arrive, chunk
// by chunk, in place. A file locked to another site is refused as soon as its header
// is in, before anything is unscrambled. The keyless pattern needs the body's length:
// `fileLength` (the announced length of the whole file, 0 when unknown) lets it start
// at once; when it was unknown or wrong, finish() unscrambles with the real length.
export class BodyDecoder {
  constructor(hostname, fileLength) {
    this.hostname = hostname;
    this.fileLength = fileLength > 0 ? fileLength : 0;
    this.head = null; // the first bytes, until the header is complete
    this.header = null;
    this.chunks = [];
    this.length = 0;
    this.pattern = null;
    this.assumed = -1; // the body length the keyless pattern was made for
    this.redone = false; // finish() had to unscramble again: the announced length was wrong
  }

  // Whether the chunks are unscrambled as they are pushed (a keyed file, or a keyless
  // one of announced length), and so can be read before the file is complete. Known
  // once the header is in; finish() may still find the announced length wrong.
  unscramblesAsPushed() {
    return !!this.pattern;
  }

  push(chunk) {
    if (!this.header) {
      this.head = this.head ? concatBytes([this.head, chunk]) : chunk;
      const header = parseHeader(this.head, true);
      if (!header) return;
      if (isLockedFor(header, this.hostname)) {
        throw new ViewerError('locked', 'This image is locked to another web site.');
      }
      this.header = header;
      chunk = this.head.subarray(header.bodyOffset);
      this.head = null;
      if (header.mode === MODE_KEYED) {
        this.pattern = keyStream(header, 0);
      } else if (this.fileLength > header.bodyOffset) {
        this.assumed = this.fileLength - header.bodyOffset;
        this.pattern = keyStream(header, this.assumed);
      }
    }
    if (chunk.length === 0) return;
    if (this.pattern) unscramble(chunk, 0, this.pattern, this.length % this.pattern.length);
    this.chunks.push(chunk);
    this.length += chunk.length;
  }

  // Returns { type, mime, chunks, length }: the image's bytes in order.
  finish() {
    if (!this.header) {
      parseHeader(this.head || new Uint8Array(0), false); // throws what is wrong
    }
    if (this.length === 0) throw new ViewerError('empty', 'holds no image');
    if (this.header.mode === MODE_KEYLESS && this.assumed !== this.length) {
      const right = keyStream(this.header, this.length);
      let at = 0;
      for (const chunk of this.chunks) {
        if (this.pattern) unscramble(chunk, 0, this.pattern, at % 256); // undo the guess
        unscramble(chunk, 0, right, at % 256);
        at += chunk.length;
      }
      this.pattern = right;
      this.assumed = this.length;
      this.redone = true;
    }
    const type = detectImageType(firstBytes(this.chunks, 32));
    if (!type) {
      throw new ViewerError('unknown-type', 'does not hold a GIF, JPEG, PNG, TIFF or BMP image');
    }
    return { type, mime: IMAGE_TYPES[type], chunks: this.chunks, length: this.length };
  }

  // Overwrites every byte it holds.
  wipe() {
    for (const chunk of this.chunks) chunk.fill(0);
    if (this.head) this.head.fill(0);
  }
}

export function concatBytes(parts) {
  let n = 0;
  for (const p of parts) n += p.length;
  const out = new Uint8Array(n);
  let at = 0;
  for (const p of parts) {
    out.set(p, at);
    at += p.length;
  }
  return out;
}

export function firstBytes(chunks, n) {
  const out = [];
  for (const chunk of chunks) {
    for (let i = 0; i < chunk.length && out.length < n; i++) out.push(chunk[i]);
    if (out.length >= n) break;
  }
  return Uint8Array.from(out);
}

// Unscrambles a whole protected file in place for a page at `hostname`.
// Returns { type, mime, bytes } where `bytes` is a view of the image inside `buffer`.
export function decodeProtected(buffer, hostname) {
  const all = buffer instanceof Uint8Array ? buffer : new Uint8Array(buffer);
  const decoder = new BodyDecoder(hostname, all.length);
  decoder.push(all);
  const image = decoder.finish();
  return { type: image.type, mime: image.mime, bytes: image.chunks[0] };
}
