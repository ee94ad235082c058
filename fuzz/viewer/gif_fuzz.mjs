// Random mutation fuzzing of the viewer's GIF decoder (Converter/web/src/gif.js):
// every input must either decode and composite, or fail with the decoder's own
// GifError, and no input may keep the decoder busy for long.
//
//   node fuzz/viewer/gif_fuzz.mjs OUT_DIR SEED.gif...
//
// FUZZ_SECONDS sets the run time (default 60), FUZZ_SEED the random seed (default: the
// time; printed, so a run can be repeated). Inputs that fail land in OUT_DIR as
// crash-*.gif or slow-*.gif with the error beside them.
import fs from 'node:fs';
import path from 'node:path';

import { GifError, compositeFrames, decodeGif } from '../../Converter/web/src/gif.js';

const [outDir, ...seedFiles] = process.argv.slice(2);
if (!outDir || !seedFiles.length) {
  console.error('usage: node fuzz/viewer/gif_fuzz.mjs OUT_DIR SEED.gif...');
  process.exit(2);
}
const seconds = Number(process.env.FUZZ_SECONDS || 60);
let state = Number(process.env.FUZZ_SEED || Date.now()) >>> 0;
console.log(`gif fuzz: ${seconds} s, FUZZ_SEED=${state}`);
// Limits small enough that one input decodes in milliseconds when all is well.
const LIMITS = { maxPixels: 1 << 18, maxFrames: 64 };
// An input taking longer than this is reported as a hang: the decoder's work per
// input is bounded by the limits above and the input's length.
const SLOW_MS = 5000;

function random(n) {
  // xorshift32: repeatable from FUZZ_SEED
  state ^= state << 13;
  state >>>= 0;
  state ^= state >>> 17;
  state ^= state << 5;
  state >>>= 0;
  return state % n;
}

const INTERESTING = [0, 1, 2, 3, 4, 7, 8, 11, 12, 0x7f, 0x80, 0xfe, 0xff, 0x2c, 0x21, 0xf9, 0xff, 0x3b];

function mutate(input, corpus) {
  let b = Array.from(input);
  const rounds = 1 + random(4);
  for (let r = 0; r < rounds; r++) {
    const at = b.length ? random(b.length) : 0;
    switch (random(8)) {
      case 0: if (b.length) b[at] ^= 1 << random(8); break;
      case 1: if (b.length) b[at] = INTERESTING[random(INTERESTING.length)]; break;
      case 2: if (b.length) b[at] = random(256); break;
      case 3: b = b.slice(0, at); break; // cut short
      case 4: b.splice(at, 1 + random(16)); break;
      case 5: { // a run of bytes from elsewhere in this or another input
        const other = corpus[random(corpus.length)];
        const from = random(other.length);
        b.splice(at, 0, ...other.subarray(from, from + 1 + random(64)));
        break;
      }
      case 6: { // a 16-bit field (sizes, offsets, delays) set to an edge value
        const v = [0, 1, 0xffff, 0x8000, 0x100, random(0x10000)][random(6)];
        if (at + 1 < b.length) [b[at], b[at + 1]] = [v & 255, v >> 8];
        break;
      }
      default: { // repeat a block: more frames, more extensions
        const len = 1 + random(48);
        b.splice(at, 0, ...b.slice(at, at + len));
      }
    }
  }
  return Uint8Array.from(b.slice(0, 1 << 16));
}

// What an input did, to keep inputs that do something new.
function run(input) {
  try {
    const gif = decodeGif(input, LIMITS);
    let sum = 0;
    compositeFrames(gif, (rgba) => {
      sum = (sum + rgba[0] + rgba[rgba.length - 1]) & 0xffff;
    });
    return `ok ${gif.frames.length} ${gif.width}x${gif.height}`;
  } catch (e) {
    if (e instanceof GifError) return `${e.code} ${e.message.replace(/\d+/g, 'N')}`;
    throw e;
  }
}

fs.mkdirSync(outDir, { recursive: true });
const corpus = seedFiles.map((f) => new Uint8Array(fs.readFileSync(f)));
const seen = new Set(corpus.map(run));
const end = Date.now() + seconds * 1000;
let runs = 0;
let failures = 0;
while (Date.now() < end && failures === 0) {
  const input = mutate(corpus[random(corpus.length)], corpus);
  const started = Date.now();
  let outcome;
  try {
    outcome = run(input);
  } catch (e) {
    const name = path.join(outDir, `crash-${runs}.gif`);
    fs.writeFileSync(name, input);
    fs.writeFileSync(name + '.txt', String(e && e.stack));
    console.error(`gif fuzz: ${name}: ${e && e.stack}`);
    failures++;
    break;
  }
  const took = Date.now() - started;
  if (took > SLOW_MS) {
    const name = path.join(outDir, `slow-${runs}.gif`);
    fs.writeFileSync(name, input);
    console.error(`gif fuzz: ${name} took ${took} ms`);
    failures++;
  }
  if (!seen.has(outcome) && corpus.length < 2000) {
    seen.add(outcome);
    corpus.push(input);
  }
  runs++;
}
console.log(`gif fuzz: ${runs} inputs, ${seen.size} distinct outcomes, corpus of ${corpus.length}`);
if (failures) process.exit(1);
console.log('gif fuzzing passed');
