#include "display/ui/waterfall_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

namespace kestrova::display::ui {

WaterfallWidget::WaterfallWidget(WaterfallView& view, QWidget* parent)
    : QWidget(parent), view_(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(120, 120);
    view_.setComposed([this] { update(); });
}

QImage WaterfallWidget::picture() const {
    const RgbImage& img = view_.image();
    if (img.width <= 0 || img.height <= 0) return {};
    // The picture's pixels are 0x00RRGGBB; Qt's RGB32 ignores the top byte.
    return QImage(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
                  img.width * 4, QImage::Format_RGB32)
        .copy();
}

void WaterfallWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const RgbImage& img = view_.image();
    if (img.width > 0 && img.height > 0) {
        const QImage frame(reinterpret_cast<const uchar*>(img.pixels.data()), img.width, img.height,
                           img.width * 4, QImage::Format_RGB32);
        painter.drawImage(0, 0, frame);
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
    view_.resize(width(), height());
}

bool WaterfallWidget::inWaterfall(const QPoint& p) const {
    return p.y() >= ViewLayout::kWaterfallTop && p.y() < height() && p.x() >= 0 && p.x() < width();
}

void WaterfallWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit slantText(QString::fromStdString(view_.slantReadout(p.x(), english_)));
    if (dragging_) {
        if (p.y() < ViewLayout::kWaterfallTop) leftUpward_ = true;
        dragNow_ = QPoint(std::clamp(p.x(), 0, width() - 1),
                          std::clamp(p.y(), int{ViewLayout::kWaterfallTop}, height() - 1));
        update();
    }
}

void WaterfallWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && inWaterfall(p)) {
        dragging_ = true;
        leftUpward_ = false;
        dragStart_ = dragNow_ = p;
    }
}

void WaterfallWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    update();
    view_.zoom(dragStart_.x(), dragStart_.y(), dragNow_.x(), dragNow_.y(), leftUpward_);
}

void WaterfallWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        view_.unzoom();
    } else if (event->button() == Qt::RightButton && inWaterfall(p)) {
        emit targetCaptureRequested(p.x(), p.y());
    }
}

void WaterfallWidget::leaveEvent(QEvent*) {
    if (dragging_) {
        dragging_ = false;
        update();
    }
}

void WaterfallWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Home) {
        dragging_ = false;
        view_.unzoom();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace kestrova::display::ui
