// Where the watermark's copies go: they must cover the whole picture, corners
// included, whatever its shape and pixel density.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { watermarkFontSize, watermarkLayout } from '../../src/watermark.js';

test('the copies of the text leave no part of the picture unmarked', () => {
  const text = '© Quillmere 2026';
  const measure = (size) => (t) => t.length * size * 0.55; // about what a sans-serif font measures
  // [width, height in device pixels, device pixels per CSS pixel]
  const cases = [[64, 48, 1], [1086, 813, 3], [1024, 768, 1], [300, 1200, 2], [4000, 3000, 1], [2000, 50, 1]];
  for (const [width, height, ratio] of cases) {
    const size = watermarkFontSize(width / ratio, height / ratio) * ratio;
    const { angle, places } = watermarkLayout(width, height, ratio, measure(size), text);
    const textWidth = measure(size)(text);
    // No point of the picture is farther than a few text heights from a copy.
    const reach = size * 4;
    const cos = Math.cos(-angle);
    const sin = Math.sin(-angle);
    for (let y = 0; y <= height; y += height / 8) {
      for (let x = 0; x <= width; x += width / 8) {
        // The point in the frame the copies are placed in (rotated about the centre).
        const dx = x - width / 2;
        const dy = y - height / 2;
        const rx = dx * cos - dy * sin;
        const ry = dx * sin + dy * cos;
        const near = places.some(([px, py]) => Math.abs(ry - py) <= reach && rx >= px - reach && rx <= px + textWidth + reach);
        assert.ok(near, `${width} x ${height} @${ratio}: the point ${Math.round(x)},${Math.round(y)} has a copy near it`);
      }
    }
    assert.ok(places.length < 2000, `${width} x ${height}: a bounded number of copies (${places.length})`);
  }
});

test('the text is sized to the box: readable when small, never huge', () => {
  // [CSS width, height, font size range in CSS pixels]
  for (const [w, h, least, most] of [[64, 48, 12, 12], [374, 280, 14, 28], [1024, 768, 30, 36], [16384, 16384, 36, 36]]) {
    const size = watermarkFontSize(w, h);
    assert.ok(size >= least && size <= most, `${w} x ${h}: ${size} px`);
  }
});
