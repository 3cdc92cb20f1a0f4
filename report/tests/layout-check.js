// Appended to a copy of a report by the browser check: brings every label into its plan, then
// takes the box of every drawn label, as the browser laid it out, at the full view and three
// zooms in.
(function () {
  'use strict';
  const views = [];
  for (const svg of document.querySelectorAll('svg.plan')) {
    const box = svg.parentNode;
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
  out.textContent = JSON.stringify(views);
  document.body.appendChild(out);
})();
