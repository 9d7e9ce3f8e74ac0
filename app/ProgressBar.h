#pragma once

#include <QProgressBar>

#include "merge/MergeJob.h"

// A horizontal bar without text. An empty range (a merge of no workbooks) shows an empty bar,
// where Qt would show its "busy" animation.
class TProgressBar : public QProgressBar {
  public:
    explicit TProgressBar(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// The merge job's progress on the bar. The job runs on the window's thread, so each step is
// painted at once rather than when the event loop next runs.
class ProgressBarSink : public merge::IProgressSink {
  public:
    explicit ProgressBarSink(QProgressBar& bar) : bar_(bar) {}
    void SetMaximum(int maximum) override;
    void SetPosition(int position) override;

  private:
    QProgressBar& bar_;
};
