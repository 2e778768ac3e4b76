// The inline style sheet and script of the pages. Plain ASCII; no address
// of anything outside the page.
//
// Sorting (design note): a cell's key is its data-sort attribute or its
// text. Keys are missing (empty, NA, ".", nan), numbers (inf counts as
// infinity) or text. Missing keys always sort last, whichever the
// direction; numbers come before text and compare as numbers; ties keep
// the rows' first order (the original index breaks them), so a sort is
// reproducible. The first click on a header sorts numbers descending and
// text ascending; the next click reverses. A loci row's figure row is
// carried along right below it.
#include "page/page_assets.h"

namespace page {

const char* pageStyle()
{
    return R"css(
:root{color-scheme:light}
*{box-sizing:border-box}
body{margin:0;color:#1f2328;background:#fff;font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif}
main{max-width:1500px;margin:0 auto;padding:16px}
h1{font-size:1.45em;margin:.2em 0 .4em;overflow-wrap:anywhere}
h2{font-size:1.2em;margin:1.4em 0 .4em;border-bottom:1px solid #d0d7de;padding-bottom:.2em}
.facts{display:grid;grid-template-columns:repeat(auto-fill,minmax(160px,1fr));gap:8px 16px;margin:8px 0 12px}
.facts div{background:#f6f8fa;border-radius:6px;padding:6px 10px}
.facts .label{display:block;color:#57606a;font-size:.82em}
.facts .value{display:block;font-weight:600;font-variant-numeric:tabular-nums;overflow-wrap:anywhere}
.cmd{font-family:"DejaVu Sans Mono",Menlo,Consolas,monospace;font-size:12px;white-space:pre-wrap;overflow-wrap:anywhere;background:#f6f8fa;border-radius:6px;padding:6px 10px;margin:4px 0}
.meta{color:#57606a;font-size:.9em}
figure{margin:8px 0}
figure svg,.regional svg{display:block;width:100%;height:auto}
.note{background:#fff8c5;border:1px solid #eedc82;border-radius:6px;padding:6px 10px}
.controls{display:flex;flex-wrap:wrap;gap:8px 18px;align-items:center;margin:8px 0}
.controls input,.controls select{font:inherit;padding:3px 6px}
.scroll{overflow-x:auto;max-width:100%;border:1px solid #d0d7de;border-radius:6px}
table{border-collapse:collapse;font-size:13px;white-space:nowrap;min-width:100%}
th,td{padding:3px 8px;border-bottom:1px solid #eaeef2;text-align:left;vertical-align:top}
thead th{background:#f6f8fa}
td.num{text-align:right;font-variant-numeric:tabular-nums}
th button{font:inherit;font-weight:600;color:inherit;background:none;border:0;padding:0;cursor:pointer}
th[title] button{text-decoration:underline dotted}
th[aria-sort=ascending] button::after{content:" \25B2"}
th[aria-sort=descending] button::after{content:" \25BC"}
tr.item[data-fig]{cursor:pointer}
tr.item:hover{background:#f3f6fa}
button.toggle{font:inherit;width:1.8em;padding:0;cursor:pointer}
tr.detail>td{white-space:normal;background:#fbfcfd;padding:8px}
.regional{position:sticky;left:8px;width:min(1200px,calc(100vw - 60px))}
td.error{white-space:normal;color:#a40e26}
pre.messages{white-space:pre-wrap;overflow-wrap:anywhere;background:#f6f8fa;border-radius:6px;padding:8px 10px;font-size:12px}
footer{margin:2em 0 1em;color:#57606a;font-size:.85em}
@media (max-width:640px){main{padding:8px}body{font-size:13px}h1{font-size:1.2em}}
@media print{
 body{font-size:10pt}
 main{max-width:none;padding:0}
 .controls,.hint,th.fig,td.fig{display:none}
 .scroll{overflow:visible;border:0}
 table{white-space:normal;font-size:7pt;min-width:0;width:100%}
 th,td{padding:1px 3px;overflow-wrap:anywhere}
 th button{text-decoration:none}
 th[aria-sort] button::after{content:""}
 tr,figure,.facts div{break-inside:avoid}
 .regional{position:static;width:100%}
 h2{break-after:avoid}
}
)css";
}

const char* pageScript()
{
    return R"js(
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
    if (!tpl) return;
    var button = row.querySelector('button.toggle');
    if (!row.detailRow) {
      var tr = document.createElement('tr');
      tr.className = 'detail';
      var td = document.createElement('td');
      td.colSpan = row.cells.length;
      var box = document.createElement('div');
      box.className = 'regional';
      box.appendChild(tpl.content.cloneNode(true));
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
    if (!row || !row.hasAttribute('data-fig')) return;
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
)js";
}

} // namespace page
