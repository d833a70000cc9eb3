/* Corvanta default skin: column sorting of the file table.
 *
 * SortableTable.attach(table, options) turns every <th data-sort="name|size|date"> into a sort button.
 * Folder rows (class "d") always stay before file rows; rows marked data-fixed stay on top.
 * A cell's sort text is its data-value attribute when present (common.js keeps the server's text there
 * when it shows a friendlier one), else its text.
 */
(function (global) {
  'use strict';

  var collator = null;
  try {
    collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });
  } catch (e) {
    collator = null;
  }

  function compareText(a, b) {
    if (collator) {
      return collator.compare(a, b);
    }
    a = a.toLowerCase();
    b = b.toLowerCase();
    return a < b ? -1 : a > b ? 1 : 0;
  }

  // "1,234,567" -> 1234567. A folder has no size and sorts before every file of the same direction.
  function sizeKey(text) {
    var digits = String(text || '').replace(/[^0-9]/g, '');
    return digits ? Number(digits) : -1;
  }

  // The server writes "2024-03-05 PM 02:07"; this gives 202403051407.
  function dateKey(text) {
    var m = /(\d{4})-(\d{2})-(\d{2})\s+(AM|PM)\s+(\d{1,2}):(\d{2})/.exec(String(text || ''));
    if (!m) {
      return -1;
    }
    var hour = (Number(m[5]) % 12) + (m[4] === 'PM' ? 12 : 0);
    return ((Number(m[1]) * 100 + Number(m[2])) * 100 + Number(m[3])) * 10000 + hour * 100 + Number(m[6]);
  }

  var FIRST_DIRECTION = { name: 1, size: -1, date: -1 };

  function cellText(row, columnIndex) {
    var cell = row.cells[columnIndex];
    if (!cell) {
      return '';
    }
    var value = cell.getAttribute('data-value');
    if (value !== null) {
      return value;
    }
    var label = cell.querySelector('.nm');
    return (label || cell).textContent;
  }

  function attach(table, options) {
    options = options || {};
    var iconBase = options.iconBase || '';
    var headers = [];
    var state = { column: 'name', direction: 1 };

    function icon(name) {
      return iconBase + name + '?action=SkinFile';
    }

    Array.prototype.forEach.call(table.tHead ? table.tHead.rows[0].cells : [], function (th, index) {
      var column = th.getAttribute('data-sort');
      if (!column) {
        return;
      }
      var button = document.createElement('button');
      button.type = 'button';
      button.className = 'sort-button';
      var label = document.createElement('span');
      label.textContent = th.textContent.trim();
      var arrow = document.createElement('img');
      arrow.alt = '';
      arrow.width = 12;
      arrow.height = 12;
      button.appendChild(label);
      button.appendChild(arrow);
      th.textContent = '';
      th.appendChild(button);
      headers.push({ th: th, column: column, index: index, arrow: arrow });
      button.addEventListener('click', function () {
        var direction = state.column === column ? -state.direction : FIRST_DIRECTION[column] || 1;
        sort(column, direction);
        if (options.onSort) {
          options.onSort(column, direction);
        }
      });
    });

    function keyOf(row, header) {
      var text = cellText(row, header.index);
      if (header.column === 'size') {
        return sizeKey(text);
      }
      if (header.column === 'date') {
        return dateKey(text);
      }
      return text;
    }

    function showState() {
      headers.forEach(function (h) {
        if (h.column === state.column) {
          h.th.setAttribute('aria-sort', state.direction > 0 ? 'ascending' : 'descending');
          h.arrow.src = icon(state.direction > 0 ? 'upsimple.png' : 'downsimple.png');
        } else {
          h.th.removeAttribute('aria-sort');
          h.arrow.src = icon('blank.png');
        }
      });
    }

    function sort(column, direction) {
      var header = null;
      headers.forEach(function (h) {
        if (h.column === column) {
          header = h;
        }
      });
      if (!header) {
        return;
      }
      state.column = column;
      state.direction = direction < 0 ? -1 : 1;
      var nameHeader = headers.filter(function (h) {
        return h.column === 'name';
      })[0];
      var body = table.tBodies[0];
      var fixed = [];
      var entries = [];
      Array.prototype.forEach.call(body.rows, function (row, position) {
        if (row.hasAttribute('data-fixed')) {
          fixed.push(row);
          return;
        }
        entries.push({
          row: row,
          group: row.classList.contains('d') ? 0 : 1,
          key: keyOf(row, header),
          name: nameHeader ? cellText(row, nameHeader.index) : '',
          position: position
        });
      });
      entries.sort(function (a, b) {
        if (a.group !== b.group) {
          return a.group - b.group;
        }
        var order = typeof a.key === 'number' ? a.key - b.key : compareText(a.key, b.key);
        order *= state.direction;
        if (order === 0 && header.column !== 'name') {
          order = compareText(a.name, b.name); // equal sizes or dates: by name
        }
        return order || a.position - b.position;
      });
      var fragment = document.createDocumentFragment();
      fixed.forEach(function (row) {
        fragment.appendChild(row);
      });
      entries.forEach(function (entry) {
        fragment.appendChild(entry.row);
      });
      body.appendChild(fragment);
      showState();
    }

    showState();
    return {
      sort: sort,
      state: function () {
        return { column: state.column, direction: state.direction };
      }
    };
  }

  global.SortableTable = { attach: attach, sizeKey: sizeKey, dateKey: dateKey };
})(window);
