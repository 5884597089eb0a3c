#pragma once
// The geodetic parameter record: handed by value to the geodesy engine and the
// coordinate settings dialog, persisted field by field in section ParaOfGeo.
// Its layout is an interface between separately built libraries, so every
// offset is pinned below.

#include <cstddef>
#include <cstdint>
#include <cstring>

#pragma pack(push, 4)
struct _DefGeodetsyParameterSetting {
    char Version[8];
    std::int32_t SourceEllipsoid;
    std::int32_t reserved12;
    char SourceSemimajor[32];
    char SourceFlattening[32];
    std::int32_t TargetEllipsoid;
    std::int32_t reserved84;
    char TargetSemimajor[32];
    char TargetFlattening[32];
    std::int32_t ProjectionType;
    std::uint8_t AddBandnumber;
    std::uint8_t PositiveSouth;
    std::uint8_t PositiveWest;
    std::uint8_t padding159;
    char CentralMeridian[32];
    char NorthConst[32];
    char EastConst[32];
    char ScaleRadio[32];
    char ProjectonAltitude[32];
    char DatumLatitude[32];
    char NorthParallel[32];
    char SouthParallel[32];
    char SkewAzimuth[32];
    std::uint8_t reserved448[16];
    std::int32_t ETransType;
    std::int32_t reserved468;
    char ETransDx[32];
    char ETransDy[32];
    char ETransDz[32];
    char ETransRx[32];
    char ETransRy[32];
    char ETransRz[32];
    char ETransSc[32];
    std::int32_t PTransType;
    std::uint8_t PTransNorthDR;
    std::uint8_t PTransEastDR;
    std::uint8_t padding702[2];
    char PTransDx[32];
    char PTransDy[32];
    char PTransRa[32];
    char PTransSc[32];
    char PTransONorth[32];
    char PTransOEast[32]; // converted, not used; no configuration key
    std::int32_t HFittingType;
    std::int32_t reserved900;
    char HFittingA[32];
    char HFittingB[32];
    char HFittingC[32];
    char HFittingD[32];
    char HFittingE[32];
    char HFittingF[32];
    char HFittingX0[32];
    char HFittingY0[32];
    char CTransDx[32];
    char CTransDy[32];
    char CTransDz[32];
};
#pragma pack(pop)

static_assert(sizeof(_DefGeodetsyParameterSetting) == 1256);
static_assert(offsetof(_DefGeodetsyParameterSetting, SourceEllipsoid) == 8);
static_assert(offsetof(_DefGeodetsyParameterSetting, SourceSemimajor) == 16);
static_assert(offsetof(_DefGeodetsyParameterSetting, SourceFlattening) == 48);
static_assert(offsetof(_DefGeodetsyParameterSetting, TargetEllipsoid) == 80);
static_assert(offsetof(_DefGeodetsyParameterSetting, TargetSemimajor) == 88);
static_assert(offsetof(_DefGeodetsyParameterSetting, TargetFlattening) == 120);
static_assert(offsetof(_DefGeodetsyParameterSetting, ProjectionType) == 152);
static_assert(offsetof(_DefGeodetsyParameterSetting, AddBandnumber) == 156);
static_assert(offsetof(_DefGeodetsyParameterSetting, PositiveSouth) == 157);
static_assert(offsetof(_DefGeodetsyParameterSetting, PositiveWest) == 158);
static_assert(offsetof(_DefGeodetsyParameterSetting, CentralMeridian) == 160);
static_assert(offsetof(_DefGeodetsyParameterSetting, NorthConst) == 192);
static_assert(offsetof(_DefGeodetsyParameterSetting, EastConst) == 224);
static_assert(offsetof(_DefGeodetsyParameterSetting, ScaleRadio) == 256);
static_assert(offsetof(_DefGeodetsyParameterSetting, ProjectonAltitude) == 288);
static_assert(offsetof(_DefGeodetsyParameterSetting, DatumLatitude) == 320);
static_assert(offsetof(_DefGeodetsyParameterSetting, NorthParallel) == 352);
static_assert(offsetof(_DefGeodetsyParameterSetting, SouthParallel) == 384);
static_assert(offsetof(_DefGeodetsyParameterSetting, SkewAzimuth) == 416);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransType) == 464);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransDx) == 472);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransDy) == 504);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransDz) == 536);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransRx) == 568);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransRy) == 600);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransRz) == 632);
static_assert(offsetof(_DefGeodetsyParameterSetting, ETransSc) == 664);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransType) == 696);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransNorthDR) == 700);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransEastDR) == 701);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransDx) == 704);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransDy) == 736);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransRa) == 768);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransSc) == 800);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransONorth) == 832);
static_assert(offsetof(_DefGeodetsyParameterSetting, PTransOEast) == 864);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingType) == 896);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingA) == 904);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingB) == 936);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingC) == 968);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingD) == 1000);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingE) == 1032);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingF) == 1064);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingX0) == 1096);
static_assert(offsetof(_DefGeodetsyParameterSetting, HFittingY0) == 1128);
static_assert(offsetof(_DefGeodetsyParameterSetting, CTransDx) == 1160);
static_assert(offsetof(_DefGeodetsyParameterSetting, CTransDy) == 1192);
static_assert(offsetof(_DefGeodetsyParameterSetting, CTransDz) == 1224);

namespace kestrova {

// The main program's start values for the record (WGS84 both sides, Gauss-Krüger
// series, central meridian text in the program's own default form).
inline _DefGeodetsyParameterSetting defaultGeodeticRecord() {
    _DefGeodetsyParameterSetting r;
    std::memset(&r, 0, sizeof r);
    // The record is zeroed above: copy the text and keep the terminator.
    auto set = [](char* field, std::size_t size, const char* text) {
        std::size_t length = std::strlen(text);
        if (length > size - 1) length = size - 1;
        std::memcpy(field, text, length);
    };
#define KESTROVA_GEO_TEXT(field, text) set(r.field, sizeof r.field, text)
    KESTROVA_GEO_TEXT(Version, "001.000");
    r.SourceEllipsoid = 1;
    KESTROVA_GEO_TEXT(SourceSemimajor, "6378137.0");
    KESTROVA_GEO_TEXT(SourceFlattening, "298.257223563");
    r.TargetEllipsoid = 1;
    KESTROVA_GEO_TEXT(TargetSemimajor, "6378137.0");
    KESTROVA_GEO_TEXT(TargetFlattening, "298.257223563");
    r.ProjectionType = 1;
    KESTROVA_GEO_TEXT(CentralMeridian, "1170000.00000E");
    KESTROVA_GEO_TEXT(NorthConst, "0.0");
    KESTROVA_GEO_TEXT(EastConst, "500000.0");
    KESTROVA_GEO_TEXT(ScaleRadio, "1.0");
    KESTROVA_GEO_TEXT(ProjectonAltitude, "0.0");
    KESTROVA_GEO_TEXT(DatumLatitude, "000000.00000N");
    KESTROVA_GEO_TEXT(NorthParallel, "000000.00000N");
    KESTROVA_GEO_TEXT(SouthParallel, "000000.00000N");
    KESTROVA_GEO_TEXT(SkewAzimuth, "0");
    KESTROVA_GEO_TEXT(ETransDx, "0.0");
    KESTROVA_GEO_TEXT(ETransDy, "0.0");
    KESTROVA_GEO_TEXT(ETransDz, "0.0");
    KESTROVA_GEO_TEXT(ETransRx, "0.0");
    KESTROVA_GEO_TEXT(ETransRy, "0.0");
    KESTROVA_GEO_TEXT(ETransRz, "0.0");
    KESTROVA_GEO_TEXT(ETransSc, "0.0");
    KESTROVA_GEO_TEXT(PTransDx, "0.0");
    KESTROVA_GEO_TEXT(PTransDy, "0.0");
    KESTROVA_GEO_TEXT(PTransRa, " 0000000.00000");
    KESTROVA_GEO_TEXT(PTransSc, "1.0");
    KESTROVA_GEO_TEXT(PTransONorth, "0.0");
    KESTROVA_GEO_TEXT(PTransOEast, "0.0");
    KESTROVA_GEO_TEXT(HFittingA, "0.0");
    KESTROVA_GEO_TEXT(HFittingB, "0.0");
    KESTROVA_GEO_TEXT(HFittingC, "0.0");
    KESTROVA_GEO_TEXT(HFittingD, "0.0");
    KESTROVA_GEO_TEXT(HFittingE, "0.0");
    KESTROVA_GEO_TEXT(HFittingF, "0.0");
    KESTROVA_GEO_TEXT(HFittingX0, "0.0");
    KESTROVA_GEO_TEXT(HFittingY0, "0.0");
    KESTROVA_GEO_TEXT(CTransDx, "0.0");
    KESTROVA_GEO_TEXT(CTransDy, "0.0");
    KESTROVA_GEO_TEXT(CTransDz, "0.0");
#undef KESTROVA_GEO_TEXT
    return r;
}

} // namespace kestrova
