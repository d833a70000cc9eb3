#!/usr/bin/env node
// Runs the browser tests with node's own test runner:
//
//   node tests/e2e/run.mjs [--serve PATH/corvanta_serve] [--test-OPTION...] [FILE.spec.mjs ...]
//
// Without files it runs every *.spec.mjs of this folder. The server program comes from --serve, else
// $CORVANTA_SERVE, else build/program/corvanta_serve of the source tree. When the browser stack is missing
// (Debian's chromium, or playwright-core, which `npm install` here brings) it says so and exits 77, which
// CTest reports as skipped.

import { spawn } from 'node:child_process';
import { accessSync, constants, existsSync, readdirSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const SKIP = 77;
const here = path.dirname(fileURLToPath(import.meta.url));

function skip(reason) {
  console.log(`SKIP: ${reason}`);
  process.exit(SKIP);
}

function fail(reason) {
  console.error(`run.mjs: ${reason}`);
  process.exit(1);
}

let serve = process.env.CORVANTA_SERVE || path.resolve(here, '../../build/program/corvanta_serve');
const files = [];
const options = [];
const args = process.argv.slice(2);
for (let i = 0; i < args.length; i += 1) {
  if (args[i] === '--serve' && i + 1 < args.length) {
    serve = path.resolve(args[++i]);
  } else if (args[i].startsWith('--test-')) {
    options.push(args[i]); // passed on to node's test runner (--test-name-pattern=..., --test-only)
  } else if (args[i].startsWith('-')) {
    fail(`unknown option ${args[i]}\nusage: node run.mjs [--serve PATH] [--test-OPTION...] [FILE.spec.mjs ...]`);
  } else {
    files.push(path.resolve(args[i]));
  }
}
if (files.length === 0) {
  for (const name of readdirSync(here).sort()) {
    if (name.endsWith('.spec.mjs')) {
      files.push(path.join(here, name));
    }
  }
}

const major = Number(process.versions.node.split('.')[0]);
if (major < 20) {
  skip(`node ${process.versions.node} is older than 20`);
}
const chromium = process.env.CORVANTA_CHROMIUM || '/usr/bin/chromium';
try {
  accessSync(chromium, constants.X_OK);
} catch {
  skip(`no chromium at ${chromium} (apt-get install chromium)`);
}
try {
  createRequire(path.join(here, 'package.json')).resolve('playwright-core');
} catch {
  skip(`playwright-core is not installed (run scripts/bootstrap, or npm ci in ${here})`);
}
if (!existsSync(serve)) {
  fail(`corvanta_serve not found at ${serve} (build the target corvanta_serve, or pass --serve)`);
}
for (const file of files) {
  if (!existsSync(file)) {
    fail(`no test file ${file}`);
  }
}

const child = spawn(process.execPath, ['--test', '--test-reporter=spec', ...options, ...files], {
  cwd: here,
  stdio: 'inherit',
  env: { ...process.env, CORVANTA_SERVE: serve, CORVANTA_CHROMIUM: chromium },
});
for (const signal of ['SIGINT', 'SIGTERM']) {
  process.on(signal, () => child.kill(signal));
}
child.on('exit', (code, signal) => {
  process.exit(code ?? (signal ? 1 : 0));
});
