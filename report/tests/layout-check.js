// Appended to a copy of a report by the browser check: brings every label into its plan, then
// takes the box of every drawn label, as the browser laid it out, at the full view and three
// zooms in.
(function () {
  'use strict';
  const views = [];
  const tips = [];
  for (const svg of document.querySelectorAll('svg.plan')) {
    const box = svg.parentNode;
    // The pointer over the first drawn label's point, then a click on it.
    const label = svg.querySelector('g.lv.on text[data-r]');
    const at = new DOMPoint(Number(label.getAttribute('x')), Number(label.getAttribute('y'))).matrixTransform(
      svg.getScreenCTM()
    );
    const tip = box.querySelector('.tip');
    const where = { clientX: at.x, clientY: at.y, bubbles: true };
    svg.dispatchEvent(new PointerEvent('pointermove', where));
    tips.push({ plan: svg.id, row: label.dataset.r, how: 'hover', shown: !tip.hidden, text: tip.textContent });
    svg.dispatchEvent(new MouseEvent('click', where));
    const marked = document.querySelector('tr.hl');
    tips.push({ plan: svg.id, row: label.dataset.r, how: 'click', shown: !tip.hidden, text: tip.textContent,
                marked: marked ? marked.id : null });
    svg.dispatchEvent(new MouseEvent('click', where));
    // To the deepest zoom and back: every label waiting for its level joins the plan.
    const zoomIn = box.querySelector('button[data-zoom="in"]');
    for (let i = 0; i < 40 && box.querySelector("template.labels"); i++) zoomIn.click();
    box.querySelector('button[data-zoom="fit"]').click();
    for (let step = 0; step < 4; step++) {
      const boxes = [];
      for (const text of svg.querySelectorAll('text[data-r]')) {
        const r = text.getBoundingClientRect();
        if (r.width > 0) boxes.push([r.left, r.top, r.right, r.bottom, text.textContent]);
      }
      views.push({ plan: svg.id, zoom: Math.pow(2, step), boxes });
      box.querySelector('button[data-zoom="in"]').click();
    }
    box.querySelector('button[data-zoom="fit"]').click();
  }
  const out = document.createElement('pre');
  out.id = 'layout-check';
  out.textContent = JSON.stringify({ views, tips });
  document.body.appendChild(out);
})();
