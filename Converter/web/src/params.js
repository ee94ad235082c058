// The page's parameter block: what a viewer element asks for.
import { ViewerError } from './errors.js';

export const STYLES = ['ImageLink', 'TextFirst', 'ImageFirst', 'ImageImage', 'SlideShow'];
const MAX_FRAMES = 100000;
const MAX_BOX = 16384;
const MAX_BORDER = 1000;

// The <param> children of a viewer element as a map of lower-case name -> value.
export function readParams(element) {
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

export function frameParamName(i) {
  return 'frame' + String(i).padStart(3, '0');
}

// Width and height from a protected file name NAME_WWWW_HHHH_C.class.
export function sizeFromName(name) {
  const m = /_(\d{4,})_(\d{4,})_C\.class$/i.exec(name || '');
  return m ? { width: Number(m[1]), height: Number(m[2]) } : null;
}

// Everything the viewer needs from a page's parameter block (a Map from readParams)
// and the element's width and height attributes.
export function parseSettings(params, widthAttr, heightAttr) {
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
    watermark: get('watermark', '').trim(), // drawn into every picture when not empty
    textColor: toColour(get('textcolor', ''), 'FFFFFF'),
    borderColor: toColour(get('bordercolor', ''), '000000'),
    border: Math.max(0, Math.min(toInt(get('border', ''), 0), MAX_BORDER)),
    width: Math.min(width, MAX_BOX), // 0: not known until the first image arrives
    height: Math.min(height, MAX_BOX),
    frames,
  };
}

// An address the link may open: http(s), mailto, ftp or relative; never script.
export function safeLink(link, base) {
  if (!link) return '';
  try {
    const url = new URL(link, base);
    return ['http:', 'https:', 'mailto:', 'ftp:'].includes(url.protocol) ? url.href : '';
  } catch (e) {
    return '';
  }
}

export function notice(name, error) {
  // These say all there is to say; the others name the file.
  if (error && ['locked', 'no-frames', 'file-page'].includes(error.code)) return error.message;
  const what = name || 'The image';
  if (error instanceof ViewerError) return what + ' ' + error.message + '.';
  return what + ' could not be shown.';
}
