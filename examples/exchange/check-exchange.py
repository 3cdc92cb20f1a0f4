#!/usr/bin/env python3
"""Writes a job into every exchange format with rdf-import, reads each file back with GDAL's
ogr2ogr (LandXML with an XML parser) and compares every point, station and sight line with the
"coordinates" of the same run's JSON within a millimetre.

usage: check-exchange.py RDF_IMPORT JOB CRS OUTPUT_FOLDER
"""
import csv
import io
import json
import pathlib
import sys
import xml.etree.ElementTree as ElementTree

from checks import fail, finish, run

TOLERANCE = 0.001
STEM = "job"
# The written file of each format, and whether GDAL reads it back in WGS 84.
FORMATS = {
    "gpkg": False,
    "geojson": True,
    "dxf": False,
    "shp": False,
    "kml": True,
    "fgb": False,
    "csv": False,
    "xml": False,
}
# Formats of one layer per file keep stations and observations beside the requested name.
ONE_LAYER_PER_FILE = {"geojson", "shp", "fgb", "csv"}


def read_layer(path, layer, crs, wgs84, lines=False):
    """The features of one layer as dictionaries, with X, Y, Z (or a WKT line) in the survey's
    reference system."""
    arguments = ["ogr2ogr", "-f", "CSV", "/vsistdout/", str(path)]
    if layer:
        arguments.append(layer)
    arguments += ["-lco", "GEOMETRY=AS_WKT" if lines else "GEOMETRY=AS_XYZ"]
    if path.suffix == ".csv":
        arguments += ["-oo", "X_POSSIBLE_NAMES=X", "-oo", "Y_POSSIBLE_NAMES=Y", "-oo", "Z_POSSIBLE_NAMES=Z"]
    if wgs84:
        arguments += ["-t_srs", crs]
    # Field names in lower case: KML reads its placemark names back as "Name".
    rows = csv.DictReader(io.StringIO(run(arguments)))
    return [{key.lower(): value for key, value in row.items()} for row in rows]


def layer_source(folder, extension, layer):
    if extension in ONE_LAYER_PER_FILE:
        name = STEM if layer == "points" else f"{STEM}_{layer}"
        return folder / f"{name}.{extension}", None
    return folder / f"{STEM}.{extension}", layer


def near(a, b):
    return all(abs(x - y) <= TOLERANCE for x, y in zip(a, b))


def expected_points(document):
    points = {}
    for file in document["files"]:
        for point in file.get("coordinates", []):
            points[point["name"]] = (point["easting"], point["northing"], point.get("elevation") or 0.0,
                                     point.get("code", ""))
    return points


def compare_marks(what, rows, points, every_point):
    """Points (every JSON point once) or stations (each at the JSON point of its name)."""
    if every_point and len(rows) != len(points):
        fail(f"{what}: {len(rows)} points, the JSON has {len(points)}")
    if not rows:
        fail(f"{what}: an empty layer")
    for row in rows:
        name = row["name"]
        if name not in points:
            fail(f"{what}: {name} is not among the JSON coordinates")
            continue
        position = (float(row["x"]), float(row["y"]), float(row["z"] or 0))
        if not near(position, points[name][:3]):
            fail(f"{what}: {name} at {position}, the JSON has {points[name][:3]}")
        if row.get("code", points[name][3]) != points[name][3]:
            fail(f"{what}: {name} has code {row['code']}, the JSON has {points[name][3]}")


def compare_sight_lines(what, rows, points):
    if not rows:
        fail(f"{what}: no sight lines")
    for row in rows:
        wkt = row["wkt"]
        vertices = wkt[wkt.index("(") + 1:wkt.rindex(")")].split(",")
        ends = [tuple(float(value) for value in vertex.split()) for vertex in vertices]
        for name, end in zip((row["station"], row["target"]), ends):
            if name in points and not near(end[:2], points[name][:2]):
                fail(f"{what}: the line {row['station']}-{row['target']} ends at {end}, "
                     f"the JSON has {name} at {points[name][:3]}")


def check_gdal(folder, extension, wgs84, crs, points):
    what = f"{STEM}.{extension}"
    path, layer = layer_source(folder, extension, "points")
    compare_marks(what, read_layer(path, layer, crs, wgs84), points, True)
    path, layer = layer_source(folder, extension, "stations")
    compare_marks(what, read_layer(path, layer, crs, wgs84), points, False)
    path, layer = layer_source(folder, extension, "observations")
    compare_sight_lines(what, read_layer(path, layer, crs, wgs84, lines=True), points)


def check_dxf(folder, points):
    """Each point is one POINT entity at its position, on its code's layer or, a station, on
    STATIONS, and has a label of its name on the same layer."""
    what = f"{STEM}.dxf"
    entities = read_layer(folder / f"{STEM}.dxf", "entities", None, False)
    marks = {}
    labels = {}
    for entity in entities:
        if entity["text"]:
            labels[entity["text"]] = entity["layer"]
        elif entity["layer"] != "OBSERVATIONS":
            position = (float(entity["x"]), float(entity["y"]))
            named = [name for name, point in points.items() if near(position, point[:2])]
            for name in named:
                marks.setdefault(name, []).append(entity["layer"])
    for name, (_, _, _, code) in points.items():
        layers = marks.get(name, [])
        if len(layers) != 1 or layers[0] not in ("STATIONS", code or "NO_CODE"):
            fail(f"{what}: {name} is drawn on the layers {layers}, its code is {code!r}")
        elif labels.get(name) != layers[0]:
            fail(f"{what}: the label of {name} is on {labels.get(name)!r}, its point on {layers[0]!r}")


def check_landxml(folder, points):
    what = f"{STEM}.xml"
    namespace = {"l": "http://www.landxml.org/schema/LandXML-1.2"}
    root = ElementTree.parse(folder / f"{STEM}.xml").getroot()
    cg_points = root.findall(".//l:CgPoint", namespace)
    if len(cg_points) != len(points):
        fail(f"{what}: {len(cg_points)} CgPoints, the JSON has {len(points)}")
    for element in cg_points:
        name = element.get("name")
        values = [float(value) for value in element.text.split()]
        # LandXML's order: northing, easting, elevation.
        position = (values[1], values[0], values[2] if len(values) > 2 else 0.0)
        if name not in points or not near(position, points[name][:3]):
            fail(f"{what}: {name} at {position}, the JSON has {points.get(name)}")
    if not root.findall(".//l:InstrumentSetup", namespace) or not root.findall(".//l:RawObservation", namespace):
        fail(f"{what}: no instrument set-ups or raw observations")


def main():
    tool, job, crs, folder = sys.argv[1], sys.argv[2], sys.argv[3], pathlib.Path(sys.argv[4])
    folder.mkdir(parents=True, exist_ok=True)
    arguments = [tool, "--quiet", "--format", "json", "-o", str(folder / "run.json"), "--crs", crs, job]
    for extension in FORMATS:
        arguments += ["--to", str(folder / f"{STEM}.{extension}")]
    run(arguments)
    points = expected_points(json.loads((folder / "run.json").read_text(encoding="utf-8")))
    if not points:
        sys.exit("the run's JSON has no coordinates to compare with")
    for extension, wgs84 in FORMATS.items():
        if extension == "dxf":
            check_dxf(folder, points)
        elif extension == "xml":
            check_landxml(folder, points)
        else:
            check_gdal(folder, extension, wgs84, crs, points)
    return finish(f"{len(FORMATS)} formats, {len(points)} points: {{}} differences")


if __name__ == "__main__":
    sys.exit(main())
