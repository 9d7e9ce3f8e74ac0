#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <functional>

// A label that reports a left click (press and release over it).
class TClickLabel : public QLabel {
  public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
            OnClick)
            OnClick();
    }
};
