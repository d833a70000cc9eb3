#!/usr/bin/env node
// Takes the picture of a folder page for the documentation, from the real server and the built-in skin:
//
//   node tests/e2e/screenshot.mjs --serve build/program/corvanta_serve [docs/skin-folder.png]
//
// The folder is made up on the spot in a temporary program folder (large files are sparse, so nothing
// big is written); a user with every right is logged in, so the page shows the upload and new-folder
// controls. Plug-ins built beside corvanta_serve are copied in and appear as they would for a user.

import { readdirSync, existsSync } from 'node:fs';
import { truncate, utimes } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
let out = path.resolve(here, '../../docs/skin-folder.png');
const args = process.argv.slice(2);
for (let i = 0; i < args.length; i += 1) {
  if (args[i] === '--serve' && i + 1 < args.length) {
    process.env.CORVANTA_SERVE = path.resolve(args[++i]);
  } else {
    out = path.resolve(args[i]);
  }
}
process.env.CORVANTA_SERVE ||= path.resolve(here, '../../build/program/corvanta_serve');

const { ProgramFolder, builtProgramFolder } = await import('./support/program.mjs');
const { launchBrowser, openPage } = await import('./support/browser.mjs');

const day = (text) => new Date(text + 'Z');
const program = await ProgramFolder.create();
let server;
let browser;
try {
  const share = await program.share('Music & Films');
  const folder = '2024';
  const folders = [
    ['Albums', '2024-11-02T19:41:00'],
    ['Live recordings', '2024-10-28T09:05:00'],
    ['사진 모음', '2024-08-15T12:30:00'],
    ['Backups', '2023-12-31T23:59:00'],
  ];
  const files = [
    ['annual-report-2024.pdf', 8_492_031, '2024-12-01T10:12:00'],
    ['Tom & Jerry (remastered).mkv', 4_831_838_208, '2024-06-30T20:20:00'],
    ['봄날 노래.mp3', 7_340_032, '2024-04-01T07:45:00'],
    ['cover.jpg', 3_460_301, '2023-07-21T17:55:00'],
    ['lyrics.txt', 512, '2024-02-14T15:03:00'],
    ['playlist.m3u', 2_048, '2021-05-05T11:11:00'],
    ['track 01.flac', 31_457_280, '2024-01-01T01:00:00'],
    ['track 02.flac', 28_311_552, '2024-02-02T14:01:00'],
    ['empty.log', 0, '2024-01-09T01:01:00'],
  ];
  for (const [name, size, time] of files) {
    const target = await share.write(`${folder}/${name}`, '');
    await truncate(target, size);
    await utimes(target, day(time), day(time));
  }
  // Folders last: adding entries changes a folder's own time.
  for (const [name, time] of folders) {
    await share.mkdir(`${folder}/${name}`, { mtime: day(time) });
  }
  program.user('minji', 'spring');
  program.rights('minji', 'Music & Films', 'LDU');
  const plugins = path.join(builtProgramFolder(), 'plugin');
  if (existsSync(plugins)) {
    for (const id of readdirSync(plugins)) {
      if (existsSync(path.join(plugins, id, `${id}.so`))) {
        await program.plugin(id);
      }
    }
  }
  server = await program.start();
  browser = await launchBrowser();
  const { page } = await openPage(browser, {
    httpCredentials: { username: 'minji', password: 'spring' },
    viewport: { width: 1280, height: 900 },
    colorScheme: 'light',
  });
  await page.goto(server.url() + '?action=Login');
  await page.goto(server.url(`Music & Films/${folder}/`));
  await page.screenshot({ path: out });
  console.log(`wrote ${out}`);
} finally {
  await browser?.close();
  try {
    await server?.stop();
  } finally {
    await program.remove();
  }
}
