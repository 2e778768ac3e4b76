// The interactive Manhattan view of a table's page, drawn as SVG from the
// page's view data (#view-data): hover card, zoom to a chromosome or a
// dragged range, locus marks that open the regional view, the search box
// and the SVG export of a figure as shown.
//
// Design note: positions live on one genome axis, each chromosome shifted
// by the widths of those before it (plus a gap); the view is the range
// [view.a, view.b) of that axis. Every render draws only what falls in it
// and indexes the drawn points in 8-px buckets, so a hover looks at the
// nine buckets around the pointer, whatever the number of markers.
(function () {
  'use strict';
  var source = document.getElementById('view-data');
  var box = document.getElementById('manhattan-view');
  if (!source || !box) return;
  var D = JSON.parse(source.textContent);
  var NS = 'http://www.w3.org/2000/svg';
  var tip = document.getElementById('tooltip');
  var chroms = D.chroms, loci = D.loci;
  // The points: per chromosome a count, positions as steps, p as a number
  // (text where the table gave -log10 p, "m.mme-N" below the doubles).
  function yOf(p) {
    if (typeof p === 'number') return p > 0 ? -Math.log10(p) : Infinity;
    var m = /^([\d.]+)e-(\d+)$/.exec(p);
    if (m) return Number(m[2]) - Math.log10(Number(m[1]));
    var v = Number(p);
    return v > 0 ? -Math.log10(v) : v === 0 ? Infinity : 0;
  }
  var P = {c: [], x: [], y: [], p: [], id: D.pts.id};
  (function () {
    var at = 0;
    D.pts.n.forEach(function (count, c) {
      for (var k = 0, x = 0; k < count; k++, at++) {
        x += D.pts.dx[at];
        P.c.push(c);
        P.x.push(x);
        P.p.push(String(D.pts.p[at]));
        P.y.push(yOf(D.pts.p[at]));
      }
    });
  }());
  var STATUS = {peak: '#d1242f', split: '#bf8700', merged: '#8250df', no_peak: '#8c959f'};
  var total = 0;
  chroms.forEach(function (c) {
    c.span = Math.max(1, c.b - c.a + 1);
    c.off = total;
    total += c.span;
  });
  var gap = Math.max(1, Math.round(total * 0.004));
  total = 0;
  chroms.forEach(function (c) { c.off = total; total += c.span + gap; });
  var view = {a: 0, b: total};
  var state = {points: [], buckets: {}, marks: [], hits: {}, sel: {}};
  function gpos(c, pos) { return chroms[c].off + (pos - chroms[c].a); }
  function key(name) {
    var s = String(name);
    if (/^chr./i.test(s)) s = s.slice(3);
    s = s.toUpperCase();
    return s === 'M' ? 'MT' : s;
  }
  function fmt(n) { return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ','); }
  function el(name, attrs, parent) {
    var e = document.createElementNS(NS, name);
    for (var k in attrs) if (Object.prototype.hasOwnProperty.call(attrs, k)) e.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(e);
    return e;
  }
  // The locus holding each marker, if any (same chromosome, inside its range).
  var lociByChrom = {};
  loci.forEach(function (l, k) { (lociByChrom[l.c] = lociByChrom[l.c] || []).push(k); });
  function locusOf(c, pos) {
    var list = lociByChrom[c] || [];
    for (var i = 0; i < list.length; i++) {
      var l = loci[list[i]];
      if (pos >= l.s && pos <= l.e) return list[i];
    }
    return -1;
  }
  var masks = chroms.map(function (c) {
    var bin = atob(c.t), out = new Uint8Array(bin.length);
    for (var i = 0; i < bin.length; i++) out[i] = bin.charCodeAt(i);
    return out;
  });
  var yTop = D.gw + 1;
  P.y.forEach(function (y) { if (isFinite(y) && y > yTop) yTop = y; });
  yTop = Math.ceil(yTop * 1.05);

  function render() {
    var W = Math.max(300, box.clientWidth), H = W < 600 ? 300 : 380;
    var L = 44, R = 8, T = 12, B = 42, pw = W - L - R, ph = H - T - B;
    var span = view.b - view.a;
    function sx(g) { return L + (g - view.a) / span * pw; }
    function sy(v) { return T + ph - Math.min(v, yTop) / yTop * ph; }
    var svg = el('svg', {xmlns: NS, width: W, height: H, viewBox: '0 0 ' + W + ' ' + H, role: 'img',
                         'font-family': 'DejaVu Sans, Verdana, sans-serif', 'font-size': 11});
    el('title', {}, svg).textContent = 'Manhattan plot of ' + document.title.replace(/^Quorlin: /, '');
    el('rect', {x: 0, y: 0, width: W, height: H, fill: '#fff'}, svg);
    var shown = [];
    chroms.forEach(function (c, i) {
      if (c.off + c.span > view.a && c.off < view.b) shown.push(i);
    });
    var labels = el('g', {'class': 'chrom-labels', 'text-anchor': 'middle'});
    shown.forEach(function (i, n) {
      var c = chroms[i], x0 = Math.max(L, sx(c.off)), x1 = Math.min(L + pw, sx(c.off + c.span));
      if (n % 2) el('rect', {x: x0, y: T, width: Math.max(0, x1 - x0), height: ph, fill: '#f3f5f8'}, svg);
      if (shown.length > 1 && x1 - x0 < 14 && n % 2) return;
      var t = el('text', {x: (x0 + x1) / 2, y: T + ph + 14, 'class': 'chrom', 'data-c': i, tabindex: 0,
                          role: 'button', 'aria-label': 'Zoom to ' + c.n}, labels);
      t.textContent = shown.length > 1 && x1 - x0 < 40 ? key(c.n) : c.n;
    });
    svg.appendChild(labels);
    var thin = '', seen = {};
    shown.forEach(function (i) {
      var c = chroms[i], m = masks[i];
      for (var col = 0; col * 8 < m.length; col++) {
        var x = sx(c.off + col * c.w + c.w / 2);
        if (x < L || x > L + pw) continue;
        for (var b = 0; b < 64; b++) {
          if (!(m[col * 8 + (b >> 3)] & (1 << (b & 7)))) continue;
          var px = Math.round(x), py = Math.round(sy((b + 0.5) / 64 * D.thinTop));
          if (seen[px * 4096 + py]) continue;
          seen[px * 4096 + py] = 1;
          thin += 'M' + px + ' ' + py + 'h1.5';
        }
      }
    });
    if (thin) el('path', {d: thin, stroke: '#aab4bf', 'stroke-width': 3, 'stroke-linecap': 'round',
                          'class': 'thin'}, svg);
    if (D.gw < yTop) el('line', {x1: L, x2: L + pw, y1: sy(D.gw), y2: sy(D.gw), stroke: '#cf222e',
                                 'stroke-dasharray': '4 3', 'stroke-width': 1}, svg);
    var paths = {};
    state.points = [];
    state.buckets = {};
    for (var i = 0; i < P.x.length; i++) {
      var c = P.c[i], g = gpos(c, P.x[i]);
      if (g < view.a || g > view.b) continue;
      var px = sx(g), py = sy(P.y[i] === null ? 0 : P.y[i]);
      (paths[c] = paths[c] || []).push('M' + px.toFixed(1) + ' ' + py.toFixed(1) + 'h0');
      var bk = ((px / 8) | 0) + ',' + ((py / 8) | 0);
      (state.buckets[bk] = state.buckets[bk] || []).push(i);
    }
    shown.forEach(function (c, n) {
      if (!paths[c]) return;
      el('path', {d: paths[c].join(''), stroke: n % 2 ? '#6a9fd4' : '#1f4e79', 'stroke-width': W < 600 ? 4 : 5,
                  'stroke-linecap': 'round', fill: 'none', 'class': 'points', 'data-chrom': chroms[c].n,
                  'data-n': paths[c].length}, svg);
    });
    Object.keys(state.hits).forEach(function (i) {
      var g = gpos(P.c[i], P.x[i]);
      if (g >= view.a && g <= view.b)
        el('circle', {cx: sx(g), cy: sy(P.y[i]), r: 8, fill: 'none', stroke: '#fb8500', 'stroke-width': 2.5,
                      'class': 'hit'}, svg);
    });
    loci.forEach(function (l, k) {
      var g = gpos(l.c, l.x);
      if (g < view.a || g > view.b) return;
      var x = sx(g), y = sy(Number(l.lp) || yTop) - 9, sel = state.sel[k];
      var m = el('path', {d: 'M' + (x - 6) + ' ' + (y - 9) + 'h12l-6 9z', fill: STATUS[l.st] || '#57606a',
                          stroke: sel ? '#fb8500' : '#fff', 'stroke-width': sel ? 2.5 : 1, 'class': 'locus-mark',
                          'data-k': k, tabindex: 0, role: 'button',
                          'aria-label': 'Regional view of ' + (l.id || chroms[l.c].n + ':' + l.x)}, svg);
      el('title', {}, m).textContent = (l.id || chroms[l.c].n + ':' + fmt(l.x)) + ' (' + l.st + ')';
    });
    var axis = el('g', {stroke: '#57606a', 'stroke-width': 1}, svg);
    el('line', {x1: L, x2: L, y1: T, y2: T + ph}, axis);
    el('line', {x1: L, x2: L + pw, y1: T + ph, y2: T + ph}, axis);
    var step = yTop > 60 ? 20 : yTop > 24 ? 5 : yTop > 10 ? 2 : 1;
    for (var v = 0; v <= yTop; v += step) {
      el('line', {x1: L - 4, x2: L, y1: sy(v), y2: sy(v)}, axis);
      el('text', {x: L - 6, y: sy(v) + 4, 'text-anchor': 'end', stroke: 'none', fill: '#1f2328'}, svg)
        .textContent = v;
    }
    el('text', {x: 12, y: T + ph / 2, transform: 'rotate(-90 12 ' + (T + ph / 2) + ')', 'text-anchor': 'middle'},
       svg).textContent = '-log10 p';
    if (shown.length <= 2) { // the axis in Mb, each chromosome its own
      var mb = span / 1e6, tick = Math.pow(10, Math.floor(Math.log10(mb / 4)));
      if (mb / tick > 10) tick *= 2;
      shown.forEach(function (i) {
        var c = chroms[i], lo = Math.max(view.a, c.off), hi = Math.min(view.b, c.off + c.span);
        for (var t = Math.ceil((lo - c.off + c.a) / 1e6 / tick) * tick; t * 1e6 - c.a + c.off <= hi; t += tick) {
          var tx = sx(t * 1e6 - c.a + c.off);
          el('line', {x1: tx, x2: tx, y1: T + ph, y2: T + ph + 4}, axis);
          el('text', {x: tx, y: T + ph + 26, 'text-anchor': 'middle'}, svg).textContent = String(Number(t.toFixed(3)));
        }
      });
      el('text', {x: L + pw, y: H - 2, 'text-anchor': 'end'}, svg).textContent =
        shown.map(function (i) { return chroms[i].n; }).join(', ') + ' position (Mb)';
    }
    state.map = {L: L, T: T, pw: pw, ph: ph, sx: sx};
    box.replaceChildren(svg);
    box.setAttribute('data-view', shown.map(function (i) { return chroms[i].n; }).join(' '));
  }

  function showTip(html, x, y) {
    tip.innerHTML = html;
    tip.hidden = false;
    var r = tip.getBoundingClientRect();
    var left = Math.min(x + 14, window.innerWidth - r.width - 4);
    tip.style.left = Math.max(4, left + window.scrollX) + 'px';
    tip.style.top = (y + 14 + window.scrollY) + 'px';
  }
  function esc(s) {
    return String(s).replace(/[&<>"']/g, function (ch) { return '&#' + ch.charCodeAt(0) + ';'; });
  }
  function markerCard(i) {
    var c = chroms[P.c[i]], k = locusOf(P.c[i], P.x[i]);
    return '<b>' + esc(P.id[i] || '(no id)') + '</b><br>' + esc(c.n) + ':' + fmt(P.x[i]) + '<br>p = ' +
      esc(P.p[i]) + (k >= 0 ? '<br>locus ' + esc(loci[k].id || c.n + ':' + fmt(loci[k].x)) + ', ' +
      esc(loci[k].st) : '');
  }
  window.quorlinTip = {show: showTip, hide: function () { tip.hidden = true; }, esc: esc, fmt: fmt};
  function nearest(px, py) {
    var best = -1, bd = 64, bx = (px / 8) | 0, by = (py / 8) | 0;
    for (var dx = -1; dx <= 1; dx++) for (var dy = -1; dy <= 1; dy++) {
      (state.buckets[(bx + dx) + ',' + (by + dy)] || []).forEach(function (i) {
        var g = gpos(P.c[i], P.x[i]), x = state.map.sx(g);
        var y = state.map.T + state.map.ph - Math.min(P.y[i], yTop) / yTop * state.map.ph;
        var d = (x - px) * (x - px) + (y - py) * (y - py);
        if (d < bd) { bd = d; best = i; }
      });
    }
    return best;
  }
  function local(event) {
    var r = box.querySelector('svg').getBoundingClientRect();
    return {x: event.clientX - r.left, y: event.clientY - r.top};
  }
  var drag = null;
  box.addEventListener('pointermove', function (event) {
    var p = local(event);
    if (drag) {
      drag.rect.setAttribute('x', Math.min(drag.x, p.x));
      drag.rect.setAttribute('width', Math.abs(p.x - drag.x));
      return;
    }
    var i = nearest(p.x, p.y);
    if (i >= 0) showTip(markerCard(i), event.clientX, event.clientY);
    else if (!event.target.closest('.locus-mark')) tip.hidden = true;
  });
  box.addEventListener('pointerleave', function () { tip.hidden = true; });
  box.addEventListener('pointerdown', function (event) {
    if (event.button !== 0 || event.target.closest('.locus-mark, .chrom')) return;
    var p = local(event), m = state.map;
    if (p.y < m.T || p.y > m.T + m.ph) return;
    drag = {x: p.x, rect: el('rect', {x: p.x, y: m.T, width: 0, height: m.ph, fill: 'rgba(9,105,218,.15)'},
                                box.querySelector('svg'))};
  });
  window.addEventListener('pointerup', function (event) {
    if (!drag) return;
    var p = local(event), m = state.map, d = drag;
    drag = null;
    d.rect.remove();
    if (Math.abs(p.x - d.x) < 6) { // a tap: the card of the point under it
      var i = nearest(p.x, p.y);
      if (i >= 0) showTip(markerCard(i), event.clientX, event.clientY);
      return;
    }
    var g = function (x) { return view.a + (Math.min(Math.max(x, m.L), m.L + m.pw) - m.L) / m.pw * (view.b - view.a); };
    zoom(g(Math.min(p.x, d.x)), g(Math.max(p.x, d.x)));
  });
  function zoom(a, b) {
    if (b - a < 1000) { var mid = (a + b) / 2; a = mid - 500; b = mid + 500; }
    view = {a: Math.max(0, a), b: Math.min(total, b)};
    render();
  }
  function zoomChrom(i) { zoom(chroms[i].off, chroms[i].off + chroms[i].span); }
  function activate(event) {
    var t = event.target.closest('.chrom, .locus-mark');
    if (!t) return;
    if (t.classList.contains('chrom')) zoomChrom(Number(t.getAttribute('data-c')));
    else if (window.quorlinRegional) window.quorlinRegional.open(Number(t.getAttribute('data-k')));
  }
  box.addEventListener('click', activate);
  box.addEventListener('keydown', function (event) {
    if (event.key === 'Enter' || event.key === ' ') { event.preventDefault(); activate(event); }
  });
  document.getElementById('reset-zoom').addEventListener('click', function () {
    view = {a: 0, b: total};
    render();
  });

  // Search: chr:pos, a marker id, or a gene (loci genes columns, nearest
  // genes, then the regional figures' gene tracks).
  var input = document.getElementById('search'), status = document.getElementById('search-status');
  function findChrom(name) {
    for (var i = 0; i < chroms.length; i++) if (key(chroms[i].n) === key(name)) return i;
    return -1;
  }
  function search() {
    var q = input.value.trim(), ql = q.toLowerCase();
    var found = [], hits = {}, sel = {}, range = null, m;
    if (q === '') { state.hits = {}; state.sel = {}; status.textContent = ''; select({}); render(); return; }
    if ((m = /^([^:\s]+)[:\s]([\d,]+)$/.exec(q)) && findChrom(m[1]) >= 0) {
      var c = findChrom(m[1]), pos = Number(m[2].replace(/,/g, ''));
      for (var i = 0; i < P.x.length; i++) if (P.c[i] === c && P.x[i] === pos) hits[i] = 1;
      loci.forEach(function (l, k) { if (l.c === c && pos >= l.s && pos <= l.e) sel[k] = 1; });
      range = [gpos(c, pos) - 250000, gpos(c, pos) + 250000];
      found.push(chroms[c].n + ':' + fmt(pos));
    } else {
      for (var j = 0; j < P.id.length; j++) if (P.id[j].toLowerCase() === ql) hits[j] = 1;
      loci.forEach(function (l, k) {
        var genes = l.g.concat(l.ng ? [l.ng] : []).map(function (g) { return g.toLowerCase(); });
        if (l.id.toLowerCase() === ql || genes.indexOf(ql) >= 0) sel[k] = 1;
      });
      var hk = Object.keys(hits);
      if (hk.length) {
        var h = Number(hk[0]), g0 = gpos(P.c[h], P.x[h]);
        range = [g0 - 250000, g0 + 250000];
        loci.forEach(function (l, k) { if (l.c === P.c[h] && P.x[h] >= l.s && P.x[h] <= l.e) sel[k] = 1; });
      }
      var gene = window.quorlinRegional && window.quorlinRegional.gene(ql);
      if (!range && gene && findChrom(gene.c) >= 0) {
        var gc = findChrom(gene.c);
        range = [gpos(gc, gene.s) - 100000, gpos(gc, gene.e) + 100000];
      }
    }
    var sk = Object.keys(sel);
    if (!range && sk.length) {
      var l0 = loci[Number(sk[0])];
      range = [gpos(l0.c, l0.s) - 100000, gpos(l0.c, l0.e) + 100000];
    }
    state.hits = hits;
    state.sel = sel;
    select(sel);
    var nh = Object.keys(hits).length;
    status.textContent = range ? (nh ? nh + ' marker' + (nh > 1 ? 's' : '') : '') + (nh && sk.length ? ', ' : '') +
      (sk.length ? sk.length + ' loc' + (sk.length > 1 ? 'i' : 'us') : '') + (nh || sk.length ? '' : 'found') +
      ' for \u201c' + q + '\u201d' : 'nothing found for \u201c' + q + '\u201d';
    if (range) zoom(range[0], range[1]); else render();
  }
  function select(sel) {
    var rows = document.querySelectorAll('#loci-table tbody tr.item');
    var first = null;
    Array.prototype.forEach.call(rows, function (r) {
      var on = !!sel[r.getAttribute('data-k')];
      if (on) { r.setAttribute('aria-selected', 'true'); first = first || r; } else r.removeAttribute('aria-selected');
    });
    if (first) {
      var scroller = first.closest('.scroll');
      if (scroller) scroller.scrollTop = first.offsetTop - scroller.clientHeight / 3;
    }
  }
  input.addEventListener('change', search);
  input.addEventListener('keydown', function (event) { if (event.key === 'Enter') search(); });

  // SVG export: the figure's SVG as shown, saved through a data: link.
  document.addEventListener('click', function (event) {
    var button = event.target.closest('button.export');
    if (!button) return;
    var figure = document.getElementById(button.getAttribute('data-figure'));
    var svg = figure && figure.querySelector('svg');
    if (!svg) return;
    var text = '<?xml version="1.0" encoding="UTF-8"?>\n' + new XMLSerializer().serializeToString(svg);
    var link = document.getElementById('export-link') || document.body.appendChild(document.createElement('a'));
    link.id = 'export-link';
    link.hidden = true;
    link.download = button.getAttribute('data-figure') + '.svg';
    link.href = 'data:image/svg+xml;charset=utf-8,' + encodeURIComponent(text);
    link.click();
  });
  window.quorlinView = {zoomChrom: zoomChrom, search: search, render: render, points: P};
  var width = 0;
  window.addEventListener('resize', function () {
    if (box.clientWidth !== width) { width = box.clientWidth; render(); }
  });
  width = box.clientWidth;
  render();
}());
