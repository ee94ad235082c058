// The viewer in the page: one box per <object class="vgi">, fetching the protected
// files it names, drawing them into a canvas in the page's presentation style.
// Works under a strict Content-Security-Policy: no inline script, no inline style
// attributes, no injected style sheets (every style is set through the CSSOM).
import { ViewerError } from './errors.js';
import { notice, parseSettings, readParams, safeLink } from './params.js';
import { BodyDecoder, concatBytes } from './protected.js';
import { decodeTiff } from './tiff.js';

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
  }
}

export function watchPage() {
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
