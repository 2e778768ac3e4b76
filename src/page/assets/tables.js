// The pages' tables: sortable headers (every table.sortable), the status
// filter and lead id search of the loci table.
//
// Sorting (design note): a cell's key is its data-sort attribute or its
// text. Keys are missing (empty, NA, ".", nan), numbers (inf counts as
// infinity) or text. Missing keys always sort last, whichever the
// direction; numbers come before text and compare as numbers; ties keep
// the rows' first order (the original index breaks them), so a sort is
// reproducible. The first click on a header sorts numbers descending and
// text ascending; the next click reverses. A loci row's detail row is
// carried along right below it.
(function () {
  'use strict';
  function keyOf(cell) {
    if (!cell) return {kind: 2};
    var t = (cell.hasAttribute('data-sort') ? cell.getAttribute('data-sort') : cell.textContent).trim();
    if (t === '' || t === 'NA' || t === '.' || /^nan$/i.test(t)) return {kind: 2};
    if (/^\+?inf(inity)?$/i.test(t)) return {kind: 0, n: Infinity};
    if (/^-inf(inity)?$/i.test(t)) return {kind: 0, n: -Infinity};
    if (/^[-+]?(\d+\.?\d*|\.\d+)(e[-+]?\d+)?$/i.test(t)) return {kind: 0, n: Number(t)};
    return {kind: 1, s: t};
  }
  function compare(a, b, dir) {
    if (a.kind === 2 || b.kind === 2) return (a.kind === 2) - (b.kind === 2);
    if (a.kind !== b.kind) return a.kind - b.kind;
    if (a.kind === 0) return a.n < b.n ? -dir : a.n > b.n ? dir : 0;
    return dir * a.s.localeCompare(b.s, undefined, {numeric: true});
  }
  function itemRows(table) {
    return Array.prototype.filter.call(table.tBodies[0].rows, function (r) { return r.classList.contains('item'); });
  }
  function sortBy(table, th) {
    var col = Number(th.getAttribute('data-col'));
    var rows = itemRows(table);
    var keyed = rows.map(function (r) { return {row: r, key: keyOf(r.cells[col]), i: Number(r.getAttribute('data-i'))}; });
    var dir;
    if (th.getAttribute('aria-sort') === 'descending') dir = 1;
    else if (th.getAttribute('aria-sort') === 'ascending') dir = -1;
    else {
      var numbers = keyed.filter(function (k) { return k.key.kind === 0; }).length;
      var texts = keyed.filter(function (k) { return k.key.kind === 1; }).length;
      dir = numbers >= texts ? -1 : 1;
    }
    keyed.sort(function (a, b) { return compare(a.key, b.key, dir) || a.i - b.i; });
    Array.prototype.forEach.call(table.tHead.querySelectorAll('th[aria-sort]'), function (h) { h.setAttribute('aria-sort', 'none'); });
    th.setAttribute('aria-sort', dir === 1 ? 'ascending' : 'descending');
    var body = table.tBodies[0];
    keyed.forEach(function (k) {
      body.appendChild(k.row);
      if (k.row.detailRow) body.appendChild(k.row.detailRow);
    });
  }
  Array.prototype.forEach.call(document.querySelectorAll('table.sortable'), function (table) {
    itemRows(table).forEach(function (r, i) { r.setAttribute('data-i', String(i)); });
    Array.prototype.forEach.call(table.tHead.querySelectorAll('th[data-col]'), function (th) {
      th.querySelector('button').addEventListener('click', function () { sortBy(table, th); });
    });
  });

  var loci = document.getElementById('loci-table');
  if (!loci) return;
  function toggle(row) {
    var id = row.getAttribute('data-fig');
    var tpl = id && document.getElementById(id);
    var reg = row.getAttribute('data-reg');
    if (!tpl && !(reg && window.quorlinRegional)) return;
    var button = row.querySelector('button.toggle');
    if (!row.detailRow) {
      var tr = document.createElement('tr');
      tr.className = 'detail';
      var td = document.createElement('td');
      td.colSpan = row.cells.length;
      var box = document.createElement('div');
      box.className = 'regional';
      if (tpl) box.appendChild(tpl.content.cloneNode(true));
      else box.appendChild(window.quorlinRegional.draw(Number(reg), Math.min(1200, window.innerWidth - 60)));
      td.appendChild(box);
      tr.appendChild(td);
      row.parentNode.insertBefore(tr, row.nextSibling);
      row.detailRow = tr;
      tr.hidden = true;
    }
    var open = row.detailRow.hidden;
    row.detailRow.hidden = !open;
    button.setAttribute('aria-expanded', open ? 'true' : 'false');
    button.textContent = open ? '\u2212' : '+';
  }
  loci.tBodies[0].addEventListener('click', function (event) {
    var row = event.target.closest('tr.item');
    if (!row || !(row.hasAttribute('data-fig') || row.hasAttribute('data-reg'))) return;
    if (!event.target.closest('button') && String(window.getSelection()) !== '') return;
    toggle(row);
  });
  var status = document.getElementById('status-filter');
  var search = document.getElementById('lead-search');
  var shown = document.getElementById('shown-count');
  function filter() {
    var want = status ? status.value : '';
    var text = search ? search.value.trim().toLowerCase() : '';
    var rows = itemRows(loci), count = 0;
    rows.forEach(function (r) {
      var ok = (want === '' || r.getAttribute('data-status') === want) &&
               (text === '' || (r.getAttribute('data-lead') || '').toLowerCase().indexOf(text) >= 0);
      r.hidden = !ok;
      if (r.detailRow) r.detailRow.hidden = !ok || r.querySelector('button.toggle').getAttribute('aria-expanded') !== 'true';
      if (ok) count++;
    });
    if (shown) shown.textContent = count + ' of ' + rows.length + ' loci shown';
  }
  if (status) status.addEventListener('change', filter);
  if (search) search.addEventListener('input', filter);
}());
