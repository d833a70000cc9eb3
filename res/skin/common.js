/* Corvanta default skin: the scripts of the folder page, the message pages and the upload window.
 *
 * The server writes names and paths into the page already HTML-escaped; this script reads them back
 * from attributes and text, and only ever puts text into the page through textContent, never as markup.
 */
(function () {
  'use strict';

  // ---------------------------------------------------------------- helpers

  function $(selector, root) {
    return (root || document).querySelector(selector);
  }

  function $all(selector, root) {
    return Array.prototype.slice.call((root || document).querySelectorAll(selector));
  }

  function make(tag, className, text) {
    var node = document.createElement(tag);
    if (className) {
      node.className = className;
    }
    if (text !== undefined && text !== null) {
      node.textContent = text;
    }
    return node;
  }

  function clear(node) {
    while (node.firstChild) {
      node.removeChild(node.firstChild);
    }
  }

  function safeDecode(text) {
    try {
      return decodeURIComponent(text);
    } catch (e) {
      return text;
    }
  }

  function storageGet(key) {
    try {
      return window.localStorage.getItem(key);
    } catch (e) {
      return null;
    }
  }

  function storageSet(key, value) {
    try {
      window.localStorage.setItem(key, value);
    } catch (e) {
      /* private mode: the choice is simply not remembered */
    }
  }

  // "1,234,567" or "1234567 bytes" -> 1234567; NaN when there is no number.
  function parseBytes(text) {
    var digits = String(text || '').replace(/[^0-9]/g, '');
    return digits ? Number(digits) : NaN;
  }

  function formatBytes(bytes) {
    if (!(bytes >= 0)) {
      return '';
    }
    if (bytes < 1024) {
      return bytes + ' B';
    }
    var units = ['KB', 'MB', 'GB', 'TB', 'PB'];
    var value = bytes / 1024;
    var unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
      value /= 1024;
      unit += 1;
    }
    return (value < 10 ? value.toFixed(1) : String(Math.round(value))) + ' ' + units[unit];
  }

  // "2024-03-05 PM 02:07" -> "2024-03-05 14:07"; anything else stays as it is.
  function formatDate(text) {
    var m = /^(\d{4}-\d{2}-\d{2})\s+(AM|PM)\s+(\d{1,2}):(\d{2})$/.exec(String(text || '').trim());
    if (!m) {
      return text;
    }
    var hour = (Number(m[3]) % 12) + (m[2] === 'PM' ? 12 : 0);
    return m[1] + ' ' + (hour < 10 ? '0' : '') + hour + ':' + m[4];
  }

  function plural(count, one, many) {
    return count + ' ' + (count === 1 ? one : many);
  }

  // The skin a page was asked for with "?skin=", kept on the links to other folders.
  function skinQuery() {
    var match = /[?&]skin=([^&#]*)/.exec(window.location.search);
    return match ? '?skin=' + match[1] : '';
  }

  function skinBase() {
    var skin = document.body.getAttribute('data-skin') || '';
    return '/' + encodeURIComponent(skin) + '/';
  }

  // An upload target must be a path on this server; anything else (another host, a script URL) is refused.
  function isSafeUploadPath(path) {
    return /^\/(?!\/)/.test(path) && path.indexOf('\\') < 0 && !/[\u0000-\u001f\u007f]/.test(path);
  }

  // ---------------------------------------------------------------- shared by the template's pages

  function initSkinChoice() {
    var choice = $('#skin-choice');
    var select = $('#skin-select');
    if (!choice || !select || select.options.length < 2) {
      return;
    }
    var current = document.body.getAttribute('data-skin');
    Array.prototype.forEach.call(select.options, function (option) {
      option.selected = option.value === current;
    });
    choice.hidden = false;
    select.addEventListener('change', function () {
      window.location.href = window.location.pathname + '?skin=' + encodeURIComponent(select.value);
    });
  }

  function keepSkinOnLinks() {
    var query = skinQuery();
    if (!query) {
      return;
    }
    $all('a[data-keep-skin]').forEach(function (link) {
      var href = link.getAttribute('href');
      if (href && href.indexOf('?') < 0) {
        link.setAttribute('href', href + query);
      }
    });
  }

  // ---------------------------------------------------------------- folder page: path bar

  // The server writes each name as the body of a double-quoted script string (\" \\ \n \u003C ...).
  function unescapeName(escaped) {
    try {
      return JSON.parse('"' + escaped + '"');
    } catch (e) {
      return escaped;
    }
  }

  function parseSubdirs(text) {
    var open = text.indexOf('[');
    var close = text.lastIndexOf('"/"');
    if (open < 0 || close < open) {
      return null;
    }
    var names = [];
    text
      .slice(open + 1, close)
      .split(/",[ \t]*\r?\n/)
      .forEach(function (piece) {
        // Each entry is a quoted name; what is left after the last one is only line breaks.
        var entry = piece.replace(/^\s+/, '');
        if (entry.length > 1 && entry.charAt(0) === '"') {
          names.push(unescapeName(entry.slice(1)));
        }
      });
    return names;
  }

  function closeMenus(except) {
    $all('.crumb-menu').forEach(function (menu) {
      if (menu !== except) {
        menu.hidden = true;
        var toggle = menu.previousElementSibling;
        if (toggle) {
          toggle.setAttribute('aria-expanded', 'false');
        }
      }
    });
  }

  function fillSubdirMenu(menu, folderHref, nextName) {
    var query = skinQuery();
    clear(menu);
    menu.appendChild(make('li')).appendChild(make('span', null, 'Loading\u2026'));
    fetch(folderHref + '?action=Subdir', { credentials: 'same-origin' })
      .then(function (response) {
        return response.text().then(function (text) {
          return { ok: response.ok, text: text };
        });
      })
      .then(function (answer) {
        clear(menu);
        var names = answer.ok ? parseSubdirs(answer.text) : null;
        if (!names) {
          var refused = answer.text.indexOf('UNAUTHORIZED') >= 0;
          menu.appendChild(make('li')).appendChild(make('span', null, refused ? 'Not allowed here' : 'Not available'));
          return;
        }
        if (!names.length) {
          menu.appendChild(make('li')).appendChild(make('span', null, 'No folders'));
          return;
        }
        var collator = window.Intl ? new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' }) : null;
        names.sort(function (a, b) {
          return collator ? collator.compare(a, b) : a < b ? -1 : a > b ? 1 : 0;
        });
        names.forEach(function (name) {
          var link = make('a');
          link.href = folderHref + encodeURIComponent(name) + '/' + query;
          var img = make('img');
          img.src = skinBase() + 'folder.gif?action=SkinFile';
          img.alt = '';
          link.appendChild(img);
          link.appendChild(make('span', null, name));
          if (name === nextName) {
            link.style.fontWeight = '650';
          }
          menu.appendChild(make('li')).appendChild(link);
        });
      })
      .catch(function () {
        clear(menu);
        menu.appendChild(make('li')).appendChild(make('span', null, 'Not available'));
      });
  }

  function buildPathBar() {
    var nav = $('.pathbar');
    if (!nav) {
      return;
    }
    var address = nav.getAttribute('data-address') || '/';
    var parts = address.split('/').filter(function (part) {
      return part.length > 0;
    });
    var query = skinQuery();
    var list = make('ol', 'crumbs');
    var href = '/';
    var levels = [{ label: 'Home', href: '/' }];
    parts.forEach(function (part) {
      href += encodeURIComponent(part) + '/';
      levels.push({ label: part, href: href });
    });
    levels.forEach(function (level, index) {
      var last = index === levels.length - 1;
      var item = make('li', 'crumb' + (last ? ' current' : ''));
      var link = make('a', null, level.label);
      link.href = level.href + query;
      if (last) {
        link.setAttribute('aria-current', 'page');
      }
      item.appendChild(link);
      list.appendChild(item);
      if (last) {
        return;
      }
      // The separator opens the sub-folders of this level, to jump sideways without going back.
      var separator = make('li', 'crumb');
      var toggle = make('button', 'crumb-toggle', '\u203a');
      toggle.type = 'button';
      toggle.setAttribute('aria-label', 'Folders in ' + level.label);
      toggle.setAttribute('aria-expanded', 'false');
      var menu = make('ul', 'crumb-menu');
      menu.hidden = true;
      separator.appendChild(toggle);
      separator.appendChild(menu);
      list.appendChild(separator);
      toggle.addEventListener('click', function (event) {
        event.stopPropagation();
        var opening = menu.hidden;
        closeMenus(menu);
        menu.hidden = !opening;
        toggle.setAttribute('aria-expanded', opening ? 'true' : 'false');
        if (opening && !menu.hasAttribute('data-loaded')) {
          menu.setAttribute('data-loaded', '1');
          fillSubdirMenu(menu, level.href, levels[index + 1].label);
        }
      });
    });
    clear(nav);
    nav.appendChild(list);
    document.addEventListener('click', function (event) {
      if (!nav.contains(event.target)) {
        closeMenus(null);
      }
    });
    document.addEventListener('keydown', function (event) {
      if (event.key === 'Escape') {
        closeMenus(null);
      }
    });
  }

  // ---------------------------------------------------------------- folder page: table

  function prettifyCells(table) {
    $all('tbody tr', table).forEach(function (row) {
      if (row.hasAttribute('data-fixed')) {
        return;
      }
      var size = $('td.s', row);
      if (size) {
        var raw = size.textContent.trim();
        size.setAttribute('data-value', raw);
        var bytes = parseBytes(raw);
        if (!isNaN(bytes)) {
          size.textContent = formatBytes(bytes);
          size.title = raw + ' bytes';
        }
      }
      var date = $('td.t', row);
      if (date) {
        var text = date.textContent.trim();
        date.setAttribute('data-value', text);
        date.textContent = formatDate(text);
      }
    });
    $all('.summary .bytes').forEach(function (node) {
      var raw = node.textContent.trim();
      var bytes = parseBytes(raw);
      if (!isNaN(bytes)) {
        node.textContent = formatBytes(bytes);
        node.title = raw;
      }
    });
  }

  function entryRows(table) {
    return $all('tbody tr', table).filter(function (row) {
      return !row.hasAttribute('data-fixed');
    });
  }

  function initSorting(table) {
    if (!window.SortableTable) {
      return;
    }
    var sorter = window.SortableTable.attach(table, {
      iconBase: skinBase(),
      onSort: function (column, direction) {
        storageSet('corvanta.sort', column + ':' + direction);
      }
    });
    var saved = /^(name|size|date):(-?1)$/.exec(storageGet('corvanta.sort') || '');
    if (saved && !(saved[1] === 'name' && saved[2] === '1')) {
      sorter.sort(saved[1], Number(saved[2]));
    }
  }

  function initFilter(table, onChange) {
    var filter = $('#filter');
    var rows = entryRows(table);
    if (!filter || rows.length < 2) {
      return;
    }
    var noMatch = $('#no-match');
    filter.hidden = false;
    filter.addEventListener('input', function () {
      var needle = filter.value.trim().toLowerCase();
      var shown = 0;
      rows.forEach(function (row) {
        var name = $('.nm', row);
        var match = !needle || (name && name.textContent.toLowerCase().indexOf(needle) >= 0);
        row.hidden = !match;
        if (match) {
          shown += 1;
        }
      });
      if (noMatch) {
        noMatch.hidden = shown > 0;
      }
      onChange();
    });
    document.addEventListener('keydown', function (event) {
      var target = event.target;
      var typing = target && (target.tagName === 'INPUT' || target.tagName === 'TEXTAREA' || target.isContentEditable);
      if (event.key === '/' && !typing && !event.ctrlKey && !event.metaKey && !event.altKey) {
        event.preventDefault();
        filter.focus();
      }
    });
  }

  // Check boxes plus the plug-in buttons, which post the selection as "selectedFiles": one entry per line,
  // each as the page links it (URL-encoded, folders with a trailing "/"), every line ended by "\n".
  function initSelection(form, table) {
    var bar = $('#selection-bar');
    var count = $('#selection-count');
    var all = $('#select-all');
    var field = form.elements.namedItem('selectedFiles');
    var lastClicked = null;

    function boxes(visibleOnly) {
      return $all('tbody input[type="checkbox"]', table).filter(function (box) {
        return !visibleOnly || !box.closest('tr').hidden;
      });
    }

    function update() {
      var checked = boxes(false).filter(function (box) {
        box.closest('tr').classList.toggle('selected', box.checked);
        return box.checked;
      });
      var visible = boxes(true);
      var visibleChecked = visible.filter(function (box) {
        return box.checked;
      }).length;
      if (all) {
        all.checked = visible.length > 0 && visibleChecked === visible.length;
        all.indeterminate = visibleChecked > 0 && visibleChecked < visible.length;
      }
      if (bar) {
        bar.hidden = checked.length === 0;
        document.body.classList.toggle('has-selection', checked.length > 0);
      }
      if (count) {
        count.textContent = plural(checked.length, 'item selected', 'items selected');
      }
      return checked;
    }

    table.addEventListener('click', function (event) {
      var box = event.target;
      if (!box || box.type !== 'checkbox' || box === all) {
        return;
      }
      if (event.shiftKey && lastClicked && lastClicked !== box) {
        var list = boxes(true);
        var from = list.indexOf(lastClicked);
        var to = list.indexOf(box);
        if (from >= 0 && to >= 0) {
          list.slice(Math.min(from, to), Math.max(from, to) + 1).forEach(function (other) {
            other.checked = box.checked;
          });
        }
      }
      lastClicked = box;
      update();
    });

    if (all) {
      all.addEventListener('change', function () {
        boxes(true).forEach(function (box) {
          box.checked = all.checked;
        });
        update();
      });
    }

    var clearButton = $('#selection-clear');
    if (clearButton) {
      clearButton.addEventListener('click', function () {
        boxes(false).forEach(function (box) {
          box.checked = false;
        });
        update();
      });
    }

    form.addEventListener('submit', function (event) {
      var checked = update();
      if (!checked.length) {
        event.preventDefault();
        return;
      }
      field.value = checked
        .map(function (box) {
          return box.value + '\n';
        })
        .join('');
    });

    // Going back to the page may restore the boxes; show them as they are.
    window.addEventListener('pageshow', update);
    update();
    return update;
  }

  function initNewFolder() {
    var menu = $('#mkdir-menu');
    if (!menu) {
      return;
    }
    var input = $('#mkdir-name');
    menu.addEventListener('toggle', function () {
      if (menu.open && input) {
        input.focus();
      }
    });
    document.addEventListener('click', function (event) {
      if (menu.open && !menu.contains(event.target)) {
        menu.open = false;
      }
    });
    document.addEventListener('keydown', function (event) {
      if (event.key === 'Escape' && menu.open) {
        menu.open = false;
      }
    });
    if (input) {
      input.addEventListener('input', function () {
        input.setCustomValidity(/[\/\\]/.test(input.value) ? 'A folder name cannot contain / or \\.' : '');
      });
    }
  }

  function initUploadDialog() {
    var button = $('#upload-button');
    var dialog = $('#upload-dialog');
    if (!button) {
      return;
    }
    var frame = $('#upload-dialog-frame');
    var changed = false;
    button.addEventListener('click', function (event) {
      event.preventDefault();
      if (dialog && frame && typeof dialog.showModal === 'function') {
        changed = false;
        frame.src = button.href;
        dialog.showModal();
        return;
      }
      var popup = window.open(button.href, 'corvanta-upload', 'width=580,height=640');
      if (!popup) {
        window.location.href = button.href;
      }
    });
    if (!dialog) {
      return;
    }
    window.addEventListener('message', function (event) {
      if (event.origin !== window.location.origin || !event.data || event.data.source !== 'corvanta-upload') {
        return;
      }
      if (event.data.type === 'uploaded') {
        changed = true;
      } else if (event.data.type === 'close') {
        changed = changed || !!event.data.changed;
        dialog.close();
      }
    });
    dialog.addEventListener('close', function () {
      if (frame) {
        frame.src = 'about:blank';
      }
      if (changed) {
        window.location.reload();
      }
    });
  }

  function initFolderPage() {
    buildPathBar();
    var table = $('#files');
    var form = $('#selection-form');
    var updateSelection = function () {};
    if (table) {
      prettifyCells(table);
      initSorting(table);
      if (form && form.hasAttribute('data-selectable')) {
        updateSelection = initSelection(form, table);
      }
      initFilter(table, function () {
        updateSelection();
      });
    }
    initNewFolder();
    initUploadDialog();
    keepSkinOnLinks();
  }

  // ---------------------------------------------------------------- message pages

  function initMessagePage() {
    var back = $('#back-button');
    if (back && window.history.length > 1) {
      back.addEventListener('click', function (event) {
        event.preventDefault();
        window.history.back();
      });
    }
    var title = $('#message-title');
    var actions = $('.message-actions');
    var text = title ? title.textContent.trim() : '';
    if (actions && (text.indexOf('401') === 0 || text === 'Logout')) {
      var login = make('a', 'button primary', 'Log in');
      login.href = '?action=Login';
      actions.insertBefore(login, actions.firstChild);
    }
  }

  // ---------------------------------------------------------------- upload window (upload_frame.html)

  // The server's progress text is simple markup (<b>, <br/>, one link) around a file name that nobody
  // escaped. It is parsed in an inert document and rebuilt from text nodes, bold and line breaks only;
  // the link becomes a button with a handler of our own.
  function statusFragment(html, onConfirm) {
    var fragment = document.createDocumentFragment();
    var parsed = new DOMParser().parseFromString('<!DOCTYPE html><body>' + html, 'text/html');
    (function copy(source, target) {
      Array.prototype.forEach.call(source.childNodes, function (node) {
        if (node.nodeType === 3) {
          target.appendChild(document.createTextNode(node.nodeValue));
        } else if (node.nodeType === 1) {
          var tag = node.tagName;
          if (tag === 'BR') {
            target.appendChild(make('br'));
          } else if (tag === 'B' || tag === 'STRONG') {
            copy(node, target.appendChild(make('b')));
          } else if (tag === 'A') {
            var button = make('button', 'button small');
            button.type = 'button';
            copy(node, button);
            button.addEventListener('click', onConfirm);
            target.appendChild(button);
          } else if (tag !== 'SCRIPT' && tag !== 'STYLE') {
            copy(node, target);
          }
        }
      });
    })(parsed.body, fragment);
    return fragment;
  }

  function initUploadFrame() {
    var hash = window.location.hash.slice(1);
    var star = hash.lastIndexOf('*');
    var uploadPath = star >= 0 ? hash.slice(0, star) : hash;
    var skin = star >= 0 ? safeDecode(hash.slice(star + 1)) : '';
    var target = $('#upload-target');
    var formFrame = $('#upload-form-frame');
    var statusFrame = $('#upload-status-frame');
    var progress = $('#upload-progress');
    var bar = $('#progress-bar');
    var status = $('#upload-status');
    var results = $('#upload-results');
    var done = $('#upload-done');
    var embedded = window.parent !== window;
    var changed = false;
    var current = null;

    function close() {
      if (embedded) {
        window.parent.postMessage({ source: 'corvanta-upload', type: 'close', changed: changed }, window.location.origin);
      } else if (window.opener) {
        try {
          if (changed) {
            window.opener.location.reload();
          }
        } catch (e) {
          /* the folder page is gone or elsewhere */
        }
        window.close();
      } else {
        window.history.back();
      }
    }

    $all('[data-close]').forEach(function (node) {
      node.addEventListener('click', close);
    });

    if (!isSafeUploadPath(uploadPath)) {
      target.textContent = 'No folder was given to upload into.';
      formFrame.hidden = true;
      return;
    }
    target.textContent = safeDecode(uploadPath);
    var base = skin ? '/' + encodeURIComponent(skin) + '/' : '';
    formFrame.src = base + 'upload_form.html?action=SkinFile#' + uploadPath;

    function setProgress(percent) {
      bar.style.width = Math.max(0, Math.min(100, percent)) + '%';
    }

    window.onUpdateUpload = function (text) {
      if (!current) {
        return;
      }
      clear(status);
      status.appendChild(statusFragment(String(text), close));
    };

    window.onUpdateProgress = function (percent) {
      var value = Number(percent);
      // A finished upload reports 0; the bar stays full.
      if (current && !current.ended && isFinite(value) && value > 0) {
        setProgress(value);
      }
    };

    window.CorvantaUpload = {
      begin: function (key, name, index, count) {
        current = { key: key, name: name, ended: false };
        progress.hidden = false;
        done.hidden = true;
        setProgress(0);
        bar.classList.remove('failed');
        clear(status);
        status.appendChild(make('b', null, name));
        if (count > 1) {
          status.appendChild(document.createTextNode(' (' + (index + 1) + ' of ' + count + ')'));
        }
        statusFrame.src = './?action=UploadStatus&key=' + encodeURIComponent(key);
      },
      end: function (ok, name, message) {
        if (current) {
          current.ended = true;
        }
        bar.classList.toggle('failed', !ok);
        if (ok) {
          setProgress(100);
          changed = true;
          if (embedded) {
            window.parent.postMessage({ source: 'corvanta-upload', type: 'uploaded' }, window.location.origin);
          }
        }
        var item = make('li', ok ? 'ok' : 'failed');
        item.appendChild(make('span', 'mark', ok ? '\u2713' : '\u2717'));
        var label = make('span', null, name);
        item.appendChild(label);
        if (!ok && message) {
          item.appendChild(make('span', 'detail', '\u2014 ' + message));
        }
        results.appendChild(item);
      },
      finish: function () {
        done.hidden = false;
        var button = $('button', done);
        if (button) {
          button.focus();
        }
      }
    };
  }

  // ---------------------------------------------------------------- upload form (upload_form.html)

  function makeKey() {
    var bytes = new Uint8Array(8);
    if (window.crypto && window.crypto.getRandomValues) {
      window.crypto.getRandomValues(bytes);
    } else {
      for (var i = 0; i < bytes.length; i += 1) {
        bytes[i] = Math.floor(Math.random() * 256);
      }
    }
    var hex = '';
    for (var j = 0; j < bytes.length; j += 1) {
      hex += (bytes[j] < 16 ? '0' : '') + bytes[j].toString(16);
    }
    return '[' + hex + ']';
  }

  function initUploadForm() {
    var uploadPath = window.location.hash.slice(1);
    var form = $('#upload-form');
    var input = $('#uploadfile');
    var submit = $('#upload-submit');
    var summary = $('#chosen-summary');
    var zone = $('#dropzone');
    var host = null;
    try {
      host = window.parent !== window ? window.parent.CorvantaUpload : null;
    } catch (e) {
      host = null;
    }
    if (!isSafeUploadPath(uploadPath)) {
      summary.textContent = 'No folder was given to upload into.';
      input.disabled = true;
      return;
    }
    form.setAttribute('action', uploadPath);
    // Without the window around it, results are shown on this page.
    if (!host) {
      host = {
        begin: function (key, name) {
          summary.textContent = 'Uploading ' + name + '\u2026';
        },
        end: function (ok, name, message) {
          summary.textContent = ok ? 'Uploaded ' + name : name + ': ' + message;
        },
        finish: function () {}
      };
    }

    function describe() {
      var files = Array.prototype.slice.call(input.files || []);
      submit.disabled = files.length === 0;
      if (!files.length) {
        summary.textContent = 'No files chosen';
        return;
      }
      var total = files.reduce(function (sum, file) {
        return sum + file.size;
      }, 0);
      summary.textContent =
        files.length === 1 ? files[0].name + ' \u00b7 ' + formatBytes(total) : files.length + ' files \u00b7 ' + formatBytes(total);
    }

    input.addEventListener('change', describe);
    ['dragenter', 'dragover'].forEach(function (type) {
      zone.addEventListener(type, function () {
        zone.classList.add('dragging');
      });
    });
    ['dragleave', 'drop'].forEach(function (type) {
      zone.addEventListener(type, function () {
        zone.classList.remove('dragging');
      });
    });

    function send(file, key, finished) {
      var request = new XMLHttpRequest();
      request.open('POST', uploadPath + '?action=Upload&key=' + encodeURIComponent(key));
      request.onload = function () {
        var text = String(request.responseText || '').trim();
        if (request.status === 200 && text === 'OK') {
          finished(true, '');
        } else if (request.status === 401) {
          finished(false, 'You may not upload into this folder.');
        } else {
          finished(false, text || 'The server refused the file (' + request.status + ').');
        }
      };
      request.onerror = function () {
        finished(false, 'The connection failed.');
      };
      var data = new FormData();
      data.append('uploadfile', file, file.name);
      request.send(data);
    }

    form.addEventListener('submit', function (event) {
      event.preventDefault();
      var files = Array.prototype.slice.call(input.files || []);
      if (!files.length) {
        return;
      }
      input.disabled = true;
      submit.disabled = true;
      (function next(index) {
        if (index >= files.length) {
          input.disabled = false;
          form.reset();
          describe();
          host.finish();
          return;
        }
        var key = makeKey();
        host.begin(key, files[index].name, index, files.length);
        send(files[index], key, function (ok, message) {
          host.end(ok, files[index].name, message);
          next(index + 1);
        });
      })(0);
    });
    describe();
  }

  // ---------------------------------------------------------------- start

  function start() {
    var page = document.body.getAttribute('data-page');
    if (page === 'folder') {
      initFolderPage();
    } else if (page === 'message') {
      initMessagePage();
    } else if (page === 'upload-frame') {
      initUploadFrame();
    } else if (page === 'upload-form') {
      initUploadForm();
    }
    if (page === 'folder' || page === 'message') {
      initSkinChoice();
    }
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start);
  } else {
    start();
  }
})();
