// Uploading and making folders with the default skin in a real browser: two files through the upload
// window, whose progress page must reach its finished state, and a new folder from the folder page's
// menu; all three then appear in the folder's listing. One server and one browser for the file; a fresh
// browser context for every test.

import assert from 'node:assert/strict';
import { randomBytes } from 'node:crypto';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';

import { assertNoProblems, entryLink, folderRows, launchBrowser, openPage } from './support/browser.mjs';
import { ProgramFolder } from './support/program.mjs';

let program;
let server;
let browser;
let drop; // the visitor's own files, outside every share
let pub;

before(async () => {
  program = await ProgramFolder.create();
  pub = await program.share('pub');
  await pub.write('existing.txt', 'already here');
  program.rights('.anonymous', 'pub', 'LDU');
  server = await program.start();
  browser = await launchBrowser();
  drop = await mkdtemp(path.join(os.tmpdir(), 'corvanta-e2e-upload-'));
});

after(async () => {
  await browser?.close();
  try {
    await server?.stop();
  } finally {
    await program?.remove();
    if (drop) {
      await rm(drop, { recursive: true, force: true });
    }
  }
});

describe('uploading', () => {
  test('two files go up through the upload window, which ends finished', async () => {
    const files = [
      { name: 'first upload.bin', data: randomBytes(300 * 1024) },
      { name: "자료 & 'quotes'.txt", data: Buffer.from('second file\r\n--boundary-like line\r\n') },
    ];
    for (const file of files) {
      await writeFile(path.join(drop, file.name), file.data);
    }

    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    await page.locator('#upload-button').click();
    const window = page.frameLocator('#upload-dialog-frame');
    await window.locator('#upload-target').filter({ hasText: '/pub/' }).waitFor();
    const form = window.frameLocator('#upload-form-frame');
    await form.locator('#uploadfile').setInputFiles(files.map((file) => path.join(drop, file.name)));
    await form.locator('#chosen-summary').filter({ hasText: '2 files' }).waitFor();
    await form.locator('#upload-submit').click();

    // The window's finished state: both files listed as stored, the progress page's last word is the
    // server's finished text with its confirm link turned into a button, and the Done button is offered.
    await window.locator('#upload-done').waitFor({ state: 'visible' });
    const results = await window.locator('#upload-results li').evaluateAll((items) =>
      items.map((item) => ({ ok: item.classList.contains('ok'), text: item.textContent })),
    );
    assert.deepEqual(
      results.map((result) => result.ok),
      [true, true],
      JSON.stringify(results),
    );
    const status = window.locator('#upload-status');
    await status.filter({ hasText: '업로드가 끝났습니다.' }).waitFor();
    assert.match(await status.textContent(), new RegExp(files[1].name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')));
    await status.locator('button', { hasText: '[확인]' }).waitFor();

    for (const file of files) {
      assert.deepEqual(await pub.read(file.name), file.data, `${file.name} arrived byte for byte`);
    }

    // Done closes the window and shows the folder again, with the new files in it.
    await window.locator('#upload-done button').click();
    await entryLink(page, files[1].name).waitFor();
    const names = (await folderRows(page)).map((row) => row.name);
    for (const name of ['existing.txt', ...files.map((file) => file.name)]) {
      assert.ok(names.includes(name), `${name} is listed: ${names}`);
    }
    assertNoProblems(problems);
    await context.close();
  });

  test('a new folder made from the page appears in the listing', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    await page.locator('#mkdir-menu summary').click();
    await page.locator('#mkdir-name').fill('  새 폴더 <1>  ');
    await page.locator('#mkdir-name').press('Enter');
    await page.waitForURL(server.url('pub/'));
    await entryLink(page, '새 폴더 <1>').waitFor();
    const row = (await folderRows(page)).find((entry) => entry.name === '새 폴더 <1>');
    assert.equal(row?.folder, true);

    // The new folder can be entered, and can itself take a folder.
    await entryLink(page, '새 폴더 <1>').click();
    await page.waitForURL((url) => decodeURIComponent(url.pathname) === '/pub/새 폴더 <1>/');
    await page.locator('#mkdir-menu summary').click();
    await page.locator('#mkdir-name').fill('inner');
    await page.locator('.mkdir-form button[type="submit"]').click();
    await entryLink(page, 'inner').waitFor();
    assertNoProblems(problems);
    await context.close();
  });

  test("the path bar's folder menu shows folder names as they are", async () => {
    const odd = 'say "hi" \\ <b>';
    await pub.mkdir(odd);
    await pub.mkdir('plain');
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/plain/'));
    await page.getByRole('button', { name: 'Folders in pub' }).click();
    const link = page.locator('.crumb-menu a').filter({ hasText: odd });
    await link.waitFor();
    assert.equal(decodeURIComponent(new URL(await link.evaluate((a) => a.href)).pathname), `/pub/${odd}/`);
    assert.equal(await page.locator('.crumb-menu a').filter({ hasText: /^plain$/ }).count(), 1);
    assertNoProblems(problems);
    await context.close();
  });

  test('a refused folder name is explained and nothing is made', async () => {
    const { context, page, problems } = await openPage(browser);
    await page.goto(server.url('pub/'));
    await page.locator('#mkdir-menu summary').click();
    await page.locator('#mkdir-name').fill('existing.txt');
    await page.locator('#mkdir-name').press('Enter');
    await page.locator('#message-title').filter({ hasText: '폴더 만들기 실패' }).waitFor();
    assert.equal((await page.locator('.message-body').textContent()).trim(), '폴더를 만들지 못했습니다.');
    assertNoProblems(problems);
    await context.close();
  });
});
