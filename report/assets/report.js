// The plan's zoom and pan, its scale bar, and what a point is when hovered or clicked. Labels keep
// their size on screen; the writer gave each a zoom level from which it stands free of the others.
(function () {
  'use strict';

  const HIT_RADIUS_PX = 10;
  const DRAG_THRESHOLD_PX = 3;

  function roundLength(maxMetres) {
    const power = Math.pow(10, Math.floor(Math.log10(maxMetres)));
    for (const step of [5, 2, 1]) {
      if (step * power <= maxMetres) return step * power;
    }
    return power;
  }

  function lengthText(metres) {
    const trim = (value) => String(Number(value.toFixed(3)));
    return metres >= 1000 ? trim(metres / 1000) + ' km' : trim(metres) + ' m';
  }

  // Every label of a plan, drawn or still waiting for its zoom level.
  function allLabels(svg) {
    const labels = Array.from(svg.querySelectorAll('text[data-r]'));
    for (const waiting of svg.parentNode.querySelectorAll('template.labels')) {
      labels.push(...waiting.content.querySelectorAll('text[data-r]'));
    }
    return labels;
  }

  // Located points by grid cell, read from the labels once the reader first points at the plan.
  function PointIndex(svg, cell) {
    const cells = new Map();
    for (const label of allLabels(svg)) {
      const x = Number(label.getAttribute('x'));
      const y = Number(label.getAttribute('y'));
      const key = Math.floor(x / cell) + ',' + Math.floor(y / cell);
      if (!cells.has(key)) cells.set(key, []);
      cells.get(key).push({ x, y, label });
    }
    this.nearest = function (x, y, radius) {
      let best = null;
      let bestDistance = radius * radius;
      const reach = Math.ceil(radius / cell);
      const cx = Math.floor(x / cell);
      const cy = Math.floor(y / cell);
      for (let i = cx - reach; i <= cx + reach; i++) {
        for (let j = cy - reach; j <= cy + reach; j++) {
          for (const point of cells.get(i + ',' + j) || []) {
            const distance = (point.x - x) ** 2 + (point.y - y) ** 2;
            if (distance <= bestDistance) {
              best = point;
              bestDistance = distance;
            }
          }
        }
      }
      return best;
    };
  }

  // Rows past the first few hundred wait in templates after their table; they join it as the
  // reader scrolls to its end, or when the plan points at one of them.
  function moveRowsIn(box) {
    const waiting = box.querySelector('template');
    if (!waiting) return;
    box.querySelector('tbody').appendChild(waiting.content);
    waiting.remove();
  }

  for (const box of document.querySelectorAll('.tablebox')) {
    if (!box.querySelector('template')) continue;
    box.addEventListener('scroll', () => {
      if (box.scrollTop + box.clientHeight > box.scrollHeight - 400) moveRowsIn(box);
    });
  }

  // The row of an id and the headings of its table; a waiting row is moved in only when asked.
  function findRow(id, moveIn) {
    let row = document.getElementById(id);
    if (!row) {
      for (const waiting of document.querySelectorAll('.tablebox template')) {
        row = waiting.content.getElementById(id);
        if (!row) continue;
        if (moveIn) {
          while (waiting.isConnected) moveRowsIn(waiting.parentNode);
        }
        break;
      }
    }
    if (!row) return null;
    const box = row.isConnected ? row.closest('.tablebox') : findBox(row);
    return { row, headings: box.querySelector('thead tr').cells };
  }

  function findBox(row) {
    for (const waiting of document.querySelectorAll('.tablebox template')) {
      if (waiting.content.contains(row)) return waiting.parentNode;
    }
    return null;
  }

  function setUpPlan(svg) {
    const box = svg.parentNode;
    const prefix = svg.id.replace(/plan$/, '');
    const nominalWidth = Number(svg.getAttribute('width'));
    const home = svg.viewBox.baseVal;
    const fit = { x: home.x, y: home.y, w: home.width, h: home.height };
    const maxZoom = Math.pow(2, Number(svg.dataset.lv) + 1);
    const tip = box.querySelector('.tip');
    const bar = box.querySelector('.scalebar');
    const ring = document.createElementNS('http://www.w3.org/2000/svg', 'circle');
    ring.setAttribute('class', 'mark-hl');
    let view = Object.assign({}, fit);
    let index = null;
    let pinned = null;
    let drag = null;
    let draggedLast = false;

    const zoom = () => fit.w / view.w;
    const unitsPerPixel = () => view.w / svg.clientWidth;

    function drawScale() {
      const pixelsPerMetre = 1 / unitsPerPixel();
      const metres = roundLength(Number(bar.dataset.max) / pixelsPerMetre);
      const length = metres * pixelsPerMetre;
      bar.querySelector('path').setAttribute('d', 'M0 -6V0H' + length.toFixed(1) + 'V-6');
      const text = bar.querySelector('text');
      text.setAttribute('x', (length / 2).toFixed(1));
      text.textContent = lengthText(metres);
    }

    function show() {
      svg.setAttribute('viewBox', [view.x, view.y, view.w, view.h].join(' '));
      svg.style.setProperty('--k', view.w / nominalWidth);
      const z = zoom() * 1.000001;
      const shown = (element) => Math.pow(2, Number(element.dataset.lv)) <= z;
      for (const waiting of box.querySelectorAll('template.labels')) {
        if (!shown(waiting)) continue;
        svg.appendChild(waiting.content.querySelector('g'));
        waiting.remove();
      }
      for (const group of svg.querySelectorAll('g.lv')) group.classList.toggle('on', shown(group));
      ring.setAttribute('r', 9 * view.w / nominalWidth);
      drawScale();
      if (pinned) placeTip(pinned);
    }

    function toPlan(clientX, clientY) {
      return new DOMPoint(clientX, clientY).matrixTransform(svg.getScreenCTM().inverse());
    }

    function zoomAt(x, y, factor) {
      const z = Math.min(Math.max(zoom() * factor, 0.5), maxZoom);
      const w = fit.w / z;
      const h = fit.h / z;
      view = { x: x - ((x - view.x) * w) / view.w, y: y - ((y - view.y) * h) / view.h, w, h };
      show();
    }

    function rowOf(label, moveIn) {
      return findRow(prefix + label.dataset.r, moveIn);
    }

    // The tip repeats the label's table row, so plan and tables cannot disagree.
    function fillTip(label) {
      tip.textContent = '';
      const name = document.createElement('b');
      name.textContent = label.textContent;
      tip.appendChild(name);
      const found = rowOf(label, tip.classList.contains('pinned'));
      if (!found) return;
      const { row, headings } = found;
      const list = document.createElement('dl');
      for (let i = 1; i < row.cells.length; i++) {
        const value = row.cells[i].textContent;
        if (!value) continue;
        const term = document.createElement('dt');
        term.textContent = headings[i].textContent;
        const detail = document.createElement('dd');
        detail.textContent = value;
        list.append(term, detail);
      }
      tip.appendChild(list);
      if (tip.classList.contains('pinned')) {
        const link = document.createElement('a');
        link.href = '#' + row.id;
        link.textContent = 'in the table';
        tip.appendChild(link);
      }
    }

    function placeTip(point) {
      const matrix = svg.getScreenCTM();
      const at = new DOMPoint(point.x, point.y).matrixTransform(matrix);
      const frame = box.getBoundingClientRect();
      const left = Math.min(at.x - frame.left + 14, frame.width - tip.offsetWidth - 4);
      tip.style.left = Math.max(left, 4) + 'px';
      tip.style.top = Math.max(at.y - frame.top + 14, 4) + 'px';
      ring.setAttribute('cx', point.x);
      ring.setAttribute('cy', point.y);
    }

    function showTip(point, pin) {
      tip.classList.toggle('pinned', pin);
      fillTip(point.label);
      tip.hidden = false;
      placeTip(point);
      if (!ring.parentNode) svg.appendChild(ring);
    }

    function hideTip() {
      tip.hidden = true;
      ring.remove();
    }

    function highlight(row) {
      for (const old of document.querySelectorAll('tr.hl')) old.classList.remove('hl');
      if (row) row.classList.add('hl');
    }

    function pointAt(event) {
      if (!index) index = new PointIndex(svg, fit.w / 64);
      const at = toPlan(event.clientX, event.clientY);
      return index.nearest(at.x, at.y, HIT_RADIUS_PX * unitsPerPixel());
    }

    function pin(point) {
      pinned = point;
      if (!point) {
        hideTip();
        highlight(null);
        return;
      }
      showTip(point, true);
      const found = rowOf(point.label, true);
      highlight(found && found.row);
    }

    svg.addEventListener(
      'wheel',
      (event) => {
        event.preventDefault();
        const lines = event.deltaMode === 1 ? 33 : 1;
        const at = toPlan(event.clientX, event.clientY);
        zoomAt(at.x, at.y, Math.exp(-event.deltaY * lines * 0.002));
      },
      { passive: false }
    );

    svg.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      svg.setPointerCapture(event.pointerId);
      drag = { x: event.clientX, y: event.clientY, view: Object.assign({}, view), moved: false };
    });

    svg.addEventListener('pointermove', (event) => {
      if (drag) {
        const dx = event.clientX - drag.x;
        const dy = event.clientY - drag.y;
        if (Math.abs(dx) + Math.abs(dy) > DRAG_THRESHOLD_PX) drag.moved = true;
        if (!drag.moved) return;
        svg.classList.add('dragging');
        view = Object.assign({}, drag.view, {
          x: drag.view.x - dx * unitsPerPixel(),
          y: drag.view.y - dy * unitsPerPixel(),
        });
        show();
        return;
      }
      if (pinned) return;
      const point = pointAt(event);
      if (point) showTip(point, false);
      else hideTip();
    });

    svg.addEventListener('pointerup', () => {
      draggedLast = Boolean(drag && drag.moved);
      drag = null;
      svg.classList.remove('dragging');
    });

    // A click pins the point under the pointer, or lets the pinned one go; the end of a drag is
    // no click.
    svg.addEventListener('click', (event) => {
      if (draggedLast) return;
      const point = pointAt(event);
      pin(point && (!pinned || point.label !== pinned.label) ? point : null);
    });

    svg.addEventListener('pointerleave', () => {
      if (!pinned && !drag) hideTip();
    });

    box.querySelector('.zoom').addEventListener('click', (event) => {
      const action = event.target.closest('button') && event.target.closest('button').dataset.zoom;
      const centre = { x: view.x + view.w / 2, y: view.y + view.h / 2 };
      if (action === 'in') zoomAt(centre.x, centre.y, 2);
      else if (action === 'out') zoomAt(centre.x, centre.y, 0.5);
      else if (action === 'fit') {
        view = Object.assign({}, fit);
        show();
      }
    });

    // A row of the tables shows its point on the plan, near enough that its label is drawn.
    box.closest('section').addEventListener('click', (event) => {
      const row = event.target.closest('tr[id]');
      if (!row || event.target.closest('a')) return;
      const wanted = row.id.slice(prefix.length);
      const label = allLabels(svg).find((text) => text.dataset.r === wanted);
      if (!label) return;
      const point = { x: Number(label.getAttribute('x')), y: Number(label.getAttribute('y')), label };
      const z = Math.max(zoom(), Math.pow(2, Number(label.parentNode.dataset.lv)));
      view = { w: fit.w / z, h: fit.h / z };
      view.x = point.x - view.w / 2;
      view.y = point.y - view.h / 2;
      show();
      pin(point);
      box.scrollIntoView({ block: 'nearest' });
    });

    window.addEventListener('resize', drawScale);
    show();
  }

  for (const svg of document.querySelectorAll('svg.plan')) setUpPlan(svg);
})();
