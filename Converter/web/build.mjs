// Joins the viewer's modules (src/) into the one script pages load, minified, with a
// source map beside it for debugging (the map is not shipped).
//
//   node Converter/web/build.mjs OUTFILE VERSION
//
// Run by the build (Converter/web/CMakeLists.txt); esbuild comes from the repository's
// node_modules (scripts/install-deps.sh).
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const [outfile, version] = process.argv.slice(2);
if (!outfile || !version) {
  console.error('usage: node build.mjs OUTFILE VERSION');
  process.exit(2);
}

let esbuild;
try {
  esbuild = await import('esbuild');
} catch (e) {
  console.error('build.mjs: esbuild is missing from node_modules: run scripts/install-deps.sh');
  process.exit(1);
}

const here = path.dirname(fileURLToPath(import.meta.url));
try {
  await esbuild.build({
    entryPoints: [path.join(here, 'src', 'main.js')],
    outfile: path.resolve(outfile),
    bundle: true,
    format: 'iife',
    minify: true,
    target: ['es2020'],
    sourcemap: 'external',
    sourcesContent: true,
    legalComments: 'none',
    define: { VGI_VERSION: JSON.stringify(version) },
    banner: { js: '/* vgi.js ' + version + ': the Vellagard image viewer */\n"use strict";' },
    logLevel: 'warning',
  });
} catch (e) {
  process.exit(1); // esbuild has printed what is wrong
}
