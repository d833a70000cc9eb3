// Pages of other sites against a visitor who is logged in: a page served by another local server (another
// port of 127.0.0.1 is another origin of the same site, "localhost" another site) tries to store a page,
// make a folder and log the visitor out with the credentials the browser has cached, and a page that
// anybody could plant in a share where visitors may upload tries to read the visitor's private files.

import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import http from 'node:http';
import { after, before, describe, test } from 'node:test';

import { assertNoProblems, launchBrowser, openPage } from './support/browser.mjs';
import { ProgramFolder } from './support/program.mjs';

const USER = { username: 'alice', password: 'open sesame' };
const REFUSED = '다른 사이트의 페이지가 보낸 요청이라 처리하지 않았습니다.';

// A stored page whose script, run with the server's origin, reads two of the visitor's files.
const PLANTED = `<!doctype html><title>planted</title><p id="state">script did not run</p>
<script>
function grab(url) { const x = new XMLHttpRequest(); x.open('GET', url, false); x.send(); return x.status + ' ' + x.responseText; }
let text;
try { text = grab('/priv/private.txt') + ' | ' + grab('/priv/').length; } catch (e) { text = 'failed ' + e; }
document.getElementById('state').textContent = 'leaked: ' + text;
</script>`;

let program;
let server;
let browser;
let priv;
let open;
let attacker; // the other site's server
let attackerPort;

// The other site's pages: /navigate?to=URL sends the browser there; /upload?to=URL posts PLANTED as
// "pwn.html" with a multipart form, as a person's own upload would.
function attackerPage(url) {
  const literal = (text) => JSON.stringify(text).replace(/</g, '\\u003c'); // no "</script>" inside
  const to = literal(url.searchParams.get('to'));
  if (url.pathname === '/navigate') {
    return `<!doctype html><script>location.href = ${to};</script>`;
  }
  return `<!doctype html><form id="f" method="post" enctype="multipart/form-data">
<input type="file" name="uploadfile" id="u"></form><script>
const files = new DataTransfer();
files.items.add(new File([${literal(PLANTED)}], 'pwn.html', { type: 'text/html' }));
u.files = files.files; f.action = ${to}; f.submit();</script>`;
}

function otherSite(host, pathname, to) {
  return `http://${host}:${attackerPort}${pathname}?to=${encodeURIComponent(to)}`;
}

before(async () => {
  program = await ProgramFolder.create();
  priv = await program.share('priv');
  open = await program.share('open');
  await priv.write('private.txt', 'the private plan');
  program.user(USER.username, USER.password);
  program.rights(USER.username, 'priv', 'LDU');
  program.rights('.anonymous', 'priv', '');
  program.rights('.anonymous', 'open', 'LDU');
  server = await program.start();
  browser = await launchBrowser();
  attacker = http.createServer((request, response) => {
    response.writeHead(200, { 'Content-Type': 'text/html' });
    response.end(attackerPage(new URL(request.url, 'http://attacker')));
  });
  await new Promise((resolve) => attacker.listen(0, '127.0.0.1', resolve));
  attackerPort = attacker.address().port;
});

after(async () => {
  await browser?.close();
  attacker?.close();
  try {
    await server?.stop();
  } finally {
    await program?.remove();
  }
});

// A context whose browser is logged in to the share "priv", as the visitor who then opens the other page.
async function loggedIn() {
  const opened = await openPage(browser, { httpCredentials: { ...USER, origin: new URL(server.base).origin } });
  await opened.page.goto(server.url('priv/'));
  await opened.page.locator('.user-name').waitFor();
  return opened;
}

// Opens the other site's page and returns the server's answer to the request it makes.
async function answerTo(page, otherPage, target) {
  const answer = page.waitForResponse((response) => response.url() === target);
  await page.goto(otherPage);
  const response = await answer;
  await page.waitForURL(target);
  return response;
}

describe('pages of another site', () => {
  test('cannot store a page, make a folder or log the visitor out', async () => {
    const { context, page, problems } = await loggedIn();
    const attempts = [
      ['127.0.0.1', '/upload', server.url('priv/') + '?action=Upload&key=[1]'],
      ['localhost', '/navigate', server.url('priv/') + '?action=MakeDirectory&name=pwned'],
      ['localhost', '/navigate', server.url('priv/') + '?action=Logout'],
    ];
    for (const [host, pathname, target] of attempts) {
      const response = await answerTo(page, otherSite(host, pathname, target), target);
      assert.equal(response.status(), 403, target);
      assert.equal(await page.locator('#message-title').textContent(), '403 Forbidden');
      assert.equal((await page.locator('.message-body').textContent()).trim(), REFUSED);
    }
    assert.equal(existsSync(priv.file('pwn.html')), false, 'no page was stored');
    assert.equal(existsSync(priv.file('pwned')), false, 'no folder was made');

    // Reading is not refused: a link from another site opens the folder page.
    await answerTo(page, otherSite('localhost', '/navigate', server.url('priv/')), server.url('priv/'));
    await page.locator('.user-name').waitFor();
    assertNoProblems(problems);
    await context.close();
  });

  test('a page planted in a share runs no script with the server\u2019s origin', async () => {
    // Where visitors without an account may upload, anybody stores the page; a client that sends no
    // browser headers (a script) is served as before.
    const form = new FormData();
    form.append('uploadfile', new Blob([PLANTED], { type: 'text/html' }), 'pwn.html');
    const stored = await fetch(server.url('open/') + '?action=Upload&key=[2]', { method: 'POST', body: form });
    assert.equal(await stored.text(), 'OK');

    const { context, page } = await loggedIn();
    const target = server.url('open/pwn.html');
    const response = await answerTo(page, otherSite('localhost', '/navigate', target), target);
    assert.equal(response.status(), 200);
    assert.equal(response.headers()['content-security-policy'], 'sandbox');
    await page.waitForLoadState('load');
    assert.equal(await page.locator('#state').textContent(), 'script did not run');
    await context.close();
  });
});
