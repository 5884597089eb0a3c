#pragma once
// Tessmark: the geodesy engine that turns a fix's latitude, longitude and
// ellipsoidal height into the project's grid coordinates (northing, easting,
// height) and back. The program creates one engine at start-up, hands it the
// geodetic record whenever the operator changes it, and destroys it at exit.

#include "libs/tessmark/geodetic_record.h"

#include <cstdint>
#include <mutex>

#if defined(TESSMARK_BUILDING)
#define TESSMARK_API __attribute__((visibility("default")))
#else
#define TESSMARK_API
#endif

// The engine as the program sees it. Deleting goes through DeleteTessmark.
class TESSMARK_API Tessmark {
  public:
    virtual void SetGeodetsyParameter(_DefGeodetsyParameterSetting setting) = 0;
    virtual _DefGeodetsyParameterSetting GetGeodetsyParameter() = 0;
    // Latitude and longitude in degrees, heights in metres; x northing, y easting.
    virtual void BLHtoxyh(double B, double L, double H, double& x, double& y, double& h) = 0;
    virtual void xyhtoBLH(double x, double y, double h, double& B, double& L, double& H) = 0;

  protected:
    Tessmark() = default;
    Tessmark(const Tessmark&) = default;
    Tessmark& operator=(const Tessmark&) = default;
    ~Tessmark() = default;
};

class TESSMARK_API CCoordinateCal : public Tessmark {
  public:
    // Values derived from the record, everything a conversion reads. A
    // conversion works on its own copy, taken under the lock, so a record
    // handed in by the interface thread while the navigation thread converts
    // never mixes into one result.
    struct CalValues {
        std::int32_t paraSet;
        double sourceA, sourceB, targetA, targetB;
        std::int32_t sourceEllipsoid, targetEllipsoid, projectionType;
        std::uint8_t addBandnumber, positiveSouth, positiveWest;
        double centralMeridian, northConst, eastConst, scale, projectionAltitude;
        double datumLatitude, northParallel, southParallel, skewAzimuth;
        std::int32_t datumType;
        double dX, dY, dZ, rX, rY, rZ, datumScale;
        std::int32_t planeType;
        std::uint8_t planeNorthDR, planeEastDR;
        double planeDx, planeDy, planeRotation, planeScale, planeONorth, planeOEast;
        std::int32_t fittingType;
        double fitA, fitB, fitC, fitD, fitE, fitF, fitX0, fitY0;
        double shiftX, shiftY, shiftH;
    };

    CCoordinateCal();
    CCoordinateCal(const CCoordinateCal& other);
    CCoordinateCal& operator=(const CCoordinateCal& other);
    virtual ~CCoordinateCal();

    void SetGeodetsyParameter(_DefGeodetsyParameterSetting setting) override;
    _DefGeodetsyParameterSetting GetGeodetsyParameter() override;
    void BLHtoxyh(double B, double L, double H, double& x, double& y, double& h) override;
    void xyhtoBLH(double x, double y, double h, double& B, double& L, double& H) override;

  private:
    CalValues snapshot() const;

    static void ParameterConvertSettingToCal(const _DefGeodetsyParameterSetting& setting,
                                             CalValues& cal);
    static void EllipsoidTransCal_7P(const CalValues& cal, double B, double L, double H,
                                     double& outB, double& outL, double& outH);
    static void EllipsoidTransCal_7P_Reverse(const CalValues& cal, double B, double L, double H,
                                             double& outB, double& outL, double& outH);
    static void BLHtoXYZ(double a, double b, double B, double L, double H, double& X, double& Y,
                         double& Z);
    static void XYZtoBLH(double a, double b, double X, double Y, double Z, double& B, double& L,
                         double& H);
    static void Transform7P(double X, double Y, double Z, double dX, double dY, double dZ,
                            double rX, double rY, double rZ, double m, double& outX, double& outY,
                            double& outZ);
    static void Transform7P_Reverse(double X, double Y, double Z, double dX, double dY, double dZ,
                                    double rX, double rY, double rZ, double m, double& outX,
                                    double& outY, double& outZ);
    static void ProjectionCal(const CalValues& cal, double B, double L, double& x, double& y);
    static void ProjectionCal_Reverse(const CalValues& cal, double x, double y, double& B,
                                      double& L);
    static void PlaneTransCal_4P(const CalValues& cal, double x, double y, double& outX,
                                 double& outY);
    static void PlaneTransCal_4P_Reverse(const CalValues& cal, double x, double y, double& outX,
                                         double& outY);
    static double HeightfittingCal(const CalValues& cal, double x, double y, double h,
                                   std::int32_t type);
    static double HeightfittingCal_Reverse(const CalValues& cal, double x, double y, double h,
                                           std::int32_t type);
    static void CoordinateTranslateCal(const CalValues& cal, double x, double y, double h,
                                       double& outX, double& outY, double& outH);
    static void CoordinateTranslateCal_Reverse(const CalValues& cal, double x, double y, double h,
                                               double& outX, double& outY, double& outH);

    _DefGeodetsyParameterSetting m_Setting;
    CalValues m_Cal;
    mutable std::mutex m_Lock;
};

extern "C" {
// A new engine with its parameters-set flag clear; null when it cannot be allocated.
TESSMARK_API Tessmark* CreateTessmark();
// Destroys an engine made by CreateTessmark; null is ignored.
TESSMARK_API void DeleteTessmark(Tessmark* engine);
}
