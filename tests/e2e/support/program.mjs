// A temporary program folder served by the real corvanta_serve on a free loopback port.
//
//   const program = await ProgramFolder.create();
//   const pub = await program.share('pub');            // <root>/shares/pub, shared as "pub"
//   await pub.write('docs/a.txt', 'hello');
//   program.user('alice', 'secret');
//   program.rights('alice', 'pub', 'LDU');             // letters of "LDUA"
//   program.rights('.anonymous', 'pub', 'L');
//   await program.language('English.wul');            // pages in the English UI language
//   const server = await program.start();              // writes mount.ini, runs corvanta_serve --port 0
//   await page.goto(server.url('pub/'));
//   await server.stop();                               // SIGTERM; throws unless the server exits cleanly
//   await program.remove();
//
// Layout under the temporary root: program/ (mount.ini, Log/, plugin/), shares/ (the shared folders and
// files), outside/ (never shared: for files that must not be reachable). Nothing is written elsewhere.

import { spawn } from 'node:child_process';
import { once } from 'node:events';
import { cp, mkdir, mkdtemp, readFile, rm, utimes, writeFile } from 'node:fs/promises';
import { existsSync, rmSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import readline from 'node:readline';

import { formatMountIni, mountEntry, rightsEntry, userEntry } from './mount-ini.mjs';

// Guards against a hung process only; nothing is measured against them.
const START_GUARD_MS = 60_000;
const STOP_GUARD_MS = 60_000;

// Servers still running and folders not yet removed when the test process ends, however it ends, go
// with it.
const running = new Set();
const roots = new Set();
function cleanUp() {
  for (const child of running) {
    child.kill('SIGKILL');
  }
  for (const root of roots) {
    rmSync(root, { recursive: true, force: true });
  }
}
process.on('exit', cleanUp);
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
  process.once(signal, () => {
    process.exit(128 + os.constants.signals[signal]); // runs cleanUp
  });
}

// The server program under test: $CORVANTA_SERVE (set by run.mjs and by CTest).
export function servePath() {
  const serve = process.env.CORVANTA_SERVE;
  if (!serve) {
    throw new Error('CORVANTA_SERVE is not set: run the tests through run.mjs or CTest');
  }
  if (!existsSync(serve)) {
    throw new Error(`corvanta_serve not found at ${serve}: build the target corvanta_serve first`);
  }
  return serve;
}

// The built program folder whose plugin/ folders tests may copy: $CORVANTA_PROGRAM_DIR, else the folder
// of corvanta_serve.
export function builtProgramFolder() {
  return process.env.CORVANTA_PROGRAM_DIR || path.dirname(servePath());
}

function inside(base, relative) {
  const target = path.resolve(base, relative);
  if (target !== base && !target.startsWith(base + path.sep)) {
    throw new Error(`${relative} leaves ${base}`);
  }
  return target;
}

// One shared folder (or file) of the program folder.
export class Share {
  constructor(name, localPath) {
    this.name = name;
    this.path = localPath;
  }

  // Absolute path of an entry below the shared folder.
  file(relative) {
    return inside(this.path, relative);
  }

  // Writes an entry (parent folders are made); `mtime` sets its modification time. Returns its path.
  async write(relative, data, { mtime } = {}) {
    const target = this.file(relative);
    await mkdir(path.dirname(target), { recursive: true });
    await writeFile(target, data);
    if (mtime) {
      await utimes(target, mtime, mtime);
    }
    return target;
  }

  async mkdir(relative, { mtime } = {}) {
    const target = this.file(relative);
    await mkdir(target, { recursive: true });
    if (mtime) {
      await utimes(target, mtime, mtime);
    }
    return target;
  }

  async read(relative) {
    return readFile(this.file(relative));
  }
}

export class ProgramFolder {
  static async create() {
    const root = await mkdtemp(path.join(os.tmpdir(), 'corvanta-e2e-'));
    roots.add(root);
    const program = new ProgramFolder(root);
    await Promise.all([
      mkdir(program.programFolder, { recursive: true }),
      mkdir(program.sharesFolder, { recursive: true }),
      mkdir(program.outsideFolder, { recursive: true }),
    ]);
    return program;
  }

  constructor(root) {
    this.root = root;
    this.programFolder = path.join(root, 'program');
    this.sharesFolder = path.join(root, 'shares');
    this.outsideFolder = path.join(root, 'outside');
    // No outgoing traffic: the address and version look-ups of the maker's service stay off.
    this.settings = { port: 0, getPublicIP: 0, useVersionCheck: 0, canRootAccess: 1, writeLog: 1 };
    this.mounts = [];
    this.users = [];
    this.authorities = [];
    this.servers = new Set();
  }

  // Sets one key of mount.ini (true/false are written as 1/0).
  set(key, value) {
    this.settings[key] = value;
    return this;
  }

  // Makes the folder <root>/shares/<folder> (default: the share name) and shares it as `name`.
  async share(name, { folder = name } = {}) {
    const localPath = inside(this.sharesFolder, folder);
    await mkdir(localPath, { recursive: true });
    this.mounts.push(mountEntry(name, localPath, true));
    return new Share(name, localPath);
  }

  // Writes <root>/shares/<file> and shares that single file as `name`.
  async shareFile(name, data, { file = name } = {}) {
    const localPath = inside(this.sharesFolder, file);
    await mkdir(path.dirname(localPath), { recursive: true });
    await writeFile(localPath, data);
    this.mounts.push(mountEntry(name, localPath, false));
    return new Share(name, localPath);
  }

  // An account; ".anonymous" exists without being added.
  user(name, password) {
    this.users.push(userEntry(name, password));
    return this;
  }

  // Rights of an account on a share, as letters of "LDUA"; "" takes every right away. A share without
  // any rights line gives every account L and D.
  rights(account, share, letters) {
    this.authorities.push(rightsEntry(account, share, letters));
    return this;
  }

  // Copies plugin/<id>/ of the built program folder into this one.
  async plugin(id) {
    const source = path.join(builtProgramFolder(), 'plugin', id);
    if (!existsSync(source)) {
      throw new Error(`plug-in ${id} is not built (${source})`);
    }
    await cp(source, path.join(this.programFolder, 'plugin', id), { recursive: true });
    return this;
  }

  // Copies Language/<file> of the built program folder into this one and makes it the UI language.
  async language(file) {
    const source = path.join(builtProgramFolder(), 'Language', file);
    if (!existsSync(source)) {
      throw new Error(`language file ${file} is not built (${source})`);
    }
    await mkdir(path.join(this.programFolder, 'Language'), { recursive: true });
    await cp(source, path.join(this.programFolder, 'Language', file));
    return this.set('uiLanguageFile', file);
  }

  mountIniText() {
    return formatMountIni({
      settings: this.settings,
      mounts: this.mounts,
      users: this.users,
      authorities: this.authorities,
    });
  }

  // Writes mount.ini and starts corvanta_serve over this folder. `env` adds to the server's environment
  // (TZ is UTC unless given, so the page's dates can be predicted).
  async start({ env = {} } = {}) {
    await writeFile(path.join(this.programFolder, 'mount.ini'), this.mountIniText());
    const server = await Server.launch(this.programFolder, { TZ: 'UTC', ...env });
    this.servers.add(server);
    return server;
  }

  async readMountIni() {
    return readFile(path.join(this.programFolder, 'mount.ini'), 'utf8');
  }

  // Stops servers still running (without judging how they end) and deletes the whole folder.
  async remove() {
    for (const server of this.servers) {
      await server.kill();
    }
    await rm(this.root, { recursive: true, force: true });
    roots.delete(this.root);
  }
}

export class Server {
  static async launch(programFolder, env) {
    const child = spawn(servePath(), ['--port', '0', programFolder], {
      env: { ...process.env, ...env },
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    running.add(child);
    const server = new Server(child);
    await server.waitForUrl();
    return server;
  }

  constructor(child) {
    this.child = child;
    this.stderr = '';
    this.exit = new Promise((resolve) => {
      child.on('exit', (code, signal) => {
        running.delete(child);
        resolve({ code, signal });
      });
    });
    child.stderr.setEncoding('utf8');
    child.stderr.on('data', (text) => {
      this.stderr += text;
    });
  }

  async waitForUrl() {
    const lines = readline.createInterface({ input: this.child.stdout });
    const found = new Promise((resolve) => {
      lines.on('line', (line) => {
        const match = /^http:\/\/127\.0\.0\.1:(\d+)\/$/.exec(line.trim());
        if (match) {
          resolve(line.trim());
        }
      });
    });
    let guard;
    const result = await Promise.race([
      found,
      this.exit.then((how) => ({ exited: how })),
      new Promise((resolve) => {
        guard = setTimeout(() => resolve({ hung: true }), START_GUARD_MS);
      }),
    ]);
    clearTimeout(guard);
    if (typeof result !== 'string') {
      await this.kill();
      const why = result.hung ? 'printed no URL' : `exited (${JSON.stringify(result.exited)})`;
      throw new Error(`corvanta_serve ${why}\n${this.stderr}`);
    }
    this.base = result;
    this.port = Number(new URL(result).port);
  }

  // The URL of a server path, given decoded ("pub/자료 모음.bin"): each segment is percent-encoded.
  url(decodedPath = '') {
    const encoded = decodedPath
      .split('/')
      .map((segment) => encodeURIComponent(segment))
      .join('/');
    return this.base + encoded;
  }

  // SIGTERM and wait: the server must stop in order (exit code 0, no signal). The sanitizer build reports
  // leaks and faults through the exit code as well.
  async stop() {
    if (this.child.exitCode === null && this.child.signalCode === null) {
      this.child.kill('SIGTERM');
    }
    let guard;
    const how = await Promise.race([
      this.exit,
      new Promise((resolve) => {
        guard = setTimeout(() => resolve(null), STOP_GUARD_MS);
      }),
    ]);
    clearTimeout(guard);
    if (how === null) {
      await this.kill();
      throw new Error(`corvanta_serve did not stop after SIGTERM\n${this.stderr}`);
    }
    if (how.code !== 0) {
      throw new Error(`corvanta_serve ended with ${JSON.stringify(how)}\n${this.stderr}`);
    }
  }

  async kill() {
    if (this.child.exitCode === null && this.child.signalCode === null) {
      this.child.kill('SIGKILL');
      await once(this.child, 'exit').catch(() => {});
    }
  }
}
