// The index page's study-wide search (#study-data): a gene or a lead rsID,
// in any letter case, lists the tables where it is in a locus (a locus's
// lead id, nearest gene or genes column), each linked to its page, and
// selects their rows of the tables list.
(function () {
  'use strict';
  var source = document.getElementById('study-data');
  var input = document.getElementById('search');
  if (!source || !input) return;
  var S = JSON.parse(source.textContent);
  var list = document.getElementById('search-results'), status = document.getElementById('search-status');
  function search() {
    var q = input.value.trim().toLowerCase();
    list.replaceChildren();
    var tables = {};
    if (q !== '') S.loci.forEach(function (l) {
      var names = l[6].map(function (g) { return g.toLowerCase(); });
      if (l[4].toLowerCase() !== q && names.indexOf(q) < 0) return;
      (tables[l[0]] = tables[l[0]] || []).push(l);
    });
    var found = Object.keys(tables).map(Number).sort(function (a, b) { return a - b; });
    found.forEach(function (t) {
      var item = document.createElement('li'), table = S.tables[t];
      item.setAttribute('data-table', table.n);
      var name = document.createElement(table.h ? 'a' : 'span');
      if (table.h) name.href = table.h;
      name.textContent = table.n;
      item.appendChild(name);
      item.appendChild(document.createTextNode(': ' + tables[t].map(function (l) {
        return l[1] + ':' + l[2] + '-' + l[3] + ' (lead ' + l[4] + ', ' + l[5] + ')';
      }).join('; ')));
      list.appendChild(item);
    });
    Array.prototype.forEach.call(document.querySelectorAll('#tables tbody tr.item'), function (r) {
      var on = found.some(function (t) { return S.tables[t].n === r.getAttribute('data-table'); });
      if (on) r.setAttribute('aria-selected', 'true'); else r.removeAttribute('aria-selected');
    });
    status.textContent = q === '' ? '' : found.length === 0 ? 'in no locus of any table' :
      'in a locus of ' + found.length + ' table' + (found.length > 1 ? 's' : '');
  }
  input.addEventListener('change', search);
  input.addEventListener('input', search);
}());
