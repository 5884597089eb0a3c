#pragma once
// The dialog's texts in the language of this build: FaldrenaEN is compiled
// with FALDRENA_ENGLISH=1, Faldrena with 0, from the same code.

#ifndef FALDRENA_ENGLISH
#error "FALDRENA_ENGLISH must be 0 or 1"
#endif

namespace kestrova::faldrena {

constexpr bool kEnglish = FALDRENA_ENGLISH != 0;

// Chosen by the preprocessor, so each build holds only its own texts.
#if FALDRENA_ENGLISH
#define FALDRENA_TEXT(english, chinese) english
#else
#define FALDRENA_TEXT(english, chinese) chinese
#endif

// The same choice for the shared tables of names.
inline const char* pick(const char* english, const char* chinese) {
    return kEnglish ? english : chinese;
}

namespace text {
constexpr const char* kCaption = FALDRENA_TEXT("Coordinate System Settings", "坐标系统设置");
constexpr const char* kTabs[6] = {
    FALDRENA_TEXT("Ellipsoid", "椭球"),         FALDRENA_TEXT("Projection", "投影"),
    FALDRENA_TEXT("Convert", "椭球转换"),       FALDRENA_TEXT("Plane", "平面转换"),
    FALDRENA_TEXT("HeightFitting", "高程拟合"), FALDRENA_TEXT("Translation", "平移")};
constexpr const char* kOk = FALDRENA_TEXT("OK", "确定");
constexpr const char* kCancel = FALDRENA_TEXT("Cancel", "取消");
constexpr const char* kEllipsoidNotSelected =
    FALDRENA_TEXT("The Ellipsoid is Not Selected!", "椭球未选择！");
constexpr const char* kProjectionError = FALDRENA_TEXT("The Projection Error!", "投影错误！");

constexpr const char* kSource = FALDRENA_TEXT("Source ellipsoid", "源椭球");
constexpr const char* kTarget = FALDRENA_TEXT("Target ellipsoid", "目标椭球");
constexpr const char* kSemimajor = FALDRENA_TEXT("Semi-major axis (m)", "长半轴（米）");
constexpr const char* kFlattening = FALDRENA_TEXT("Inverse flattening", "扁率倒数");
constexpr const char* kSourceSemimajor = FALDRENA_TEXT("Source semi-major axis", "源椭球长半轴");
constexpr const char* kSourceFlattening =
    FALDRENA_TEXT("Source inverse flattening", "源椭球扁率倒数");
constexpr const char* kTargetSemimajor = FALDRENA_TEXT("Target semi-major axis", "目标椭球长半轴");
constexpr const char* kTargetFlattening =
    FALDRENA_TEXT("Target inverse flattening", "目标椭球扁率倒数");

constexpr const char* kProjectionType = FALDRENA_TEXT("Projection", "投影方式");
constexpr const char* kCentralMeridian = FALDRENA_TEXT("Central meridian", "中央子午线");
constexpr const char* kNorthConst = FALDRENA_TEXT("False northing (m)", "北向加常数（米）");
constexpr const char* kEastConst = FALDRENA_TEXT("False easting (m)", "东向加常数（米）");
constexpr const char* kScale = FALDRENA_TEXT("Scale factor", "尺度比");
constexpr const char* kProjectionHeight =
    FALDRENA_TEXT("Projection height (m)", "投影面高程（米）");
constexpr const char* kDatumLatitude = FALDRENA_TEXT("Latitude of true scale", "基准纬度");

constexpr const char* kDatumType = FALDRENA_TEXT("Datum transformation", "椭球转换方式");
constexpr const char* kDx = FALDRENA_TEXT("Translation X (m)", "X平移（米）");
constexpr const char* kDy = FALDRENA_TEXT("Translation Y (m)", "Y平移（米）");
constexpr const char* kDz = FALDRENA_TEXT("Translation Z (m)", "Z平移（米）");
constexpr const char* kRx = FALDRENA_TEXT("Rotation X (arc seconds)", "X旋转（秒）");
constexpr const char* kRy = FALDRENA_TEXT("Rotation Y (arc seconds)", "Y旋转（秒）");
constexpr const char* kRz = FALDRENA_TEXT("Rotation Z (arc seconds)", "Z旋转（秒）");
constexpr const char* kPpm = FALDRENA_TEXT("Scale difference (ppm)", "尺度差（百万分之一）");

constexpr const char* kPlaneType = FALDRENA_TEXT("Plane transformation", "平面转换方式");
constexpr const char* kPlaneDx = FALDRENA_TEXT("North shift (m)", "北向平移（米）");
constexpr const char* kPlaneDy = FALDRENA_TEXT("East shift (m)", "东向平移（米）");
constexpr const char* kPlaneRotation = FALDRENA_TEXT("Rotation angle", "旋转角");
constexpr const char* kPlaneScale = FALDRENA_TEXT("Plane scale factor", "平面尺度因子");

constexpr const char* kFittingType = FALDRENA_TEXT("Height fitting", "高程拟合方式");
constexpr const char* kFittingNames[8] = {
    FALDRENA_TEXT("Coefficient A", "系数A"),
    FALDRENA_TEXT("Coefficient B", "系数B"),
    FALDRENA_TEXT("Coefficient C", "系数C"),
    FALDRENA_TEXT("Coefficient D", "系数D"),
    FALDRENA_TEXT("Coefficient E", "系数E"),
    FALDRENA_TEXT("Coefficient F", "系数F"),
    FALDRENA_TEXT("Reference northing x0 (m)", "参考北坐标x0（米）"),
    FALDRENA_TEXT("Reference easting y0 (m)", "参考东坐标y0（米）")};

constexpr const char* kShiftX = FALDRENA_TEXT("Shift of x (m)", "x平移（米）");
constexpr const char* kShiftY = FALDRENA_TEXT("Shift of y (m)", "y平移（米）");
constexpr const char* kShiftH = FALDRENA_TEXT("Shift of h (m)", "h平移（米）");

constexpr const char* kNotNumber = FALDRENA_TEXT("must be a number", "必须是数字");
constexpr const char* kNotPositive = FALDRENA_TEXT("must be a number above 0", "必须是大于0的数");
constexpr const char* kNotAboveOne = FALDRENA_TEXT("must be a number above 1", "必须是大于1的数");
constexpr const char* kNotSelected = FALDRENA_TEXT("choose one of the list", "请从列表中选择");
constexpr const char* kColon = FALDRENA_TEXT(": ", "：");
constexpr const char* kStop = FALDRENA_TEXT(".", "。");
} // namespace text

} // namespace kestrova::faldrena
