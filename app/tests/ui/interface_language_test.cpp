// Each interface speaks one language: every text of the main frame (captions,
// labels, buttons, lists, tabs, panes, menus, tooltips), walked offscreen, has
// no Chinese in the English interface and no English words in the Chinese
// one. The English texts are Polyvox's, so a text it lacks shows up here.
// Units, numbers, abbreviations in capitals, model names, file extensions and
// the program's own name are shared by both.

#include "app/tests/device_dialog_fakes.h"
#include "app/ui/device_dialogs.h"
#include "app/ui/main_window.h"
#include "app/ui/qt_message_sink.h"
#include "navigation/ui/color_set_dlg.h"
#include "navigation/ui/navi_form_view.h"
#include "navigation/ui/navi_setting_dlg.h"
#include "navigation/ui/offset_line_sheet.h"
#include "navigation/ui/sur_line_edit_dlg.h"
#include "targets/ui/target_form_view.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolBar>
#include <QTranslator>
#include <QTreeWidget>
#include <QWidgetAction>

#include <filesystem>

#include "app/tests/ui/window_test_support.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrova::app::ui {
namespace {

struct Text {
    QString where;
    QString text;
};

std::vector<Text> allTexts(QWidget& root) {
    std::vector<Text> out;
    auto add = [&out](const QObject* o, const QString& text) {
        if (!text.trimmed().isEmpty())
            out.push_back(
                {QString("%1 %2").arg(o->metaObject()->className(), o->objectName()), text});
    };
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.push_back(&root);
    for (QWidget* w : widgets) {
        add(w, w->toolTip());
        if (w->isWindow() && w != &root) add(w, w->windowTitle());
        if (auto* l = qobject_cast<QLabel*>(w)) add(w, l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) add(w, b->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) add(w, g->title());
        if (auto* d = qobject_cast<QDockWidget*>(w)) add(w, d->windowTitle());
        if (auto* e = qobject_cast<QLineEdit*>(w)) add(w, e->placeholderText());
        if (auto* e = qobject_cast<QPlainTextEdit*>(w)) add(w, e->placeholderText());
        if (auto* bar = qobject_cast<QToolBar*>(w)) add(w, bar->windowTitle());
        if (auto* tree = qobject_cast<QTreeWidget*>(w))
            for (int i = 0; i < tree->columnCount(); ++i)
                add(w, tree->headerItem()->text(i));
        if (auto* t = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i)
                add(w, t->tabText(i));
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                add(w, c->itemText(i));
        if (auto* list = qobject_cast<QListWidget*>(w))
            for (int i = 0; i < list->count(); ++i)
                add(w, list->item(i)->text());
        if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int i = 0; i < table->columnCount(); ++i)
                if (auto* h = table->horizontalHeaderItem(i)) add(w, h->text());
        }
        if (auto* m = qobject_cast<QMenu*>(w)) add(w, m->title());
        for (QAction* a : w->actions()) {
            add(a, a->text().remove('&'));
            add(a, a->toolTip());
            if (a->menu()) add(a, a->menu()->title());
        }
    }
    return out;
}

bool hasCjk(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x3400 &&
            c.unicode() <= 0x9FFF) // ideographs (a full-width colon is shared)
            return true;
    return false;
}

// UTF-8 read as Latin-1 ("æ—¥æœŸ"): a text that is neither language.
bool garbled(const QString& s) {
    for (QChar c : s)
        if (c.unicode() >= 0x80 && c.unicode() <= 0xFF && c != QChar(0xB0) && c != QChar(0xD7) &&
            c != QChar(0xB1))
            return true;
    return false;
}

// English words in a Chinese text: a run of two or more Latin letters with a
// small letter that is no unit, extension or name both languages share.
QString englishWord(const QString& s) {
    static const std::set<QString> shared = {
        "dB",       "us",      "ms",      "mbar", "km",  "kHz",  "Hz",  "kn",  "ksf",
        "xtf",      "lnw",     "jpg",     "ksp",  "ini", "clr",  "png", "txt", "csv",
        "Kestrova", "Filvert", "Polyvox", "mV",   "cm",  "mm",   "deg", "min", "sec",
        "dBm",      "mA",      "bps",     "Lat",  "Lon", "Ostra"};
    static const QRegularExpression word("[A-Za-z]{2,}");
    for (auto it = word.globalMatch(s); it.hasNext();) {
        const QString w = it.next().captured();
        if (w == w.toUpper() || shared.count(w) > 0) continue;
        return w;
    }
    return {};
}

// The texts of `root` that are not in the interface language.
QStringList foreignTexts(QWidget& root, bool english) {
    QStringList wrong;
    for (const Text& t : allTexts(root)) {
        if (t.text.startsWith('/')) continue; // folders and serial devices are data
        if ((english && hasCjk(t.text)) || garbled(t.text)) wrong << t.where + ": " + t.text;
        if (!english && !englishWord(t.text).isEmpty())
            wrong << t.where + ": " + t.text + " [" + englishWord(t.text) + "]";
    }
    wrong.removeDuplicates();
    return wrong;
}

using InterfaceLanguage = test::WindowFixture;

TEST_F(InterfaceLanguage, EveryTextOfTheMainFrameIsInTheChosenLanguage) {
    for (bool english : {true, false}) {
        Configuration config(program_.path());
        config.messenger().setEnglish(english);
        MainFrameOptions options;
        options.offerLastProject = false;
        CMainFrame window(config, drovanta_, options);
        window.show();
        test::waitFor([] { return false; }, 1);
        window.refreshStatus();
        const QStringList wrong = foreignTexts(window, english);
        EXPECT_TRUE(wrong.isEmpty()) << (english ? "English" : "Chinese") << " interface:\n"
                                     << wrong.join('\n').toStdString();
    }
}

// The navigation pane's dialogs (settings, colours, line editor with its
// offset sheet), the target pane and the device dialogs, opened in each
// interface.
TEST_F(InterfaceLanguage, PanesAndDialogsSpeakOneLanguage) {
    for (bool english : {true, false}) {
        Configuration config(program_.path());
        config.messenger().setEnglish(english);
        MainFrameOptions options;
        options.offerLastProject = false;
        CMainFrame window(config, drovanta_, options);
        window.show();
        window.navigationView()->command(navigation::ui::navi_command::kLineEditor);
        ASSERT_NE(window.navigationView()->lineEditor(), nullptr);
        navigation::ui::CNaviSettingDlg settings({config.navi}, config.messenger(), english);
        navigation::ui::CColorSetDlg colours(config.navi, config.messenger(), english);
        navigation::ui::COffsetLineSheet offsets({}, english);
        FitParaContext fitContext{
            config, window.session().positions(), std::nullopt, false, 1500.0, {}, {}};
        CFitPara device(fitContext);
        AlarmContext alarmContext{config, std::nullopt};
        CALertSet alarm(alarmContext);
        testing::LineRecordingPort port;
        platform::MessageQueue queue;
        PressureContext pressureContext{port, config.messenger(), queue, {}};
        CAdjustPressure pressure(pressureContext);
        const std::pair<const char*, QWidget*> parts[] = {
            {"CNaviSettingDlg", &settings},
            {"CColorSetDlg", &colours},
            {"CSurLineEditDlg", window.navigationView()->lineEditor()},
            {"COffsetLineSheet", &offsets},
            {"CTargetFormView", window.targetView()},
            {"CFitPara", &device},
            {"CALertSet", &alarm},
            {"CAdjustPressure", &pressure}};
        for (const auto& [name, widget] : parts) {
            const QStringList wrong = foreignTexts(*widget, english);
            EXPECT_TRUE(wrong.isEmpty()) << name << (english ? " English" : " Chinese") << ":\n"
                                         << wrong.join('\n').toStdString();
        }
    }
}

// Qt's own dialogs in the Chinese interface: the file dialog of "Open File"
// and the message boxes' standard buttons read Chinese with Qt's translation.
TEST_F(InterfaceLanguage, QtDialogsReadChineseWithQtsTranslation) {
    QTranslator qtChinese;
    if (!loadQtChinese(qtChinese)) GTEST_SKIP() << "qt6-translations-l10n is not installed";
    QCoreApplication::installTranslator(&qtChinese);
    {
        QMessageBox box(QMessageBox::Warning, "Kestrova", QString::fromUtf8("退出Kestrova？"),
                        QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_TRUE(hasCjk(box.button(QMessageBox::Ok)->text()));
        EXPECT_TRUE(hasCjk(box.button(QMessageBox::Cancel)->text()));
        QFileDialog files(nullptr, QString::fromUtf8("选择回放文件"),
                          QString::fromStdString(program_.path()),
                          QString::fromUtf8("数据文件(*.ksf)"));
        files.setOption(QFileDialog::DontUseNativeDialog);
        files.show();
        const QStringList wrong = foreignTexts(files, false);
        EXPECT_TRUE(wrong.isEmpty()) << wrong.join('\n').toStdString();
    }
    QCoreApplication::removeTranslator(&qtChinese);
}

// The toolbar shows the strip's images with a tooltip each; the recording
// button changes its image with the state (7 off, 15 on).
TEST_F(InterfaceLanguage, ToolbarButtonsShowTheStripImagesAndTooltips) {
    ASSERT_TRUE(std::filesystem::copy_file(test::binFolder() + "/allusertoolbar.png",
                                           program_.path() + "/allusertoolbar.png"));
    Configuration config(program_.path());
    config.messenger().setEnglish(false);
    MainFrameOptions options;
    options.offerLastProject = false;
    CMainFrame window(config, drovanta_, options);
    window.show();
    QStringList missing;
    for (QAction* a : window.toolbar()->actions()) {
        if (a->isSeparator()) continue;
        const QString name = a->objectName().isEmpty() ? a->text() : a->objectName();
        if (a->icon().isNull() && !qobject_cast<QWidgetAction*>(a)) missing << name + " image";
        if (a->toolTip().isEmpty()) missing << name + " tooltip";
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
    EXPECT_GE(window.toolbar()->actions().size(), 14);
    // Image 0 is the Project button's, a picture of its own.
    const QImage project = window.action(FrameCommand::Project)->icon().pixmap(24).toImage();
    const QImage start = window.action(FrameCommand::Start)->icon().pixmap(24).toImage();
    EXPECT_NE(project, start);
    EXPECT_EQ(window.action(FrameCommand::SaveKsf)->toolTip().toStdString(), "开始记录KSF文件");
}

} // namespace
} // namespace kestrova::app::ui
