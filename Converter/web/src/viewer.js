// The viewer in the page: one box per <object class="vgi">, fetching the protected
// files it names when it comes near the screen, drawing them into a canvas in the
// page's presentation style.
// Works under a strict Content-Security-Policy: no inline script, no inline style
// attributes, no injected style sheets (every style is set through the CSSOM).
import { ViewerError } from './errors.js';
import { closeGif, createCompositor, decodeGif } from './gif.js';
import { notice, parseSettings, readParams, safeLink } from './params.js';
import { startJpegStream } from './jpeg_stream.js';
import { BodyDecoder, concatBytes, detectImageType, firstBytes } from './protected.js';
import { decodeTiff } from './tiff.js';
import { drawWatermark, makeSurface } from './watermark.js';

const MB = 1024 * 1024;
const viewers = [];
const started = new WeakSet();

// ---------------------------------------------------------------------------
// Decoded frames: one budget for the whole page
// ---------------------------------------------------------------------------

// Decoded pixels kept for drawing, for all the boxes of the page together: at most
// 64 MB, less on devices that say they have little memory (0.25 GB: 8 MB). The frames
// a box shows or shows next are always kept.
function pageBudget() {
  const gb = typeof navigator !== 'undefined' ? Number(navigator.deviceMemory) || 0 : 0;
  return gb > 0 ? Math.max(8 * MB, Math.min(64 * MB, gb * 32 * MB)) : 64 * MB;
}
const cache = { bytes: 0, budget: 0, entries: new Map() }; // entry -> viewer, oldest use first

// Decoded pixels only: an entry's image file, kept for decoding again, goes with its
// bitmap and is about the size of what the browser's own cache holds.
function entryBytes(entry) {
  let n = 0;
  if (entry.bitmap) n += entry.bitmap.width * entry.bitmap.height * 4;
  if (entry.sharp) n += entry.sharp.width * entry.sharp.height * 4;
  return n;
}

// Marks `entry` as the latest used and counts its pixels again.
function touch(v, entry) {
  cache.bytes -= entry.counted || 0;
  entry.counted = entryBytes(entry);
  cache.bytes += entry.counted;
  cache.entries.delete(entry);
  cache.entries.set(entry, v);
}

function closeEntry(entry) {
  if (entry.bitmap) entry.bitmap.close();
  if (entry.sharp) entry.sharp.close();
  if (entry.animation) entry.animation.close();
  entry.bitmap = entry.sharp = entry.animation = entry.source = null;
  entry.sharpKey = '';
  cache.bytes -= entry.counted || 0;
  entry.counted = 0;
  cache.entries.delete(entry);
}

// The frames box `v` cannot do without: the one it shows and the one it shows next.
function needed(v, index) {
  const n = v.frames.length;
  if (v.s.style === 'SlideShow') return index === v.current || index === (v.current + 1) % n;
  if (v.s.style === 'ImageImage') return index <= 1;
  return index === 0;
}

// Drops the least recently used frames, other than those needed, while the page is
// over its budget. Runs whenever a picture is added.
function trimCache() {
  if (!cache.budget) cache.budget = pageBudget();
  for (const [entry, v] of cache.entries) {
    if (cache.bytes <= cache.budget) break;
    const frame = v.frames[entry.index];
    if (needed(v, entry.index) || entry === v.shownEntry || !frame || frame.entry !== entry) continue;
    closeEntry(entry);
    frame.entry = null;
  }
}

// ---------------------------------------------------------------------------
// Fetching and decoding
// ---------------------------------------------------------------------------

// Addresses the site's Content-Security-Policy refused to fetch.
const refused = new Set();

// Lets queued tasks run (the browser reports a policy violation in one of them),
// without timers, which a page's scripts may have slowed or stopped.
function nextTasks(n) {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    let left = n;
    channel.port1.onmessage = () => {
      if (--left > 0) channel.port2.postMessage(0);
      else {
        channel.port1.close();
        resolve();
      }
    };
    channel.port2.postMessage(0);
  });
}

async function wasRefused(url) {
  await nextTasks(3);
  try {
    return refused.has(url) || refused.has(new URL(url).origin);
  } catch (e) {
    return false;
  }
}

// Fetches and decodes one frame to { bitmap, animation, source }: an ImageBitmap, for
// an animated GIF its animation, and the image file the browser decodes, kept for
// decoding again at another size (none for a TIFF, which the viewer decodes itself).
// The bitmap has the size `want` ({ width, height }, a height of 0 keeping the
// picture's proportions) or, with no `want`, the picture's own. The bytes are
// unscrambled as they arrive and wiped as soon as the browser has its copy.
async function fetchFrame(url, want, natural) {
  let response;
  try {
    if (!url) throw new TypeError('no address');
    response = await fetch(url, { credentials: 'same-origin' });
  } catch (e) {
    if (url && (await wasRefused(url))) {
      throw new ViewerError('csp', "could not be loaded: the site's Content-Security-Policy (connect-src) refuses it");
    }
    throw new ViewerError('network', 'could not be loaded');
  }
  if (!response.ok) throw new ViewerError('http', 'could not be loaded (HTTP ' + response.status + ')');
  const encoded = (response.headers.get('Content-Encoding') || 'identity') !== 'identity';
  const announced = encoded ? 0 : Number(response.headers.get('Content-Length')) || 0;
  const decoder = new BodyDecoder(location.hostname, announced);
  // A JPEG to be shown smaller goes to a decoder that scales as it decodes, where the
  // browser has one: while it arrives where its bytes are unscrambled as they come,
  // else once it is complete.
  let stream = null; // null: not decided yet, false: not this way
  let fed = 0; // chunks given to it
  const feed = (complete) => {
    if (stream === null && decoder.length >= 3 && (complete || decoder.unscramblesAsPushed())) {
      stream = (want && natural && detectImageType(firstBytes(decoder.chunks, 3)) === 'jpeg' &&
        startJpegStream(natural.width, natural.height, want)) || false;
    }
    for (; stream && fed < decoder.chunks.length; fed++) stream.push(decoder.chunks[fed]);
  };
  try {
    const reader = response.body && response.body.getReader ? response.body.getReader() : null;
    if (reader) {
      try {
        for (;;) {
          const { done, value } = await reader.read();
          if (done) break;
          decoder.push(value);
          feed(false);
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
    if (stream && decoder.redone) {
      stream.cancel(); // it was given bytes unscrambled for the wrong length
      stream = null;
      fed = 0;
    }
    if (image.type !== 'tiff') {
      feed(true);
      const blob = new Blob(image.chunks, { type: image.mime });
      const animation = image.type === 'gif' ? openAnimation(concatBytes(image.chunks)) : null;
      decoder.wipe();
      const streaming = stream;
      stream = null;
      const streamed = streaming ? await streaming.finish() : null;
      if (streamed) return { bitmap: streamed, animation: null, source: blob };
      let bitmap;
      try {
        bitmap = await createImageBitmap(blob, decodeOptions(want));
      } catch (e) {
        const opened = await animation;
        if (opened) opened.close();
        throw new ViewerError('decode', 'is damaged or cut short and cannot be shown');
      }
      return { bitmap, animation: await animation, source: blob };
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
      return { bitmap: await createImageBitmap(new ImageData(tiff.data, tiff.width, tiff.height)), animation: null, source: null };
    } catch (e) {
      throw new ViewerError('decode', 'could not be decoded');
    } finally {
      tiff.data.fill(0);
    }
  } finally {
    if (stream) stream.cancel();
    decoder.wipe();
  }
}

// Options for createImageBitmap that decode an image file upright at the size `want`
// (see fetchFrame): the picture is kept at the size it is drawn at, not whole.
function decodeOptions(want) {
  const options = { imageOrientation: 'from-image' };
  if (want) {
    options.resizeWidth = want.width;
    if (want.height) options.resizeHeight = want.height;
    options.resizeQuality = 'high';
  }
  return options;
}

// Animated GIFs. Returns a promise of { count, repeat, frame(index), close() }, or of
// null for a still image; frame(index) gives { image, ms }: an image source for
// createImageBitmap (closed with image.close() where it has one) and the frame's delay.
// The browser's ImageDecoder where there is one, else the viewer's own GIF decoder.
// Both keep their own copy of `bytes`, which are wiped here.
function openAnimation(bytes) {
  if (typeof ImageDecoder !== 'function') {
    try {
      return Promise.resolve(openOwnGif(bytes));
    } catch (e) {
      return Promise.resolve(null); // the still picture shows
    } finally {
      bytes.fill(0);
    }
  }
  // Some decoders (Firefox's) give an empty frame when asked for one a second time, as a
  // loop does: the animation then starts again on a new decoder, from a copy of the
  // file that only this closure holds and that is wiped when the animation closes.
  let kept = bytes.slice();
  let decoder;
  try {
    decoder = new ImageDecoder({ data: bytes, type: 'image/gif' });
  } catch (e) {
    kept.fill(0);
    return Promise.resolve(null);
  } finally {
    bytes.fill(0);
  }
  const close = () => {
    decoder.close();
    if (kept) kept.fill(0);
    kept = null;
  };
  const decode = (index) => decoder.decode({ frameIndex: index }).then(({ image }) => ({
    image, ms: (image.duration || 0) / 1000,
  }));
  return decoder.tracks.ready
    .then(() => decoder.completed)
    .then(() => {
      const track = decoder.tracks.selectedTrack;
      if (!track || !track.animated || track.frameCount < 2) throw new Error('still');
      return {
        count: track.frameCount,
        repeat: track.repetitionCount,
        frame: (index) => decode(index).then((got) => {
          if (got.image.displayWidth > 0 || !kept) return got;
          got.image.close();
          decoder.close();
          decoder = new ImageDecoder({ data: kept, type: 'image/gif' });
          return decode(index);
        }),
        close,
      };
    })
    .catch(() => {
      close();
      return null;
    });
}

function openOwnGif(bytes) {
  const gif = decodeGif(bytes, { maxPixels: 16 * MB, maxFrames: 5000 });
  if (gif.frames.length < 2) {
    closeGif(gif);
    return null;
  }
  let compositor = createCompositor(gif);
  return {
    count: gif.frames.length,
    repeat: gif.repeat,
    frame: (index) => {
      if (!compositor) return Promise.reject(new Error('closed'));
      const rgba = compositor.render(index);
      return Promise.resolve({ image: new ImageData(rgba, gif.width, gif.height), ms: gif.frames[index].delayMs });
    },
    close: () => {
      if (compositor) compositor.close();
      compositor = null;
      closeGif(gif);
    },
  };
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

// Errors another try may mend: the network, the server. A back-off of 1 s, doubling
// with each failure, at most a minute.
function retryable(error) {
  return error && (error.code === 'network' || error.code === 'http');
}
function backoff(failures) {
  return Math.min(60000, 1000 * 2 ** Math.max(0, failures - 1));
}

// ---------------------------------------------------------------------------
// The box
// ---------------------------------------------------------------------------

function el(tag, styles) {
  const e = document.createElement(tag);
  Object.assign(e.style, styles || {});
  return e;
}

function rgba(hex, alpha) {
  const v = parseInt(hex.slice(1), 16);
  return 'rgba(' + (v >> 16) + ',' + ((v >> 8) & 255) + ',' + (v & 255) + ',' + alpha + ')';
}

// Styles that change with the pointer, and so take the keyboard focus as well.
const INTERACTIVE = ['TextFirst', 'ImageFirst', 'ImageImage', 'SlideShow'];

function reducedMotion() {
  return !!(window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches);
}

function createViewer(object) {
  const s = parseSettings(readParams(object), object.getAttribute('width'), object.getAttribute('height'));
  const link = s.style === 'ImageLink' ? safeLink(s.link, document.baseURI) : '';
  const box = link ? el('a') : el('span');
  box.className = 'vgi-viewer';
  Object.assign(box.style, {
    display: 'inline-block',
    position: 'relative',
    boxSizing: 'border-box',
    maxWidth: '100%',
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
  const interactive = INTERACTIVE.includes(s.style) && s.frames.length > 0;
  if (!link) box.setAttribute('role', interactive && s.style !== 'SlideShow' ? 'button' : 'img');
  if (interactive) {
    box.tabIndex = 0;
    if (s.style === 'SlideShow') box.setAttribute('aria-roledescription', 'slideshow');
    else box.setAttribute('aria-pressed', 'false');
  }
  box.dataset.vgiStyle = s.style;
  box.dataset.vgiFrames = String(s.frames.length);

  const canvas = el('canvas', { display: 'block', width: '100%', height: 'auto' });
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
  // What the box shows, said politely to screen readers; out of sight.
  const status = el('span', {
    position: 'absolute',
    width: '1px',
    height: '1px',
    margin: '-1px',
    padding: '0',
    overflow: 'hidden',
    clipPath: 'inset(50%)',
    whiteSpace: 'nowrap',
    border: '0',
  });
  status.className = 'vgi-status';
  status.setAttribute('role', 'status');

  const stop = (e) => e.preventDefault();
  for (const type of ['contextmenu', 'dragstart', 'selectstart']) box.addEventListener(type, stop);

  object.style.display = 'none';
  object.after(box, status);

  const v = {
    s,
    box,
    canvas,
    text,
    label,
    status,
    name: '',
    width: s.width,
    height: s.height,
    pointer: false, // a mouse or pen over the box, or a tap on it
    key: false, // Enter or Space on the focused box
    focused: false,
    hover: false, // the pointer's or the keyboard's "entered"
    paused: null, // a slideshow's Space: true paused, false playing, null as the pointer says
    printing: false,
    current: 0, // slideshow position
    frames: s.frames.map((name) => ({ name, url: frameUrl(name), entry: null, failures: 0 })),
    failed: null, // an error of the whole box: it shows its notice
    started: false,
    loaded: false,
    near: false, // within about a screen of the viewport
    onScreen: false,
    ctx: canvas.getContext('bitmaprenderer'),
    shown: null, // the picture on the canvas
    drawn: false, // the canvas holds something
    surface: makeSurface(), // where a watermark is drawn over the picture
    shownEntry: null, // the frame entry it belongs to
    token: 0, // counts renders; a copy made for an older one is dropped
    device: { width: 1, height: 1 },
    exact: false, // the size observer tells the size in device pixels
    timer: 0,
    retryTimer: 0,
    animation: null, // the animated GIF playing, if any
  };
  sizeBox(v);
  watchPointer(v);
  watchKeys(v);
  render(v);
  watchVisibility(v);
  return v;
}

// The box is as large as the page says and never wider than its container: it scales
// down keeping the picture's proportions. The canvas fills it inside the border.
function sizeBox(v) {
  const w = v.width || 300;
  const h = v.height || 150;
  v.box.style.width = w + 2 * v.s.border + 'px';
  v.canvas.style.aspectRatio = w + ' / ' + h;
  if (!v.exact) measure(v); // else the size observer reports every change in device pixels
}

function measure(v) {
  const r = v.canvas.getBoundingClientRect();
  setDevice(v, devicePixels(r.width, r.height, window.devicePixelRatio || 1));
}

// The size pictures are drawn at: the canvas's size in device pixels, sharp on
// high-density screens, within what browsers allow for one bitmap.
function devicePixels(width, height, ratio) {
  let w = Math.max(1, Math.round(width * (ratio || 1)));
  let h = Math.max(1, Math.round(height * (ratio || 1)));
  const scale = Math.min(1, 16384 / w, 16384 / h, Math.sqrt((64 * MB) / (w * h)));
  if (scale < 1) {
    w = Math.max(1, Math.floor(w * scale));
    h = Math.max(1, Math.floor(h * scale));
  }
  return { width: w, height: h };
}

function setDevice(v, size) {
  if (v.device.width === size.width && v.device.height === size.height) return;
  v.device = size;
  // Copies resized for the old size are of no more use.
  for (const frame of v.frames) {
    const entry = frame.entry;
    if (entry && entry.sharp && entry !== v.shownEntry) {
      entry.sharp.close();
      entry.sharp = null;
      entry.sharpKey = '';
      touch(v, entry);
    }
  }
  v.shown = null;
  render(v);
}

// The viewer of each observed canvas and box; out of reach of the page's scripts.
const viewerOf = new WeakMap();

const resizeObserver = typeof ResizeObserver === 'function' ? new ResizeObserver((records) => {
  for (const r of records) {
    const v = viewerOf.get(r.target);
    if (!v) continue;
    // The exact device pixels where the browser tells them; they are taken only when
    // they agree with the CSS size times the pixel ratio (an emulated screen may
    // report CSS pixels there).
    const ratio = window.devicePixelRatio || 1;
    const css = r.contentRect;
    const exact = r.devicePixelContentBoxSize && r.devicePixelContentBoxSize[0];
    if (exact && Math.abs(exact.inlineSize - css.width * ratio) <= 1 && Math.abs(exact.blockSize - css.height * ratio) <= 1) {
      v.exact = true;
      setDevice(v, devicePixels(exact.inlineSize, exact.blockSize, 1));
    } else {
      v.exact = false;
      setDevice(v, devicePixels(css.width, css.height, ratio));
    }
  }
}) : null;

function observeSize(v) {
  if (!resizeObserver) return;
  viewerOf.set(v.canvas, v);
  try {
    resizeObserver.observe(v.canvas, { box: 'device-pixel-content-box' });
  } catch (e) {
    resizeObserver.observe(v.canvas);
  }
}

// Boxes fetch their files when they come within about a screen of the viewport; a
// slideshow advances only while it is on screen.
function makeObserver(margin, on) {
  if (typeof IntersectionObserver !== 'function') return null;
  return new IntersectionObserver((records) => {
    for (const r of records) {
      const v = viewerOf.get(r.target);
      if (v) on(v, r.isIntersecting);
    }
  }, { rootMargin: margin });
}
let nearObserver;
let screenObserver;

function watchVisibility(v) {
  observeSize(v);
  if (nearObserver === undefined) {
    nearObserver = makeObserver('100% 0px 100% 0px', (w, near) => {
      w.near = near;
      if (near && !w.started) start(w);
      updateTimers(w);
    });
    screenObserver = makeObserver('0px', (w, on) => {
      w.onScreen = on;
      updateTimers(w);
    });
  }
  if (!nearObserver) {
    v.near = v.onScreen = true;
    start(v);
    return;
  }
  viewerOf.set(v.box, v);
  nearObserver.observe(v.box);
  screenObserver.observe(v.box);
  // A box already in view starts at once, without waiting a frame for the observers.
  const r = v.box.getBoundingClientRect();
  const h = window.innerHeight || 0;
  const w = window.innerWidth || 0;
  if (r.width > 0 && r.bottom > 0 && r.top < h && r.right > 0 && r.left < w) {
    v.near = v.onScreen = true;
    start(v);
  }
}

function setHover(v) {
  const on = v.pointer || v.key;
  if (v.hover === on) return;
  v.hover = on;
  if (v.box.hasAttribute('aria-pressed')) v.box.setAttribute('aria-pressed', String(on));
  render(v);
  updateTimers(v);
}

// Hover for mice and pens; a tap for touch screens acts as the pointer entering,
// and a tap elsewhere as leaving.
function watchPointer(v) {
  const set = (on) => {
    v.pointer = on;
    setHover(v);
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

// The keyboard: Enter or Space on a focused box acts as the pointer entering, Escape
// or leaving the focus as the pointer leaving. A slideshow pauses while it has the
// focus; Space pauses or plays it, the arrow keys step through its frames. A link
// opens with Enter as every link does.
function watchKeys(v) {
  if (!INTERACTIVE.includes(v.s.style) || v.box.tabIndex < 0) return;
  const slideshow = v.s.style === 'SlideShow';
  v.box.addEventListener('focus', () => {
    v.focused = true;
    updateTimers(v);
  });
  v.box.addEventListener('blur', () => {
    v.focused = false;
    v.key = false;
    setHover(v);
    updateTimers(v);
  });
  v.box.addEventListener('keydown', (e) => {
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    if (slideshow) {
      if (e.key === ' ') {
        v.paused = !isPaused(v);
        updateTimers(v);
      } else if (e.key === 'ArrowRight' || e.key === 'ArrowDown') {
        step(v, 1);
      } else if (e.key === 'ArrowLeft' || e.key === 'ArrowUp') {
        step(v, -1);
      } else {
        return;
      }
    } else if (e.key === 'Enter' || e.key === ' ') {
      v.key = true;
      setHover(v);
    } else if (e.key === 'Escape') {
      v.key = false;
      setHover(v);
    } else {
      return;
    }
    e.preventDefault(); // no scrolling of the page
  });
}

// ---------------------------------------------------------------------------
// Frames and the slideshow
// ---------------------------------------------------------------------------

// Loads frame `i` once; the entry keeps the bitmap (or the error) for drawing. A frame
// that failed for a reason another try may mend is fetched again once its back-off has
// passed.
function loadFrame(v, i) {
  const frame = v.frames[i];
  if (!frame) return Promise.resolve(null);
  const had = frame.entry;
  if (had && !(had.error && retryable(had.error) && Date.now() >= had.retryAt)) return had.promise;
  const entry = {
    index: i, bitmap: null, sharp: null, sharpKey: '', animation: null, error: null, retryAt: 0,
    source: null, settled: false, promise: null, counted: 0,
  };
  frame.entry = entry;
  const natural = v.width > 0 && v.height > 0 ? { width: v.width, height: v.height } : null;
  entry.promise = fetchFrame(frame.url, decodeSize(v, i), natural).then(
    ({ bitmap, animation, source }) => {
      if (frame.entry !== entry) {
        bitmap.close();
        if (animation) animation.close();
        return entry;
      }
      entry.bitmap = bitmap;
      entry.animation = animation;
      entry.source = source;
      entry.settled = true;
      frame.failures = 0;
      touch(v, entry);
      trimCache();
      announce(v, 'vgi:frameload', { index: i, ok: true, decodedBytes: cache.bytes });
      return entry;
    },
    (error) => {
      entry.error = error instanceof ViewerError ? error : new ViewerError('decode', 'could not be shown');
      entry.settled = true;
      if (retryable(entry.error)) entry.retryAt = Date.now() + backoff(++frame.failures);
      if (!(error instanceof ViewerError)) console.warn('vgi:', frame.name, error);
      announce(v, 'vgi:frameload', { index: i, ok: false, message: notice(frame.name, entry.error) });
      return entry;
    }
  );
  return entry.promise;
}

// The size frame `i` of box `v` is decoded at: the box's size in device pixels where
// that is smaller than the page says the picture is, else (null) the picture's own size,
// which the browser then resizes as it draws. The first frame keeps its proportions, so
// that a photo stored on its side (EXIF orientation) can still be told by its shape; a
// box not laid out yet (a few pixels or none) is too small to tell it by.
function decodeSize(v, i) {
  const { width, height } = v.device;
  if (!(v.width > 0 && v.height > 0) || (width >= v.width && height >= v.height)) return null;
  if (width < 8 || height < 8) return null;
  return { width, height: i === 0 ? 0 : height };
}

// Whether `bitmap` has the proportions of a `width` x `height` picture turned on its
// side, and not its own: within a pixel, as a resized picture is rounded.
function onItsSide(bitmap, width, height) {
  if (width === height) return false;
  const near = (w, h) => Math.abs(bitmap.height - (bitmap.width * h) / w) <= 1;
  return near(height, width) && !near(width, height);
}

// Events for the page's own scripts: "vgi:ready" once the box shows its first view,
// "vgi:frameload" each time a frame has been fetched and decoded (or has failed).
function announce(v, type, detail) {
  v.box.dispatchEvent(new CustomEvent(type, { bubbles: true, detail }));
}

function start(v) {
  v.started = true;
  if (v.frames.length === 0) {
    v.failed = new ViewerError('no-frames', 'This page names no image to show.');
  } else if (location.protocol === 'file:') {
    v.failed = new ViewerError('file-page',
      'This page has to be served over HTTP: opened from a file, the browser does not let it load its images.');
  }
  if (v.failed) {
    v.loaded = true;
    render(v).then(() => announce(v, 'vgi:ready', {}));
    return;
  }
  // The first picture shows as soon as it is in; a second one comes after it.
  loadFrame(v, 0).then((first) => {
    if (first.bitmap && !(v.width > 0 && v.height > 0)) {
      v.width = first.bitmap.width;
      v.height = first.bitmap.height;
    } else if (first.bitmap && onItsSide(first.bitmap, v.width, v.height)) {
      // An upright photo whose stored size is on its side (EXIF orientation).
      [v.width, v.height] = [v.height, v.width];
    }
    sizeBox(v);
    v.loaded = true;
    render(v).then(() => announce(v, 'vgi:ready', {}));
    if (v.s.style === 'ImageImage') loadFrame(v, 1).then(() => render(v));
    updateTimers(v);
  });
}

function isPaused(v) {
  if (v.paused !== null) return v.paused;
  return v.hover || v.focused || reducedMotion();
}

// Whether a slideshow moves on by itself now: loaded, not paused, on screen, its tab
// shown.
function running(v) {
  return v.s.style === 'SlideShow' && v.frames.length > 1 && v.loaded && !v.printing && !isPaused(v) &&
    v.onScreen && !document.hidden;
}

// Starts or stops the box's timers as its state says: the slideshow's, the retry of a
// failed picture's, an animation's.
function updateTimers(v) {
  if (running(v)) {
    if (!v.timer) scheduleNext(v);
  } else {
    if (v.timer) clearTimeout(v.timer);
    v.timer = 0;
    // Paused on screen: the next frame is fetched all the same, ready for a step.
    const n = v.frames.length;
    if (v.s.style === 'SlideShow' && n > 1 && v.loaded && v.onScreen && !document.hidden) loadFrame(v, (v.current + 1) % n);
  }
  scheduleRetry(v);
  if (v.animation && !animates(v)) {
    stopAnimation(v);
    v.shown = null; // back to the first frame
    render(v);
  } else if (!v.animation && v.shownEntry && v.shownEntry.animation && animates(v)) {
    playAnimation(v, v.shownEntry.animation);
  }
}

function scheduleNext(v) {
  const next = (v.current + 1) % v.frames.length;
  loadFrame(v, next);
  v.timer = setTimeout(() => advance(v, next), v.s.delay);
}

function advance(v, next) {
  v.timer = 0;
  if (!running(v)) return;
  const show = () => {
    if (v.timer || !running(v)) return; // stepped or paused meanwhile
    v.current = next;
    render(v);
    scheduleNext(v);
  };
  const entry = v.frames[next].entry;
  if (entry && entry.settled && !(entry.error && retryable(entry.error) && Date.now() >= entry.retryAt)) show();
  else loadFrame(v, next).then(show);
}

// The arrow keys: the next or the previous frame at once; the delay starts again.
function step(v, by) {
  const n = v.frames.length;
  if (n < 2 || !v.loaded) return;
  if (v.timer) clearTimeout(v.timer);
  v.timer = 0;
  v.current = (v.current + by + n) % n;
  loadFrame(v, v.current).then(() => render(v));
  render(v);
  trimCache();
  updateTimers(v);
}

// A single picture that failed for a reason another try may mend is fetched again
// after its back-off while the box is near the screen.
function scheduleRetry(v) {
  if (v.retryTimer || v.s.style === 'SlideShow' || !v.near || !v.loaded) return;
  const i = v.s.style === 'ImageImage' && v.hover ? 1 : 0;
  const entry = v.frames[i] && v.frames[i].entry;
  if (!entry || !entry.error || !retryable(entry.error)) return;
  v.retryTimer = setTimeout(() => {
    v.retryTimer = 0;
    if (!v.near) return;
    loadFrame(v, i).then((again) => {
      if (i === 0 && again.bitmap && !v.shownEntry) sizeBox(v);
      render(v);
      scheduleRetry(v);
    });
  }, Math.max(0, entry.retryAt - Date.now()));
}

// ---------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------

// What the box shows now: the image of a frame, or a text.
function view(v) {
  if (v.printing) return { text: '' };
  if (v.failed) return { text: notice('', v.failed) };
  if (!v.loaded) return { text: v.s.loading };
  const firstError = v.frames[0].entry && v.frames[0].entry.error;
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

// Whether an animated GIF plays: always, unless the visitor asked for less motion;
// then only while the box is entered (pointer, tap or keyboard).
function animates(v) {
  return !v.printing && (v.hover || !reducedMotion());
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
    animation.frame(index).then(({ image, ms }) => {
      const close = () => image.close && image.close();
      if (run.stopped) {
        close();
        return null;
      }
      if (index === 0 && loops === 0) {
        close(); // on the canvas already
        next(index, ms);
        return null;
      }
      const { width, height } = v.device;
      const w = image.displayWidth || image.width;
      const h = image.displayHeight || image.height;
      const sized = w === width && h === height;
      return createImageBitmap(image, sized ? {} : { resizeWidth: width, resizeHeight: height, resizeQuality: 'high' })
        .finally(close)
        .then((picture) => {
          if (!v.s.watermark || run.stopped) return picture;
          const mark = marked(v, picture);
          picture.close();
          return mark;
        })
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
// device size, else a copy at that size, decoded again from the image file or resized
// with the browser's best filter. The copy is made once per size, in the background;
// until it is there the image itself is shown and the browser scales it.
function pictureOf(v, entry) {
  const { width, height } = v.device;
  const bitmap = entry.bitmap;
  if (bitmap.width === width && bitmap.height === height) return bitmap;
  const key = width + 'x' + height;
  if (entry.sharpKey === key) return entry.sharp || bitmap;
  entry.sharpKey = key;
  if (entry.sharp) {
    entry.sharp.close();
    entry.sharp = null;
    touch(v, entry);
  }
  // From the image file where there is one: sharper than the bitmap resized, which may
  // itself have been decoded smaller.
  const made = entry.source
    ? createImageBitmap(entry.source, decodeOptions({ width, height }))
    : createImageBitmap(bitmap, { resizeWidth: width, resizeHeight: height, resizeQuality: 'high' });
  made.then(
    (sharp) => {
      if (entry.sharpKey !== key || !entry.bitmap) {
        sharp.close();
        return;
      }
      entry.sharp = sharp;
      touch(v, entry);
      trimCache();
      render(v); // shows it, if this frame is the one to show
    },
    () => {} // the browser's own scaling stays
  );
  return bitmap;
}

// `source` (a picture, or nothing) at the box's device size with the watermark drawn
// over it: an ImageBitmap, made at once where the browser has OffscreenCanvas, else a
// promise of one.
function marked(v, source) {
  const { width, height } = v.device;
  const canvas = v.surface(width, height);
  const ctx = canvas.getContext('2d');
  ctx.clearRect(0, 0, width, height);
  if (source) {
    ctx.imageSmoothingQuality = 'high';
    ctx.drawImage(source, 0, 0, width, height);
  }
  drawWatermark(ctx, v.s.watermark, width, height, window.devicePixelRatio || 1);
  return canvas.transferToImageBitmap ? canvas.transferToImageBitmap() : createImageBitmap(canvas);
}

// The accessible name follows what the box shows; changes are announced politely.
function describe(v, what) {
  const name = what.text !== undefined ? what.text || v.s.label || 'Protected image' : v.s.label || 'Protected image';
  if (name === v.name) return;
  v.name = name;
  v.box.setAttribute('aria-label', name);
  v.status.textContent = name;
}

// Shows what the box should show now. Pictures go to the canvas by transfer, without
// a copy of their pixels; the returned promise settles once the view is on screen.
function render(v) {
  const what = view(v);
  const token = ++v.token;
  v.label.style.display = v.hover && v.s.label && !v.printing ? 'block' : 'none';
  describe(v, what);
  if (!what.bitmap) {
    stopAnimation(v);
    if (v.printing && v.s.watermark) {
      // The printed box carries the mark, drawn at once so that the print has it.
      Promise.resolve(marked(v, null)).then((mark) => {
        if (token === v.token) v.ctx.transferFromImageBitmap(mark);
        else mark.close();
      });
      v.drawn = true;
    } else if (v.drawn) {
      v.ctx.transferFromImageBitmap(null); // a blank canvas
      v.drawn = false;
    }
    v.shown = null;
    v.shownEntry = null;
    v.text.textContent = what.text;
    v.text.style.display = 'flex';
    showing(v, 'text', '');
    return Promise.resolve();
  }
  touch(v, what.entry);
  const picture = pictureOf(v, what.entry);
  if (v.shown === picture) return Promise.resolve();
  // The canvas takes a bitmap over; a copy of an ImageBitmap shares its pixels.
  return (v.s.watermark ? Promise.resolve(marked(v, picture)) : createImageBitmap(picture)).then(
    (copy) => {
      if (token !== v.token) {
        copy.close();
        return;
      }
      v.ctx.transferFromImageBitmap(copy);
      v.drawn = true;
      const sameEntry = v.shownEntry === what.entry;
      v.shown = picture;
      v.shownEntry = what.entry;
      v.text.style.display = 'none';
      v.text.textContent = '';
      showing(v, 'image', String(what.frame));
      if (!sameEntry || !v.animation) {
        stopAnimation(v);
        if (what.animation && animates(v)) playAnimation(v, what.animation);
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
export function scan(root) {
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
    updateTimers(v);
  }
}

export function watchPage() {
  // Printing: the canvases are cleared while the page prints and redrawn after.
  window.addEventListener('beforeprint', () => setPrinting(true));
  window.addEventListener('afterprint', () => setPrinting(false));
  const print = window.matchMedia && window.matchMedia('print');
  if (print && print.addEventListener) print.addEventListener('change', (e) => setPrinting(e.matches));
  const motion = window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)');
  if (motion && motion.addEventListener) motion.addEventListener('change', () => viewers.forEach(updateTimers));
  document.addEventListener('visibilitychange', () => viewers.forEach(updateTimers));
  document.addEventListener('securitypolicyviolation', (e) => {
    if (e.blockedURI) refused.add(e.blockedURI);
  });
  // A zoom or a move to another screen changes the pixel ratio; where the size
  // observer cannot tell device pixels, the size is measured again.
  window.addEventListener('resize', () => {
    for (const v of viewers) if (!v.exact) measure(v);
  });
}
