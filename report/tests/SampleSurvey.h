// Surveys built from chosen geometry for the report's tests: points are placed first and each
// station's readings are what an instrument set up there would record.
#pragma once

#include "survey/Adjusted.h"
#include "survey/Survey.h"

#include <vector>

namespace report::testing {

// A traverse of four stations with side shots and a cluster of close points; one round is beyond
// tolerance and the texts carry markup characters.
survey::FileSurvey SmallTraverse();

// `stations` set-ups along a serpentine traverse, each with `shotsPerStation` side shots.
survey::FileSurvey LargeJob(int stations, int shotsPerStation);

// A file as the run reports it when nothing could be read from it.
survey::FileSurvey FailedFile(const char* path, const char* outcome, const char* message);

// The file as an adjustment leaves it: every computed point gains standard deviations and a 95 %
// ellipse, each a little larger than the one before, turned 30 degrees further.
void Adjust(survey::FileSurvey& file);

// The adjustment of a run: one traverse closure and one flagged observation, with markup in its texts.
survey::AdjustmentSummary SampleAdjustment();

// The sample run: the traverse, a file that cannot be opened and one without records.
std::vector<survey::FileSurvey> SampleRun();

} // namespace report::testing
