#include "display/ui/waterfall_widget.h"

#include <QCursor>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace kestrova::display::ui {

WaterfallWidget::WaterfallWidget(WaterfallView& view, QWidget* parent)
    : QWidget(parent), view_(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(120, 120);
    // The label is drawn with the window's fonts; the image keeps its own
    // only for the headless snapshot.
    view_.waterfall().setLabelInImage(false);
    view_.setComposed([this] { update(); });
}

void WaterfallWidget::setEnglish(bool english) {
    english_ = english;
    update();
}

void WaterfallWidget::drawLabel(QPainter& painter) const {
    if (!view_.waterfall().labelShown()) return;
    QFont font("Arial");
    font.setBold(true);
    font.setPixelSize(kLabelPixels);
    painter.setFont(font);
    const std::uint32_t c = Waterfall::kTextColour;
    painter.setPen(QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
    const QString text = QString::fromStdString(view_.channelLabel(english_));
    // Top-left corner of the text at (5, 5), transparent background.
    painter.drawText(QRect(5, 5, 400, kLabelPixels + 10), Qt::AlignLeft | Qt::AlignTop, text);
}

QImage WaterfallWidget::picture() const {
    const RgbImage& img = view_.image();
    if (img.width <= 0 || img.height <= 0) return {};
    // The picture's pixels are 0x00RRGGBB; Qt's RGB32 ignores the top byte.
    QImage out = QImage(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
                        img.width * 4, QImage::Format_RGB32)
                     .copy();
    QPainter painter(&out);
    drawLabel(painter);
    return out;
}

void WaterfallWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Straight from the view's ring of rows: the waterfall is not copied into
    // one image first.
    const ImageBlocks b = view_.waterfall().blocks();
    if (b.width > 0 && b.height > 0) {
        if (b.blocks.empty()) painter.fillRect(0, 0, b.width, b.height, Qt::black);
        for (const ImageBlock& block : b.blocks) {
            if (block.rows <= 0) continue;
            // The picture's pixels are 0x00RRGGBB; Qt's RGB32 ignores the top byte.
            const QImage rows(reinterpret_cast<const uchar*>(block.pixels), b.width,
                              block.repeated ? 1 : block.rows, b.width * 4, QImage::Format_RGB32);
            if (block.repeated) // one line on several rows: rows repeated, columns one to one
                painter.drawImage(QRect(0, block.y, b.width, block.rows), rows,
                                  QRect(0, 0, b.width, 1));
            else
                painter.drawImage(0, block.y, rows);
        }
        drawLabel(painter);
    } else {
        painter.fillRect(rect(), Qt::black);
    }
    if (dragging_) {
        // The rubber band, inverted over the picture with a dotted white pen.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(dragStart_, dragNow_).normalized());
    }
}

void WaterfallWidget::resizeEvent(QResizeEvent*) {
    endDrag();
    const Qt::WindowStates state =
        window()->windowState() &
        (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (state != windowState_) {
        // Maximise, minimise or restore: the views are laid out anew, zoom kept.
        windowState_ = state;
        view_.relayout(width(), height());
        return;
    }
    view_.resize(width(), height());
}

bool WaterfallWidget::inWaterfall(const QPoint& p) const {
    return dragArea().contains(p);
}

QRect WaterfallWidget::dragArea() const {
    return QRect(QPoint(0, ViewLayout::kWaterfallTop), QPoint(width() - 1, height() - 1));
}

QRect WaterfallWidget::confinement() const {
    const QRect a = dragArea();
    return QRect(mapToGlobal(a.topLeft()), mapToGlobal(a.bottomRight()));
}

void WaterfallWidget::endDrag() {
    if (dragging_) update();
    dragging_ = false;
    confined_ = false;
}

void WaterfallWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit slantText(QString::fromStdString(view_.slantReadout(p.x(), english_)));
    if (!dragging_) return;
    if (p.y() < ViewLayout::kWaterfallTop) leftUpward_ = true;
    const QRect area = dragArea();
    const QPoint inside(std::clamp(p.x(), area.left(), area.right()),
                        std::clamp(p.y(), area.top(), area.bottom()));
    // Keep the pointer in the view while the operator drags, as the band
    // cannot reach outside it anyway.
    if (confined_ && inside != p) QCursor::setPos(mapToGlobal(inside));
    dragNow_ = inside;
    update();
}

void WaterfallWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && inWaterfall(p)) {
        dragging_ = true;
        confined_ = true;
        leftUpward_ = false;
        dragStart_ = dragNow_ = p;
    }
}

void WaterfallWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    endDrag();
    view_.zoom(dragStart_.x(), dragStart_.y(), dragNow_.x(), dragNow_.y(), leftUpward_);
}

void WaterfallWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        endDrag();
        view_.unzoom();
    } else if (event->button() == Qt::RightButton && inWaterfall(p)) {
        if (const auto side = view_.captureTarget(p.x(), p.y()))
            emit targetCaptured(static_cast<int>(*side));
    }
}

void WaterfallWidget::leaveEvent(QEvent*) {
    endDrag();
}

void WaterfallWidget::focusOutEvent(QFocusEvent* event) {
    endDrag();
    QWidget::focusOutEvent(event);
}

void WaterfallWidget::hideEvent(QHideEvent* event) {
    endDrag();
    QWidget::hideEvent(event);
}

void WaterfallWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Home) {
        endDrag();
        view_.unzoom();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestrova::display::ui
