// Each kind of item's fields after its name, listed once for whatever goes through them all: the
// packed file packs and reads them back, the sink clears them for the next item. The host's
// items and the packed views share the field names.
#pragma once

namespace host {

template <class Station, class Field> void StationFields(Station& s, Field field) {
    field(s.temperature);
    field(s.pressure);
    field(s.instrumentHeight);
    field(s.line);
}

template <class Observation, class Field> void ObservationFields(Observation& o, Field field) {
    field(o.targetHeight);
    field(o.slopeDistance);
    field(o.horizontalAngle);
    field(o.verticalAngle);
    field(o.faceRight);
    field(o.code);
    field(o.line);
}

template <class Point, class Field> void PointFields(Point& p, Field field) {
    field(p.northing);
    field(p.easting);
    field(p.elevation);
    field(p.resectionPoint);
    field(p.attribute);
    field(p.code);
    field(p.line);
}

} // namespace host
