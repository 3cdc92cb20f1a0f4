#!/usr/bin/env python3
"""Opens what rdf-import writes with readers other than the library that wrote it, as GIS and CAD
users would: every LandXML validated against the LandXML 1.2 schema by libxml2 (xmllint), every
GeoPackage by GDAL's validate_gpkg, every DXF audited and read back by ezdxf (units, layer names,
labels beside their points), and every Shapefile's DBF read back here from its bytes. A CP1251 job
with Cyrillic names and codes and names CAD would take as formatting is written for the purpose.

usage: check-readers.py RDF_IMPORT EXAMPLES_FOLDER OUTPUT_FOLDER [--schema XSD] [--picture PNG]
  --schema   the LandXML 1.2 schema; without it (or where it is absent) LandXML is not validated
  --picture  renders the traverse's drawing with LibreCAD to this PNG and checks it is not blank
"""
import argparse
import json
import math
import pathlib
import sqlite3
import struct
import subprocess
import sys

import ezdxf
from ezdxf.tools.text import plain_mtext
from osgeo import gdal, ogr
from osgeo_utils.samples import validate_gpkg

from checks import fail, finish, run

ogr.UseExceptions()
FORBIDDEN_IN_LAYERS = set('<>/\\":;?*|=`,')
LABEL_SHARE_OF_EXTENT = 100  # the default label height is a hundredth of the drawing's extent
TOLERANCE = 0.001
STATION_FIELDS = ["name", "file", "elevation", "inst_hgt", "temp", "pressure", "orient", "orient_res"]

# A job in CP1251 on chosen coordinates: a station on a known mark, sighting Cyrillic names and codes,
# names MTEXT would take as formatting, codes CAD forbids or limits, and a mark without an elevation.
LONG_CODE = "Очень длинный код " * 20  # 360 letters: past CAD's 255 characters and GDAL's limits
HOSTILE_JOB = f"""CO,Nikon RAW data format V2.00
CO,Угодья
CO,Dist Units: Metres
CO,Angle Units: DDDMMSS
CO,Coord Order: NEZ
CO,HA Raw data: Azimuth
MP,ОП1,,1000.000,2000.000,100.000,репер
MP,ОП2,,1100.000,2000.000,101.000,репер
MP,ОП3,,1050.000,2080.000,,межа
ST,ОП1,,ОП2,,1.500,0.0000,0.0000
F1,ОП2,1.500,100.005,0.0000,89.2534
SS,Угол1,1.500,50.000,45.0000,90.0000,,угол здания
SS,a\\,1.500,40.000,90.0000,90.0000,,TREE/OAK
SS,{{\\C1;red}},1.500,30.000,135.0000,90.0000,,tree_oak
SS,50%%c,1.500,20.000,180.0000,90.0000,,{LONG_CODE}
SS,x^Iy,1.500,25.000,200.0000,90.0000,,{LONG_CODE}Б
SS,Столб2,1.500,35.000,300.0000,90.0000,,угол здания
"""


def write_job(tool, jobs, folder, stem, extensions, options=()):
    """Runs rdf-import once: its JSON and one file of each extension. Returns the JSON's files."""
    folder.mkdir(parents=True, exist_ok=True)
    arguments = [tool, "--quiet", "--format", "json", "-o", folder / f"{stem}.json", *options, *jobs]
    for extension in extensions:
        arguments += ["--to", folder / f"{stem}.{extension}"]
    run(arguments)
    return json.loads((folder / f"{stem}.json").read_text(encoding="utf-8"))["files"]


def check_landxml(path, schema):
    result = subprocess.run(["xmllint", "--noout", "--nonet", "--schema", schema, path],
                            capture_output=True, text=True)
    if result.returncode != 0:
        fail(f"{path.name}: not valid against the LandXML 1.2 schema:\n{result.stderr}")


def check_geopackage(path):
    errors = validate_gpkg.check(str(path), abort_at_first_error=False, extra_checks=True,
                                 warning_msg=False)
    for error in errors:
        fail(f"{path.name}: validate_gpkg: {error}")
    # Plane coordinates without a system are in the undefined Cartesian one, not the geographic one.
    with sqlite3.connect(path) as database:
        systems = {row[0] for row in database.execute("SELECT srs_id FROM gpkg_geometry_columns")}
    if systems != {-1}:
        fail(f"{path.name}: the layers' srs_id {sorted(systems)}, expected -1")


def read_dbf(path):
    """The records of a dBASE III file as dictionaries of text, decoded as its .cpg says."""
    encoding = path.with_suffix(".cpg").read_text().strip() if path.with_suffix(".cpg").exists() else "latin-1"
    data = path.read_bytes()
    count, header_size, record_size = struct.unpack("<IHH", data[4:12])
    fields = []
    for offset in range(32, header_size - 1, 32):
        name = data[offset:offset + 11].split(b"\0")[0].decode("ascii")
        fields.append((name, data[offset + 16]))
    records = []
    for index in range(count):
        start = header_size + index * record_size + 1  # after the deletion flag
        record = {}
        for name, size in fields:
            record[name] = data[start:start + size].decode(encoding).strip()
            start += size
        records.append(record)
    return encoding, fields, records


def check_shapefile(path, files):
    encoding, fields, records = read_dbf(path.with_suffix(".dbf"))
    if encoding.upper() != "UTF-8":
        fail(f"{path.name}: its .cpg says {encoding!r}, not UTF-8")
    names = [name for name, _ in fields]
    if len(set(names)) != len(names) or any(len(name) > 10 for name in names):
        fail(f"{path.name}: field names not unique within ten characters: {names}")
    # The stations' fields, whose long names GDAL would cut to "orientatio" and "orientat_1".
    _, station_fields, _ = read_dbf(path.with_name(f"{path.stem}_stations.dbf"))
    if [name for name, _ in station_fields] != STATION_FIELDS:
        fail(f"{path.name}: the stations' fields are {station_fields}")
    expected = {(point["name"], point.get("code", "")) for file in files for point in file["coordinates"]}
    read = {(record["name"], record["code"]) for record in records}
    if read != expected:
        fail(f"{path.name}: names and codes {sorted(read - expected)} where the run has "
             f"{sorted(expected - read)}")


def layer_fits_code(layer, code):
    """A code CAD takes as it is names its layer, or another code took the name (~2, ~3, ...)."""
    if not code:
        return layer == "NO_CODE"
    if len(code.encode()) > 255 or FORBIDDEN_IN_LAYERS & set(code):
        return True
    return layer == code or layer.startswith(code + "~")


def check_layers(what, document, codes_by_layer):
    names = [layer.dxf.name for layer in document.layers]
    if len({name.casefold() for name in names}) != len(names):
        fail(f"{what}: layer names differ only in case: {names}")
    for name in names:
        if len(name) > 255 or FORBIDDEN_IN_LAYERS & set(name) or any(ord(c) < 32 for c in name):
            fail(f"{what}: the layer name {name[:40]!r}... is not valid in CAD")
    for layer, codes in codes_by_layer.items():
        if len(codes) != 1:
            fail(f"{what}: the codes {sorted(codes)} share the layer {layer!r}")
        code = next(iter(codes))
        if not layer_fits_code(layer, code):
            fail(f"{what}: the code {code!r} is on the layer {layer!r}")


def check_dxf(path, files, ins_units, measurement, label_height=None):
    """Audits the drawing and reads its units, layers and labels back; labels sit with their lower
    left corner half their height up and right of their point."""
    what = path.name
    try:
        document = ezdxf.readfile(path)
    except ezdxf.DXFStructureError as error:
        fail(f"{what}: ezdxf cannot read it: {error}")
        return
    auditor = document.audit()
    for error in auditor.errors:
        fail(f"{what}: ezdxf audit: {error.message}")
    for variable, expected in (("$INSUNITS", ins_units), ("$MEASUREMENT", measurement)):
        if document.header.get(variable) != expected:
            fail(f"{what}: {variable} is {document.header.get(variable)}, expected {expected}")
    points = {point["name"]: point for file in files for point in file["coordinates"]}
    stations = {station["name"] for file in files for station in file["reduction"]["stations"]
                if "northing" in station}
    extent = max(max(p[axis] for p in points.values()) - min(p[axis] for p in points.values())
                 for axis in ("easting", "northing"))
    height = label_height or extent / LABEL_SHARE_OF_EXTENT
    modelspace = document.modelspace()
    labels = {}
    codes_by_layer = {}
    for text in modelspace.query("MTEXT"):
        name = plain_mtext(text.text)
        layer = text.dxf.layer
        labels[name] = layer
        point = points.get(name)
        if point is None:
            fail(f"{what}: a label {name!r} names no point of the run")
            continue
        expected_layer = "STATIONS" if name in stations else None
        if expected_layer and layer != expected_layer:
            fail(f"{what}: the station {name} is labelled on {layer!r}")
        if not expected_layer:
            codes_by_layer.setdefault(layer, set()).add(point.get("code", ""))
        corner = (point["easting"] + height / 2, point["northing"] + height / 2)
        insert = text.dxf.insert
        if math.dist(corner, (insert.x, insert.y)) > TOLERANCE or abs(text.dxf.char_height - height) > TOLERANCE \
                or text.dxf.attachment_point != 7:
            fail(f"{what}: the label {name} at {insert} height {text.dxf.char_height}, expected its lower "
                 f"left corner at {corner}, height {height}")
    if set(labels) != set(points):
        fail(f"{what}: labels {sorted(labels)}, the run's points {sorted(points)}")
    marks = list(modelspace.query("POINT"))
    if len(marks) != len(points):
        fail(f"{what}: {len(marks)} POINT entities for {len(points)} points: each is drawn once")
    check_layers(what, document, codes_by_layer)
    # GDAL reads it back too, with the same layer names. GDAL 3.6 takes the text of a DXF of
    # AutoCAD 2007 and later, UTF-8 by definition, in the code page its header names, unless told.
    gdal.SetConfigOption("DXF_ENCODING", "UTF-8")
    dataset = ogr.Open(str(path))  # held while its layer is read
    gdal_layers = {feature.GetField("Layer") for feature in dataset.GetLayer(0)}
    if gdal_layers != {entity.dxf.layer for entity in modelspace}:
        fail(f"{what}: GDAL reads the layers {sorted(gdal_layers)}")


def render(dxf, picture):
    """The drawing through LibreCAD to PDF and poppler to PNG; not blank if some of it is ink."""
    # dxf2pdf names the PDF after the drawing, in the folder given.
    run(["xvfb-run", "-a", "librecad", "dxf2pdf", "-a", "-m", "-t", picture.parent, dxf])
    pdf = picture.parent / f"{dxf.stem}.pdf"
    gray = picture.with_suffix("")
    run(["pdftoppm", "-scale-to", "1200", "-gray", "-singlefile", pdf, gray])
    run(["pdftoppm", "-scale-to", "1200", "-png", "-singlefile", pdf, gray])
    data = gray.with_suffix(".pgm").read_bytes()
    header = data.split(maxsplit=4)  # P5, width, height, maximum, pixels
    pixels = header[4][-int(header[1]) * int(header[2]):]
    ink = sum(1 for value in pixels if value < 128)
    if ink < len(pixels) / 1000:
        fail(f"{picture.name}: the rendered drawing is blank ({ink} dark pixels)")
    return ink, len(pixels)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("examples", type=pathlib.Path)
    parser.add_argument("output", type=pathlib.Path)
    parser.add_argument("--schema", type=pathlib.Path)
    parser.add_argument("--picture", type=pathlib.Path)
    arguments = parser.parse_args()
    tool, examples, output = arguments.tool, arguments.examples, arguments.output
    schema = arguments.schema if arguments.schema and arguments.schema.exists() else None
    if schema is None:
        print("no LandXML schema: LandXML is not validated")
    all_formats = ("xml", "gpkg", "dxf", "shp")
    hostile = output / "hostile.rdf"
    output.mkdir(parents=True, exist_ok=True)
    hostile.write_bytes(HOSTILE_JOB.encode("cp1251"))
    # The same without the long codes, which no Shapefile holds.
    cyrillic = output / "cyrillic.rdf"
    cyrillic.write_bytes("".join(line for line in HOSTILE_JOB.splitlines(keepends=True)
                                 if LONG_CODE not in line).encode("cp1251"))

    # Each job in every format, local metres; two jobs of different units in one file; the traverse
    # in systems of feet and US survey feet, whose drawings say so.
    runs = [(job, [examples / f"{job}.rdf"], []) for job in ("hand-written", "closed-traverse", "resection")]
    runs.append(("hostile", [hostile], ["--encoding", "CP1251"]))
    runs.append(("cyrillic", [cyrillic], ["--encoding", "CP1251"]))
    runs.append(("two-jobs", [examples / "hand-written.rdf", examples / "feet-gons.rdf"], []))
    for stem, jobs, options in runs:
        formats = [extension for extension in all_formats if stem != "hostile" or extension != "shp"]
        files = write_job(tool, jobs, output, stem, formats, options)
        if schema:
            check_landxml(output / f"{stem}.xml", schema)
        check_geopackage(output / f"{stem}.gpkg")
        if stem != "hostile":
            check_shapefile(output / f"{stem}.shp", files)
        if stem != "two-jobs":  # a run of jobs in two units has no one unit for its drawing
            check_dxf(output / f"{stem}.dxf", files, 6, 1)
    # A code too long for a DBF field fails the Shapefile and leaves none behind.
    refused = subprocess.run([tool, "--quiet", "--encoding", "CP1251", "--to", output / "long.shp", hostile],
                             capture_output=True, text=True)
    if refused.returncode != 1 or "Shapefile" not in refused.stderr or (output / "long.shp").exists():
        fail(f"long.shp: exit status {refused.returncode}, {refused.stderr!r}")
    files = write_job(tool, [examples / "hand-written.rdf"], output, "labels", ["dxf"], ["--label-height", "0.75"])
    check_dxf(output / "labels.dxf", files, 6, 1, label_height=0.75)
    for stem, crs, ins_units in (("usft", "EPSG:2263", 21), ("ft", "EPSG:2222", 2)):
        write_job(tool, [examples / "hand-written.rdf"], output, stem, ["dxf", "xml"], ["--crs", crs])
        document = ezdxf.readfile(output / f"{stem}.dxf")
        if (document.header.get("$INSUNITS"), document.header.get("$MEASUREMENT")) != (ins_units, 0):
            fail(f"{stem}.dxf: $INSUNITS {document.header.get('$INSUNITS')}, expected {ins_units} and 0")
        if schema:
            check_landxml(output / f"{stem}.xml", schema)
    if arguments.picture:
        arguments.picture.parent.mkdir(parents=True, exist_ok=True)
        ink, pixels = render(output / "hand-written.dxf", arguments.picture)
        print(f"{arguments.picture.name}: {ink} of {pixels} pixels dark")

    return finish(f"{len(runs) + 3} runs read back by independent readers: {{}} failures")


if __name__ == "__main__":
    sys.exit(main())
