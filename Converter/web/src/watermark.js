// The watermark: the page's text drawn into the picture itself, so that whatever
// captures the canvas carries it. Repeated diagonally across the picture, light text
// with a dark outline (it shows on light and dark pictures alike), semi-transparent.

// The text's size in CSS pixels for a box of `width` x `height` CSS pixels: readable
// on a phone, unobtrusive on a large box.
export function watermarkFontSize(width, height) {
  return Math.max(12, Math.min(36, Math.round(Math.min(width, height) / 12)));
}

// Where the text goes: rows along a rising diagonal, each row's copies `gap` apart,
// every other row shifted by half a step. Returns { angle, size, places: [[x, y], ...] }
// in the rotated frame, centred on the picture; `measure(text)` is the text's width at
// `size` device pixels.
export function watermarkLayout(width, height, ratio, measure, text) {
  const size = watermarkFontSize(width / ratio, height / ratio) * ratio;
  const angle = -Math.atan2(Math.min(height, width), Math.max(width, height) * 1.2);
  const textWidth = Math.max(size, measure(text));
  const stepX = textWidth + size * 3;
  const stepY = size * 4;
  // The rotated rows must cover the picture's corners: half its diagonal each way.
  const reach = Math.hypot(width, height) / 2 + textWidth;
  const places = [];
  let row = 0;
  for (let y = -reach; y <= reach; y += stepY, row++) {
    const shift = row % 2 ? stepX / 2 : 0;
    for (let x = -reach - shift; x <= reach; x += stepX) places.push([x, y]);
  }
  return { angle, size, places };
}

function newCanvas(width, height) {
  if (typeof OffscreenCanvas === 'function') return new OffscreenCanvas(width, height);
  const c = document.createElement('canvas');
  c.width = width;
  c.height = height;
  return c;
}

const FONT = 'system-ui, -apple-system, "Segoe UI", Roboto, sans-serif';

// One copy of the text, outlined, drawn once and then stamped at every place: much
// cheaper than laying out and outlining the text again for each copy.
let stamp = { key: '', canvas: null, pad: 0 };
function stampOf(text, size) {
  const key = size + '|' + text;
  if (stamp.key === key) return stamp;
  const font = '600 ' + size + 'px ' + FONT;
  const probe = newCanvas(1, 1).getContext('2d');
  probe.font = font;
  const line = Math.max(2, size / 6); // half of it shows outside the letters
  const pad = Math.ceil(line * 2);
  const width = Math.ceil(probe.measureText(text).width) + 2 * pad;
  const height = Math.ceil(size * 1.5) + 2 * pad;
  const canvas = newCanvas(width, height);
  const ctx = canvas.getContext('2d');
  ctx.font = font;
  ctx.textAlign = 'left';
  ctx.textBaseline = 'middle';
  ctx.lineJoin = 'round';
  ctx.lineWidth = line;
  ctx.strokeStyle = '#101010';
  ctx.fillStyle = '#F4F4F4';
  ctx.strokeText(text, pad, height / 2);
  ctx.fillText(text, pad, height / 2);
  stamp = { key, canvas, pad };
  return stamp;
}

// Draws `text` over what `ctx` (a 2D context of `width` x `height` device pixels,
// `ratio` device pixels per CSS pixel) holds.
export function drawWatermark(ctx, text, width, height, ratio) {
  if (!text) return;
  const size = watermarkFontSize(width / ratio, height / ratio) * ratio;
  const { canvas, pad } = stampOf(text, size);
  const layout = watermarkLayout(width, height, ratio, () => canvas.width - 2 * pad, text);
  ctx.save();
  ctx.translate(width / 2, height / 2);
  ctx.rotate(layout.angle);
  ctx.globalAlpha = 0.4;
  ctx.imageSmoothingEnabled = true;
  const top = canvas.height / 2;
  for (const [x, y] of layout.places) ctx.drawImage(canvas, x - pad, y - top);
  ctx.restore();
}

// A drawing surface of the given size, reused: an OffscreenCanvas where there is one.
export function makeSurface() {
  let canvas = null;
  return (width, height) => {
    if (!canvas) canvas = newCanvas(width, height);
    if (canvas.width !== width) canvas.width = width;
    if (canvas.height !== height) canvas.height = height;
    return canvas;
  };
}
