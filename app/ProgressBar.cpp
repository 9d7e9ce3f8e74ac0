#include "app/ProgressBar.h"

#include <QStyleOptionProgressBar>
#include <QStylePainter>

TProgressBar::TProgressBar(QWidget* parent) : QProgressBar(parent) {
    setOrientation(Qt::Horizontal);
    setRange(0, 100);
    setValue(0);
    setTextVisible(false);
    setFocusPolicy(Qt::NoFocus);
}

void TProgressBar::paintEvent(QPaintEvent* event) {
    if (maximum() != minimum()) {
        QProgressBar::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    option.minimum = 0;
    option.maximum = 1;
    option.progress = 0;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

void ProgressBarSink::SetMaximum(int maximum) {
    bar_.setMaximum(maximum);
    bar_.repaint();
}

void ProgressBarSink::SetPosition(int position) {
    bar_.setValue(position);
    bar_.repaint();
}
