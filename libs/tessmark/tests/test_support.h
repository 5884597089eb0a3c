#pragma once
// Small helpers shared by the engine tests.

#include "libs/tessmark/engine_handle.h"

#include <cmath>
#include <cstring>
#include <string>

namespace kestrova::tessmark::test {

template <std::size_t N> void setText(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

// Geographic to geocentric, written out here from the textbook formula so the
// datum tests do not lean on the engine's own.
struct Geocentric {
    double X, Y, Z;
};
inline Geocentric geocentric(double a, double inverseFlattening, double latDeg, double lonDeg,
                             double h) {
    const double pi = 3.14159265358979323846;
    const double f = 1.0 / inverseFlattening;
    const double e2 = f * (2.0 - f);
    const double B = latDeg * pi / 180.0;
    const double L = lonDeg * pi / 180.0;
    const double N = a / std::sqrt(1.0 - e2 * std::sin(B) * std::sin(B));
    return {(N + h) * std::cos(B) * std::cos(L), (N + h) * std::cos(B) * std::sin(L),
            (N * (1.0 - e2) + h) * std::sin(B)};
}

// Ground distance in metres between two geographic positions close together.
inline double groundMetres(double lat1, double lon1, double lat2, double lon2) {
    const double pi = 3.14159265358979323846;
    const double perDegree = 6371000.0 * pi / 180.0;
    double dLon = std::fabs(lon1 - lon2);
    if (dLon > 180.0) dLon = 360.0 - dLon;
    return std::hypot((lat1 - lat2) * perDegree, dLon * perDegree * std::cos(lat1 * pi / 180.0));
}

} // namespace kestrova::tessmark::test
