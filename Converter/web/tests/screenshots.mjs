// Takes the README's screenshots of the viewer: one page per style, made by
// `vellagard convert` from the sample images and shown in headless Chromium.
//
//   node Converter/web/tests/screenshots.mjs [OUTPUT_FOLDER [NAME ...]]
//
// OUTPUT_FOLDER is docs/screenshots unless given; with NAMEs (e.g. phone) only those
// pictures are taken.
//
// Uses the programs in build/bin (VG_BIN_DIR overrides).
import fs from 'node:fs';
import path from 'node:path';

import { convertInto, waitFor } from './support/browser.mjs';
import { launchBrowser, magick, repoRoot, samplesDir, startServer, tempDir } from './support/harness.mjs';

const out = path.resolve(process.argv[2] || path.join(repoRoot, 'docs', 'screenshots'));
const only = new Set(process.argv.slice(3));
const wanted = (name) => only.size === 0 || only.has(name);
fs.mkdirSync(out, { recursive: true });
const site = tempDir('vgi-shots-');
const src = path.join(site, 'src');
fs.mkdirSync(src);

// Smaller copies of the samples keep the pictures light.
const small = {};
for (const name of ['harbour-dusk.jpg', 'meadow.png', 'lantern.gif', 'quarry.tif']) {
  const file = path.join(src, name);
  magick([path.join(samplesDir, name), '-resize', '360x270!', file]);
  small[name.replace(/\..*$/, '')] = file;
}
const look = ['--background', '1E2A38', '--text-color', 'F5E6A8', '--border', '8',
  '--status', 'Harbour at dusk - (c) Quillmere'];
convertInto(site, 'link', [small['harbour-dusk']], ['--link', 'https://www.quillmere.example/', ...look]);
convertInto(site, 'text', [small.meadow], ['--style', 'text-to-image', '--message', 'Move the pointer here to see the meadow', ...look]);
convertInto(site, 'imgtext', [small.lantern], ['--style', 'image-to-text', '--message', 'Lantern\n(c) 2024 the artist', ...look]);
convertInto(site, 'imgimg', [small['harbour-dusk']], ['--style', 'image-to-image', '--second-image', small.lantern, ...look]);
convertInto(site, 'slides', [small.quarry, small.meadow, small.lantern], ['--style', 'slideshow', '--delay', '1500', ...look]);
convertInto(site, 'locked', [small.meadow], ['--domain', 'www.quillmere.example', ...look]);
convertInto(site, 'loading', [small.meadow], ['--loading', 'Please wait while the image downloads...', ...look]);
// A watermarked page: the line the converter writes after "Label" when given a mark.
const markDir = convertInto(site, 'watermark', [small['harbour-dusk']], look);
const markPage = path.join(markDir, 'harbour-dusk.html');
fs.writeFileSync(markPage, fs.readFileSync(markPage, 'latin1').replace(/(\t<param name="Label" [^\n]*\n)/,
  '$1\t<param name="Watermark" value="&#169; Quillmere 2026" />\r\n'), 'latin1');
// The phone page: the full-size photo, with some text around it as an author's page has.
const phoneDir = convertInto(site, 'phone', [path.join(samplesDir, 'cloud study.jpg')], look);
const phonePage = fs.readFileSync(path.join(phoneDir, 'cloud study.html'), 'latin1');
const object = /<object[\s\S]*?<\/object>/.exec(phonePage)[0];
fs.writeFileSync(path.join(phoneDir, 'phone.html'), phonePage.replace(object,
  '<h1>Cloud study</h1>\n<p>A page made for a 1024 x 768 picture, on a phone 390 pixels wide.</p>\n' + object +
  '\n<p>The box scales down to the width of the screen and keeps its proportions.</p>'), 'latin1');

const server = await startServer(site);
const browser = await launchBrowser();
const page = await browser.newPage({ viewport: { width: 420, height: 330 } });

// `first`: what the box shows once loaded; `hovered`: what it shows under the pointer.
async function shot(name, folder, file, { first = 'image', hovered, gate } = {}) {
  if (!wanted(name)) return;
  const release = gate ? server.gate(gate) : null;
  await page.mouse.move(410, 320);
  await page.goto(server.url('localhost', `${folder}/${file}`));
  if (!release) await waitFor(page, { showing: first });
  if (hovered) {
    await page.hover('.vgi-viewer');
    await waitFor(page, { showing: hovered });
  }
  await page.waitForFunction(() => document.fonts.ready.then(() => true));
  const box = await page.evaluate(() => {
    const r = document.querySelector('.vgi-viewer').getBoundingClientRect();
    return { x: r.x, y: r.y, width: r.width, height: r.height };
  });
  const clip = { x: Math.max(0, box.x - 8), y: Math.max(0, box.y - 8), width: box.width + 16, height: box.height + 16 };
  const file_ = path.join(out, `viewer-${name}.png`);
  await page.screenshot({ path: file_, clip });
  console.log(`wrote ${path.relative(repoRoot, file_)}`);
  if (release) release();
}

await shot('link', 'link', 'harbour-dusk.html', { hovered: 'image' });
await shot('text-to-image', 'text', 'meadow.html', { first: 'text' });
await shot('image-to-text-hover', 'imgtext', 'lantern.html', { hovered: 'text' });
await shot('image-to-image-hover', 'imgimg', 'harbour-dusk.html', { hovered: 'image' });
await shot('slideshow', 'slides', 'slideshow.html');
await shot('locked', 'locked', 'meadow.html', { first: 'text' });
await shot('loading', 'loading', 'meadow.html', { gate: 'loading/meadow_0360_0270_C.class' });
await shot('watermark', 'watermark', 'harbour-dusk.html');

// A large page on a phone: the box fits the screen's width, drawn at 3 device pixels
// per pixel.
if (wanted('phone')) {
  const phone = await browser.newContext({
    viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true,
  });
  const p = await phone.newPage();
  await p.goto(server.url('localhost', 'phone/phone.html'));
  await waitFor(p, { showing: 'image' });
  await p.waitForFunction(() => document.fonts.ready.then(() => true));
  const file = path.join(out, 'viewer-phone.png');
  await p.screenshot({ path: file, scale: 'css' });
  console.log(`wrote ${path.relative(repoRoot, file)}`);
  await phone.close();
}

await browser.close();
await server.close();
