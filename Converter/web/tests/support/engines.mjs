// One driver for the viewer's tests in Firefox and WebKit, whichever protocol each
// speaks: Debian's firefox-esr through puppeteer-core over WebDriver BiDi (headless),
// and Debian's WebKitGTK MiniBrowser through its WebKitWebDriver and selenium-webdriver
// (under the X display the stage script starts: MiniBrowser has no headless mode).
// Neither driver downloads a browser.
//
//   const browser = await launchEngine('firefox' | 'webkit', options);
//   await browser.goto(url); await browser.evaluate(fn, arg); await browser.close();
//
// A browser has one page. Its evaluate(fn, arg) and screenshot({ clip }) take the same
// arguments as Playwright's, so the page helpers of browser.mjs (viewerState, waitFor,
// canvasPixel, compareWithOriginal, screenPixels, boxRect) work on it as they stand.
//
// What each engine can be made to be (browser.supports tells the tests):
// - viewport: Firefox sets the viewport exactly (any size, any device pixel ratio, at any
//   time). WebKit sizes its window, whose web view is never narrower than the window's
//   toolbar (about 450 pixels); its device pixel ratio is fixed at launch (GDK_SCALE,
//   whole numbers). A narrower view is a same-size <iframe> on a host page: frame().
// - touch: Firefox launched with touch reports a coarse pointer without hover (media
//   queries) and taps through WebDriver BiDi touch actions, which reach the page as
//   pointer events of type "touch"; it has no TouchEvent API then (maxTouchPoints 0).
//   WebKitGTK has no touch emulation at all.
// - reduced motion: both at launch (Firefox by preference, WebKit by GTK's
//   gtk-enable-animations setting, which WebKitGTK reports as prefers-reduced-motion).
// - focus: headless Firefox moves the focus with Tab but its document never has the
//   system focus, so it sends no focus or blur events (document.hasFocus() is false);
//   WebKit under Xvfb sends them.
// - ImageDecoder: Firefox has it, WebKit (like Safari) does not.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';

import { tempDir, until } from './harness.mjs';

export const FIREFOX = process.env.VG_FIREFOX || '/usr/bin/firefox-esr';
export const WEBKIT_DRIVER = process.env.VG_WEBKIT_DRIVER || '/usr/bin/WebKitWebDriver';
export const MINIBROWSER = process.env.VG_MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';

// The engines the tests run in: VG_ENGINES="firefox,webkit" (the default) or one of them.
export const ENGINES = (process.env.VG_ENGINES || 'firefox,webkit').split(',').map((s) => s.trim()).filter(Boolean);

// launchEngine(engine, { deviceScaleFactor, touch, reducedMotion, width, height })
export async function launchEngine(engine, options = {}) {
  if (engine === 'firefox') return launchFirefox(options);
  if (engine === 'webkit') return launchWebKit(options);
  throw new Error(`unknown engine ${engine}: firefox or webkit`);
}

// Runs `fn(arg)` in the page from a script body WebDriver compiles itself (pages run
// under a policy that forbids eval); resolves to its JSON-able result.
function asyncScript(fn) {
  return `const arg = arguments[0], done = arguments[arguments.length - 1];
Promise.resolve().then(() => (${fn.toString()})(arg)).then(
  (v) => done({ ok: v === undefined ? null : v }),
  (e) => done({ error: String((e && e.stack) || e) }));`;
}

// The part `clip` (CSS pixels of the viewport) of a whole-view PNG, cut in the page.
async function cropInPage(evaluate, png, clip) {
  const url = await evaluate(async ([b64, c]) => {
    const bytes = Uint8Array.from(atob(b64), (ch) => ch.charCodeAt(0));
    const shot = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
    const scale = shot.width / innerWidth;
    const canvas = document.createElement('canvas');
    canvas.width = Math.round(c.width * scale);
    canvas.height = Math.round(c.height * scale);
    canvas.getContext('2d').drawImage(shot, Math.round(c.x * scale), Math.round(c.y * scale),
      canvas.width, canvas.height, 0, 0, canvas.width, canvas.height);
    return canvas.toDataURL('image/png');
  }, [png.toString('base64'), clip]);
  return Buffer.from(url.slice(url.indexOf(',') + 1), 'base64');
}

async function launchFirefox({ deviceScaleFactor = 1, touch = false, reducedMotion = false, width = 1024, height = 768 } = {}) {
  const { default: puppeteer } = await import('puppeteer-core');
  const prefs = {
    'ui.prefersReducedMotion': reducedMotion ? 1 : 0,
    // Nothing from outside: the machine has no network but 127.0.0.1.
    'network.dns.disableIPv6': true,
    'browser.safebrowsing.malware.enabled': false,
    'browser.safebrowsing.phishing.enabled': false,
    'app.normandy.enabled': false,
    'messaging-system.rsexperimentloader.enabled': false,
  };
  if (touch) {
    prefs['ui.primaryPointerCapabilities'] = 1; // coarse, no hover
    prefs['ui.allPointerCapabilities'] = 1;
  }
  const browser = await puppeteer.launch({
    browser: 'firefox',
    protocol: 'webDriverBiDi',
    headless: true,
    executablePath: FIREFOX,
    extraPrefsFirefox: prefs,
    userDataDir: tempDir('vgi-firefox-'),
  });
  const page = (await browser.pages())[0] || (await browser.newPage());
  const problems = [];
  page.on('pageerror', (e) => problems.push(`uncaught: ${e.message}`));
  page.on('console', (m) => {
    if (m.type() === 'error' && !/404|favicon/.test(m.text())) problems.push(`console: ${m.text()}`);
  });
  const viewport = async (w, h) => {
    await page.setViewport({ width: w, height: h, deviceScaleFactor, hasTouch: touch, isMobile: touch });
    return { width: w, height: h };
  };
  await viewport(width, height);
  const keys = { Space: ' ' };
  const wrap = (target) => ({
    evaluate: (fn, arg) => target().evaluate(fn, arg),
    screenshot: async ({ clip } = {}) => Buffer.from(await page.screenshot(clip ? { clip } : {})),
  });
  let frameHandle = null;
  return {
    engine: 'firefox',
    supports: { exactViewport: true, touch, deviceScaleFactor, reducedMotion, imageDecoder: true },
    // The console errors and uncaught errors since the last call.
    problems: async () => problems.splice(0),
    ...wrap(() => page),
    async goto(url) {
      await page.goto(url, { waitUntil: 'load' });
    },
    url: () => page.url(),
    setViewport: ({ width: w, height: h }) => viewport(w, h),
    async press(key) {
      await page.keyboard.press(keys[key] || key);
    },
    async mouse(x, y) {
      await page.mouse.move(x, y);
    },
    async click(x, y) {
      await page.mouse.click(x, y);
    },
    async tap(x, y) {
      if (!touch) throw new Error('launched without touch');
      await page.touchscreen.tap(x, y);
    },
    // The page inside the <iframe> matching `selector` (a same-origin frame).
    async frame(selector) {
      frameHandle = await (await page.waitForSelector(selector)).contentFrame();
      await frameHandle.waitForFunction(() => document.readyState === 'complete');
      return wrap(() => frameHandle);
    },
    resources: () => page.evaluate(() => performance.getEntriesByType('resource').map((e) => e.name)),
    async close() {
      await browser.close();
    },
  };
}

function freePort() {
  return new Promise((resolve, reject) => {
    const s = net.createServer();
    s.once('error', reject);
    s.listen(0, '127.0.0.1', () => {
      const { port } = s.address();
      s.close(() => resolve(port));
    });
  });
}

async function launchWebKit({ deviceScaleFactor = 1, touch = false, reducedMotion = false, width = 1024, height = 768 } = {}) {
  if (!process.env.DISPLAY) throw new Error('WebKit needs an X display: run it under Xvfb (scripts/test.d/36-viewer-engines.sh does)');
  if (!Number.isInteger(deviceScaleFactor)) throw new Error('WebKitGTK takes whole device pixel ratios only');
  const { Builder, Capabilities, Key, Origin } = await import('selenium-webdriver');
  // A private GTK configuration: the animation setting is what WebKitGTK reports as
  // prefers-reduced-motion.
  const config = tempDir('vgi-webkit-');
  fs.mkdirSync(path.join(config, 'gtk-3.0'));
  fs.writeFileSync(path.join(config, 'gtk-3.0', 'settings.ini'),
    `[Settings]\ngtk-enable-animations=${reducedMotion ? 'false' : 'true'}\n`);
  const port = await freePort();
  const log = [];
  const driverProcess = spawn(WEBKIT_DRIVER, [`--port=${port}`, '--host=127.0.0.1'], {
    stdio: ['ignore', 'pipe', 'pipe'],
    env: { ...process.env, GDK_SCALE: String(deviceScaleFactor), XDG_CONFIG_HOME: config, GDK_BACKEND: 'x11' },
  });
  driverProcess.stdout.on('data', (d) => log.push(String(d)));
  driverProcess.stderr.on('data', (d) => log.push(String(d)));
  let exited = null;
  driverProcess.on('exit', (code) => (exited = code));
  await until(() => exited !== null || new Promise((resolve) => {
    const c = net.connect(port, '127.0.0.1', () => {
      c.destroy();
      resolve(true);
    });
    c.on('error', () => resolve(false));
  }), 'WebKitWebDriver to listen');
  if (exited !== null) throw new Error(`WebKitWebDriver exited ${exited}: ${log.join('')}`);
  const caps = new Capabilities({
    browserName: 'MiniBrowser',
    'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation'] },
  });
  let driver;
  try {
    driver = await new Builder().usingServer(`http://127.0.0.1:${port}`).withCapabilities(caps).build();
  } catch (e) {
    driverProcess.kill();
    throw new Error(`MiniBrowser did not start: ${e.message}\n${log.join('')}`);
  }

  // Runs fn(arg) in the current frame; errors in the page become errors here.
  const evaluate = async (fn, arg) => {
    const r = await driver.executeAsyncScript(asyncScript(fn), arg === undefined ? null : arg);
    if (r && 'error' in r) throw new Error(`in the page: ${r.error}`);
    return r ? r.ok : r;
  };
  // The window is sized so that the web view has the wanted size, as far as it can.
  const viewport = async (w, h) => {
    let rect = { width: w, height: h };
    for (let i = 0; i < 3; i++) {
      await driver.manage().window().setRect(rect);
      const [iw, ih] = await driver.executeScript('return [innerWidth, innerHeight]');
      if (iw === w && ih === h) break;
      rect = { width: rect.width + (w - iw), height: rect.height + (h - ih) };
    }
    const [iw, ih] = await driver.executeScript('return [innerWidth, innerHeight]');
    return { width: iw, height: ih };
  };
  await driver.get('about:blank');
  await viewport(width, height);

  const problems = [];
  // WebKitWebDriver passes on no console: errors are caught by listeners put in after
  // each load (an error during the load itself shows only in what the page does).
  const listen = () => driver.executeScript(() => {
    if (window.__vgiProblems) return;
    window.__vgiProblems = [];
    window.addEventListener('error', (e) => window.__vgiProblems.push(`uncaught: ${e.message}`));
    window.addEventListener('unhandledrejection', (e) => window.__vgiProblems.push(`unhandled: ${e.reason}`));
  });
  const collect = async () => {
    problems.push(...await driver.executeScript(() => (window.__vgiProblems || []).splice(0)));
  };
  const keys = {
    Tab: Key.TAB, Enter: Key.ENTER, ' ': Key.SPACE, Space: Key.SPACE, Escape: Key.ESCAPE,
    ArrowRight: Key.ARROW_RIGHT, ArrowLeft: Key.ARROW_LEFT, ArrowUp: Key.ARROW_UP, ArrowDown: Key.ARROW_DOWN,
  };
  const screenshot = async (frameSelector, { clip } = {}) => {
    let png = Buffer.from(await driver.takeScreenshot(), 'base64');
    if (clip) {
      if (frameSelector) {
        // The clip is in the frame's coordinates; the screenshot is of the whole view.
        const at = await driver.executeScript((s) => {
          const r = document.querySelector(s).getBoundingClientRect();
          return [r.x + document.querySelector(s).clientLeft, r.y + document.querySelector(s).clientTop];
        }, frameSelector);
        clip = { ...clip, x: clip.x + at[0], y: clip.y + at[1] };
      }
      png = await cropInPage(evaluate, png, clip);
    }
    return png;
  };
  return {
    engine: 'webkit',
    supports: { exactViewport: false, touch: false, deviceScaleFactor, reducedMotion, imageDecoder: false },
    async problems() {
      await collect();
      return problems.splice(0);
    },
    evaluate,
    screenshot: (opts) => screenshot(null, opts),
    async goto(url) {
      await collect().catch(() => {});
      await driver.get(url);
      await listen();
    },
    url: () => driver.getCurrentUrl(),
    setViewport: ({ width: w, height: h }) => viewport(w, h),
    async press(key) {
      await driver.actions().sendKeys(keys[key] || key).perform();
    },
    async mouse(x, y) {
      await driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: Origin.VIEWPORT }).perform();
    },
    async click(x, y) {
      await driver.actions().move({ x: Math.round(x), y: Math.round(y), origin: Origin.VIEWPORT }).click().perform();
    },
    async tap() {
      throw new Error('WebKitGTK has no touch emulation');
    },
    async frame(selector) {
      await until(() => driver.executeScript((s) => {
        const f = document.querySelector(s);
        return !!(f && f.contentDocument && f.contentDocument.readyState === 'complete');
      }, selector), `the frame ${selector} to load`);
      const inFrame = async (fn) => {
        await driver.switchTo().frame(await driver.findElement({ css: selector }));
        try {
          return await fn();
        } finally {
          await driver.switchTo().defaultContent();
        }
      };
      return {
        evaluate: (fn, arg) => inFrame(() => evaluate(fn, arg)),
        screenshot: (opts) => screenshot(selector, opts),
      };
    },
    resources: () => evaluate(() => performance.getEntriesByType('resource').map((e) => e.name)),
    async close() {
      try {
        await driver.quit();
      } finally {
        driverProcess.kill();
      }
    },
  };
}
