// Browsing with the default skin in a real browser: the root page, folders, sorting, downloads, logging in
// and out. One server and one browser for the file; a fresh browser context for every test.

import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { mkdtemp, readFile, rm } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { assertNoProblems, entryLink, folderRows, launchBrowser, openPage } from './support/browser.mjs';
import { ProgramFolder } from './support/program.mjs';

// The server runs with TZ=UTC, so these times are shown as they are written here.
const MIDNIGHT_FIVE = new Date('2021-03-04T00:05:00Z'); // "2021-03-04 AM 12:05"
const HALF_PAST_NOON = new Date('2020-12-31T12:30:00Z'); // "2020-12-31 PM 12:30"
const LATE = new Date('2022-06-15T23:59:00Z'); // "2022-06-15 PM 11:59"

// The files of the share "pub". Sizes are chosen so that comparing the shown sizes as text would give
// another order than comparing them as numbers; two files share a size.
const FILES = [
  { name: 'zeta.txt', size: 9, mtime: MIDNIGHT_FIVE, date: '2021-03-04 AM 12:05', shown: '2021-03-04 00:05' },
  { name: 'Alpha.dat', size: 1000, mtime: HALF_PAST_NOON, date: '2020-12-31 PM 12:30', shown: '2020-12-31 12:30' },
  { name: 'beta.bin', size: 123456, mtime: LATE, date: '2022-06-15 PM 11:59', shown: '2022-06-15 23:59' },
  { name: 'empty.bin', size: 0, mtime: LATE, date: '2022-06-15 PM 11:59', shown: '2022-06-15 23:59' },
  { name: 'notes.md', size: 42, mtime: LATE, date: '2022-06-15 PM 11:59', shown: '2022-06-15 23:59' },
  { name: 'Tom & Jerry <b>1.txt', size: 42, mtime: LATE, date: '2022-06-15 PM 11:59', shown: '2022-06-15 23:59' },
  { name: '자료 모음.bin', size: 1234567, mtime: LATE, date: '2022-06-15 PM 11:59', shown: '2022-06-15 23:59' },
];
const FOLDERS = ['Zoo', 'docs'];
const USER = { username: 'alice', password: 'open sesame|2' };

function withCommas(n) {
  return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
}

function byNameIgnoringCase(a, b) {
  const x = a.toLowerCase();
  const y = b.toLowerCase();
  return x < y ? -1 : x > y ? 1 : 0;
}

const sortedFolders = [...FOLDERS].sort(byNameIgnoringCase);
const sortedFiles = [...FILES].sort((a, b) => byNameIgnoringCase(a.name, b.name));

let program;
let server;
let browser;
const contents = new Map();

before(async () => {
  program = await ProgramFolder.create();
  const pub = await program.share('pub');
  for (const file of FILES) {
    const data = randomBytes(file.size);
    contents.set(file.name, data);
    await pub.write(file.name, data, { mtime: file.mtime });
  }
  await pub.write('.hidden-notes.txt', 'not listed');
  await pub.mkdir('Zoo');
  await pub.write('docs/inner/deep.txt', 'deep down');
  await pub.write('docs/readme.txt', 'read me');
  const secret = await program.share('secret');
  await secret.write('plans.txt', 'the plans');
  program.user(USER.username, USER.password);
  program.rights('.anonymous', 'secret', '');
  program.rights(USER.username, 'secret', 'LD');
  server = await program.start();
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
  try {
    await server?.stop();
  } finally {
    await program?.remove();
  }
});

describe('browsing', () => {
  test('the root page lists the shares and leads into them', async () => {
    const { context, page, problems } = await openPage(browser);
    const response = await page.goto(server.url());
    assert.equal(response.status(), 200);
    assert.equal(response.headers()['content-type'], 'text/html');

    const rows = await folderRows(page);
    assert.deepEqual(
      rows.map((row) => [row.name, row.folder, row.href]),
      [
        ['pub', true, 'pub/'],
        ['secret', true, 'secret/'],
      ],
    );
    // The root has no parent and nothing to upload into; the visitor is not logged in.
    assert.equal(await page.locator('tr.up').count(), 0);
    assert.equal(await page.locator('#upload-button').count(), 0);
    await page.getByRole('link', { name: 'Log in' }).waitFor();
    assert.equal(await page.locator('.user-name').count(), 0);
    assert.equal(await page.locator('footer [title="Server address"]').textContent(), `127.0.0.1:${server.port}`);

    await entryLink(page, 'pub').click();
    await page.waitForURL(server.url('pub/'));
    assert.equal(await page.title(), '/pub/ · Corvanta');
    assertNoProblems(problems);
    await context.close();
  });

  test('a folder page shows folders first, then files with their sizes and dates', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    const rows = await folderRows(page);

    assert.deepEqual(
      rows.map((row) => row.name),
      [...sortedFolders, ...sortedFiles.map((file) => file.name)],
      'folders before files, each by name ignoring case; hidden files left out',
    );
    for (const folder of sortedFolders) {
      const row = rows.find((r) => r.name === folder);
      assert.equal(row.folder, true);
      assert.equal(row.href, `${folder}/`);
      assert.equal(row.size, '');
    }
    for (const file of FILES) {
      const row = rows.find((r) => r.name === file.name);
      assert.equal(row.folder, false, file.name);
      assert.equal(row.size, withCommas(file.size), `size of ${file.name}`);
      assert.equal(row.date, file.date, `date of ${file.name}`);
      // The link is the name percent-encoded: it leads back to the same file.
      assert.equal(decodeURIComponent(row.href), file.name);
    }
    // The skin shows sizes in friendlier units and dates on a 24-hour clock, and keeps the exact values.
    const shown = await page.$$eval('#files tbody tr.f', (trs) =>
      trs.map((tr) => [
        tr.querySelector('.nm').textContent,
        tr.querySelector('td.t').textContent,
        tr.querySelector('td.s').title,
      ]),
    );
    for (const [name, date, sizeTitle] of shown) {
      const file = FILES.find((f) => f.name === name);
      assert.equal(date, file.shown, `shown date of ${name}`);
      assert.equal(sizeTitle, `${withCommas(file.size)} bytes`);
    }
    // A name with markup in it is shown as text, never as markup.
    assert.equal(await page.locator('#files b').count(), 0);

    const total = FILES.reduce((sum, file) => sum + file.size, 0);
    assert.equal(await page.locator('.summary .bytes').first().getAttribute('title'), `${withCommas(total)} bytes`);
    // The top folder of a share has the way up (root listing is allowed) and the free space.
    assert.equal(await page.locator('tr.up').count(), 1);
    assert.match(await page.locator('.summary .bytes').nth(1).getAttribute('title'), /^\d{1,3}(,\d{3})* bytes$/);
    assertNoProblems(problems);
    await context.close();
  });

  test('entering folders and going back up', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    await entryLink(page, 'docs').click();
    await page.waitForURL(server.url('pub/docs/'));
    assert.deepEqual(
      (await folderRows(page)).map((row) => row.name),
      ['inner', 'readme.txt'],
    );
    assert.deepEqual(await page.locator('.crumbs .crumb a').allTextContents(), ['Home', 'pub', 'docs']);

    await entryLink(page, 'inner').click();
    await page.waitForURL(server.url('pub/docs/inner/'));
    assert.deepEqual(
      (await folderRows(page)).map((row) => row.name),
      ['deep.txt'],
    );

    await page.locator('.toolbar').getByRole('link', { name: 'Up' }).click();
    await page.waitForURL(server.url('pub/docs/'));
    await page.locator('tr.up a').click();
    await page.waitForURL(server.url('pub/'));
    await page.locator('.crumbs').getByRole('link', { name: 'Home' }).click();
    await page.waitForURL(server.url());
    assert.deepEqual(
      (await folderRows(page)).map((row) => row.name),
      ['pub', 'secret'],
    );

    // A folder named without its closing "/" is redirected to the address with it.
    const response = await page.goto(server.url('pub/docs'));
    assert.equal(response.url(), server.url('pub/docs/'));
    assert.equal((await response.request().redirectedFrom()?.response())?.status(), 301);
    assert.deepEqual(
      (await folderRows(page)).map((row) => row.name),
      ['inner', 'readme.txt'],
    );
    assertNoProblems(problems);
    await context.close();
  });

  test('the path bar offers the sub-folders of a level', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/docs/inner/'));
    // The separator after "pub" opens the folders of pub.
    await page.getByRole('button', { name: 'Folders in pub' }).click();
    const menu = page.locator('.crumb-menu:not([hidden])');
    await menu.getByRole('link', { name: 'Zoo' }).waitFor();
    assert.deepEqual(await menu.getByRole('link').allTextContents(), ['docs', 'Zoo']);
    await menu.getByRole('link', { name: 'Zoo' }).click();
    await page.waitForURL(server.url('pub/Zoo/'));
    await page.locator('p.empty', { hasText: 'This folder is empty.' }).waitFor();
    assertNoProblems(problems);
    await context.close();
  });

  test('sorting by size orders the rows, both ways, and is remembered', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    const sizeHeader = page.locator('th[data-sort="size"]');
    const names = async () => (await folderRows(page)).map((row) => row.name);
    const bySize = (direction) =>
      [...FILES]
        .sort((a, b) => direction * (a.size - b.size) || byNameIgnoringCase(a.name, b.name))
        .map((file) => file.name);

    await sizeHeader.getByRole('button').click();
    assert.equal(await sizeHeader.getAttribute('aria-sort'), 'descending');
    assert.deepEqual(await names(), [...sortedFolders, ...bySize(-1)]);

    await sizeHeader.getByRole('button').click();
    assert.equal(await sizeHeader.getAttribute('aria-sort'), 'ascending');
    assert.deepEqual(await names(), [...sortedFolders, ...bySize(1)]);

    // The next visit of a folder page keeps the order chosen last.
    await page.reload();
    assert.equal(await sizeHeader.getAttribute('aria-sort'), 'ascending');
    assert.deepEqual(await names(), [...sortedFolders, ...bySize(1)]);

    await page.locator('th[data-sort="name"]').getByRole('button').click();
    assert.equal(await page.locator('th[data-sort="name"]').getAttribute('aria-sort'), 'ascending');
    assert.deepEqual(await names(), [...sortedFolders, ...sortedFiles.map((file) => file.name)]);
    assertNoProblems(problems);
    await context.close();
  });

  test('the filter box hides the rows that do not match', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    await page.locator('#filter').fill('.BIN');
    const visible = (await folderRows(page)).filter((row) => !row.hidden).map((row) => row.name);
    assert.deepEqual(
      visible,
      sortedFiles.map((file) => file.name).filter((name) => name.endsWith('.bin')),
    );
    await page.locator('#filter').fill('no such name');
    assert.equal(await page.locator('#no-match').isVisible(), true);
    await page.locator('#filter').fill('');
    assert.equal((await folderRows(page)).filter((row) => row.hidden).length, 0);
    assertNoProblems(problems);
    await context.close();
  });
});

describe('downloading', () => {
  test('a file downloaded through its link has the original bytes', async () => {
    const { context, page, problems } = await openPage(browser);
    const target = await mkdtemp(path.join(os.tmpdir(), 'corvanta-e2e-download-'));
    try {
      await page.goto(server.url('pub/'));
      for (const [index, name] of ['자료 모음.bin', 'beta.bin', 'empty.bin'].entries()) {
        const [download] = await Promise.all([
          page.waitForEvent('download'),
          entryLink(page, name).click(),
        ]);
        assert.equal(download.suggestedFilename(), name);
        assert.equal(download.url(), server.url(`pub/${name}`).replace(/%[0-9A-F]{2}/g, (m) => m.toLowerCase()));
        const saved = path.join(target, `${index}.bin`);
        await download.saveAs(saved);
        assert.equal(await download.failure(), null);
        const bytes = await readFile(saved);
        assert.equal(bytes.length, contents.get(name).length, `length of ${name}`);
        assert.ok(bytes.equals(contents.get(name)), `bytes of ${name}`);
      }
    } finally {
      await rm(target, { recursive: true, force: true });
    }
    assertNoProblems(problems);
    await context.close();
  });
});

describe('logging in and out', () => {
  test('a protected share refuses the anonymous visitor', async () => {
    const { context, page, problems } = await openPage(browser);
    const response = await page.goto(server.url('secret/'));
    assert.equal(response.status(), 401);
    assert.equal(response.headers()['www-authenticate'], 'Basic realm="/"');
    assert.equal(await page.locator('#message-title').textContent(), '401 Unauthorized');
    assert.equal(await page.locator('#files').count(), 0);
    assert.equal(await page.getByText('plans.txt').count(), 0);
    // The refusal page offers to log in.
    await page.locator('.message-actions').getByRole('link', { name: 'Log in' }).waitFor();
    assertNoProblems(problems);
    await context.close();
  });

  test('logging in shows the protected share; logging out hides it again', async () => {
    const { context, page, problems } = await openPage(browser, { httpCredentials: USER });
    await page.goto(server.url());
    await page.getByRole('link', { name: 'Log in' }).waitFor();

    // The page's login control challenges the browser, which answers with the credentials.
    await page.getByRole('link', { name: 'Log in' }).click();
    await page.waitForURL(/\?action=Login$/);
    assert.equal(await page.locator('.user-name').textContent(), USER.username);
    assert.equal(await page.getByRole('link', { name: 'Log in' }).count(), 0);

    await entryLink(page, 'secret').click();
    await page.waitForURL(server.url('secret/'));
    assert.deepEqual(
      (await folderRows(page)).map((row) => row.name),
      ['plans.txt'],
    );
    assert.equal(await page.locator('.user-name').textContent(), USER.username);

    await page.getByRole('link', { name: 'Log out' }).click();
    await page.waitForURL(/\?action=Logout$/);
    assert.equal(await page.locator('#message-title').textContent(), 'Logout');

    // The browser forgot the credentials: the next page is the anonymous visitor's again.
    await page.goto(server.url());
    await page.getByRole('link', { name: 'Log in' }).waitFor();
    assert.equal(await page.locator('.user-name').count(), 0);
    assertNoProblems(problems);
    await context.close();
  });

  test('a wrong password is refused and shows nothing protected', async () => {
    const { context, page, problems } = await openPage(browser, {
      httpCredentials: { username: USER.username, password: 'not the password' },
    });
    const response = await page.goto(server.url() + '?action=Login');
    assert.equal(response.status(), 401);
    assert.equal(await page.locator('#message-title').textContent(), '401 Unauthorized');
    const secret = await page.goto(server.url('secret/'));
    assert.equal(secret.status(), 401);
    assert.equal(await page.getByText('plans.txt').count(), 0);
    assertNoProblems(problems);
    await context.close();
  });
});
