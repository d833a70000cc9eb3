// A logged-in visitor meets pages of other sites, served by a second local server (another port of
// 127.0.0.1 is another origin of the same site, "localhost" another site): they try to store a page, make
// a folder and log out with the browser's cached credentials, and a page planted in a share where anybody
// may upload tries to read the visitor's files.

import assert from 'node:assert/strict';
import { existsSync } from 'node:fs';
import http from 'node:http';
import { after, before, test } from 'node:test';

import { launchBrowser, openPage } from './support/browser.mjs';
import { ProgramFolder } from './support/program.mjs';

const USER = { username: 'alice', password: 'open sesame' };
const PLANTED = `<p id="state">script did not run</p><script>
const x = new XMLHttpRequest(); x.open('GET', '/priv/private.txt', false); x.send();
document.getElementById('state').textContent = 'leaked: ' + x.responseText;</script>`;

let program, server, browser, priv, other, otherPort;

// The other site: /navigate?to=URL goes there; /upload?to=URL posts PLANTED as "pwn.html" to it.
function otherPage(url) {
  const literal = (text) => JSON.stringify(text).replace(/</g, '\\u003c');
  const to = literal(url.searchParams.get('to'));
  if (url.pathname === '/navigate') {
    return `<script>location.href = ${to};</script>`;
  }
  return `<form id="f" method="post" enctype="multipart/form-data"><input type="file" name="uploadfile" id="u">
</form><script>const files = new DataTransfer();
files.items.add(new File([${literal(PLANTED)}], 'pwn.html', { type: 'text/html' }));
u.files = files.files; f.action = ${to}; f.submit();</script>`;
}

before(async () => {
  program = await ProgramFolder.create();
  priv = await program.share('priv');
  await program.share('open');
  await priv.write('private.txt', 'the private plan');
  program.user(USER.username, USER.password).rights(USER.username, 'priv', 'LDU');
  program.rights('.anonymous', 'priv', '').rights('.anonymous', 'open', 'LDU');
  server = await program.start();
  browser = await launchBrowser();
  other = http.createServer((request, response) => {
    response.writeHead(200, { 'Content-Type': 'text/html' });
    response.end(otherPage(new URL(request.url, 'http://other')));
  });
  await new Promise((resolve) => other.listen(0, '127.0.0.1', resolve));
  otherPort = other.address().port;
});

after(async () => {
  await browser?.close();
  other?.close();
  try {
    await server?.stop();
  } finally {
    await program?.remove();
  }
});

// A page whose browser logged in to "priv" first; `visit` opens the other site's page, which makes the
// browser request `target`, and gives the server's answer.
async function loggedIn() {
  const credentials = { ...USER, origin: new URL(server.base).origin };
  const { context, page } = await openPage(browser, { httpCredentials: credentials });
  await page.goto(server.url('priv/'));
  await page.locator('.user-name').waitFor();
  const visit = async (host, kind, target) => {
    const answer = page.waitForResponse((response) => response.url() === target);
    await page.goto(`http://${host}:${otherPort}/${kind}?to=${encodeURIComponent(target)}`);
    return answer;
  };
  return { context, page, visit };
}

test('pages of another site cannot store a page, make a folder or log the visitor out', async () => {
  const { context, page, visit } = await loggedIn();
  for (const [host, kind, query] of [
    ['127.0.0.1', 'upload', '?action=Upload&key=[1]'],
    ['localhost', 'navigate', '?action=MakeDirectory&name=pwned'],
    ['localhost', 'navigate', '?action=Logout'],
  ]) {
    assert.equal((await visit(host, kind, server.url('priv/') + query)).status(), 403, query);
    await page.locator('#message-title').filter({ hasText: '403 Forbidden' }).waitFor();
  }
  assert.equal(existsSync(priv.file('pwn.html')) || existsSync(priv.file('pwned')), false);
  // Reading is not refused: a link from another site opens the folder page, still logged in.
  assert.equal((await visit('localhost', 'navigate', server.url('priv/'))).status(), 200);
  await page.locator('.user-name').waitFor();
  await context.close();
});

test('a page planted in a share runs no script with the server\u2019s origin', async () => {
  // Where anybody may upload, a script without browser headers stores the page, as before.
  const form = new FormData();
  form.append('uploadfile', new Blob([PLANTED], { type: 'text/html' }), 'pwn.html');
  const stored = await fetch(server.url('open/') + '?action=Upload&key=[2]', { method: 'POST', body: form });
  assert.equal(await stored.text(), 'OK');

  const { context, page, visit } = await loggedIn();
  const response = await visit('localhost', 'navigate', server.url('open/pwn.html'));
  assert.equal(response.headers()['content-security-policy'], 'sandbox');
  await page.waitForLoadState('load');
  assert.equal(await page.locator('#state').textContent(), 'script did not run');
  await context.close();
});
