#!/usr/bin/env python3
"""Checks of a survey report as headless Chromium rendered it.

  check-rendered.py labels DOM.html    every located point of every plan has its label, the scale
                                       bars read round lengths, and the label boxes that
                                       layout-check.js measured at several zooms do not overlap
  check-rendered.py network NETLOG     the page asked for nothing over the network
"""
import json
import re
import sys
from html.parser import HTMLParser

# Label boxes as the browser reports them include the font's whole line height; glyphs of labels
# stacked one above the other may come this close without touching.
TOLERANCE_PX = {"x": 0.5, "y": 2.0}
SCALE_TEXT = re.compile(r"^(0\.0*)?[125]0*( m| km)$")


class ReportPage(HTMLParser):
    def __init__(self):
        super().__init__()
        self.labels = {}  # plan prefix -> {row: text}
        self._row = None
        self.rows = {}  # plan prefix -> {row: [cell texts]}
        self.scale_texts = []
        self.layout_check = None
        self._open = None  # (kind, prefix, key) of the element whose text is collected
        self._plan = None
        self._in_scalebar = False
        self._text = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "svg" and "plan" in a.get("class", "").split():
            self._plan = a["id"][: -len("plan")]
            self.labels.setdefault(self._plan, {})
        elif tag == "svg" and "scalebar" in a.get("class", "").split():
            self._in_scalebar = True
        elif tag == "text" and self._plan and "data-r" in a:
            self._begin(("label", self._plan, a["data-r"]))
        elif tag == "text" and self._in_scalebar:
            self._begin(("scale", None, None))
        elif tag == "tr":
            row_id = a.get("id", "")
            self._row = tuple(row_id.split("-")) if re.fullmatch(r"f\d+-r\d+", row_id) else None
            if self._row:
                self.rows.setdefault(self._row[0] + "-", {})[self._row[1]] = []
        elif tag == "td" and self._row:
            self._begin(("cell", self._row[0] + "-", self._row[1]))
        elif tag == "pre" and a.get("id") == "layout-check":
            self._begin(("check", None, None))

    def _begin(self, what):
        self._open = what
        self._text = []

    def handle_data(self, data):
        if self._open:
            self._text.append(data)

    def handle_endtag(self, tag):
        if tag == "svg":
            if self._in_scalebar:
                self._in_scalebar = False
            else:
                self._plan = None
        if not self._open or tag not in ("text", "td", "pre"):
            return
        kind, prefix, key = self._open
        text = "".join(self._text)
        if kind == "label":
            self.labels[prefix][key] = text
        elif kind == "cell":
            self.rows[prefix][key].append(text)
        elif kind == "scale":
            self.scale_texts.append(text)
        elif kind == "check":
            self.layout_check = json.loads(text)
        self._open = None


def check_labels(path):
    page = ReportPage()
    with open(path, encoding="utf-8") as dom:
        page.feed(dom.read())
    failures = []
    points = 0
    for prefix, rows in page.rows.items():
        labels = page.labels.get(prefix, {})
        for row, cells in rows.items():
            points += 1
            name = cells[0]
            if labels.get(row) != name:
                failures.append(f"{prefix}{row} {name!r}: the plan labels it {labels.get(row)!r}")
    if points == 0:
        failures.append("no located point in the rendered page")
    for text in page.scale_texts:
        if not SCALE_TEXT.match(text):
            failures.append(f"the scale bar reads {text!r}, not a round length")
    if len(page.scale_texts) != len(page.labels):
        failures.append(f"{len(page.labels)} plans but {len(page.scale_texts)} scale bars")
    if page.layout_check is None:
        failures.append("the layout check did not run")
    else:
        failures += check_tips(page)
        for view in page.layout_check["views"]:
            if not view["boxes"]:
                failures.append(f"{view['plan']} zoom {view['zoom']}: no label drawn (is a font installed?)")
            for a, b, dx, dy in overlaps(view["boxes"]):
                failures.append(f"{view['plan']} zoom {view['zoom']}: {a!r} and {b!r} overlap by {dx:.1f} x {dy:.1f} px")
        shown = ", ".join(f"{len(view['boxes'])} at zoom {view['zoom']}" for view in page.layout_check["views"])
        print(f"labels drawn: {shown}")
    print(f"{points} located points, each labelled in its plan")
    return failures


def check_tips(page):
    """Hovering and clicking a point shows its coordinates and how it was determined, as its
    table row gives them; the click marks the row."""
    failures = []
    for tip in page.layout_check["tips"]:
        prefix = tip["plan"][: -len("plan")]
        cells = page.rows.get(prefix, {}).get(tip["row"], [])
        wanted = [cell for cell in cells if cell]
        if not tip["shown"] or not wanted or not all(cell in tip["text"] for cell in wanted):
            failures.append(f"{tip['how']} on {prefix}{tip['row']}: the tip reads {tip['text']!r}, the row {cells}")
        if tip["how"] == "click" and tip["marked"] != prefix + tip["row"]:
            failures.append(f"click on {prefix}{tip['row']} marked the row {tip['marked']}")
    print(f"{len(page.layout_check['tips'])} tips checked against their rows")
    return failures


def overlaps(boxes):
    """Pairs of boxes (left, top, right, bottom, name) that overlap beyond the tolerance."""
    found = []
    boxes = sorted(boxes)
    for i, a in enumerate(boxes):
        for b in boxes[i + 1 :]:
            if b[0] >= a[2] - TOLERANCE_PX["x"]:
                break
            dx = min(a[2], b[2]) - max(a[0], b[0])
            dy = min(a[3], b[3]) - max(a[1], b[1])
            if dx > TOLERANCE_PX["x"] and dy > TOLERANCE_PX["y"]:
                found.append((a[4], b[4], dx, dy))
    return found


def check_network(path):
    with open(path, encoding="utf-8") as log:
        events = json.load(log)["events"]
    failures = []
    for event in events:
        params = event.get("params", {})
        url = params.get("url", "")
        # The browser's own housekeeping (updates, time, accounts) has no page as its initiator.
        if re.match(r"^(https?|wss?)://", url) and "initiator" in params and params["initiator"] != "not an origin":
            failures.append(f"the page requested {url}")
    return sorted(set(failures))


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("labels", "network"):
        print(__doc__, file=sys.stderr)
        return 2
    failures = check_labels(sys.argv[2]) if sys.argv[1] == "labels" else check_network(sys.argv[2])
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
