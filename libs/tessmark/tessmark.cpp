// The conversion chain between a fix's geographic coordinates and the
// project's grid: datum transformation (Bursa-Wolf, seven parameters), map
// projection (two transverse Mercator series or Mercator), plane similarity
// transformation, height fitting and the final translation.

#include "libs/tessmark/tessmark.h"

#include "libs/tessmark/record_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

namespace {

using namespace kestrova::tessmark::record_text;

constexpr double kHalfPi = kPi / 2.0;
constexpr double kQuarterPi = kPi / 4.0;

// A bad fix (NaN, or an ellipsoid typed as 0) would otherwise keep the
// navigation thread in the latitude iterations forever. Valid ellipsoids
// converge in well under ten steps.
constexpr int kMaxIterations = 60;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Longitude difference brought into [-180, 180].
double wrapLongitude(double d) {
    if (d > 180.0 || d < -180.0) d = std::remainder(d, 360.0);
    return d;
}

} // namespace

CCoordinateCal::CCoordinateCal() {
    std::memset(&m_Setting, 0, sizeof m_Setting);
    std::memset(&m_Cal, 0, sizeof m_Cal);
}

CCoordinateCal::CCoordinateCal(const CCoordinateCal& other) : Tessmark(other) {
    std::lock_guard<std::mutex> lock(other.m_Lock);
    m_Setting = other.m_Setting;
    m_Cal = other.m_Cal;
}

CCoordinateCal& CCoordinateCal::operator=(const CCoordinateCal& other) {
    if (this == &other) return *this;
    _DefGeodetsyParameterSetting setting;
    CalValues cal;
    {
        std::lock_guard<std::mutex> lock(other.m_Lock);
        setting = other.m_Setting;
        cal = other.m_Cal;
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Setting = setting;
    m_Cal = cal;
    return *this;
}

CCoordinateCal::~CCoordinateCal() = default;

void CCoordinateCal::SetGeodetsyParameter(_DefGeodetsyParameterSetting setting) {
    // Derive outside the lock; the swap under it is what a conversion can see.
    CalValues cal;
    std::memset(&cal, 0, sizeof cal);
    ParameterConvertSettingToCal(setting, cal);
    cal.paraSet = 1;
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Setting = setting;
    m_Cal = cal;
}

_DefGeodetsyParameterSetting CCoordinateCal::GetGeodetsyParameter() {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Setting;
}

CCoordinateCal::CalValues CCoordinateCal::snapshot() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Cal;
}

void CCoordinateCal::ParameterConvertSettingToCal(const _DefGeodetsyParameterSetting& s,
                                                  CalValues& c) {
    c.sourceEllipsoid = s.SourceEllipsoid;
    c.sourceA = fieldValue(s.SourceSemimajor);
    c.sourceB = semiMinor(c.sourceA, fieldValue(s.SourceFlattening));
    c.targetEllipsoid = s.TargetEllipsoid;
    c.targetA = fieldValue(s.TargetSemimajor);
    c.targetB = semiMinor(c.targetA, fieldValue(s.TargetFlattening));

    c.projectionType = s.ProjectionType;
    c.addBandnumber = s.AddBandnumber;
    c.positiveSouth = s.PositiveSouth;
    c.positiveWest = s.PositiveWest;
    c.centralMeridian = packedLongitude(text(s.CentralMeridian));
    c.northConst = fieldValue(s.NorthConst);
    c.eastConst = fieldValue(s.EastConst);
    c.scale = fieldValue(s.ScaleRadio);
    c.projectionAltitude = fieldValue(s.ProjectonAltitude);
    c.datumLatitude = packedLatitude(text(s.DatumLatitude));
    c.northParallel = packedLatitude(text(s.NorthParallel));
    c.southParallel = packedLatitude(text(s.SouthParallel));
    c.skewAzimuth = fieldValue(s.SkewAzimuth);

    c.datumType = s.ETransType;
    c.dX = fieldValue(s.ETransDx);
    c.dY = fieldValue(s.ETransDy);
    c.dZ = fieldValue(s.ETransDz);
    c.rX = fieldValue(s.ETransRx) * kArcSecToRad;
    c.rY = fieldValue(s.ETransRy) * kArcSecToRad;
    c.rZ = fieldValue(s.ETransRz) * kArcSecToRad;
    c.datumScale = fieldValue(s.ETransSc) * 1e-6;

    c.planeType = s.PTransType;
    c.planeNorthDR = s.PTransNorthDR;
    c.planeEastDR = s.PTransEastDR;
    c.planeDx = fieldValue(s.PTransDx);
    c.planeDy = fieldValue(s.PTransDy);
    c.planeRotation = packedRotation(text(s.PTransRa));
    c.planeScale = fieldValue(s.PTransSc);
    c.planeONorth = fieldValue(s.PTransONorth);
    c.planeOEast = fieldValue(s.PTransOEast);

    c.fittingType = s.HFittingType;
    c.fitA = fieldValue(s.HFittingA);
    c.fitB = fieldValue(s.HFittingB);
    c.fitC = fieldValue(s.HFittingC);
    c.fitD = fieldValue(s.HFittingD);
    c.fitE = fieldValue(s.HFittingE);
    c.fitF = fieldValue(s.HFittingF);
    c.fitX0 = fieldValue(s.HFittingX0);
    c.fitY0 = fieldValue(s.HFittingY0);

    c.shiftX = fieldValue(s.CTransDx);
    c.shiftY = fieldValue(s.CTransDy);
    c.shiftH = fieldValue(s.CTransDz);
}

void CCoordinateCal::BLHtoxyh(double B, double L, double H, double& x, double& y, double& h) {
    const CalValues cal = snapshot();
    if (!cal.paraSet) {
        // No record yet: no number is better than a plausible wrong one.
        x = y = h = kNaN;
        return;
    }
    if (cal.datumType == 1) EllipsoidTransCal_7P(cal, B, L, H, B, L, H);
    double px = 0.0;
    double py = 0.0;
    ProjectionCal(cal, B, L, px, py);
    if (cal.planeType == 1) PlaneTransCal_4P(cal, px, py, px, py);
    H = HeightfittingCal(cal, px, py, H, cal.fittingType);
    CoordinateTranslateCal(cal, px, py, H, x, y, h);
}

void CCoordinateCal::xyhtoBLH(double x, double y, double h, double& B, double& L, double& H) {
    const CalValues cal = snapshot();
    if (!cal.paraSet) {
        B = L = H = kNaN;
        return;
    }
    CoordinateTranslateCal_Reverse(cal, x, y, h, x, y, h);
    h = HeightfittingCal_Reverse(cal, x, y, h, cal.fittingType);
    if (cal.planeType == 1) PlaneTransCal_4P_Reverse(cal, x, y, x, y);
    double gB = 0.0;
    double gL = 0.0;
    ProjectionCal_Reverse(cal, x, y, gB, gL);
    if (cal.datumType == 1) {
        EllipsoidTransCal_7P_Reverse(cal, gB, gL, h, B, L, H);
    } else {
        B = gB;
        L = gL;
        H = h;
    }
}

void CCoordinateCal::EllipsoidTransCal_7P(const CalValues& c, double B, double L, double H,
                                          double& outB, double& outL, double& outH) {
    double X = 0.0, Y = 0.0, Z = 0.0;
    BLHtoXYZ(c.sourceA, c.sourceB, B, L, H, X, Y, Z);
    Transform7P(X, Y, Z, c.dX, c.dY, c.dZ, c.rX, c.rY, c.rZ, c.datumScale, X, Y, Z);
    XYZtoBLH(c.targetA, c.targetB, X, Y, Z, outB, outL, outH);
}

void CCoordinateCal::EllipsoidTransCal_7P_Reverse(const CalValues& c, double B, double L, double H,
                                                  double& outB, double& outL, double& outH) {
    double X = 0.0, Y = 0.0, Z = 0.0;
    BLHtoXYZ(c.targetA, c.targetB, B, L, H, X, Y, Z);
    Transform7P_Reverse(X, Y, Z, c.dX, c.dY, c.dZ, c.rX, c.rY, c.rZ, c.datumScale, X, Y, Z);
    XYZtoBLH(c.sourceA, c.sourceB, X, Y, Z, outB, outL, outH);
}

void CCoordinateCal::BLHtoXYZ(double a, double b, double B, double L, double H, double& X,
                              double& Y, double& Z) {
    const double e2 = 1.0 - (b / a) * (b / a);
    const double rB = B * kDegToRad;
    const double rL = L * kDegToRad;
    const double sinB = std::sin(rB);
    const double cosB = std::cos(rB);
    const double N = a / std::sqrt(1.0 - e2 * sinB * sinB);
    X = (N + H) * cosB * std::cos(rL);
    Y = (N + H) * cosB * std::sin(rL);
    Z = (N * (1.0 - e2) + H) * sinB;
}

void CCoordinateCal::XYZtoBLH(double a, double b, double X, double Y, double Z, double& B,
                              double& L, double& H) {
    const double e2 = 1.0 - (b / a) * (b / a);
    const double P = std::sqrt(X * X + Y * Y);
    const bool onX = std::fabs(X) <= 1e-15;
    const bool onY = std::fabs(Y) <= 1e-15;
    if (onX && onY) {
        L = 0.0;
        B = Z > 0.0 ? 90.0 : -90.0;
        H = std::fabs(Z) - b;
        return;
    }
    if (onY) {
        L = X > 0.0 ? 0.0 : 180.0;
    } else if (onX) {
        L = Y > 0.0 ? 90.0 : -90.0;
    } else {
        L = std::atan(Y / X) / kDegToRad;
        if (X < 0.0) L += Y < 0.0 ? -180.0 : 180.0;
    }

    double t = (1.0 + e2) * Z / P;
    double rB = std::atan(t);
    for (int i = 0; i < kMaxIterations; ++i) {
        t = (e2 * a * t / std::sqrt((1.0 - e2) * t * t + 1.0) + Z) / P;
        const double next = std::atan(t);
        const bool done = std::fabs(next - rB) <= 1e-15;
        rB = next;
        if (done) break;
    }
    const double sinB = std::sin(rB);
    const double N = a / std::sqrt(1.0 - e2 * sinB * sinB);
    // Near the poles P / cos B divides two vanishing numbers; a fix at 90
    // degrees would get a height off by kilometres. Z / sin B is the same
    // height, well conditioned there.
    if (std::fabs(rB) <= kQuarterPi) {
        H = P / std::cos(rB) - N;
    } else {
        H = Z / sinB - N * (1.0 - e2);
    }
    B = rB / kDegToRad;
}

void CCoordinateCal::Transform7P(double X, double Y, double Z, double dX, double dY, double dZ,
                                 double rX, double rY, double rZ, double m, double& outX,
                                 double& outY, double& outZ) {
    const double s = 1.0 + m;
    const double nX = (X + rZ * Y - rY * Z) * s + dX;
    const double nY = (-rZ * X + Y + rX * Z) * s + dY;
    const double nZ = (rY * X - rX * Y + Z) * s + dZ;
    outX = nX;
    outY = nY;
    outZ = nZ;
}

void CCoordinateCal::Transform7P_Reverse(double X, double Y, double Z, double dX, double dY,
                                         double dZ, double rX, double rY, double rZ, double m,
                                         double& outX, double& outY, double& outZ) {
    const double s = 1.0 + m;
    const double u = X - dX;
    const double v = Y - dY;
    const double w = Z - dZ;
    const double q = 1.0 / (s * (1.0 + rX * rX + rY * rY + rZ * rZ));
    outX = ((1.0 + rX * rX) * u - (rZ - rX * rY) * v + (rX * rZ + rY) * w) * q;
    outY = ((rX * rY + rZ) * u + (1.0 + rY * rY) * v - (rX - rY * rZ) * w) * q;
    outZ = ((rY * rZ + rX) * v - (rY - rX * rZ) * u + (1.0 + rZ * rZ) * w) * q;
}

namespace {

// The target ellipsoid enlarged by the height of the projection surface.
struct ProjectionEllipsoid {
    double a, b, e2, ep2, c;
};

ProjectionEllipsoid projectionEllipsoid(const CCoordinateCal::CalValues& cal) {
    ProjectionEllipsoid p{};
    p.a = cal.targetA + cal.projectionAltitude;
    p.b = cal.targetB + cal.projectionAltitude;
    p.e2 = 1.0 - (p.b / p.a) * (p.b / p.a);
    p.ep2 = (p.a / p.b) * (p.a / p.b) - 1.0;
    p.c = p.a * p.a / p.b;
    return p;
}

// Radius of the parallel of true scale for Mercator.
double mercatorRadius(const ProjectionEllipsoid& p, double datumLatitude) {
    const double cosB0 = std::cos(datumLatitude * kDegToRad);
    return cosB0 * p.c / std::sqrt(1.0 + p.ep2 * cosB0 * cosB0);
}

// Meridian arc from the equator to latitude rB (radians), the series to e^6.
double meridianArc(const ProjectionEllipsoid& p, double rB) {
    const double e2 = p.e2;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    return p.a * ((1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0) * rB -
                  (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0) * std::sin(2.0 * rB) +
                  (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0) * std::sin(4.0 * rB) -
                  (35.0 * e6 / 3072.0) * std::sin(6.0 * rB));
}

// Footpoint latitude: the latitude whose meridian arc is `arc`. The series in
// e1 inverts the exact arc, not the e^6 series the forward projection uses;
// the two part by up to 0.9 mm towards the poles. Newton steps on the very
// arc of the forward projection (its derivative is the meridian radius of
// curvature) close that gap, so a grid position goes back to the latitude it
// came from.
double footpointLatitude(const ProjectionEllipsoid& p, double arc, double start) {
    double phi = start;
    for (int i = 0; i < kMaxIterations; ++i) {
        const double s = std::sin(phi);
        const double W = 1.0 - p.e2 * s * s;
        const double R = p.a * (1.0 - p.e2) / (W * std::sqrt(W));
        const double step = (arc - meridianArc(p, phi)) / R;
        phi += step;
        if (!(std::fabs(step) > 1e-15)) break; // NaN ends too
    }
    return phi;
}

} // namespace

void CCoordinateCal::ProjectionCal(const CalValues& cal, double B, double L, double& x, double& y) {
    const ProjectionEllipsoid p = projectionEllipsoid(cal);
    const double dL = wrapLongitude(L - cal.centralMeridian) * kDegToRad;
    const double rB = B * kDegToRad;
    const double e2 = p.e2;
    const double k0 = cal.scale;

    if (cal.projectionType == 0 || cal.projectionType == 1) {
        const double cosB = std::cos(rB);
        const double tanB = std::tan(rB);
        const double T = tanB * tanB;
        const double C = p.ep2 * cosB * cosB;
        const double A = dL * cosB;
        const double N = p.c / std::sqrt(1.0 + C);
        const double M = meridianArc(p, rB);
        double P6 = 0.0;
        double P5 = 0.0;
        if (cal.projectionType == 1) {
            P6 = 61.0 - 58.0 * T + T * T + 270.0 * C - 330.0 * T * C;
            P5 = 5.0 - 18.0 * T + T * T + 14.0 * C - 58.0 * T * C;
        } else {
            P6 = 61.0 - 58.0 * T + T * T + 600.0 * C - 330.0 * p.ep2;
            P5 = 5.0 - 18.0 * T + T * T + 72.0 * C - 58.0 * p.ep2;
        }
        // The A^7 and A^8 terms (spherical part) match those of the inverse:
        // at 3 degrees from the meridian they are 0.1 mm at the equator and
        // 0.4 mm at mid latitudes, and without them on both sides a position
        // does not come back to itself.
        const double P7 = 61.0 - 479.0 * T + 179.0 * T * T - T * T * T;
        const double P8 = 1385.0 - 3111.0 * T + 543.0 * T * T - T * T * T;
        const double A2 = A * A;
        const double A3 = A2 * A;
        const double A4 = A2 * A2;
        x = k0 * (M + N * tanB *
                          (A2 / 2.0 + (5.0 - T + 9.0 * C + 4.0 * C * C) * A4 / 24.0 +
                           P6 * A4 * A2 / 720.0 + P8 * A4 * A4 / 40320.0)) +
            cal.northConst;
        y = k0 * N * (A + (1.0 - T + C) * A3 / 6.0 + P5 * A4 * A / 120.0 + P7 * A4 * A3 / 5040.0) +
            cal.eastConst;
    } else if (cal.projectionType == 2) {
        const double w0 = mercatorRadius(p, cal.datumLatitude);
        const double e = std::sqrt(e2);
        const double eSinB = e * std::sin(rB);
        x = k0 * w0 *
                std::log(std::tan(rB / 2.0 + kQuarterPi) *
                         std::pow((1.0 - eSinB) / (1.0 + eSinB), e / 2.0)) +
            cal.northConst;
        y = k0 * w0 * dL + cal.eastConst;
    } else {
        x = 0.0;
        y = 0.0;
    }
}

void CCoordinateCal::ProjectionCal_Reverse(const CalValues& cal, double x, double y, double& B,
                                           double& L) {
    const ProjectionEllipsoid p = projectionEllipsoid(cal);
    const double e2 = p.e2;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    const double k0 = cal.scale;

    if (cal.projectionType == 0 || cal.projectionType == 1) {
        const double ratio = p.b / p.a;
        const double e1 = (1.0 - ratio) / (1.0 + ratio);
        const double e1_2 = e1 * e1;
        const double e1_3 = e1_2 * e1;
        const double e1_4 = e1_2 * e1_2;
        const double mu = (x - cal.northConst) / k0 /
                          (p.a * (1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0));
        const double start = mu + (3.0 * e1 / 2.0 - 27.0 * e1_3 / 32.0) * std::sin(2.0 * mu) +
                             (21.0 * e1_2 / 16.0 - 55.0 * e1_4 / 32.0) * std::sin(4.0 * mu) +
                             (151.0 * e1_3 / 96.0) * std::sin(6.0 * mu);
        const double phi1 = footpointLatitude(p, (x - cal.northConst) / k0, start);
        const double sinP = std::sin(phi1);
        const double cosP = std::cos(phi1);
        const double tanP = std::tan(phi1);
        const double W = 1.0 - e2 * sinP * sinP;
        const double N1 = p.a / std::sqrt(W);
        const double R1 = p.a * (1.0 - e2) / (W * std::sqrt(W));
        const double T1 = tanP * tanP;
        const double C1 = p.ep2 * cosP * cosP;
        const double D = (y - cal.eastConst) / (N1 * k0);
        double Q4 = 0.0;
        double Q6 = 0.0;
        double Q5 = 0.0;
        if (cal.projectionType == 1) {
            // With the 4 C1^2 of the forward A^4 term: 0.08 mm at the zone edge
            // at 18 degrees of latitude otherwise.
            Q4 = 5.0 + 3.0 * T1 + C1 - 9.0 * T1 * C1 - 4.0 * C1 * C1;
            Q6 = 61.0 + 90.0 * T1 + 45.0 * T1 * T1;
            Q5 = 5.0 + 28.0 * T1 + 6.0 * C1 + 8.0 * T1 * C1 + 24.0 * T1 * T1;
        } else {
            Q4 = 5.0 + 3.0 * T1 + 10.0 * C1 - 4.0 * C1 * C1 - 9.0 * p.ep2;
            Q6 = 61.0 + 90.0 * T1 + 298.0 * C1 + 45.0 * T1 * T1 - 252.0 * p.ep2 - 3.0 * C1 * C1;
            Q5 = 5.0 - 2.0 * C1 + 28.0 * T1 - 3.0 * C1 * C1 + 8.0 * p.ep2 + 24.0 * T1 * T1;
        }
        // The D^7 and D^8 terms of the same series.
        const double Q7 = 61.0 + 662.0 * T1 + 1320.0 * T1 * T1 + 720.0 * T1 * T1 * T1;
        const double Q8 = 1385.0 + 3633.0 * T1 + 4095.0 * T1 * T1 + 1575.0 * T1 * T1 * T1;
        const double D2 = D * D;
        const double D3 = D2 * D;
        const double D4 = D2 * D2;
        const double rB = phi1 - (N1 * tanP / R1) * (D2 / 2.0 - Q4 * D4 / 24.0 +
                                                     Q6 * D4 * D2 / 720.0 - Q8 * D4 * D4 / 40320.0);
        const double dL =
            (D - (1.0 + 2.0 * T1 + C1) * D3 / 6.0 + Q5 * D4 * D / 120.0 - Q7 * D4 * D3 / 5040.0) /
            cosP;
        B = rB / kDegToRad;
        L = cal.centralMeridian + dL / kDegToRad;
    } else if (cal.projectionType == 2) {
        const double w0 = mercatorRadius(p, cal.datumLatitude);
        const double e = std::sqrt(e2);
        const double t = std::exp(-(x - cal.northConst) / (k0 * w0));
        L = (y - cal.eastConst) / (k0 * w0) / kDegToRad + cal.centralMeridian;
        double rB = 0.0;
        for (int i = 0; i < kMaxIterations; ++i) {
            const double eSinB = e * std::sin(rB);
            const double next =
                kHalfPi - 2.0 * std::atan(t * std::pow((1.0 - eSinB) / (1.0 + eSinB), e / 2.0));
            const bool done = std::fabs(next - rB) <= 1e-14;
            rB = next;
            if (done) break;
        }
        B = rB / kDegToRad;
    } else {
        B = 0.0;
        L = 0.0;
    }
    L = wrapLongitude(L);
}

void CCoordinateCal::PlaneTransCal_4P(const CalValues& c, double x, double y, double& outX,
                                      double& outY) {
    const double cosA = std::cos(c.planeRotation);
    const double sinA = std::sin(c.planeRotation);
    const double nx = c.planeScale * (x * cosA - y * sinA) + c.planeDx;
    const double ny = c.planeScale * (x * sinA + y * cosA) + c.planeDy;
    outX = nx;
    outY = ny;
}

void CCoordinateCal::PlaneTransCal_4P_Reverse(const CalValues& c, double x, double y, double& outX,
                                              double& outY) {
    const double cosA = std::cos(c.planeRotation);
    const double sinA = std::sin(c.planeRotation);
    const double u = x - c.planeDx;
    const double v = y - c.planeDy;
    outX = (u * cosA + v * sinA) / c.planeScale;
    outY = (v * cosA - u * sinA) / c.planeScale;
}

namespace {

double fittedSurface(const CCoordinateCal::CalValues& c, double x, double y, std::int32_t type) {
    const double dx = x - c.fitX0;
    const double dy = y - c.fitY0;
    switch (type) {
    case 1:
        return c.fitA;
    case 2:
        return c.fitA + c.fitB * dx + c.fitC * dy;
    case 3:
        return c.fitA + c.fitB * dx + c.fitC * dy + c.fitD * dx * dx + c.fitE * dy * dy +
               c.fitF * dx * dy;
    default:
        return 0.0;
    }
}

} // namespace

double CCoordinateCal::HeightfittingCal(const CalValues& c, double x, double y, double h,
                                        std::int32_t type) {
    if (type < 1 || type > 3) return h;
    return h - fittedSurface(c, x, y, type);
}

double CCoordinateCal::HeightfittingCal_Reverse(const CalValues& c, double x, double y, double h,
                                                std::int32_t type) {
    if (type < 1 || type > 3) return h;
    return h + fittedSurface(c, x, y, type);
}

void CCoordinateCal::CoordinateTranslateCal(const CalValues& c, double x, double y, double h,
                                            double& outX, double& outY, double& outH) {
    outX = x + c.shiftX;
    outY = y + c.shiftY;
    outH = h + c.shiftH;
}

void CCoordinateCal::CoordinateTranslateCal_Reverse(const CalValues& c, double x, double y,
                                                    double h, double& outX, double& outY,
                                                    double& outH) {
    outX = x - c.shiftX;
    outY = y - c.shiftY;
    outH = h - c.shiftH;
}

extern "C" {

Tessmark* CreateTessmark() {
    return new (std::nothrow) CCoordinateCal();
}

void DeleteTessmark(Tessmark* engine) {
    if (engine == nullptr) return;
    delete static_cast<CCoordinateCal*>(engine);
}
}
