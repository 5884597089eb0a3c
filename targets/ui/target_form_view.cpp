#include "targets/ui/target_form_view.h"

#include "acquisition/frame_format.h"
#include "app/config/interface_text.h"
#include "platform/fs.h"
#include "targets/target_name.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrova::targets::ui {

// The drawing area: paints through the view and hands it the mouse.
class TargetCanvas : public QWidget {
  public:
    explicit TargetCanvas(CTargetFormView& view, QWidget* parent) : QWidget(parent), view_(view) {
        setMouseTracking(true);
        setMinimumSize(160, 200);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setCursor(Qt::CrossCursor);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        view_.paintPicture(p, size());
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        view_.pointerMoved(e->position().toPoint().x(), e->position().toPoint().y());
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton)
            view_.pointerPressed(e->position().toPoint().x(), e->position().toPoint().y());
    }

  private:
    CTargetFormView& view_;
};

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// A read-out of the target texts ("Length:12.50 m", as files and the command
// line tool write them); the Chinese interface shows it under its caption.
QString readout(const char* chinese, const std::string& text, bool english) {
    if (english) return q(text);
    const std::size_t colon = text.find(':');
    std::string value = colon == std::string::npos ? text : text.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    return QString::fromUtf8(chinese) + q(value);
}

constexpr QSize kPictureFallback(480, 640);

} // namespace

CTargetFormView::CTargetFormView(TargetViewLinks links, QWidget* parent)
    : QWidget(parent), links_(std::move(links)), store_(links_.config->messenger()) {
    if (links_.freeSpace) store_.setFreeSpace(links_.freeSpace);
    english_ = links_.config->messenger().english();
    const bool english = english_;
    auto* layout = new QVBoxLayout(this);

    list_ = new QTreeWidget(this);
    list_->setColumnCount(1);
    list_->setHeaderLabels({app::uiText("名称", english)});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMaximumHeight(140);
    layout->addWidget(list_);
    connect(list_, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { showTarget(list_->indexOfTopLevelItem(item)); });

    auto* buttons = new QGridLayout();
    auto button = [&](const char* name, const char* chinese, int r, int c, auto fn) {
        auto* b = new QPushButton(app::uiText(chinese, english), this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, fn);
        buttons->addWidget(b, r, c);
    };
    // Three narrow columns: the pane sits beside the waterfalls.
    button("Delete", "删除", 0, 0, [this] { deleteTargets(); });
    button("Delete all", "全部删除", 0, 1, [this] { deleteAllTargets(); });
    button("Save", "保存", 1, 0, [this] { saveTarget(); });
    button("Save all", "全部保存", 1, 1, [this] { saveAllTargets(); });
    button("Length", "长度", 2, 0, [this] { startTool(Tool::Length); });
    button("Width", "宽度", 2, 1, [this] { startTool(Tool::Width); });
    button("Height", "高度", 2, 2, [this] { startTool(Tool::Height); });
    layout->addLayout(buttons);

    auto* settings = new QHBoxLayout();
    paletteBox_ = new QComboBox(this);
    for (const char* name : {"棕色", "棱彩", "灰度", "彩虹"})
        paletteBox_->addItem(app::uiText(name, english));
    invertBox_ = new QCheckBox(app::uiText("反色", english), this);
    strength_ = new QSlider(Qt::Horizontal, this);
    strength_->setRange(0, 99);
    strength_->setValue(30);
    settings->addWidget(paletteBox_);
    settings->addWidget(invertBox_);
    layout->addLayout(settings);
    layout->addWidget(strength_);
    auto changed = [this] {
        if (updating_) return;
        block_.palette = static_cast<std::uint32_t>(std::max(paletteBox_->currentIndex(), 0));
        block_.selection = block_.palette;
        block_.invert = invertBox_->isChecked() ? 1 : 0;
        block_.strength = static_cast<std::uint32_t>(strength_->value());
        if (hasTarget()) dirty_ = true;
        drawSnapshot();
    };
    connect(paletteBox_, &QComboBox::currentIndexChanged, this, changed);
    connect(invertBox_, &QCheckBox::toggled, this, changed);
    connect(strength_, &QSlider::valueChanged, this, changed);

    canvas_ = new TargetCanvas(*this, this);
    layout->addWidget(canvas_, 1);

    auto* texts = new QGridLayout();
    auto label = [&](int r, int c) {
        auto* l = new QLabel(this);
        texts->addWidget(l, r, c);
        return l;
    };
    time_ = label(0, 0);
    ping_ = label(1, 0);
    lat_ = label(2, 0);
    lon_ = label(3, 0);
    east_ = label(4, 0);
    north_ = label(5, 0);
    length_ = label(6, 0);
    width_ = label(7, 0);
    height_ = label(8, 0);
    layout->addLayout(texts);

    description_ = new QPlainTextEdit(this);
    description_->setPlaceholderText(app::uiText("如有必要，请描述目标！", english));
    description_->setMaximumHeight(90);
    connect(description_, &QPlainTextEdit::textChanged, this, [this] {
        if (!updating_ && hasTarget()) dirty_ = true;
    });
    layout->addWidget(description_);

    if (links_.queue)
        handle_ = links_.queue->registerWindow(
            [this](const platform::WindowMessage& m) { onMessage(m); });
    loadPalette(0, false);
    clearCurrent();
}

CTargetFormView::~CTargetFormView() {
    if (links_.queue && handle_ != platform::kNoWindow) links_.queue->unregisterWindow(handle_);
}

QWidget* CTargetFormView::canvas() const {
    return canvas_;
}

double CTargetFormView::soundSpeed() const {
    const double c = links_.config->sonar.soundSpeed;
    return c > 0.0 ? c : 1500.0;
}

void CTargetFormView::onMessage(const platform::WindowMessage& m) {
    switch (m.id) {
    case WM_DRAW_TARGET:
        drawSnapshot();
        break;
    case WM_CREATE_TARGET:
        createTarget(static_cast<std::uint32_t>(m.wParam));
        break;
    case WM_RELOAD_TARGETS:
        reloadList();
        break;
    default:
        break;
    }
}

bool CTargetFormView::confirm(const std::string& zh, const std::string& en) {
    return messenger().ShowMessage(zh, en, app::mb::kIconQuestion | app::mb::kOkCancel) ==
           app::IDOK;
}

void CTargetFormView::loadPalette(int choice, bool invert) {
    if (loadedPalette_ && loadedPalette_->first == choice && loadedPalette_->second == invert)
        return;
    const char* file = display::Palette::fileName(choice);
    display::Palette next = palette_;
    if (!next.loadFile(platform::joinPath(links_.config->programFolder(), file))) {
        // The previous table stays; the same choice is not retried until it changes.
        messenger().ShowMessage(std::string(file) + "打开文件失败",
                                std::string(file) + "Failed  to open the file");
        loadedPalette_ = std::make_pair(choice, invert);
        return;
    }
    if (invert) next.reverse();
    palette_ = next;
    loadedPalette_ = std::make_pair(choice, invert);
}

PictureGeometry CTargetFormView::geometryFor(int width, int height) const {
    PictureGeometry g;
    g.width = width;
    g.height = height;
    if (!hasTarget()) return g;
    const display::TargetSnapshot& s = *links_.snapshot;
    g.pings = s.pingCount;
    g.firstSample = 0;
    g.visibleSamples = std::min(s.sampleCount, kRowSamples);
    g.firstPing = 0;
    g.visiblePings = s.pingCount;
    return g;
}

void CTargetFormView::buildImage() {
    image_ = QImage();
    if (!hasTarget()) return;
    const display::TargetSnapshot& s = *links_.snapshot;
    const std::uint32_t samples = std::min(s.sampleCount, kRowSamples);
    if (samples == 0) return;
    loadPalette(static_cast<int>(block_.palette), block_.invert != 0);
    const std::uint64_t k = display::colourScale(static_cast<int>(block_.strength));
    image_ = QImage(static_cast<int>(samples), static_cast<int>(s.pingCount), QImage::Format_RGB32);
    for (std::uint32_t r = 0; r < s.pingCount; ++r) {
        // Newest ping on the top row; a port row mirrored, outer end left.
        const auto row = s.row(s.pingCount - 1 - r);
        auto* out = reinterpret_cast<QRgb*>(image_.scanLine(static_cast<int>(r)));
        for (std::uint32_t j = 0; j < samples; ++j) {
            const std::uint16_t u = row[s.side == 0 ? samples - 1 - j : j];
            out[j] = 0xFF000000u | palette_.colour(u, k);
        }
    }
}

void CTargetFormView::drawSnapshot() {
    buildImage();
    if (canvas_) canvas_->update();
}

void CTargetFormView::paintPicture(QPainter& p, const QSize& size) const {
    const QRect area(QPoint(0, 0), size);
    p.fillRect(area, Qt::black);
    if (area.isEmpty() || !hasTarget() || image_.isNull()) return;
    p.drawImage(area, image_);
    const PictureGeometry g = geometryFor(size.width(), size.height());
    const display::TargetSnapshot& s = *links_.snapshot;
    // The marked sample is counted across the picture as the waterfall showed
    // it (a port side mirrored), as the columns here are.
    if (const auto m = markerAt(g, block_.markedSample, s.pingCount - block_.markedPing)) {
        p.setPen(QPen(Qt::red, 2));
        p.drawEllipse(QPoint(m->x, m->y), 8, 8);
        p.drawLine(m->x - 12, m->y, m->x + 12, m->y);
        p.drawLine(m->x, m->y - 12, m->x, m->y + 12);
    }
    auto line = [&](const std::pair<QPoint, QPoint>& l, const QColor& c) {
        p.setPen(QPen(c, 2));
        p.drawLine(l.first, l.second);
    };
    if (lengthLine_) line(*lengthLine_, Qt::yellow);
    if (widthLine_) line(*widthLine_, Qt::cyan);
    if (rubberStarted_)
        line({rubberStart_, rubberEnd_}, tool_ == Tool::Length ? Qt::yellow : Qt::cyan);
    if (heightClicks_ > 0) {
        p.setPen(QPen(Qt::magenta, 2));
        for (int i = 0; i < heightClicks_; ++i)
            p.drawLine(heightX_[i], heightRow_ - 6, heightX_[i], heightRow_ + 6);
        p.drawLine(heightX_[0], heightRow_, heightX_[heightClicks_ - 1], heightRow_);
    }
}

QImage CTargetFormView::renderPicture() const {
    QSize size = canvas_ ? canvas_->size() : QSize();
    if (size.isEmpty() || !canvas_->isVisible()) size = size.isEmpty() ? kPictureFallback : size;
    QImage picture(size, QImage::Format_RGB32);
    QPainter p(&picture);
    paintPicture(p, size);
    p.end();
    return picture;
}

bool CTargetFormView::writePicture(const std::string& path) const {
    const QImage picture = renderPicture();
    const QString temp = q(path + ".part");
    QImageWriter writer(temp, "jpeg");
    writer.setQuality(90);
    if (!writer.write(picture)) {
        QFile::remove(temp);
        return false;
    }
    QFile::remove(q(path));
    return QFile::rename(temp, q(path));
}

void CTargetFormView::setRowPicture(int row, bool picture) {
    if (QTreeWidgetItem* item = list_->topLevelItem(row)) {
        QPixmap icon(12, 12);
        icon.fill(picture ? QColor(40, 170, 60) : QColor(170, 170, 170));
        item->setIcon(0, QIcon(icon));
    }
}

std::vector<PlacedTarget> CTargetFormView::placedTargets() {
    std::map<std::string, std::optional<GroundPoint>> placed;
    std::vector<PlacedTarget> out;
    for (const TargetEntry& e : store_.entries()) {
        const auto known = placed_.find(e.name);
        const std::optional<GroundPoint> at =
            known != placed_.end() ? known->second : store_.markedPosition(e.name, soundSpeed());
        placed[e.name] = at;
        if (at) out.push_back({e.name, *at});
    }
    placed_ = std::move(placed);
    return out;
}

void CTargetFormView::fillList() {
    list_->clear();
    for (const TargetEntry& e : store_.entries()) {
        auto* item = new QTreeWidgetItem(list_, {q(e.name)});
        (void)item;
        setRowPicture(list_->topLevelItemCount() - 1, e.picture);
    }
    if (const auto i = store_.find(current_)) {
        list_->setCurrentItem(list_->topLevelItem(static_cast<int>(*i)));
    }
    emit targetsChanged();
}

void CTargetFormView::clearCurrent() {
    current_.clear();
    listed_ = false;
    dirty_ = false;
    block_ = TargetBlock{};
    lengthLine_.reset();
    widthLine_.reset();
    rubberStarted_ = false;
    heightClicks_ = 0;
    heightDone_ = false;
    tool_ = Tool::None;
    updating_ = true;
    description_->clear();
    updating_ = false;
    image_ = QImage();
    fillTexts(std::nullopt, std::nullopt);
    time_->clear();
    ping_->clear();
    length_->clear();
    width_->clear();
    height_->clear();
    canvas_->update();
}

void CTargetFormView::applyBlockToControls() {
    updating_ = true;
    paletteBox_->setCurrentIndex(block_.palette <= 3 ? static_cast<int>(block_.palette) : 0);
    invertBox_->setChecked(block_.invert != 0);
    strength_->setValue(static_cast<int>(std::min<std::uint32_t>(block_.strength, 99)));
    updating_ = false;
}

std::optional<std::uint32_t> CTargetFormView::pingUnder(int y) const {
    return pingAt(geometryFor(canvas_->width(), canvas_->height()), y);
}

void CTargetFormView::fillTexts(std::optional<std::uint32_t> ping,
                                std::optional<GroundPoint> point) {
    const int fmt = links_.config->sonar.install.latLonFormat;
    std::optional<GeoPosition> geo;
    if (point && links_.gridToGeo) geo = links_.gridToGeo(*point);
    lat_->setText(readout("纬度：", latitudeText(geo, fmt), english_));
    lon_->setText(readout("经度：", longitudeText(geo, fmt), english_));
    east_->setText(readout("X(东)：", eastText(point), english_));
    north_->setText(readout("Y(北)：", northText(point), english_));
    if (!ping || !hasTarget()) return;
    const display::TargetSnapshot& s = *links_.snapshot;
    const auto h = acquisition::PingHeader::decode(
        {s.headers.get() + std::size_t{*ping} * kHeaderBytes, kHeaderBytes});
    if (!h) return;
    TargetBlock t;
    t.year = h->year;
    t.month = h->month;
    t.day = h->day;
    t.hour = h->hour;
    t.minute = h->minute;
    t.second = h->second;
    time_->setText(readout("时间：", timeText(t), english_));
    ping_->setText(readout("脉冲：", pingText(h->pingNumber), english_));
}

void CTargetFormView::fillMarkedTexts(bool fresh) {
    if (!hasTarget()) return;
    const TargetSummary sum = summarize(*links_.snapshot, block_, soundSpeed(), {});
    fillTexts(std::nullopt, sum.grid);
    time_->setText(readout("时间：", timeText(block_), english_));
    ping_->setText(readout("脉冲：", pingText(block_.pingNumber), english_));
    fillMeasureTexts(fresh);
}

void CTargetFormView::fillMeasureTexts(bool fresh) {
    if (fresh) {
        // A new target reads 0.00 m until it is measured.
        length_->setText(readout("长度：", "Length:0.00 m", english_));
        width_->setText(readout("宽度：", "Width:0.00 m", english_));
        height_->setText(readout("高度：", "Height:0.00 m", english_));
        return;
    }
    length_->setText(readout("长度：", lengthText(block_.length), english_));
    width_->setText(readout("宽度：", widthText(block_.width), english_));
    height_->setText(readout("高度：", heightText(block_.height), english_));
}

void CTargetFormView::advanceRunningNumber(std::uint32_t used) {
    int& running = links_.config->sonar.targetNumber;
    if (running > static_cast<int>(used)) return;
    running = static_cast<int>(used) + 1;
    if (links_.projectOpen && links_.projectOpen() && links_.saveSettings) links_.saveSettings();
}

void CTargetFormView::createTarget(std::uint32_t side) {
    (void)side; // the snapshot carries it
    display::TargetSnapshot& s = *links_.snapshot;
    if (!(links_.projectOpen && links_.projectOpen()) || s.pingCount == 0) return;
    if (store_.folder().empty()) reloadList();
    const int running = std::max(links_.config->sonar.targetNumber, 0);
    const auto number = store_.nextNumber(static_cast<std::uint32_t>(running));
    if (!number) {
        messenger().ShowMessage("目标编号已用完（最大99999）。",
                                "All target numbers up to 99999 are in use.");
        return;
    }
    block_ = blockFromSnapshot(s);
    const std::string name = makeTargetName(*number, block_.hour, block_.minute, block_.second);
    lengthLine_.reset();
    widthLine_.reset();
    rubberStarted_ = false;
    heightClicks_ = 0;
    heightDone_ = false;
    tool_ = Tool::None;
    current_ = name;
    updating_ = true;
    description_->clear();
    updating_ = false;
    applyBlockToControls();
    const TargetStore::Outcome o = store_.addTarget(name, s, block_, "");
    listed_ = o == TargetStore::Outcome::Saved;
    // A target that could not be written stays on show; "Save" tries again.
    dirty_ = !listed_;
    if (listed_) advanceRunningNumber(*number);
    fillList();
    drawSnapshot();
    fillMarkedTexts(true);
}

void CTargetFormView::showTarget(int row) {
    if (row < 0 || row >= static_cast<int>(store_.entries().size())) return;
    const std::string name = store_.entries()[static_cast<std::size_t>(row)].name;
    if (name == current_ && hasTarget()) return;
    saveIfChanged();
    TargetBlock block;
    std::string text;
    if (!store_.readTarget(name, *links_.snapshot, block, text)) {
        clearCurrent();
        fillList();
        return;
    }
    clearCurrent();
    current_ = name;
    listed_ = true;
    block_ = block;
    applyBlockToControls();
    updating_ = true;
    description_->setPlainText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    updating_ = false;
    drawSnapshot();
    fillMarkedTexts();
    list_->setCurrentItem(list_->topLevelItem(row));
}

bool CTargetFormView::saveTarget() {
    return save(true);
}

bool CTargetFormView::save(bool writeTgt) {
    if (!hasTarget()) return false;
    const std::string text = description_->toPlainText().toStdString();
    const TargetStore::Outcome o = store_.saveTarget(
        current_, *links_.snapshot, block_, text,
        [this](const std::string& path) { return writePicture(path); }, writeTgt || !listed_);
    if (const auto i = store_.find(current_)) {
        if (!listed_) {
            listed_ = true;
            if (const auto n = targetNumberOf(current_)) advanceRunningNumber(*n);
            fillList();
        }
        setRowPicture(static_cast<int>(*i), store_.entries()[*i].picture);
    }
    if (o == TargetStore::Outcome::Saved) dirty_ = false;
    return o == TargetStore::Outcome::Saved;
}

void CTargetFormView::saveIfChanged() {
    if (!hasTarget()) return;
    const auto i = store_.find(current_);
    // An unchanged target only lacks its picture: its ".tgt" is as written.
    if (dirty_ || !i)
        save(true);
    else if (!store_.entries()[*i].picture)
        save(false);
}

void CTargetFormView::saveAllTargets() {
    if (store_.entries().empty()) return;
    if (!confirm("确定保存所有文件吗？\n可能需要几分钟。",
                 "Be sure to save all the file? \nIt may take a few minutes."))
        return;
    saveIfChanged();
    const std::string keep = current_;
    const TargetBlock keptBlock = block_;
    auto save = [this](const TargetEntry& e, const TargetBlock& b, const std::string&) {
        // Each picture drawn with its own target's settings and marks.
        current_ = e.name;
        block_ = b;
        lengthLine_.reset();
        widthLine_.reset();
        heightClicks_ = 0;
        heightDone_ = false;
        buildImage();
        const TargetStore::Outcome o = store_.saveTarget(
            e.name, *links_.snapshot, b, {},
            [this](const std::string& path) { return writePicture(path); }, false);
        return o == TargetStore::Outcome::Saved;
    };
    exportTargetsCsv(store_, *links_.snapshot, soundSpeed(), links_.gridToGeo, save);
    current_.clear();
    block_ = keptBlock;
    fillList();
    const auto i = store_.find(keep);
    if (i) {
        showTarget(static_cast<int>(*i));
    } else {
        clearCurrent();
    }
}

void CTargetFormView::deleteTargets() {
    std::vector<std::string> names;
    int firstRow = -1;
    for (QTreeWidgetItem* item : list_->selectedItems()) {
        names.push_back(item->text(0).toStdString());
        const int row = list_->indexOfTopLevelItem(item);
        firstRow = firstRow < 0 ? row : std::min(firstRow, row);
    }
    if (names.empty()) return;
    if (!confirm("确定删除吗？", "Be sure to delete?")) return;
    store_.removeTargets(names);
    if (std::find(names.begin(), names.end(), current_) != names.end()) clearCurrent();
    fillList();
    const int rows = static_cast<int>(store_.entries().size());
    if (rows > 0) showTarget(std::min(firstRow, rows - 1));
}

void CTargetFormView::deleteAllTargets() {
    if (store_.entries().empty()) return;
    if (!confirm("确定删除所有目标吗？", "Be sure to delete all the targets?")) return;
    store_.removeAll();
    clearCurrent();
    fillList();
}

void CTargetFormView::reloadList() {
    // Changes to the target on show go to the project it belongs to.
    saveIfChanged();
    clearCurrent();
    placed_.clear(); // another folder, or files changed behind the list
    if (links_.projectOpen && links_.projectOpen() && links_.targetFolder) {
        store_.setFolder(links_.targetFolder());
        store_.loadIndex();
    } else {
        store_.setFolder({});
    }
    fillList();
}

void CTargetFormView::startTool(Tool tool) {
    if (!hasTarget()) return;
    tool_ = tool;
    rubberStarted_ = false;
    heightClicks_ = 0;
    heightDone_ = false;
    canvas_->update();
}

void CTargetFormView::pointerMoved(int x, int y) {
    if (!hasTarget()) return;
    const PictureGeometry g = geometryFor(canvas_->width(), canvas_->height());
    const display::TargetSnapshot& s = *links_.snapshot;
    if (rubberStarted_ && (tool_ == Tool::Length || tool_ == Tool::Width)) {
        rubberEnd_ = QPoint(x, y);
        const auto a = locatePixel(s, g, rubberStart_.x(), rubberStart_.y(), soundSpeed());
        const auto b = locatePixel(s, g, x, y, soundSpeed());
        std::optional<double> d;
        if (a && b) d = groundDistance(*a, *b);
        if (tool_ == Tool::Length) {
            block_.length = d ? *d : -1.0;
            length_->setText(readout("长度：", measuringLengthText(d), english_));
        } else {
            block_.width = d ? *d : -1.0;
            width_->setText(readout("宽度：", measuringWidthText(d), english_));
        }
        dirty_ = true;
        canvas_->update();
    }
    fillTexts(pingAt(g, y), locatePixel(s, g, x, y, soundSpeed()));
}

void CTargetFormView::pointerPressed(int x, int y) {
    if (!hasTarget()) return;
    const display::TargetSnapshot& s = *links_.snapshot;
    const PictureGeometry g = geometryFor(canvas_->width(), canvas_->height());
    if (tool_ == Tool::Length || tool_ == Tool::Width) {
        if (!rubberStarted_) {
            rubberStarted_ = true;
            rubberStart_ = rubberEnd_ = QPoint(x, y);
            return;
        }
        pointerMoved(x, y);
        const std::pair<QPoint, QPoint> line{rubberStart_, QPoint(x, y)};
        if (tool_ == Tool::Length)
            lengthLine_ = line;
        else
            widthLine_ = line;
        rubberStarted_ = false;
        tool_ = Tool::None;
        canvas_->update();
        return;
    }
    if (tool_ != Tool::Height) return;
    if (heightDone_) {
        heightDone_ = false;
        heightClicks_ = 0;
    }
    if (heightClicks_ == 0) heightRow_ = y;
    heightX_[heightClicks_++] = x;
    canvas_->update();
    if (heightClicks_ < 3) return;
    // Range samples of the three clicks, on the row of the first.
    double samples[3];
    for (int i = 0; i < 3; ++i) {
        const auto p = sampleAt(g, heightX_[i]);
        samples[i] = p ? rangeSampleOf(s.side, *p, s.sampleCount) : 0.0;
    }
    std::optional<double> h;
    if (const auto ping = pingAt(g, heightRow_)) {
        const auto header = acquisition::PingHeader::decode(
            {s.headers.get() + std::size_t{*ping} * kHeaderBytes, kHeaderBytes});
        if (header) {
            const acquisition::PingChannelBlock& b = s.side == 0 ? header->port : header->starboard;
            h = shadowHeightMetres(samples[0], samples[1], samples[2], soundSpeed(), b.sampleRate,
                                   b.decimation);
        }
    }
    block_.height = h ? *h : -1.0;
    height_->setText(readout("高度：", measuringHeightText(h), english_));
    dirty_ = true;
    heightDone_ = true; // the ticks stay until the next measurement
    tool_ = Tool::None;
}

} // namespace kestrova::targets::ui
