// The vgi.js the build puts beside the programs: one script carrying the project's
// version, its source map kept out of what ships.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import vm from 'node:vm';

import { binDir, repoRoot } from '../support/harness.mjs';

test('the shipped vgi.js runs as one script, with the version of project()', () => {
  const project = /project\(\s*Vellagard\s+VERSION\s+(\d+)\.(\d+)\.(\d+)/.exec(fs.readFileSync(path.join(repoRoot, 'CMakeLists.txt'), 'utf8'));
  assert.ok(project, 'CMakeLists.txt names the version');
  const version = project.slice(1, 4).join('.');
  const script = fs.readFileSync(path.join(binDir(), 'vgi.js'), 'utf8');
  assert.doesNotMatch(script, /sourceMappingURL/, 'no reference to a map that is not shipped');
  assert.doesNotMatch(script, /^\s*(import|export)\s/m, 'no module syntax left');
  assert.ok(!fs.existsSync(path.join(binDir(), 'vgi.js.map')), 'no source map beside the programs');

  // A page with no viewer elements: the script only sets up its namespace.
  const listeners = [];
  const window = {
    addEventListener: (type) => listeners.push(type),
    devicePixelRatio: 1,
  };
  const document = {
    readyState: 'complete',
    querySelectorAll: () => [],
    addEventListener: (type) => listeners.push(type),
  };
  window.document = document;
  vm.runInNewContext(script, { window, document, navigator: {}, location: { protocol: 'http:', hostname: 'x' } });
  assert.equal(window.VGI.version, version);
  assert.deepEqual(Object.keys(window.VGI).sort(), ['scan', 'version']);
  assert.ok(Object.isFrozen(window.VGI));
});
