#include "navigation/line_operations.h"

#include "platform/fs.h"
#include "platform/ini.h"

namespace kestrova::navigation {
namespace {

constexpr const char* kNaviSection = "FileOfNavi";
constexpr const char* kCurLine = "CurLine";

void noLineLoaded(app::Messenger& messenger) {
    messenger.ShowMessage("没有加载测线", "No line is loaded", app::mb::kWarningOkCancel);
}

} // namespace

bool load_line_file(NavigationLineSet& set, const std::string& path, bool display,
                    app::Messenger& messenger) {
    LineFileParse parsed = readLineFileText(path);
    if (!parsed.ok()) {
        MessagePair m = mainFrameReadMessage(parsed.error, path);
        messenger.ShowMessage(m.chinese, m.english, app::mb::kWarningOkCancel);
        return false;
    }
    set.replace(path, display, std::move(parsed.lines));
    return true;
}

int import_line_files(NavigationLineSet& set, const std::vector<std::string>& files,
                      const ImportPlace& place, app::Messenger& messenger) {
    int loaded = 0;
    for (const std::string& source : files) {
        if (!isLineFileName(source)) continue; // DXF and anything else: skipped
        const std::string name = fileNameOf(source);
        const std::string target = platform::joinPath(place.naviFolder, name);
        if (source != target) {
            if (platform::PathFileExistsA(target)) {
                int answer = messenger.ShowMessage("文件已存在。\n是否替换？",
                                                   "The file already exists.\nDo you want to "
                                                   "replace it?",
                                                   app::mb::kIconWarning | app::mb::kYesNo);
                if (answer != app::IDYES) continue;
            }
            std::string why;
            if (!copyFileAtomically(source, target, &why)) {
                messenger.ShowMessage(
                    app::withArgument("复制文件失败 : \"%s\"。", target),
                    app::withArgument("Failed to copy the file : \"%s\".", target),
                    app::mb::kWarningOkCancel);
                continue;
            }
        }
        if (!load_line_file(set, target, true, messenger)) continue;
        ++loaded;
        if (!place.projectFile.empty())
            platform::WritePrivateProfileStringA(kNaviSection, kCurLine, name.c_str(),
                                                 place.projectFile);
    }
    return loaded;
}

bool close_line_file(NavigationLineSet& set, const std::string& projectFile,
                     app::Messenger& messenger) {
    int answer = messenger.ShowMessage("关闭已打开的测线文件？", "Close the opened line file?",
                                       app::mb::kWarningOkCancel);
    if (answer != app::IDOK) return false;
    set.clear();
    if (!projectFile.empty())
        platform::WritePrivateProfileStringA(kNaviSection, kCurLine, nullptr, projectFile);
    return true;
}

bool previous_line(NavigationLineSet& set, app::Messenger& messenger) {
    if (set.previous()) return true;
    noLineLoaded(messenger);
    return false;
}

bool next_line(NavigationLineSet& set, app::Messenger& messenger) {
    if (set.next()) return true;
    noLineLoaded(messenger);
    return false;
}

bool reverse_line(const NavigationLineSet& set, bool& reverseFlag, app::Messenger& messenger) {
    if (!set.loaded()) {
        noLineLoaded(messenger);
        return false;
    }
    reverseFlag = !reverseFlag;
    return true;
}

bool add_point_to_selected_line(std::vector<SurveyLine>* editorLines, int selectedLine,
                                GridPoint point, app::Messenger& messenger) {
    if (editorLines == nullptr || selectedLine < 0 ||
        static_cast<std::size_t>(selectedLine) >= editorLines->size()) {
        messenger.ShowMessage("没有选择测线，无法添加点！",
                              "No line is selected, can not add point!", app::mb::kWarningOkCancel);
        return false;
    }
    (*editorLines)[static_cast<std::size_t>(selectedLine)].points.push_back(
        {point.east, point.north});
    return true;
}

} // namespace kestrova::navigation
