#include "survey/tests/TraverseBook.h"

#include "survey/Geometry.h"

#include <cmath>

namespace survey::testing {
namespace {

constexpr double kInstrumentHeight = 1.520;
constexpr double kTargetHeight = 1.800;

} // namespace

PlacedTraverse PlaceTraverse(TraverseShape shape) {
    PlacedTraverse placed;
    const Spot a{"A", 5000.000, 3000.000, 101.250};
    const Spot reference{"R", 5310.412, 2920.118, 104.030};
    placed.control = {a, reference};
    placed.sideShots = {{"S1", 5120.331, 3105.224, 102.870},
                        {"S2", 5051.640, 3260.402, 99.115},
                        {"S3", 4930.775, 3190.008, 100.442}};
    if (shape == TraverseShape::Loop) {
        placed.stations = {a,
                           {"T1", 5140.221, 3060.318, 102.410},
                           {"T2", 5102.904, 3221.776, 100.960},
                           {"T3", 4961.380, 3248.105, 99.725},
                           {"T4", 4890.512, 3118.644, 100.180}};
        return placed;
    }
    const Spot b{"B", 4880.615, 3702.330, 97.480};
    const Spot closing{"C", 4702.907, 3905.772, 95.310};
    placed.control.push_back(b);
    placed.control.push_back(closing);
    placed.stations = {a,
                       {"T1", 5095.117, 3175.402, 102.410},
                       {"T2", 5070.650, 3380.903, 100.960},
                       {"T3", 4955.220, 3540.184, 99.725},
                       b};
    return placed;
}

FieldBook SurveyTraverse(const PlacedTraverse& placed, TraverseShape shape, const ReadingErrors& errors,
                         double longer, const Conventions& conventions) {
    FieldBook book(conventions);
    for (const Spot& spot : placed.control)
        book.Control(spot);
    book.Disturb(errors.direction, errors.zenith, errors.distance, errors.seed);
    const std::vector<Spot>& chain = placed.stations;
    const std::size_t n = chain.size();
    const bool loop = shape == TraverseShape::Loop;
    for (std::size_t i = 0; i < n; ++i) {
        const Spot& back = i == 0 ? placed.control[1] : chain[i - 1];
        book.SetUp(chain[i], kInstrumentHeight, back, 0.7 * static_cast<double>(i));
        book.Faces(back, kTargetHeight);
        if (i + 1 < n)
            book.Faces(chain[i + 1], kTargetHeight);
        else if (loop)
            book.Faces(chain[0], kTargetHeight);
        else
            book.Faces(placed.control.back(), kTargetHeight);
        if (i == 0 && loop)
            book.Faces(chain[n - 1], kTargetHeight);
        // The side shots: each of the first stations sees one, and the first is seen twice more.
        if (i >= 1 && i <= placed.sideShots.size())
            book.SideShot(placed.sideShots[i - 1], kTargetHeight, "TREE");
        if (i == 2 || i == 3) {
            Spot blundered = placed.sideShots[0];
            const double along = longer / std::hypot(blundered.northing - chain[i].northing,
                                                     blundered.easting - chain[i].easting);
            if (i == 3) {
                blundered.northing += (blundered.northing - chain[i].northing) * along;
                blundered.easting += (blundered.easting - chain[i].easting) * along;
            }
            book.SideShot(blundered, kTargetHeight, "TREE");
        }
    }
    return book;
}

} // namespace survey::testing
