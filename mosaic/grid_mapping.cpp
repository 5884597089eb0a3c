#include "mosaic/grid_mapping.h"

#include "libs/tessmark/record_text.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace kestrova::mosaic {

namespace {

namespace rt = tessmark::record_text;

constexpr double kWgs84A = 6378137.0;
constexpr double kWgs84Rf = 298.257223563;

GridMapping noMapping(std::string reason) {
    GridMapping m;
    m.reason = std::move(reason);
    return m;
}

// A number with at most `decimals` decimals and no trailing zeros.
std::string number(double v, int decimals) {
    char buf[400]; // room for the largest double in fixed notation
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

std::string param(std::string_view name, double v, int decimals) {
    return " +" + std::string(name) + "=" + number(v, decimals);
}

// PROJ's name of an ellipsoid the settings dialog offers, so a GIS program
// shows it by name; empty for any other.
const char* ellipsoidName(double a, double rf) {
    struct Named {
        const char* name;
        double a, rf;
    };
    static constexpr Named kNamed[] = {{"WGS84", kWgs84A, kWgs84Rf},
                                       {"GRS80", 6378137.0, 298.257222101},
                                       {"krass", 6378245.0, 298.3},
                                       {"IAU76", 6378140.0, 298.257},
                                       {"clrk66", 6378206.4, 294.9786982}};
    for (const Named& n : kNamed)
        if (a == n.a && rf == n.rf) return n.name;
    return "";
}

bool finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

} // namespace

GridMapping projDefinition(const _DefGeodetsyParameterSetting& r) {
    if (r.ProjectionType < 0 || r.ProjectionType > 2)
        return noMapping("the projection type " + std::to_string(r.ProjectionType) +
                         " puts every position at 0, 0");
    const double a = rt::fieldValue(r.TargetSemimajor);
    const double rf = rt::fieldValue(r.TargetFlattening);
    const double b = rt::semiMinor(a, rf);
    const double h0 = rt::fieldValue(r.ProjectonAltitude);
    if (!finite({a, rf, h0}) || !(a > 0.0) || !(b > 0.0) || !(a + h0 > 0.0) || !(b + h0 > 0.0))
        return noMapping("the grid's ellipsoid is not one (semi-major axis " +
                         number(a, 3) + " m, inverse flattening " + number(rf, 9) + ")");

    // The grid's scale and offsets, with a plane step that only scales and
    // shifts and the final shift folded in: both act on the projected x and y.
    double k0 = rt::fieldValue(r.ScaleRadio);
    double falseNorthing = rt::fieldValue(r.NorthConst);
    double falseEasting = rt::fieldValue(r.EastConst);
    if (r.PTransType == 1) {
        const double rotation = rt::packedRotation(rt::text(r.PTransRa));
        const double scale = rt::fieldValue(r.PTransSc);
        if (rotation != 0.0)
            return noMapping("the plane transformation turns the grid by " +
                             number(rotation / rt::kDegToRad, 6) + " degrees");
        if (!std::isfinite(scale) || !(scale > 0.0))
            return noMapping("the plane transformation's scale " + number(scale, 9) +
                             " is not a positive number");
        k0 *= scale;
        falseNorthing = scale * falseNorthing + rt::fieldValue(r.PTransDx);
        falseEasting = scale * falseEasting + rt::fieldValue(r.PTransDy);
    }
    falseNorthing += rt::fieldValue(r.CTransDx);
    falseEasting += rt::fieldValue(r.CTransDy);
    if (!finite({k0, falseNorthing, falseEasting}) || !(k0 > 0.0))
        return noMapping("the grid's scale factor " + number(k0, 9) + " is not a positive number");

    // The projection surface: the target ellipsoid, enlarged by h0.
    std::string ellipsoid;
    const char* named = ellipsoidName(a, rf);
    if (h0 != 0.0)
        ellipsoid = param("a", a + h0, 6) + param("b", b + h0, 6);
    else if (*named)
        ellipsoid = std::string(" +ellps=") + named;
    else if (b == a)
        ellipsoid = param("R", a, 6);
    else
        ellipsoid = param("a", a, 6) + param("rf", rf, 12);

    // The datum. Without the seven-parameter step the engine projects the
    // positions' latitude and longitude as they come: no shift to WGS 84 is
    // known, and PROJ then keeps them as they are too.
    std::string datum;
    if (r.ETransType == 1) {
        const double sa = rt::fieldValue(r.SourceSemimajor);
        const double sb = rt::semiMinor(sa, rt::fieldValue(r.SourceFlattening));
        const double wgs84B = rt::semiMinor(kWgs84A, kWgs84Rf);
        if (!(std::fabs(sa - kWgs84A) <= 1e-3 && std::fabs(sb - wgs84B) <= 1e-3))
            return noMapping("the datum shift starts from an ellipsoid other than the "
                             "positions' WGS 84");
        if (h0 != 0.0)
            return noMapping("the projection surface lies " + number(h0, 3) +
                             " m off the shifted datum's ellipsoid");
        const double dx = rt::fieldValue(r.ETransDx), dy = rt::fieldValue(r.ETransDy),
                     dz = rt::fieldValue(r.ETransDz);
        const double rxs = rt::fieldValue(r.ETransRx), rys = rt::fieldValue(r.ETransRy),
                     rzs = rt::fieldValue(r.ETransRz);
        const double ppm = rt::fieldValue(r.ETransSc);
        const double s = 1.0 + ppm * 1e-6;
        if (!finite({dx, dy, dz, rxs, rys, rzs, s}) || !(s > 0.0))
            return noMapping("the datum shift's parameters are not numbers");
        // The engine turns WGS 84 into the grid datum with
        //   X' = s M X + T,  M = [1 Rz -Ry; -Rz 1 Rx; Ry -Rx 1]
        // (rotations of the frame). +towgs84 names the way back, grid datum to
        // WGS 84, with rotations of the position vector, whose matrix for the
        // same angles is M transposed: X = T' + s' M^T X'. PROJ undoes that
        // step for positions going into the grid through the transpose of its
        // matrix (M again), so with the same angles, s' = 1/s and
        // T' = -M^-1 T / s it computes s M X - s M T' = s M X + T, the
        // engine's own numbers. M^-1 is the engine's exact reverse.
        const double rx = rxs * rt::kArcSecToRad, ry = rys * rt::kArcSecToRad,
                     rz = rzs * rt::kArcSecToRad;
        const double q = 1.0 / (s * (1.0 + rx * rx + ry * ry + rz * rz));
        const double tx =
            -((1.0 + rx * rx) * dx - (rz - rx * ry) * dy + (rx * rz + ry) * dz) * q;
        const double ty =
            -((rx * ry + rz) * dx + (1.0 + ry * ry) * dy - (rx - ry * rz) * dz) * q;
        const double tz =
            -((ry * rz + rx) * dy - (ry - rx * rz) * dx + (1.0 + rz * rz) * dz) * q;
        const double ppmBack = (1.0 / s - 1.0) * 1e6;
        if (std::string_view(named) == "WGS84" && tx == 0.0 && ty == 0.0 && tz == 0.0 &&
            rx == 0.0 && ry == 0.0 && rz == 0.0 && ppmBack == 0.0) {
            datum = "";
        } else {
            datum = " +towgs84=" + number(tx, 6) + "," + number(ty, 6) + "," + number(tz, 6) +
                    "," + number(rxs, 9) + "," + number(rys, 9) + "," + number(rzs, 9) + "," +
                    number(ppmBack, 9);
        }
    }
    if (datum.empty() && h0 == 0.0 && std::string_view(named) == "WGS84")
        ellipsoid = " +datum=WGS84";

    const double centralMeridian =
        std::remainder(rt::packedLongitude(rt::text(r.CentralMeridian)), 360.0);
    if (!std::isfinite(centralMeridian))
        return noMapping("the central meridian is not a longitude");
    std::string projection;
    switch (r.ProjectionType) {
    case 0:
    case 1: {
        // Both series are the transverse Mercator, the meridian arc from the equator.
        const double zone = (centralMeridian + 183.0) / 6.0;
        const bool utm = k0 == 0.9996 && falseEasting == 500000.0 &&
                         (falseNorthing == 0.0 || falseNorthing == 10000000.0) &&
                         zone == std::floor(zone) && zone >= 1.0 && zone <= 60.0;
        if (utm) {
            projection = "+proj=utm +zone=" + number(zone, 0) +
                         (falseNorthing != 0.0 ? " +south" : "");
        } else {
            projection = "+proj=tmerc +lat_0=0" + param("lon_0", centralMeridian, 12) +
                         param("k", k0, 12) + param("x_0", falseEasting, 6) +
                         param("y_0", falseNorthing, 6);
        }
        break;
    }
    case 2: {
        // The engine's scale is k0 times the radius of the parallel of true
        // scale over the (enlarged) semi-major axis.
        const double trueScale = rt::packedLatitude(rt::text(r.DatumLatitude));
        if (!(std::fabs(trueScale) < 90.0))
            return noMapping("the Mercator's latitude of true scale " + number(trueScale, 6) +
                             " is not a latitude");
        projection = "+proj=merc" + param("lon_0", centralMeridian, 12);
        if (trueScale == 0.0) {
            projection += param("k", k0, 12);
        } else if (k0 == 1.0) {
            projection += param("lat_ts", trueScale, 12);
        } else {
            const double pa = a + h0, pb = b + h0;
            const double e2 = 1.0 - (pb / pa) * (pb / pa);
            const double sinB0 = std::sin(trueScale * rt::kDegToRad);
            const double radius =
                std::cos(trueScale * rt::kDegToRad) / std::sqrt(1.0 - e2 * sinB0 * sinB0);
            projection += param("k", k0 * radius, 15);
        }
        projection += param("x_0", falseEasting, 6) + param("y_0", falseNorthing, 6);
        break;
    }
    default:
        break;
    }

    GridMapping m;
    m.mapped = true;
    m.definition = projection + ellipsoid + datum + " +units=m +no_defs";
    return m;
}

} // namespace kestrova::mosaic
