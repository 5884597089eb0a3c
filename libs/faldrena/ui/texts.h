#pragma once
// The dialog's texts in the language of this build: FaldrenaEN is compiled
// with FALDRENA_ENGLISH=1, Faldrena with 0, from the same code.

#ifndef FALDRENA_ENGLISH
#error "FALDRENA_ENGLISH must be 0 or 1"
#endif

namespace kestrova::faldrena {

constexpr bool kEnglish = FALDRENA_ENGLISH != 0;

constexpr const char* pick(const char* english, const char* chinese) {
    return kEnglish ? english : chinese;
}

namespace text {
constexpr const char* kCaption = pick("Coordinate System Settings", "坐标系统设置");
constexpr const char* kTabs[6] = {
    pick("Ellipsoid", "椭球"),         pick("Projection", "投影"),
    pick("Convert", "椭球转换"),       pick("Plane", "平面转换"),
    pick("HeightFitting", "高程拟合"), pick("Translation", "平移")};
constexpr const char* kOk = pick("OK", "确定");
constexpr const char* kCancel = pick("Cancel", "取消");
constexpr const char* kEllipsoidNotSelected =
    pick("The Ellipsoid is Not Selected!", "椭球未选择！");
constexpr const char* kProjectionError = pick("The Projection Error!", "投影错误！");

constexpr const char* kSource = pick("Source ellipsoid", "源椭球");
constexpr const char* kTarget = pick("Target ellipsoid", "目标椭球");
constexpr const char* kSemimajor = pick("Semi-major axis (m)", "长半轴（米）");
constexpr const char* kFlattening = pick("Inverse flattening", "扁率倒数");
constexpr const char* kSourceSemimajor = pick("Source semi-major axis", "源椭球长半轴");
constexpr const char* kSourceFlattening = pick("Source inverse flattening", "源椭球扁率倒数");
constexpr const char* kTargetSemimajor = pick("Target semi-major axis", "目标椭球长半轴");
constexpr const char* kTargetFlattening = pick("Target inverse flattening", "目标椭球扁率倒数");

constexpr const char* kProjectionType = pick("Projection", "投影方式");
constexpr const char* kCentralMeridian = pick("Central meridian", "中央子午线");
constexpr const char* kNorthConst = pick("False northing (m)", "北向加常数（米）");
constexpr const char* kEastConst = pick("False easting (m)", "东向加常数（米）");
constexpr const char* kScale = pick("Scale factor", "尺度比");
constexpr const char* kProjectionHeight = pick("Projection height (m)", "投影面高程（米）");
constexpr const char* kDatumLatitude = pick("Latitude of true scale", "基准纬度");

constexpr const char* kDatumType = pick("Datum transformation", "椭球转换方式");
constexpr const char* kDx = pick("Translation X (m)", "X平移（米）");
constexpr const char* kDy = pick("Translation Y (m)", "Y平移（米）");
constexpr const char* kDz = pick("Translation Z (m)", "Z平移（米）");
constexpr const char* kRx = pick("Rotation X (arc seconds)", "X旋转（秒）");
constexpr const char* kRy = pick("Rotation Y (arc seconds)", "Y旋转（秒）");
constexpr const char* kRz = pick("Rotation Z (arc seconds)", "Z旋转（秒）");
constexpr const char* kPpm = pick("Scale difference (ppm)", "尺度差（百万分之一）");

constexpr const char* kPlaneType = pick("Plane transformation", "平面转换方式");
constexpr const char* kPlaneDx = pick("North shift (m)", "北向平移（米）");
constexpr const char* kPlaneDy = pick("East shift (m)", "东向平移（米）");
constexpr const char* kPlaneRotation = pick("Rotation angle", "旋转角");
constexpr const char* kPlaneScale = pick("Plane scale factor", "平面尺度因子");

constexpr const char* kFittingType = pick("Height fitting", "高程拟合方式");
constexpr const char* kFittingNames[8] = {
    pick("Coefficient A", "系数A"), pick("Coefficient B", "系数B"),
    pick("Coefficient C", "系数C"), pick("Coefficient D", "系数D"),
    pick("Coefficient E", "系数E"), pick("Coefficient F", "系数F"),
    pick("Reference northing x0 (m)", "参考北坐标x0（米）"),
    pick("Reference easting y0 (m)", "参考东坐标y0（米）")};

constexpr const char* kShiftX = pick("Shift of x (m)", "x平移（米）");
constexpr const char* kShiftY = pick("Shift of y (m)", "y平移（米）");
constexpr const char* kShiftH = pick("Shift of h (m)", "h平移（米）");

constexpr const char* kNotNumber = pick("must be a number", "必须是数字");
constexpr const char* kNotPositive = pick("must be a number above 0", "必须是大于0的数");
constexpr const char* kNotAboveOne = pick("must be a number above 1", "必须是大于1的数");
constexpr const char* kNotSelected = pick("choose one of the list", "请从列表中选择");
constexpr const char* kColon = pick(": ", "：");
constexpr const char* kStop = pick(".", "。");
} // namespace text

} // namespace kestrova::faldrena
