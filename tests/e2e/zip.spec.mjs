// Downloading a selection as one ZIP archive with the default skin in a real browser: two files and a
// folder are ticked on a folder page, the ZIP plug-in's button in the selection bar posts them, and the
// archive the browser saves passes `unzip -t` and holds exactly the selection with its bytes; with the
// English language file the button names the action in English. One browser for the file; a fresh browser
// context for each test.

import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { randomBytes } from 'node:crypto';
import { mkdtemp, rm } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { promisify } from 'node:util';

import { assertNoProblems, launchBrowser, openPage } from './support/browser.mjs';
import { ProgramFolder } from './support/program.mjs';

const run = promisify(execFile);

const FILES = {
  'report 2024.txt': Buffer.from('quarterly report\r\n'),
  '자료.bin': randomBytes(200 * 1024),
  'docs/readme.txt': Buffer.from('read me'),
  'docs/inner/deep.txt': Buffer.from('deep down'),
  'not selected.txt': Buffer.from('stays out of the archive'),
};

let program;
let server;
let browser;
let downloads; // where the browser's archive is saved, outside every share

before(async () => {
  program = await ProgramFolder.create();
  const pub = await program.share('pub');
  for (const [name, data] of Object.entries(FILES)) {
    await pub.write(name, data);
  }
  await program.plugin('Mevrin');
  program.rights('.anonymous', 'pub', 'LD');
  server = await program.start();
  browser = await launchBrowser();
  downloads = await mkdtemp(path.join(os.tmpdir(), 'corvanta-e2e-zip-'));
});

after(async () => {
  await browser?.close();
  try {
    await server?.stop();
  } finally {
    await program?.remove();
    if (downloads) {
      await rm(downloads, { recursive: true, force: true });
    }
  }
});

// The row of the folder page's entry whose shown name is exactly `name`.
function entryRow(page, name) {
  const exact = new RegExp('^' + name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + '$');
  return page.locator('#files tbody tr').filter({ has: page.locator('td.n .nm', { hasText: exact }) });
}

// The member names of a ZIP archive whose names are in code page 949, in archive order.
async function members(archive) {
  const { stdout } = await run('bsdtar', ['--options', 'hdrcharset=CP949', '-tf', archive]);
  return stdout.split('\n').filter((line) => line !== '');
}

async function member(archive, name) {
  const { stdout } = await run('bsdtar', ['--options', 'hdrcharset=CP949', '-xOf', archive, name], {
    encoding: 'buffer',
    maxBuffer: 16 * 1024 * 1024,
  });
  return stdout;
}

describe('zip download', () => {
  test('two files and a folder ticked on the page arrive as one archive that unzip accepts', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    for (const name of ['report 2024.txt', '자료.bin', 'docs']) {
      await entryRow(page, name).locator('input[type="checkbox"]').check();
    }
    const bar = page.locator('#selection-bar');
    await bar.waitFor({ state: 'visible' });
    const button = bar.locator('button[data-plugin="Mevrin"]');
    assert.equal((await button.textContent()).trim(), 'ZIP 파일로 묶어 받기');

    const [download] = await Promise.all([page.waitForEvent('download'), button.click()]);
    assert.match(download.suggestedFilename(), /\.zip$/);
    const archive = path.join(downloads, 'selection.zip');
    await download.saveAs(archive);
    assert.equal(await download.failure(), null);

    const { stdout } = await run('unzip', ['-t', archive]);
    assert.match(stdout, /No errors detected/);
    assert.deepEqual(
      (await members(archive)).sort(),
      ['docs/', 'docs/inner/', 'docs/inner/deep.txt', 'docs/readme.txt', 'report 2024.txt', '자료.bin'].sort(),
    );
    for (const name of ['report 2024.txt', '자료.bin', 'docs/readme.txt', 'docs/inner/deep.txt']) {
      assert.ok((await member(archive, name)).equals(FILES[name]), `${name} keeps its bytes`);
    }
    assertNoProblems(problems);
    await context.close();
  });

  test('with the English language file the button reads in English', async () => {
    const english = await ProgramFolder.create();
    try {
      const docs = await english.share('docs');
      await docs.write('a.txt', 'a');
      await english.plugin('Mevrin');
      await english.language('English.wul');
      const englishServer = await english.start();
      const { context, page, problems } = await openPage(browser);
      await page.goto(englishServer.url('docs/'));
      await entryRow(page, 'a.txt').locator('input[type="checkbox"]').check();
      const button = page.locator('#selection-bar button[data-plugin="Mevrin"]');
      await button.waitFor({ state: 'visible' });
      assert.equal((await button.textContent()).trim(), 'Download as a ZIP file');
      assertNoProblems(problems);
      await context.close();
      await englishServer.stop();
    } finally {
      await english.remove();
    }
  });
});
