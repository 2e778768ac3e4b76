// The regional views of a table's page, drawn as SVG from the embedded
// figure data (#view-data "reg", by locus index): the window's markers
// coloured by r2 with the LD reference when a panel was given, the lead as a
// violet diamond, the peaks shaded, the genome-wide line and the gene track,
// with a hover card per point. The view under the Manhattan plot steps to
// the previous or next locus that has a figure.
(function () {
  'use strict';
  var source = document.getElementById('view-data');
  if (!source) return;
  var D = JSON.parse(source.textContent), R = D.reg || {};
  var NS = 'http://www.w3.org/2000/svg';
  var keys = Object.keys(R).map(Number).sort(function (a, b) { return a - b; });
  // r2 bins: 0-0.2 navy, 0.2-0.4 light blue, 0.4-0.6 green, 0.6-0.8 orange, 0.8-1 red.
  var LD = ['#1b2a80', '#7fc8f8', '#2ca02c', '#ff9f1c', '#d62728'], ABSENT = '#9aa0a6';
  function el(name, attrs, parent) {
    var e = document.createElementNS(NS, name);
    for (var k in attrs) if (Object.prototype.hasOwnProperty.call(attrs, k)) e.setAttribute(k, attrs[k]);
    if (parent) parent.appendChild(e);
    return e;
  }
  function fmt(n) { return String(n).replace(/\B(?=(\d{3})+(?!\d))/g, ','); }
  function colour(f, i) {
    if (!f.r2) return '#1f4e79';
    var r = f.r2[i];
    if (r === null || r === undefined) return ABSENT;
    return LD[Math.min(4, Math.max(0, Math.floor(r * 5)))];
  }
  function pOf(y) {
    if (!isFinite(y)) return '0';
    var e = Math.ceil(y), m = Math.pow(10, e - y);
    return y < 300 ? Number(Math.pow(10, -y).toPrecision(3)).toString() : m.toFixed(2) + 'e-' + e;
  }

  // The figure of locus k as an SVG element, width px wide.
  function draw(k, width) {
    var f = R[k];
    var rows = 0;
    f.genes.forEach(function (g) { rows = Math.max(rows, g.r + 1); });
    var W = Math.max(300, width), L = 44, Rm = 10, T = 30, ph = W < 600 ? 200 : 280, gh = rows * 22;
    var H = T + ph + 34 + gh + (f.r2 ? 22 : 0), pw = W - L - Rm;
    var top = Math.max(f.gw, isFinite(f.ly) ? f.ly : 0);
    f.y.forEach(function (y) { if (isFinite(y) && y > top) top = y; });
    top = Math.ceil(top * 1.08 + 0.5);
    function sx(x) { return L + (x - f.a) / Math.max(1, f.b - f.a) * pw; }
    function sy(v) { return T + ph - Math.min(isFinite(v) ? v : top, top) / top * ph; }
    var svg = el('svg', {xmlns: NS, width: W, height: H, viewBox: '0 0 ' + W + ' ' + H, role: 'img',
                         'font-family': 'DejaVu Sans, Verdana, sans-serif', 'font-size': 11, 'data-k': k});
    var title = (f.lid || f.c + ':' + fmt(f.lx)) + ' (' + f.c + ':' + fmt(f.lx) + ', ' + f.st + ')';
    el('title', {}, svg).textContent = title;
    el('rect', {x: 0, y: 0, width: W, height: H, fill: '#fff'}, svg);
    el('text', {x: L, y: 18, 'font-size': 13, 'font-weight': 600}, svg).textContent = title;
    f.peaks.forEach(function (p) {
      var a = sx(Math.min(p[0], p[1])), b = sx(Math.max(p[0], p[1]));
      el('rect', {x: a, y: T, width: Math.max(1, b - a), height: ph, fill: '#fff1c2', opacity: 0.35 + 0.1 * p[2]}, svg);
      el('text', {x: (a + b) / 2, y: T + 12, 'text-anchor': 'middle', fill: '#7d4e00'}, svg).textContent = 'GQS ' + p[3];
    });
    if (f.gw < top) el('line', {x1: L, x2: L + pw, y1: sy(f.gw), y2: sy(f.gw), stroke: '#cf222e',
                                'stroke-dasharray': '4 3'}, svg);
    var order = f.x.map(function (x, i) { return i; });
    if (f.r2) order.sort(function (a, b) { return (f.r2[a] === null ? -1 : f.r2[a]) - (f.r2[b] === null ? -1 : f.r2[b]); });
    var byColour = {};
    order.forEach(function (i) {
      if (f.x[i] === f.lx && f.id[i] === f.lid) return;
      var c = colour(f, i);
      (byColour[c] = byColour[c] || []).push('M' + sx(f.x[i]).toFixed(1) + ' ' + sy(f.y[i]).toFixed(1) + 'h0');
    });
    Object.keys(byColour).forEach(function (c) {
      el('path', {d: byColour[c].join(''), stroke: c, 'stroke-width': 7, 'stroke-linecap': 'round', fill: 'none',
                  'class': 'points'}, svg);
    });
    var lx = sx(f.lx), ly = sy(f.ly);
    el('path', {d: 'M' + lx + ' ' + (ly - 8) + 'l7 8l-7 8l-7-8z', fill: '#8e44ad', stroke: '#fff', 'class': 'lead'}, svg);
    var axis = el('g', {stroke: '#57606a'}, svg);
    el('line', {x1: L, x2: L, y1: T, y2: T + ph}, axis);
    el('line', {x1: L, x2: L + pw, y1: T + ph, y2: T + ph}, axis);
    var step = top > 40 ? 10 : top > 16 ? 4 : top > 8 ? 2 : 1;
    for (var v = 0; v <= top; v += step)
      el('text', {x: L - 5, y: sy(v) + 4, 'text-anchor': 'end'}, svg).textContent = v;
    var mb = (f.b - f.a) / 1e6, tick = Math.pow(10, Math.floor(Math.log10(Math.max(mb, 1e-6) / 4)));
    if (mb / tick > 10) tick *= 2;
    for (var t = Math.ceil(f.a / 1e6 / tick) * tick; t * 1e6 <= f.b; t += tick) {
      el('line', {x1: sx(t * 1e6), x2: sx(t * 1e6), y1: T + ph, y2: T + ph + 4, stroke: '#57606a'}, svg);
      el('text', {x: sx(t * 1e6), y: T + ph + 16, 'text-anchor': 'middle'}, svg).textContent =
        String(Number(t.toFixed(4)));
    }
    el('text', {x: L + pw, y: T + ph + 30, 'text-anchor': 'end'}, svg).textContent = f.c + ' position (Mb)';
    var gy = T + ph + 40;
    f.genes.forEach(function (g) {
      var y = gy + g.r * 22, a = Math.max(L, sx(g.s)), b = Math.min(L + pw, sx(g.e));
      var gene = el('g', {'class': 'gene'}, svg);
      el('title', {}, gene).textContent = g.n + ' ' + g.d + ' ' + fmt(g.s) + '-' + fmt(g.e);
      el('line', {x1: a, x2: Math.max(a + 1, b), y1: y, y2: y, stroke: '#0b6e4f', 'stroke-width': 2}, gene);
      g.x.forEach(function (e) {
        var ea = Math.max(L, sx(e[0])), eb = Math.min(L + pw, sx(e[1]));
        if (eb > ea - 1) el('rect', {x: ea, y: y - 5, width: Math.max(1, eb - ea), height: 10, fill: '#0b6e4f'}, gene);
      });
      el('text', {x: (a + b) / 2, y: y + 16, 'text-anchor': 'middle', 'font-style': 'italic'}, gene).textContent =
        (g.d === '-' ? '\u2190 ' : '') + g.n + (g.d === '+' ? ' \u2192' : '');
    });
    if (f.r2) {
      var ky = H - 8, kx = L;
      el('text', {x: kx, y: ky}, svg).textContent = 'r\u00b2 with ' + (f.ref || 'the lead') + ':';
      kx += 150;
      ['0-0.2', '0.2-0.4', '0.4-0.6', '0.6-0.8', '0.8-1', 'absent'].forEach(function (label, i) {
        el('circle', {cx: kx, cy: ky - 4, r: 5, fill: i < 5 ? LD[i] : ABSENT}, svg);
        el('text', {x: kx + 8, y: ky}, svg).textContent = label;
        kx += 62;
      });
    }
    svg.addEventListener('pointermove', function (event) {
      var tipApi = window.quorlinTip;
      if (!tipApi) return;
      var r = svg.getBoundingClientRect(), px = event.clientX - r.left, py = event.clientY - r.top, best = -1, bd = 64;
      for (var i = 0; i < f.x.length; i++) {
        var dx = sx(f.x[i]) - px, dy = sy(f.y[i]) - py;
        if (dx * dx + dy * dy < bd) { bd = dx * dx + dy * dy; best = i; }
      }
      if (best < 0) { tipApi.hide(); return; }
      tipApi.show('<b>' + tipApi.esc(f.id[best] || '(no id)') + '</b><br>' + tipApi.esc(f.c) + ':' + fmt(f.x[best]) +
        '<br>p = ' + pOf(f.y[best]) + (f.r2 ? '<br>r\u00b2 = ' + (f.r2[best] === null ? 'not in the panel' : f.r2[best]) : ''),
        event.clientX, event.clientY);
    });
    svg.addEventListener('pointerleave', function () { if (window.quorlinTip) window.quorlinTip.hide(); });
    return svg;
  }

  // The view under the Manhattan plot: title, previous / next, SVG, close.
  var box = document.getElementById('regional-view');
  function open(k) {
    if (!box) return;
    if (!R[k]) {
      box.hidden = false;
      box.replaceChildren(document.createTextNode('This page holds no regional figure for this locus (to keep it small); ' +
                                                  '-regional draws every one.'));
      return;
    }
    var at = keys.indexOf(k);
    var bar = document.createElement('div');
    bar.className = 'controls';
    function button(label, enabled, action, extra) {
      var b = document.createElement('button');
      b.type = 'button';
      b.textContent = label;
      b.disabled = !enabled;
      if (extra) for (var a in extra) if (Object.prototype.hasOwnProperty.call(extra, a)) b.setAttribute(a, extra[a]);
      if (action) b.addEventListener('click', action);
      bar.appendChild(b);
      return b;
    }
    button('\u2190 Previous locus', at > 0, function () { open(keys[at - 1]); }, {'class': 'prev'});
    button('Next locus \u2192', at < keys.length - 1, function () { open(keys[at + 1]); }, {'class': 'next'});
    button('SVG', true, null, {'class': 'export', 'data-figure': 'regional-view'});
    button('Close', true, function () { box.hidden = true; }, {'class': 'close'});
    box.hidden = false;
    box.replaceChildren(bar);
    box.appendChild(draw(k, box.clientWidth || 800));
    box.scrollIntoView({block: 'nearest'});
  }
  // A gene of the embedded tracks by name (any letter case): {c, s, e}.
  function gene(name) {
    for (var i = 0; i < keys.length; i++) {
      var f = R[keys[i]];
      for (var j = 0; j < f.genes.length; j++)
        if (f.genes[j].n.toLowerCase() === name) return {c: f.c, s: f.genes[j].s, e: f.genes[j].e};
    }
    return null;
  }
  window.quorlinRegional = {draw: draw, open: open, gene: gene, has: function (k) { return !!R[k]; }};
}());
