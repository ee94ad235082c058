// vgi.js: the Vellagard image viewer.
//
// The converter writes, for every image, a protected image file (the image's bytes
// scrambled behind a short header) and a page whose <object class="vgi"> carries the
// viewer's parameters as <param> children. This script finds those elements, fetches
// the protected files named by them (relative to the page), unscrambles them, checks
// the domain lock and draws the images into a canvas, in the page's presentation style.
//
// The build joins the modules into one script; the only global is the namespace VGI.
import { scan, watchPage } from './viewer.js';

/* global VGI_VERSION */
// The build defines VGI_VERSION as the project's version.
const VERSION = typeof VGI_VERSION === 'string' ? VGI_VERSION : 'development';

if (typeof document !== 'undefined') {
  window.VGI = Object.freeze({ version: VERSION, scan });
  watchPage();
  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', () => scan());
  } else {
    scan();
  }
}
