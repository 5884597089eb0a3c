#include "navigation/ui/navi_form_view.h"

#include "app/config/interface_text.h"

#include "navigation/ui/navi_painter.h"
#include "navigation/ui/sur_line_edit_dlg.h"
#include "platform/fs.h"

#include <QAction>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace kestrova::navigation::ui {

CNaviFormView::CNaviFormView(app::Messenger& messenger, bool english, NaviViewHost host,
                             QWidget* parent)
    : QWidget(parent), messenger_(messenger), english_(english), host_(std::move(host)) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 90);
    // A missing symbol draws no vessel; everything else still shows.
    boatRaw_.load(QString::fromStdString(platform::executableFolder() + "OstraRes/Boat.png"));
    if (host_.settings) model_.settings() = *host_.settings;
}

void CNaviFormView::setEditorLines(std::vector<SurveyLine>* lines, int* selected) {
    editorLines_ = lines;
    editorSelected_ = selected;
}

void CNaviFormView::setAddPointMode(bool on) {
    model_.view().addPointMode = on;
    if (on) {
        model_.view().panMode = false;
        model_.view().measureMode = false;
    }
    updateCursor();
    update();
    emit addPointModeChanged(on);
}

ImportPlace CNaviFormView::projectPlace() const {
    return host_.projectPlace ? host_.projectPlace() : ImportPlace{};
}

void CNaviFormView::lineEditorClosed() {
    setEditorLines(nullptr, nullptr);
    if (model_.view().addPointMode) setAddPointMode(false);
    update();
}

void CNaviFormView::reloadSettingsAndFit() {
    if (host_.settings) model_.settings() = *host_.settings;
    model_.fitView();
    update();
}

bool CNaviFormView::loadLineFile(const std::string& path) {
    const bool ok = load_line_file(model_.lines(), path, true, messenger_);
    update();
    return ok;
}

QImage CNaviFormView::grabMap() {
    QImage image(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    QPainter p(&image);
    NaviPaintExtras extras;
    if (model_.settings().boatColor != boatColour_) {
        boat_ = tintedBoat(boatRaw_, model_.settings().boatColor);
        boatColour_ = model_.settings().boatColor;
    }
    extras.boat = &boat_;
    extras.editorLines = editorLines_;
    extras.editorSelected = editorSelected_ ? *editorSelected_ : -1;
    extras.cursor = cursor_;
    extras.english = english_;
    paintNaviMap(p, model_, extras);
    return image;
}

void CNaviFormView::paintEvent(QPaintEvent*) {
    // Drawn off screen and copied in one block, so a redraw never flickers.
    const QImage image = grabMap();
    QPainter p(this);
    p.drawImage(0, 0, image);
}

void CNaviFormView::resizeEvent(QResizeEvent*) {
    model_.view().width = width();
    model_.view().height = height();
}

void CNaviFormView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const QPointF at = event->position();
    wheelZoom(model_.view(), delta > 0, at.x(), at.y());
    update();
}

void CNaviFormView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    ViewState& v = model_.view();
    const QPointF at = event->position();
    if (event->button() == Qt::RightButton) {
        if (v.addPointMode) setAddPointMode(false);
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    const GridPoint g = screenToGrid(v, at.x(), at.y());
    if (v.panMode) {
        dragFrom_ = at;
    } else if (v.measureMode) {
        measuring_ = true;
        model_.measureStart = g;
        model_.measureEnd = g;
    } else if (v.addPointMode) {
        if (add_point_to_selected_line(editorLines_, editorSelected_ ? *editorSelected_ : -1, g,
                                       messenger_))
            emit editorPointAdded();
    }
    update();
}

void CNaviFormView::mouseMoveEvent(QMouseEvent* event) {
    ViewState& v = model_.view();
    const QPointF at = event->position();
    if (dragFrom_) {
        pan(v, at.x() - dragFrom_->x(), at.y() - dragFrom_->y());
        dragFrom_ = at;
        update();
    } else if (measuring_) {
        model_.measureEnd = screenToGrid(v, at.x(), at.y());
        update();
    } else if (v.addPointMode) {
        cursor_ = screenToGrid(v, at.x(), at.y());
        update();
    }
}

void CNaviFormView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragFrom_.reset();
    if (measuring_) {
        measuring_ = false;
        model_.measureStart.reset();
        model_.measureEnd.reset();
    }
    update();
}

void CNaviFormView::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    std::optional<NaviKey> key;
    switch (event->key()) {
    case Qt::Key_Left:
        key = NaviKey::Left;
        break;
    case Qt::Key_Right:
        key = NaviKey::Right;
        break;
    case Qt::Key_Up:
        key = NaviKey::Up;
        break;
    case Qt::Key_Down:
        key = NaviKey::Down;
        break;
    case Qt::Key_Home:
        key = NaviKey::Home;
        break;
    case Qt::Key_End:
        key = NaviKey::End;
        break;
    case Qt::Key_PageUp:
        key = NaviKey::PageUp;
        break;
    case Qt::Key_PageDown:
        key = NaviKey::PageDown;
        break;
    case Qt::Key_Q:
        key = NaviKey::Q;
        break;
    case Qt::Key_H:
        key = NaviKey::H;
        break;
    case Qt::Key_R:
        key = NaviKey::R;
        break;
    case Qt::Key_1:
        key = NaviKey::D1;
        break;
    case Qt::Key_2:
        key = NaviKey::D2;
        break;
    case Qt::Key_3:
        key = NaviKey::D3;
        break;
    case Qt::Key_4:
        key = NaviKey::D4;
        break;
    default:
        break;
    }
    if (!key) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (applyKey(model_.view(), *key, ctrl)) {
    case KeyResult::Fit:
        model_.fitView();
        break;
    case KeyResult::PreviousLine:
        previous_line(model_.lines(), messenger_);
        break;
    case KeyResult::NextLine:
        next_line(model_.lines(), messenger_);
        break;
    case KeyResult::ReverseLine:
        reverse_line(model_.lines(), model_.view().reverse, messenger_);
        break;
    case KeyResult::None:
    case KeyResult::Redraw:
        break;
    }
    update();
}

void CNaviFormView::updateCursor() {
    const ViewState& v = model_.view();
    setCursor(v.panMode ? Qt::OpenHandCursor
                        : (v.measureMode || v.addPointMode ? Qt::CrossCursor : Qt::ArrowCursor));
}

void CNaviFormView::command(int id) {
    ViewState& v = model_.view();
    namespace c = navi_command;
    switch (id) {
    case c::kFit:
        model_.fitView();
        break;
    case c::kPan:
        if (editorLines_ != nullptr) break; // not while the line editor is open
        v.panMode = !v.panMode;
        v.measureMode = false;
        break;
    case c::kClearTrack:
        clearTrack();
        break;
    case c::kRotatePlus:
        rotate(v, 10.0);
        break;
    case c::kRotateMinus:
        rotate(v, -10.0);
        break;
    case c::kNorthUp:
        v.theta = 0.0;
        break;
    case c::kTurn180:
        rotate(v, 180.0);
        break;
    case c::kMeasure:
        if (editorLines_ != nullptr) break;
        v.measureMode = true;
        v.panMode = false;
        break;
    case c::kPreviousLine:
        previous_line(model_.lines(), messenger_);
        break;
    case c::kNextLine:
        next_line(model_.lines(), messenger_);
        break;
    case c::kReverseLine:
        reverse_line(model_.lines(), v.reverse, messenger_);
        break;
    case c::kLineEditor:
        v.panMode = false;
        v.measureMode = false;
        if (lineEditor_ == nullptr)
            lineEditor_ = new CSurLineEditDlg(this, messenger_, english_, host_.geodesy, this);
        lineEditor_->showEditor();
        break;
    case c::kImportLines:
        importLines();
        break;
    case c::kCloseLines: {
        ImportPlace place = host_.projectPlace ? host_.projectPlace() : ImportPlace{};
        close_line_file(model_.lines(), place.projectFile, messenger_);
        break;
    }
    case c::kSettings:
        openSettings();
        break;
    default:
        break;
    }
    updateCursor();
    update();
}

void CNaviFormView::clearTrack() {
    const int answer = messenger_.ShowMessage("确定清除航迹吗？", "Are you sure to clear track?",
                                              app::mb::kIconWarning | app::mb::kOkCancel);
    if (answer == app::IDOK) model_.clearTrack();
}

void CNaviFormView::importLines() {
    std::vector<std::string> files;
    if (host_.chooseLineFiles) {
        files = host_.chooseLineFiles();
    } else {
        const QStringList chosen =
            QFileDialog::getOpenFileNames(this, app::uiText("导入测线文件", english_), QString(),
                                          app::uiText("测线文件(*.lnw);;DXF文件(*.dxf)", english_));
        for (const QString& f : chosen)
            files.push_back(f.toStdString());
    }
    if (files.empty()) return;
    ImportPlace place = host_.projectPlace ? host_.projectPlace() : ImportPlace{};
    if (place.naviFolder.empty()) {
        // Without a project there is no Navi folder: show the files where they lie.
        for (const std::string& f : files)
            if (isLineFileName(f)) load_line_file(model_.lines(), f, true, messenger_);
    } else {
        import_line_files(model_.lines(), files, place, messenger_);
    }
    model_.fitView();
}

void CNaviFormView::openSettings() {
    NaviSettingValues values{model_.settings(), model_.view().follow, model_.showSpeed,
                             model_.showMosaic};
    bool ok = false;
    if (host_.runSettingsDialog) {
        ok = host_.runSettingsDialog(values);
    } else {
        CNaviSettingDlg dlg(values, messenger_, english_, this);
        ok = dlg.exec() == QDialog::Accepted;
        if (ok) values = dlg.values();
    }
    if (!ok) return;
    model_.settings() = values.settings;
    model_.view().follow = values.follow >= 0 && values.follow <= 3 ? values.follow : 1;
    model_.showSpeed = values.showSpeed;
    model_.showMosaic = values.showMosaic;
    if (host_.settings) *host_.settings = values.settings;
    if (host_.saveSettings) host_.saveSettings();
}

CNavigationPanelWnd::CNavigationPanelWnd(app::Messenger& messenger, bool english, NaviViewHost host,
                                         QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    toolbar_ = new QToolBar(this);
    // The tools fold into the bar's extension menu; the pane stays as narrow
    // as the operator drags it.
    toolbar_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    view_ = new CNaviFormView(messenger, english, std::move(host), this);
    struct Tool {
        int id;
        const char* chinese;
    };
    namespace c = navi_command;
    const Tool tools[] = {
        {c::kFit, "全图"},
        {c::kPan, "平移"},
        {c::kMeasure, "测距"},
        {c::kRotatePlus, "+10°"},
        {c::kRotateMinus, "-10°"},
        {c::kNorthUp, "北向上"},
        {c::kTurn180, "180°"},
        {c::kClearTrack, "清除航迹"},
        {c::kPreviousLine, "上一条"},
        {c::kNextLine, "下一条"},
        {c::kReverseLine, "反向"},
        {c::kLineEditor, "测线编辑"},
        {c::kImportLines, "导入测线"},
        {c::kCloseLines, "关闭测线"},
        {c::kSettings, "设置"},
    };
    for (const Tool& t : tools) {
        QAction* a = toolbar_->addAction(app::uiText(t.chinese, english));
        const int id = t.id;
        connect(a, &QAction::triggered, view_, [this, id] { view_->command(id); });
    }
    column->addWidget(toolbar_);
    column->addWidget(view_, 1);
}

} // namespace kestrova::navigation::ui
