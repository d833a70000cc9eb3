// Debian's chromium, headless, driven by playwright-core (which downloads no browser of its own).
//
//   const browser = await launchBrowser();                   // once per test file
//   const { page, problems } = await openPage(browser);      // a fresh context (cookies, storage) per test
//   await page.goto(server.url('pub/'));
//   ...
//   assertNoProblems(problems);                              // no script error, no missing skin file
//   await browser.close();
//
// Playwright starts chromium with a user-data folder of its own, made fresh for every launch and removed
// when the browser closes.

import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

export const CHROMIUM = process.env.CORVANTA_CHROMIUM || '/usr/bin/chromium';

export const CHROMIUM_ARGS = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-quic',
  '--no-first-run',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
];

export async function launchBrowser() {
  return chromium.launch({ executablePath: CHROMIUM, args: CHROMIUM_ARGS, headless: true });
}

// A new context and page. `options` are playwright's context options (httpCredentials, viewport...).
// Without httpCredentials the page answers every login prompt as a person without an account does: it
// dismisses it, and the browser shows the server's 401 page (headless chromium would otherwise fail the
// navigation). `problems` collects what a person would see as a broken page: uncaught script errors and
// skin files (scripts, style sheets, pictures) that the server did not deliver.
export async function openPage(browser, options = {}) {
  const context = await browser.newContext({ acceptDownloads: true, ...options });
  const page = await context.newPage();
  if (!options.httpCredentials) {
    await dismissLoginPrompts(context, page);
  }
  const problems = [];
  page.on('pageerror', (error) => problems.push(`script error: ${error.message}`));
  page.on('response', (response) => {
    const type = response.request().resourceType();
    if (response.status() >= 400 && ['script', 'stylesheet', 'image', 'font'].includes(type)) {
      problems.push(`${type} ${response.url()} answered ${response.status()}`);
    }
  });
  page.on('requestfailed', (request) => {
    const type = request.resourceType();
    if (['script', 'stylesheet', 'image', 'font'].includes(type)) {
      problems.push(`${type} ${request.url()} failed: ${request.failure()?.errorText}`);
    }
  });
  return { context, page, problems };
}

async function dismissLoginPrompts(context, page) {
  const session = await context.newCDPSession(page);
  session.on('Fetch.requestPaused', (event) => {
    session.send('Fetch.continueRequest', { requestId: event.requestId }).catch(() => {});
  });
  session.on('Fetch.authRequired', (event) => {
    session
      .send('Fetch.continueWithAuth', { requestId: event.requestId, authChallengeResponse: { response: 'CancelAuth' } })
      .catch(() => {});
  });
  await session.send('Fetch.enable', { handleAuthRequests: true, patterns: [{ urlPattern: '*' }] });
}

export function assertNoProblems(problems) {
  assert.deepEqual(problems, [], 'the page had problems');
}

// The entry rows of a folder page in DOM order (the parent-folder row left out): name as shown, the
// size the server wrote (thousands separators), the date it wrote, and whether the row is a folder.
export async function folderRows(page) {
  return page.$$eval('#files tbody tr:not([data-fixed])', (rows) =>
    rows.map((row) => ({
      name: row.querySelector('.nm')?.textContent ?? '',
      href: row.querySelector('td.n a')?.getAttribute('href') ?? '',
      folder: row.classList.contains('d'),
      size: row.querySelector('td.s')?.getAttribute('data-value') ?? row.querySelector('td.s')?.textContent ?? '',
      date: row.querySelector('td.t')?.getAttribute('data-value') ?? row.querySelector('td.t')?.textContent ?? '',
      hidden: row.hidden,
    })),
  );
}

// The link of the folder page's entry whose shown name is exactly `name`.
export function entryLink(page, name) {
  const exact = new RegExp('^' + name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + '$');
  return page.locator('#files td.n a').filter({ has: page.locator('.nm', { hasText: exact }) });
}

// Waits until the page's scripts have run (the path bar is built from data-address by common.js).
export async function waitForSkinScripts(page) {
  await page.waitForFunction(() => document.readyState === 'complete' && !!window.SortableTable);
}
