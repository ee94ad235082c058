// Shared helpers of the viewer's tests and benchmark: the built programs, temporary
// folders, test images made with ImageMagick, a local web server and Chromium.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repoRoot = path.resolve(here, '../../../..');
export const webDir = path.join(repoRoot, 'Converter', 'web');
export const samplesDir = path.join(repoRoot, 'samples');

// The folder with the built programs (and the template.html and vgi.js the build
// copies beside them). VG_BIN_DIR overrides the default build/bin.
export function binDir() {
  return path.resolve(process.env.VG_BIN_DIR || path.join(repoRoot, 'build', 'bin'));
}

export function vellagardPath() {
  const exe = path.join(binDir(), process.platform === 'win32' ? 'vellagard.exe' : 'vellagard');
  if (!fs.existsSync(exe)) {
    throw new Error(`${exe} is missing: build the target vellagard first (or set VG_BIN_DIR)`);
  }
  return exe;
}

// Runs the command-line tool; throws with its output when it fails.
export function vellagard(args, options = {}) {
  const r = spawnSync(vellagardPath(), args, { encoding: 'utf8', ...options });
  if (r.error) throw r.error;
  if (r.status !== 0 && !options.allowFailure) {
    throw new Error(`vellagard ${args.join(' ')} exited ${r.status}\n${r.stdout}\n${r.stderr}`);
  }
  return r;
}

// `vellagard convert` into `target` with the given options; answers the question itself.
export function convert(inputs, target, options = []) {
  return vellagard(['convert', '--yes', '-o', target, ...options, ...inputs]);
}

// ImageMagick's convert; throws with its output when it fails.
export function magick(args) {
  const r = spawnSync('convert', args, { encoding: 'utf8' });
  if (r.error) throw r.error;
  if (r.status !== 0) throw new Error(`convert ${args.join(' ')} failed:\n${r.stderr}`);
}

// A fresh temporary folder, removed when the process ends unless VG_KEEP_TEMP is set.
const temps = [];
export function tempDir(prefix = 'vgi-test-') {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), prefix));
  temps.push(dir);
  return dir;
}
process.on('exit', () => {
  if (process.env.VG_KEEP_TEMP) return;
  for (const dir of temps) fs.rmSync(dir, { recursive: true, force: true });
});

const TYPES = {
  '.html': 'text/html', // no charset: the page's own declaration decides, as on most servers
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.class': 'application/octet-stream',
  '.png': 'image/png',
  '.jpg': 'image/jpeg',
  '.gif': 'image/gif',
  '.tif': 'image/tiff',
};

// The policy every page is served with: no inline script or style, nothing from elsewhere.
export const STRICT_CSP =
  "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; object-src 'none'; base-uri 'none'";

// A static web server on 127.0.0.1 (reachable as localhost and *.localhost too).
// gate(name) holds the responses for that file until the returned function is called;
// policy(name, text) serves that page with another Content-Security-Policy; requests
// lists every path asked for, in order. With `announceLength` false the responses are
// sent in chunks of unannounced length, as from a server that compresses or generates.
export async function startServer(root, { announceLength = true } = {}) {
  const gates = new Map();
  const policies = new Map();
  const requests = [];
  const server = http.createServer(async (req, res) => {
    const url = new URL(req.url, 'http://x');
    const rel = decodeURIComponent(url.pathname);
    requests.push(rel);
    const gate = gates.get(rel);
    if (gate) await gate.promise;
    const file = path.join(root, rel);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404, { 'Content-Type': 'text/plain' });
      res.end('not found');
      return;
    }
    const type = TYPES[path.extname(file).toLowerCase()] || 'application/octet-stream';
    const body = fs.readFileSync(file);
    // The length as static file servers announce it.
    const headers = { 'Content-Type': type, 'Cache-Control': 'no-store' };
    if (announceLength) headers['Content-Length'] = body.length;
    if (type === 'text/html') headers['Content-Security-Policy'] = policies.get(rel) || STRICT_CSP;
    res.writeHead(200, headers);
    res.end(body);
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const port = server.address().port;
  return {
    port,
    root,
    requests,
    url: (host, rel) => `http://${host}:${port}/${rel.split('/').map(encodeURIComponent).join('/')}`,
    policy(rel, text) {
      policies.set('/' + rel, text);
    },
    gate(rel) {
      let release;
      const promise = new Promise((resolve) => (release = resolve));
      gates.set('/' + rel, { promise });
      return () => {
        gates.delete('/' + rel);
        release();
      };
    },
    close: () => new Promise((resolve) => {
      server.closeAllConnections();
      server.close(resolve);
    }),
  };
}

export const CHROMIUM = process.env.VG_CHROMIUM || '/usr/bin/chromium';

// Debian's Chromium, headless, with a fresh profile; never a downloaded browser.
export async function launchBrowser() {
  const { chromium } = await import('playwright-core');
  return chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}

// Polls `check` (an async function returning truthy when done) until it passes, or
// fails with `what` after the wait runs out. Waits on conditions, never on times.
export async function until(check, what, timeoutMs = 15000) {
  const end = Date.now() + timeoutMs;
  let last;
  for (;;) {
    last = await check();
    if (last) return last;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await new Promise((r) => setTimeout(r, 25));
  }
}
