// Small surfaces of the viewer window: a picture that reports presses (the
// slide images and the top strip).
#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <functional>

namespace velmor::viewer {

/// Shows a pixmap at its top-left and reports mouse presses with the
/// position inside the picture.
class PressablePicture : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(Qt::MouseButton, QPoint)> onPress;

    void SetPicture(const QPixmap& picture) {
        picture_ = picture;
        update();
    }
    const QPixmap& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (!picture_.isNull()) p.drawPixmap(0, 0, picture_);
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (onPress) onPress(e->button(), e->position().toPoint());
    }

private:
    QPixmap picture_;
};

}  // namespace velmor::viewer
