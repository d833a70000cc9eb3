// The text forms of mount.ini, written the way the program itself writes them, so that a test can hand
// the server a finished configuration: settings, shares, accounts (passwords scrambled with the account
// name) and rights. The server reads the file once when it starts and writes it back when it stops.

const BOM = Buffer.from([0xef, 0xbb, 0xbf]);

function isKeptInUrl(byte) {
  return (
    (byte >= 0x61 && byte <= 0x7a) || // a-z
    (byte >= 0x41 && byte <= 0x5a) || // A-Z
    (byte >= 0x30 && byte <= 0x39) || // 0-9
    byte === 0x2e || // .
    byte === 0x2f || // /
    byte === 0x5f // _
  );
}

// The server's URL encoder: letters, digits, ".", "/" and "_" stay; every other byte of the UTF-8 text
// (or of the given bytes) becomes "%" and two lower-case hex digits.
export function urlEncode(text) {
  const bytes = Buffer.isBuffer(text) ? text : Buffer.from(String(text), 'utf8');
  let out = '';
  for (const byte of bytes) {
    out += isKeptInUrl(byte) ? String.fromCharCode(byte) : '%' + byte.toString(16).padStart(2, '0');
  }
  return out;
}

// Passwords are stored XOR-ed with a running product of the account name's bytes; the same operation
// turns them back.
export function scramblePassword(password, accountName) {
  const key = Buffer.from(accountName, 'utf8');
  const bytes = Buffer.from(password, 'utf8');
  if (key.length === 0) {
    return bytes;
  }
  let factor = key[0];
  for (let i = 0; i < bytes.length; i += 1) {
    factor = (factor * key[i % key.length]) & 0xff;
    bytes[i] ^= factor;
  }
  return bytes;
}

// One element of `mounts`: name|path|reserved|yes-or-no (folder)|x|no.
export function mountEntry(name, localPath, isDirectory) {
  return [urlEncode(name), urlEncode(localPath), '', isDirectory ? 'yes' : 'no', 'x', 'no'].join('|');
}

// One element of `users`: name|scrambled password, with the "." that ends it.
export function userEntry(name, password) {
  return urlEncode(name) + '|' + urlEncode(scramblePassword(password, name)) + '.';
}

// One element of `authorities`: account|share|letters of "LDUA" ("" for no right at all).
export function rightsEntry(account, share, letters) {
  return urlEncode(account) + '|' + urlEncode(share) + '|' + letters;
}

function settingText(value) {
  if (typeof value === 'boolean') {
    return value ? '1' : '0';
  }
  const text = String(value);
  if (/[\r\n]/.test(text)) {
    throw new Error(`a setting cannot span lines: ${JSON.stringify(text)}`);
  }
  return text;
}

// The whole file: the byte-order mark, "key=value" per setting, then "key+=element" per list element.
export function formatMountIni({ settings = {}, mounts = [], users = [], authorities = [] }) {
  const lines = [];
  for (const [key, value] of Object.entries(settings)) {
    lines.push(`${key}=${settingText(value)}`);
  }
  for (const [key, list] of [
    ['mounts', mounts],
    ['users', users],
    ['authorities', authorities],
  ]) {
    for (const element of list) {
      lines.push(`${key}+=${element}`);
    }
  }
  return Buffer.concat([BOM, Buffer.from(lines.join('\n') + '\n', 'utf8')]);
}
