/*
 * vgi.js: the Vellagard image viewer.
 *
 * The converter writes, for every image, a protected image file (the image's bytes
 * scrambled behind a short header) and a page whose <object class="vgi"> carries the
 * viewer's parameters as <param> children. This script finds those elements, fetches
 * the protected files named by them (relative to the page), unscrambles them, checks
 * the domain lock and draws the images into a canvas, in the page's presentation style.
 *
 * Protected image file:
 *   0   "QLM"
 *   3   mode: 1 keyed (locked to a domain), 3 keyless
 *   4   62 31 5A 60
 *   8   keyed only: the header key text (ASCII '0'-'9', 'A'-'Z', 'a'-'g'), then 0x01
 *   ... the image bytes, each XOR-ed with one byte of the key stream
 * Keyed files XOR with the upper-cased header key text, repeating; keyless files with a
 * 256-byte pattern computed from the body length alone.
 *
 * One file, no dependencies, strict mode. The only global is the namespace VGI.
 * Works under a strict Content-Security-Policy: no inline script, no inline style
 * attributes, no injected style sheets (every style is set through the CSSOM).
 */
(function () {
  'use strict';

  const VERSION = '5.0.0';

  // ---------------------------------------------------------------------------
  // Protected image files
  // ---------------------------------------------------------------------------

  // An error the viewer turns into a notice in the image box. `code` tells the kind.
  class ViewerError extends Error {
    constructor(code, message) {
      super(message);
      this.name = 'ViewerError';
      this.code = code;
    }
  }

  const MODE_KEYED = 1;
  const MODE_KEYLESS = 3;
  const KEY_TERMINATOR = 0x01;
  const HEADER_SIZE = 8;
  // Longer than any host name (253 characters); bounds the terminator search.
  const MAX_KEY_TEXT = 1024;

  // Upper-cases ASCII letters and keeps only the characters '0' to 'Z' (codes 48 to 90).
  function normalizeKey(text) {
    let out = '';
    for (let i = 0; i < text.length; i++) {
      let c = text.charCodeAt(i);
      if (c >= 97 && c <= 122) c -= 32;
      if (c >= 48 && c <= 90) out += String.fromCharCode(c);
    }
    return out;
  }

  // The text a keyed file carries in its header for `key` (a domain name).
  function makeHeaderKeyText(key) {
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
  function keylessTable(length) {
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
  function keyStream(header, bodyLength) {
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
  function parseHeader(bytes, partial) {
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
  function unscramble(bytes, offset, pattern, phase) {
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
  function acceptedKeyTexts(hostname) {
    const host = String(hostname || '');
    const texts = [];
    if (host) texts.push(makeHeaderKeyText(host));
    if (/^www\./i.test(host) && host.length > 4) texts.push(makeHeaderKeyText(host.slice(4)));
    return texts.filter((t) => t.length > 0);
  }

  function isLockedFor(header, hostname) {
    return header.mode === MODE_KEYED && !acceptedKeyTexts(hostname).includes(header.keyText);
  }

  const IMAGE_TYPES = {
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
  function detectImageType(bytes, at) {
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
  class BodyDecoder {
    constructor(hostname, fileLength) {
      this.hostname = hostname;
      this.fileLength = fileLength > 0 ? fileLength : 0;
      this.head = null; // the first bytes, until the header is complete
      this.header = null;
      this.chunks = [];
      this.length = 0;
      this.pattern = null;
      this.assumed = -1; // the body length the keyless pattern was made for
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

  function concatBytes(parts) {
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

  function firstBytes(chunks, n) {
    const out = [];
    for (const chunk of chunks) {
      for (let i = 0; i < chunk.length && out.length < n; i++) out.push(chunk[i]);
      if (out.length >= n) break;
    }
    return Uint8Array.from(out);
  }

  // Unscrambles a whole protected file in place for a page at `hostname`.
  // Returns { type, mime, bytes } where `bytes` is a view of the image inside `buffer`.
  function decodeProtected(buffer, hostname) {
    const all = buffer instanceof Uint8Array ? buffer : new Uint8Array(buffer);
    const decoder = new BodyDecoder(hostname, all.length);
    decoder.push(all);
    const image = decoder.finish();
    return { type: image.type, mime: image.mime, bytes: image.chunks[0] };
  }

  // ---------------------------------------------------------------------------
  // TIFF (browsers decode none): baseline strips, uncompressed, PackBits or LZW
  // ---------------------------------------------------------------------------

  const TIFF_MAX_PIXELS = 64 * 1024 * 1024;
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
  async function decodeTiff(bytes) {
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

  // ---------------------------------------------------------------------------
  // Page parameters
  // ---------------------------------------------------------------------------

  const STYLES = ['ImageLink', 'TextFirst', 'ImageFirst', 'ImageImage', 'SlideShow'];
  const MAX_FRAMES = 100000;
  const MAX_BOX = 16384;
  const MAX_BORDER = 1000;

  // The <param> children of a viewer element as a map of lower-case name -> value.
  function readParams(element) {
    const params = new Map();
    for (const p of element.querySelectorAll('param')) {
      const name = (p.getAttribute('name') || '').trim().toLowerCase();
      if (name && !params.has(name)) params.set(name, p.getAttribute('value') || '');
    }
    return params;
  }

  function toInt(text, fallback) {
    const m = /^\s*([+-]?\d+)/.exec(String(text == null ? '' : text));
    if (!m) return fallback;
    const v = Number(m[1]);
    return Number.isSafeInteger(v) ? v : fallback;
  }

  function toColour(text, fallback) {
    const m = /^\s*#?([0-9a-fA-F]{6})\s*$/.exec(String(text == null ? '' : text));
    return '#' + (m ? m[1] : fallback).toUpperCase();
  }

  function frameParamName(i) {
    return 'frame' + String(i).padStart(3, '0');
  }

  // Width and height from a protected file name NAME_WWWW_HHHH_C.class.
  function sizeFromName(name) {
    const m = /_(\d{4,})_(\d{4,})_C\.class$/i.exec(name || '');
    return m ? { width: Number(m[1]), height: Number(m[2]) } : null;
  }

  // Everything the viewer needs from a page's parameter block (a Map from readParams)
  // and the element's width and height attributes.
  function parseSettings(params, widthAttr, heightAttr) {
    const get = (name, fallback) => (params.has(name) ? params.get(name) : fallback);
    const styleText = get('style', 'ImageLink').trim().toLowerCase();
    const style = STYLES.find((s) => s.toLowerCase() === styleText) || 'ImageLink';
    const declared = toInt(get('framecount', ''), -1);
    const frames = [];
    const limit = declared >= 0 ? Math.min(declared, MAX_FRAMES) : MAX_FRAMES;
    for (let i = 0; i < limit; i++) {
      const name = params.get(frameParamName(i));
      if (name === undefined) {
        if (declared < 0) break; // no count given: frames run up to the first gap
        continue;
      }
      if (name.trim()) frames.push(name.trim());
    }
    let width = toInt(widthAttr, 0);
    let height = toInt(heightAttr, 0);
    if (!(width > 0 && height > 0)) {
      const fromName = sizeFromName(frames[0]);
      width = fromName && fromName.width > 0 ? fromName.width : 0;
      height = fromName && fromName.height > 0 ? fromName.height : 0;
    }
    return {
      style,
      link: get('link', '').trim(),
      target: get('targetframe', '_self').trim() || '_self',
      message: get('message', ''),
      delay: Math.max(1, Math.min(toInt(get('framedelay', ''), 1000), 24 * 3600 * 1000)),
      loading: get('loading', 'Loading...'),
      label: get('label', ''),
      textColor: toColour(get('textcolor', ''), 'FFFFFF'),
      borderColor: toColour(get('bordercolor', ''), '000000'),
      border: Math.max(0, Math.min(toInt(get('border', ''), 0), MAX_BORDER)),
      width: Math.min(width, MAX_BOX), // 0: not known until the first image arrives
      height: Math.min(height, MAX_BOX),
      frames,
    };
  }

  // An address the link may open: http(s), mailto, ftp or relative; never script.
  function safeLink(link, base) {
    if (!link) return '';
    try {
      const url = new URL(link, base);
      return ['http:', 'https:', 'mailto:', 'ftp:'].includes(url.protocol) ? url.href : '';
    } catch (e) {
      return '';
    }
  }

  function notice(name, error) {
    // These say all there is to say; the others name the file.
    if (error && (error.code === 'locked' || error.code === 'no-frames')) return error.message;
    const what = name || 'The image';
    if (error instanceof ViewerError) return what + ' ' + error.message + '.';
    return what + ' could not be shown.';
  }

  // ---------------------------------------------------------------------------
  // The viewer in the page
  // ---------------------------------------------------------------------------

  // Decoded frames kept for drawing, at most this many bytes of pixels per viewer
  // (the current and the next frame are always kept).
  const FRAME_CACHE_BYTES = 256 * 1024 * 1024;
  const viewers = [];
  const started = new WeakSet();

  // Fetches and decodes one frame to { bitmap, animation }: an ImageBitmap and, for an
  // animated GIF, its animation. The bytes are unscrambled as they
  // arrive and wiped as soon as the browser has its copy for decoding.
  async function fetchFrame(url) {
    let response;
    try {
      if (!url) throw new TypeError('no address');
      response = await fetch(url, { credentials: 'same-origin' });
    } catch (e) {
      throw new ViewerError('network', 'could not be loaded');
    }
    if (!response.ok) throw new ViewerError('http', 'could not be loaded (HTTP ' + response.status + ')');
    const encoded = (response.headers.get('Content-Encoding') || 'identity') !== 'identity';
    const announced = encoded ? 0 : Number(response.headers.get('Content-Length')) || 0;
    const decoder = new BodyDecoder(location.hostname, announced);
    try {
      const reader = response.body && response.body.getReader ? response.body.getReader() : null;
      if (reader) {
        try {
          for (;;) {
            const { done, value } = await reader.read();
            if (done) break;
            decoder.push(value);
          }
        } catch (e) {
          reader.cancel().catch(() => {});
          if (e instanceof ViewerError) throw e;
          throw new ViewerError('network', 'could not be loaded completely');
        }
      } else {
        decoder.push(new Uint8Array(await response.arrayBuffer()));
      }
      const image = decoder.finish();
      if (image.type !== 'tiff') {
        const blob = new Blob(image.chunks, { type: image.mime });
        const animation = image.type === 'gif' ? openAnimation(concatBytes(image.chunks)) : null;
        decoder.wipe();
        let bitmap;
        try {
          bitmap = await createImageBitmap(blob, { imageOrientation: 'from-image' });
        } catch (e) {
          throw new ViewerError('decode', 'is damaged or cut short and cannot be shown');
        }
        return { bitmap, animation: await animation };
      }
      const bytes = concatBytes(image.chunks);
      decoder.wipe();
      let tiff;
      try {
        tiff = await decodeTiff(bytes);
      } finally {
        bytes.fill(0);
      }
      try {
        return { bitmap: await createImageBitmap(new ImageData(tiff.data, tiff.width, tiff.height)), animation: null };
      } catch (e) {
        throw new ViewerError('decode', 'could not be decoded');
      } finally {
        tiff.data.fill(0);
      }
    } finally {
      decoder.wipe();
    }
  }

  // The address of a protected file named on the page, relative to the page; '' for a
  // name no address can be made of (its frame then says it could not be loaded).
  function frameUrl(name) {
    try {
      return new URL(name, document.baseURI).href;
    } catch (e) {
      return '';
    }
  }

  function el(tag, styles) {
    const e = document.createElement(tag);
    Object.assign(e.style, styles || {});
    return e;
  }

  function rgba(hex, alpha) {
    const v = parseInt(hex.slice(1), 16);
    return 'rgba(' + (v >> 16) + ',' + ((v >> 8) & 255) + ',' + (v & 255) + ',' + alpha + ')';
  }

  function createViewer(object) {
    const s = parseSettings(readParams(object), object.getAttribute('width'), object.getAttribute('height'));
    const link = s.style === 'ImageLink' ? safeLink(s.link, document.baseURI) : '';
    const box = link ? el('a') : el('span');
    box.className = 'vgi-viewer';
    Object.assign(box.style, {
      display: 'inline-block',
      position: 'relative',
      boxSizing: 'content-box',
      verticalAlign: 'top',
      overflow: 'hidden',
      border: s.border + 'px solid ' + s.borderColor,
      background: s.borderColor,
      color: s.textColor,
      userSelect: 'none',
      webkitUserSelect: 'none',
      webkitTouchCallout: 'none',
      webkitTapHighlightColor: 'transparent',
      textDecoration: 'none',
      cursor: link ? 'pointer' : 'default',
    });
    if (link) {
      box.href = link;
      box.target = s.target;
      if (s.target === '_blank') box.rel = 'noopener';
    }
    box.draggable = false;
    if (!link) box.setAttribute('role', 'img');
    box.setAttribute('aria-label', s.label || s.message || 'Protected image');
    box.dataset.vgiStyle = s.style;
    box.dataset.vgiFrames = String(s.frames.length);

    const canvas = el('canvas', { display: 'block' });
    canvas.draggable = false;
    const text = el('span', {
      position: 'absolute',
      left: '0',
      top: '0',
      right: '0',
      bottom: '0',
      display: 'flex',
      alignItems: 'center',
      justifyContent: 'center',
      textAlign: 'center',
      padding: '4px',
      boxSizing: 'border-box',
      overflow: 'hidden',
      whiteSpace: 'pre-line',
      overflowWrap: 'anywhere',
      font: '14px/1.3 system-ui, sans-serif',
      color: s.textColor,
      background: s.borderColor,
    });
    text.className = 'vgi-text';
    const label = el('span', {
      position: 'absolute',
      left: '0',
      right: '0',
      bottom: '0',
      padding: '3px 6px',
      overflow: 'hidden',
      whiteSpace: 'nowrap',
      textOverflow: 'ellipsis',
      font: '13px/1.3 system-ui, sans-serif',
      color: s.textColor,
      background: rgba(s.borderColor, 0.8),
      display: 'none',
    });
    label.className = 'vgi-label';
    label.textContent = s.label;
    box.append(canvas, text, label);

    const stop = (e) => e.preventDefault();
    for (const type of ['contextmenu', 'dragstart', 'selectstart']) box.addEventListener(type, stop);

    object.style.display = 'none';
    object.after(box);

    const v = {
      s,
      box,
      canvas,
      text,
      label,
      width: s.width,
      height: s.height,
      hover: false,
      printing: false,
      current: 0, // slideshow position
      frames: s.frames.map((name) => ({ name, url: frameUrl(name), entry: null })),
      failed: null, // error of the first frame: the box shows its notice
      loaded: false,
      ctx: canvas.getContext('bitmaprenderer'),
      shown: null, // the picture on the canvas
      shownEntry: null, // the frame entry it belongs to
      token: 0, // counts renders; a copy made for an older one is dropped
      device: null,
      cacheBytes: 0,
      timer: 0,
      animation: null, // the animated GIF playing, if any
      dpr: 0,
    };
    sizeBox(v);
    watchPointer(v);
    render(v);
    start(v);
    return v;
  }

  // The box's size in device pixels: the size pictures are drawn at, sharp on
  // high-density screens, within what browsers allow for one bitmap.
  function deviceSize(v) {
    const w = v.width || 300;
    const h = v.height || 150;
    const ratio = Math.min(window.devicePixelRatio || 1, 16384 / w, 16384 / h, Math.sqrt((64 * 1024 * 1024) / (w * h)));
    return { width: Math.max(1, Math.round(w * ratio)), height: Math.max(1, Math.round(h * ratio)) };
  }

  function sizeBox(v) {
    const w = v.width || 300;
    const h = v.height || 150;
    v.box.style.width = w + 'px';
    v.box.style.height = h + 'px';
    v.canvas.style.width = w + 'px';
    v.canvas.style.height = h + 'px';
    v.dpr = window.devicePixelRatio || 1;
    v.device = deviceSize(v);
    v.shown = null; // drawn again at the new size
  }

  // Hover for mice and pens; a tap for touch screens acts as the pointer entering,
  // and a tap elsewhere as leaving.
  function watchPointer(v) {
    const set = (on) => {
      if (v.hover !== on) {
        v.hover = on;
        render(v);
      }
    };
    v.box.addEventListener('pointerenter', (e) => {
      if (e.pointerType !== 'touch') set(true);
    });
    v.box.addEventListener('pointerleave', (e) => {
      if (e.pointerType !== 'touch') set(false);
    });
    v.box.addEventListener('pointerdown', (e) => {
      if (e.pointerType === 'touch') set(true);
    });
    document.addEventListener('pointerdown', (e) => {
      if (e.pointerType === 'touch' && !v.box.contains(e.target)) set(false);
    });
  }

  // Loads frame `i` once; the entry keeps the bitmap (or the error) for drawing.
  function loadFrame(v, i) {
    const frame = v.frames[i];
    if (!frame) return Promise.resolve(null);
    if (frame.entry) return frame.entry.promise;
    const entry = { bitmap: null, sharp: null, sharpKey: '', animation: null, error: null, settled: false, promise: null };
    frame.entry = entry;
    entry.promise = fetchFrame(frame.url).then(
      ({ bitmap, animation }) => {
        entry.bitmap = bitmap;
        entry.animation = animation;
        entry.settled = true;
        v.cacheBytes += bitmap.width * bitmap.height * 4;
        trimCache(v, i);
        announce(v, 'vgi:frameload', { index: i, ok: true });
        return entry;
      },
      (error) => {
        entry.error = error instanceof ViewerError ? error : new ViewerError('decode', 'could not be shown');
        entry.settled = true;
        if (!(error instanceof ViewerError)) console.warn('vgi:', frame.name, error);
        announce(v, 'vgi:frameload', { index: i, ok: false, message: notice(frame.name, entry.error) });
        return entry;
      }
    );
    return entry.promise;
  }

  // Events for the page's own scripts: "vgi:ready" once the box shows its first view,
  // "vgi:frameload" each time a frame has been fetched and decoded (or has failed).
  function announce(v, type, detail) {
    v.box.dispatchEvent(new CustomEvent(type, { bubbles: true, detail }));
  }

  // Drops decoded frames other than the one shown and the next while the cache is
  // over its budget.
  function trimCache(v, keep) {
    const n = v.frames.length;
    for (let k = 1; k < n && v.cacheBytes > FRAME_CACHE_BYTES; k++) {
      const i = (keep + k) % n;
      if (i === v.current || i === (v.current + 1) % n || i === keep) continue;
      const entry = v.frames[i].entry;
      if (entry && entry.bitmap) {
        v.cacheBytes -= entry.bitmap.width * entry.bitmap.height * 4;
        entry.bitmap.close();
        entry.bitmap = null;
        if (entry.sharp) {
          v.cacheBytes -= entry.sharp.width * entry.sharp.height * 4;
          entry.sharp.close();
          entry.sharp = null;
        }
        if (entry.animation) entry.animation.decoder.close();
        v.frames[i].entry = null;
      }
    }
  }

  function start(v) {
    if (v.frames.length === 0) {
      v.failed = new ViewerError('no-frames', 'This page names no image to show.');
      render(v);
      return;
    }
    const wanted = v.s.style === 'ImageImage' ? [0, 1] : [0];
    Promise.all(wanted.map((i) => loadFrame(v, i))).then(() => {
      const first = v.frames[0].entry;
      if (first.bitmap && !(v.width > 0 && v.height > 0)) {
        v.width = first.bitmap.width;
        v.height = first.bitmap.height;
      } else if (first.bitmap && first.bitmap.width === v.height && first.bitmap.height === v.width && v.width !== v.height) {
        // An upright photo whose stored size is on its side (EXIF orientation).
        v.width = first.bitmap.width;
        v.height = first.bitmap.height;
      }
      sizeBox(v);
      v.loaded = true;
      render(v).then(() => announce(v, 'vgi:ready', {}));
      if (v.s.style === 'SlideShow' && v.frames.length > 1) scheduleNext(v);
    });
  }

  function scheduleNext(v) {
    const next = (v.current + 1) % v.frames.length;
    loadFrame(v, next);
    v.timer = setTimeout(() => advance(v, next), v.s.delay);
  }

  function advance(v, next) {
    const entry = v.frames[next].entry;
    const show = () => {
      v.current = next;
      render(v);
      scheduleNext(v);
    };
    if (entry && entry.settled) show();
    else loadFrame(v, next).then(show);
  }

  // What the box shows now: the image of a frame, or a text.
  function view(v) {
    if (v.printing) return { text: '' };
    const firstError = v.frames.length ? v.frames[0].entry && v.frames[0].entry.error : v.failed;
    if (!v.frames.length) return { text: notice('', v.failed) };
    if (!v.loaded) return { text: v.s.loading };
    // A first image that can't be shown (locked, missing, damaged) says so in every style.
    if (firstError && v.s.style !== 'SlideShow') return { text: notice(v.frames[0].name, firstError) };
    let index = 0;
    switch (v.s.style) {
      case 'TextFirst':
        if (!v.hover) return { text: v.s.message };
        break;
      case 'ImageFirst':
        if (v.hover) return { text: v.s.message };
        break;
      case 'ImageImage':
        if (v.hover && v.frames.length > 1) index = 1;
        break;
      case 'SlideShow':
        index = v.current;
        break;
    }
    const entry = v.frames[index].entry;
    if (entry && entry.error) return { text: notice(v.frames[index].name, entry.error) };
    if (!entry || !entry.bitmap) return { text: v.s.loading };
    return { frame: index, entry, bitmap: entry.bitmap, animation: entry.animation };
  }

  // Animated GIFs: the browser's image decoder (where there is one) gives the frames
  // and their delays. Returns a promise of { decoder, count, repeat }, or of null for a
  // still image. The decoder keeps its own copy of `bytes`, which are wiped here.
  function openAnimation(bytes) {
    if (typeof ImageDecoder !== 'function') {
      bytes.fill(0);
      return null;
    }
    let decoder;
    try {
      decoder = new ImageDecoder({ data: bytes, type: 'image/gif' });
    } catch (e) {
      return null;
    } finally {
      bytes.fill(0);
    }
    return decoder.tracks.ready
      .then(() => decoder.completed)
      .then(() => {
        const track = decoder.tracks.selectedTrack;
        if (!track || !track.animated || track.frameCount < 2) throw new Error('still');
        return { decoder, count: track.frameCount, repeat: track.repetitionCount };
      })
      .catch(() => {
        decoder.close();
        return null;
      });
  }

  // Plays `animation` on the canvas of `v`, whose first frame is already shown, until
  // stopAnimation. Delays under 20 ms count as 100 ms, as browsers do for GIFs.
  function playAnimation(v, animation) {
    const run = { stopped: false, timer: 0 };
    v.animation = run;
    let loops = 0;
    const next = (index, ms) => {
      run.timer = setTimeout(() => {
        let k = index + 1;
        if (k >= animation.count) {
          loops++;
          if (loops > animation.repeat) return; // played as often as the file says
          k = 0;
        }
        show(k);
      }, ms < 20 ? 100 : ms);
    };
    const show = (index) => {
      animation.decoder.decode({ frameIndex: index }).then(({ image }) => {
        const ms = (image.duration || 0) / 1000;
        if (run.stopped) {
          image.close();
          return null;
        }
        if (index === 0 && loops === 0) {
          image.close(); // on the canvas already
          next(index, ms);
          return null;
        }
        const { width, height } = v.device;
        const sized = image.displayWidth === width && image.displayHeight === height;
        return createImageBitmap(image, sized ? {} : { resizeWidth: width, resizeHeight: height, resizeQuality: 'high' })
          .finally(() => image.close())
          .then((picture) => {
            if (run.stopped) {
              picture.close();
              return;
            }
            v.ctx.transferFromImageBitmap(picture);
            next(index, ms);
          });
      }).catch(() => {}); // a frame that can't be decoded ends the animation where it stands
    };
    show(0);
  }

  function stopAnimation(v) {
    if (!v.animation) return;
    v.animation.stopped = true;
    clearTimeout(v.animation.timer);
    v.animation = null;
  }

  // The picture of `entry` as drawn: the decoded image itself when it has the box's
  // device size, else a copy resized to that size with the browser's best filter. The
  // copy is made once per size, in the background; until it is there the image itself
  // is shown and the browser scales it.
  function pictureOf(v, entry) {
    const { width, height } = v.device;
    const bitmap = entry.bitmap;
    if (bitmap.width === width && bitmap.height === height) return bitmap;
    const key = width + 'x' + height;
    if (entry.sharpKey === key) return entry.sharp || bitmap;
    entry.sharpKey = key;
    if (entry.sharp) {
      v.cacheBytes -= entry.sharp.width * entry.sharp.height * 4;
      entry.sharp.close();
      entry.sharp = null;
    }
    createImageBitmap(bitmap, { resizeWidth: width, resizeHeight: height, resizeQuality: 'high' }).then(
      (sharp) => {
        if (entry.sharpKey !== key || !entry.bitmap) {
          sharp.close();
          return;
        }
        entry.sharp = sharp;
        v.cacheBytes += width * height * 4;
        render(v); // shows it, if this frame is the one to show
      },
      () => {} // the browser's own scaling stays
    );
    return bitmap;
  }

  // Shows what the box should show now. Pictures go to the canvas by transfer, without
  // a copy of their pixels; the returned promise settles once the view is on screen.
  function render(v) {
    const what = view(v);
    const token = ++v.token;
    v.label.style.display = v.hover && v.s.label && !v.printing ? 'block' : 'none';
    if (!what.bitmap) {
      stopAnimation(v);
      if (v.shownEntry) v.ctx.transferFromImageBitmap(null); // a blank canvas
      v.shown = null;
      v.shownEntry = null;
      v.text.textContent = what.text;
      v.text.style.display = 'flex';
      showing(v, 'text', '');
      return Promise.resolve();
    }
    const picture = pictureOf(v, what.entry);
    if (v.shown === picture) return Promise.resolve();
    // The canvas takes a bitmap over; a copy of an ImageBitmap shares its pixels.
    return createImageBitmap(picture).then(
      (copy) => {
        if (token !== v.token) {
          copy.close();
          return;
        }
        v.ctx.transferFromImageBitmap(copy);
        const sameEntry = v.shownEntry === what.entry;
        v.shown = picture;
        v.shownEntry = what.entry;
        v.text.style.display = 'none';
        v.text.textContent = '';
        showing(v, 'image', String(what.frame));
        if (!sameEntry) {
          stopAnimation(v);
          if (what.animation) playAnimation(v, what.animation);
        }
      },
      () => {}
    );
  }

  // What the box shows, for style sheets and scripts of the page: "image" with the
  // frame's number, or "text".
  function showing(v, kind, frame) {
    v.box.dataset.vgiShowing = kind;
    v.box.dataset.vgiFrame = frame;
  }

  // Finds viewer elements not yet started and starts them. Runs by itself once the
  // page is parsed; call it again after adding viewer elements to the page.
  function scan(root) {
    for (const object of (root || document).querySelectorAll('object.vgi')) {
      if (started.has(object)) continue;
      started.add(object);
      viewers.push(createViewer(object));
    }
  }

  function setPrinting(on) {
    for (const v of viewers) {
      v.printing = on;
      render(v);
    }
  }

  function watchPage() {
    // Printing: the canvases are cleared while the page prints and redrawn after.
    window.addEventListener('beforeprint', () => setPrinting(true));
    window.addEventListener('afterprint', () => setPrinting(false));
    const print = window.matchMedia && window.matchMedia('print');
    if (print && print.addEventListener) print.addEventListener('change', (e) => setPrinting(e.matches));
    // A zoom or a move to another screen changes the pixel ratio: resize the backing stores.
    window.addEventListener('resize', () => {
      for (const v of viewers) {
        if (v.dpr !== (window.devicePixelRatio || 1)) {
          sizeBox(v);
          render(v);
        }
      }
    });
  }

  const internals = {
    ViewerError,
    normalizeKey,
    makeHeaderKeyText,
    keylessTable,
    keyStream,
    parseHeader,
    unscramble,
    acceptedKeyTexts,
    isLockedFor,
    detectImageType,
    decodeProtected,
    BodyDecoder,
    decodeTiff,
    parseSettings,
    safeLink,
    sizeFromName,
  };

  if (typeof module === 'object' && module && module.exports) {
    module.exports = internals; // unit tests under node
  } else if (typeof document !== 'undefined') {
    window.VGI = Object.freeze({ version: VERSION, scan });
    watchPage();
    if (document.readyState === 'loading') {
      document.addEventListener('DOMContentLoaded', () => scan());
    } else {
      scan();
    }
  }
})();
