#include "navigation/ui/sur_line_edit_dlg.h"

#include "app/config/interface_text.h"

#include "navigation/ui/navi_form_view.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace kestrova::navigation::ui {
namespace {

// The coordinate mode's column captions and note.
struct ModeTexts {
    const char* first;
    const char* second;
    const char* note;
};

const ModeTexts& modeTexts(CoordinateMode mode) {
    static constexpr ModeTexts kGrid{"X坐标", "Y坐标", "注：x为东向坐标，y为北向坐标"};
    static constexpr ModeTexts kGeographic{
        "B坐标", "L坐标", "注：纬度格式 04 29 29.6751 N，经度格式 076 21 7.3738 E"};
    return mode == CoordinateMode::Grid ? kGrid : kGeographic;
}

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

CSurLineEditDlg::CSurLineEditDlg(CNaviFormView* view, app::Messenger& messenger, bool english,
                                 const position::GeodesyEngine* engine, QWidget* parent)
    : QDialog(parent, Qt::Window), view_(view), messenger_(messenger), english_(english) {
    if (engine == nullptr) {
        ownEngine_ = std::make_unique<position::GeodesyEngine>();
        engine = ownEngine_.get();
    }
    editor_ = std::make_unique<LineEditor>(messenger_, *engine);
    setModal(false);
    auto t = [english](const char* chinese) { return app::uiText(chinese, english); };

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 0);

    auto* bars = new QHBoxLayout;
    fileBar_ = new QToolBar(t("文件"), this);
    fileBar_->addAction(t("新建"), this, &CSurLineEditDlg::newFile);
    fileBar_->addAction(t("打开"), this, &CSurLineEditDlg::openFile);
    fileBar_->addAction(t("保存"), this, [this] { save(); });
    fileBar_->addAction(t("另存为"), this, [this] { saveAs(); });
    fileBar_->addAction(t("关闭"), this, &QDialog::close);
    lineBar_ = new QToolBar(t("测线工具栏"), this);
    lineBar_->setObjectName("PlannedLineToolbar");
    lineBar_->addAction(t("选点"), this, &CSurLineEditDlg::pickPoints);
    lineBar_->addAction(t("添加"), this, &CSurLineEditDlg::addLine);
    lineBar_->addAction(t("删除"), this, &CSurLineEditDlg::deleteLine);
    lineBar_->addAction(t("偏移"), this, &CSurLineEditDlg::offsetLines);
    pointBar_ = new QToolBar(t("测线点工具栏"), this);
    pointBar_->setObjectName("LinePointToolbar");
    pointBar_->addAction(t("添加"), this, &CSurLineEditDlg::addPoint);
    pointBar_->addAction(t("删除"), this, &CSurLineEditDlg::deletePoint);
    pointBar_->addAction(t("插入"), this, &CSurLineEditDlg::insertPoint);
    bars->addWidget(fileBar_);
    bars->addWidget(lineBar_);
    bars->addWidget(pointBar_);
    bars->addStretch(1);
    column->addLayout(bars);

    auto* modes = new QHBoxLayout;
    gridMode_ = new QRadioButton(t("平面坐标"), this);
    geoMode_ = new QRadioButton(t("经纬度坐标"), this);
    gridMode_->setChecked(true);
    connect(geoMode_, &QRadioButton::toggled, this, &CSurLineEditDlg::setGeographic);
    modes->addWidget(gridMode_);
    modes->addWidget(geoMode_);
    modes->addStretch(1);
    column->addLayout(modes);

    auto* body = new QHBoxLayout;
    lineList_ = new QListWidget(this);
    lineList_->setMaximumWidth(120);
    connect(lineList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!filling_) selectLine(row);
    });
    body->addWidget(lineList_);
    points_ = new QTableWidget(0, 3, this);
    points_->verticalHeader()->setVisible(false);
    points_->setSelectionBehavior(QAbstractItemView::SelectRows);
    points_->setSelectionMode(QAbstractItemView::SingleSelection);
    points_->horizontalHeader()->setStretchLastSection(true);
    points_->setColumnWidth(0, 50);
    points_->setColumnWidth(1, 170);
    connect(points_, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!filling_) editor_->selectPoint(row);
    });
    connect(points_, &QTableWidget::cellChanged, this, &CSurLineEditDlg::pointEdited);
    body->addWidget(points_, 1);
    column->addLayout(body, 1);

    auto* inputs = new QGridLayout;
    firstLabel_ = new QLabel(this);
    secondLabel_ = new QLabel(this);
    first_ = new QLineEdit(this);
    second_ = new QLineEdit(this);
    inputs->addWidget(firstLabel_, 0, 0);
    inputs->addWidget(first_, 0, 1);
    inputs->addWidget(secondLabel_, 1, 0);
    inputs->addWidget(second_, 1, 1);
    column->addLayout(inputs);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    countPane_ = new QLabel(this);
    notePane_ = new QLabel(this);
    status->addWidget(countPane_);
    status->addWidget(notePane_, 1);
    column->addWidget(status);

    if (view_) {
        connect(view_, &CNaviFormView::editorPointAdded, this, [this] {
            editor_->setModified();
            refreshPoints();
            refreshTitle();
        });
        connect(view_, &CNaviFormView::addPointModeChanged, this,
                &CSurLineEditDlg::addPointModeChanged);
    }
    editor_->newList();
    setGeographic(false);
    refreshLines();
    refreshStatus();
    refreshTitle();
    resize(620, 460);
}

// The view owns the editor and outlives it: nothing to tell it here.
CSurLineEditDlg::~CSurLineEditDlg() = default;

void CSurLineEditDlg::showEditor() {
    if (view_) view_->setEditorLines(&editor_->lines(), &editor_->selectedLine());
    showNormal();
    raise();
    activateWindow();
    viewRedraw();
}

void CSurLineEditDlg::closeEvent(QCloseEvent* event) {
    if (editor_->askToSave([this] { return save(); }) == SaveAnswer::Cancelled) {
        event->ignore();
        return;
    }
    // Kept for the next opening; the view stops drawing the list (1542).
    if (view_) view_->lineEditorClosed();
    event->accept();
}

QString CSurLineEditDlg::countStatus() const {
    return countPane_->text();
}
QString CSurLineEditDlg::noteStatus() const {
    return notePane_->text();
}

void CSurLineEditDlg::viewRedraw() {
    if (view_) view_->update(); // 1528
}

void CSurLineEditDlg::refreshTitle() {
    const std::string base = app::uiText("测线编辑器", english_);
    std::string title = editor_->path().empty() ? base : base + " - " + editor_->path();
    if (editor_->modified()) title += " *";
    setWindowTitle(qs(title));
}

void CSurLineEditDlg::refreshStatus() {
    const ModeTexts& m = modeTexts(editor_->mode());
    countPane_->setText(QString::fromUtf8(app::uiText("测线数：", english_)) +
                        QString::number(editor_->lines().size()));
    notePane_->setText(QString::fromUtf8(app::uiText(m.note, english_)));
    firstLabel_->setText(QString::fromUtf8(app::uiText(m.first, english_)));
    secondLabel_->setText(QString::fromUtf8(app::uiText(m.second, english_)));
}

void CSurLineEditDlg::refreshLines() {
    filling_ = true;
    lineList_->clear();
    for (const SurveyLine& line : editor_->lines())
        lineList_->addItem(qs(line.name));
    lineList_->setCurrentRow(editor_->selectedLine());
    filling_ = false;
    refreshPoints();
    refreshStatus();
}

void CSurLineEditDlg::refreshPoints() {
    filling_ = true;
    const ModeTexts& m = modeTexts(editor_->mode());
    points_->setHorizontalHeaderLabels({app::uiText("序号", english_),
                                        app::uiText(m.first, english_),
                                        app::uiText(m.second, english_)});
    points_->setRowCount(0);
    const int sel = editor_->selectedLine();
    if (sel >= 0) {
        const SurveyLine& line = editor_->lines()[static_cast<std::size_t>(sel)];
        points_->setRowCount(static_cast<int>(line.points.size()));
        for (std::size_t i = 0; i < line.points.size(); ++i) {
            const int row = static_cast<int>(i);
            auto* number = new QTableWidgetItem(QString::number(row + 1));
            number->setFlags(number->flags() & ~Qt::ItemIsEditable);
            points_->setItem(row, 0, number);
            const auto texts = editor_->pointTexts(line.points[i]);
            points_->setItem(row, 1, new QTableWidgetItem(qs(texts.first)));
            points_->setItem(row, 2, new QTableWidgetItem(qs(texts.second)));
        }
        if (editor_->selectedPoint() >= 0) points_->selectRow(editor_->selectedPoint());
    }
    filling_ = false;
}

void CSurLineEditDlg::setGeographic(bool geographic) {
    editor_->setMode(geographic ? CoordinateMode::Geographic : CoordinateMode::Grid);
    // Radio buttons only uncheck by checking the other one.
    if (geoMode_->isChecked() != geographic) (geographic ? geoMode_ : gridMode_)->setChecked(true);
    const auto examples = editor_->exampleTexts(false);
    first_->setText(qs(examples.first));
    second_->setText(qs(examples.second));
    refreshPoints();
    refreshStatus();
}

void CSurLineEditDlg::newFile() {
    if (editor_->askToSave([this] { return save(); }) == SaveAnswer::Cancelled) return;
    editor_->newList();
    setGeographic(false);
    refreshLines();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::openFile() {
    if (editor_->askToSave([this] { return save(); }) == SaveAnswer::Cancelled) return;
    std::string path;
    if (hooks_.chooseOpenFile) {
        path = hooks_.chooseOpenFile();
    } else {
        path = QFileDialog::getOpenFileName(this, app::uiText("打开测线文件", english_), QString(),
                                            app::uiText("边线文件(*.lnw)", english_))
                   .toStdString();
    }
    if (path.empty()) return;
    editor_->read_line_file(path);
    refreshLines();
    refreshTitle();
    viewRedraw();
}

bool CSurLineEditDlg::writeAndSend(const std::string& path) {
    if (!editor_->write_line_file(path)) return false;
    refreshTitle();
    if (view_) {
        // Handed to the navigation display: copied into Navi, loaded, remembered.
        if (editor_->sendToNavigation(view_->model().lines(), view_->projectPlace()))
            view_->model().fitView();
        viewRedraw();
    }
    return true;
}

bool CSurLineEditDlg::save() {
    if (editor_->path().empty()) return saveAs();
    return writeAndSend(editor_->path());
}

bool CSurLineEditDlg::saveAs() {
    std::string path;
    if (hooks_.chooseSaveFile) {
        path = hooks_.chooseSaveFile();
    } else {
        QString start = "surveyline1.lnw";
        if (view_ && !view_->projectPlace().naviFolder.empty())
            start = qs(view_->projectPlace().naviFolder + "/surveyline1.lnw");
        path = QFileDialog::getSaveFileName(this, app::uiText("测线文件另存为：", english_), start,
                                            app::uiText("测线文件(*.lnw)", english_))
                   .toStdString();
    }
    if (path.empty()) return false;
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".lnw") != 0) path += ".lnw";
    return writeAndSend(path);
}

void CSurLineEditDlg::addLine() {
    editor_->addLine();
    refreshLines();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::deleteLine() {
    if (!editor_->deleteLine()) return;
    refreshLines();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::selectLine(int index) {
    editor_->selectLine(index);
    if (lineList_->currentRow() != editor_->selectedLine()) {
        filling_ = true;
        lineList_->setCurrentRow(editor_->selectedLine());
        filling_ = false;
    }
    refreshPoints();
    viewRedraw();
}

void CSurLineEditDlg::pickPoints() {
    if (!view_) return;
    // The view adds each click to the line selected now; a right click ends it.
    view_->setEditorLines(&editor_->lines(), &editor_->selectedLine());
    view_->setAddPointMode(true);
    showMinimized();
}

void CSurLineEditDlg::addPointModeChanged(bool on) {
    if (on || !isVisible()) return;
    showNormal();
    refreshPoints();
}

void CSurLineEditDlg::addPoint() {
    if (!editor_->addPoint(first_->text().toStdString(), second_->text().toStdString())) return;
    refreshPoints();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::insertPoint() {
    if (!editor_->insertPoint(first_->text().toStdString(), second_->text().toStdString())) return;
    refreshPoints();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::deletePoint() {
    if (!editor_->deletePoint()) return;
    refreshPoints();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::pointEdited(int row, int column) {
    if (filling_ || column < 1) return;
    const QTableWidgetItem* item = points_->item(row, column);
    if (item == nullptr) return;
    editor_->editPoint(row, column - 1, item->text().toStdString());
    // Shown again as stored: a refused text goes back to the point's value.
    refreshPoints();
    refreshTitle();
    viewRedraw();
}

void CSurLineEditDlg::offsetLines() {
    const ReferenceError e = checkReference(editor_->lines(), editor_->selectedLine());
    if (e != ReferenceError::None) {
        const MessagePair m = referenceMessage(e);
        messenger_.ShowMessage(m.chinese, m.english, app::mb::kWarningOkCancel);
        return;
    }
    OffsetChoice choice = lastOffset_;
    bool ok = false;
    if (hooks_.runOffsetSheet) {
        ok = hooks_.runOffsetSheet(choice);
    } else {
        COffsetLineSheet sheet(choice, english_, this);
        ok = sheet.exec() == QDialog::Accepted;
        if (ok) choice = sheet.choice();
    }
    if (!ok) return;
    lastOffset_ = choice;
    const bool made = choice.parallel ? editor_->offsetParallel(choice.parallelParams)
                                      : editor_->offsetShift(choice.shiftParams);
    if (!made) return;
    refreshLines();
    refreshTitle();
    viewRedraw();
}

} // namespace kestrova::navigation::ui
