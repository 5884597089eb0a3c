#pragma once
// A small runner for geodesy test tables in the style of PROJ's .gie files:
//
//   operation  <title>              a new case, starting from the program defaults
//   set        <Field> <value>      a record field by its name (text or integer)
//   direction  forward|inverse      forward: B L H -> x y h; inverse: x y h -> B L H
//   tolerance  <value> mm|m         for the following expect lines
//   accept     <a> <b> <c>          input (angles decimal or D:M:S with N/S/E/W)
//   expect     <a> <b> <c>          expected output for the last accept
//   roundtrip  <value> mm|m         there and back from the last accept
//
// Angle errors are weighed in metres on the ground so one tolerance serves both.

#include "libs/tessmark/geodetic_record.h"

#include <string>
#include <vector>

namespace kestrova::tessmark::test {

struct GieFailure {
    int line;
    std::string message;
};

struct GieResult {
    int checks = 0;
    std::vector<GieFailure> failures;
};

GieResult runGieFile(const std::string& path);

// Sets a record field by its name; false for an unknown name.
bool setRecordField(_DefGeodetsyParameterSetting& record, const std::string& name,
                    const std::string& value);

// "52:39:27.2531N", "-37:57:03.7203", "144.5", "1.5W".
bool parseAngle(const std::string& text, double& degrees);

} // namespace kestrova::tessmark::test
