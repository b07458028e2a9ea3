#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Told how far a long job has come; the window behind it shows the figure and its cancel.
class WorkProgress {
  public:
    virtual ~WorkProgress() = default;
    // Returns false when the operator asked to stop.
    virtual bool advance(qint64 done, qint64 total) = 0;
};

// Passes the count on about every 100 ms, so a job can call it for every row.
class ProgressTicker {
  public:
    ProgressTicker(WorkProgress* progress, qint64 total) : progress_(progress), total_(total) {
        clock_.start();
    }
    // False once the operator asked to stop.
    bool tick(qint64 done) {
        if (!progress_ || (++calls_ & 0xF) != 0 || clock_.elapsed() < 100)
            return true;
        clock_.restart();
        return progress_->advance(done, total_);
    }
    bool finish() { return !progress_ || progress_->advance(total_, total_); }

  private:
    WorkProgress* progress_;
    qint64 total_;
    qint64 calls_ = 0;
    QElapsedTimer clock_;
};
