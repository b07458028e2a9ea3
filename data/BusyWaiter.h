#pragma once

#include <QElapsedTimer>
#include <QString>

// What the operator sees while another program holds the database.
class BusyNote {
  public:
    virtual ~BusyNote() = default;
    virtual void appear(const QString& text) = 0;
    virtual void disappear() = 0;
    // Lets the note take input for about ms milliseconds; false once the operator cancelled.
    virtual bool pause(int ms) = 0;
};

// Waits for another program's lock on behalf of an engine, with a note that offers a cancel.
// An engine calls wait() each time it finds the database busy and waitOver() once the
// statement got through or failed; no engine's own lock words appear here.
class BusyWaiter {
  public:
    // A lock shorter than noteDelayMs passes without a note; retryMs is the pause between tries.
    explicit BusyWaiter(BusyNote& note, int noteDelayMs = 200, int retryMs = 50);

    bool wait(); // true: try again; false: the operator gave up
    void waitOver();
    // Between the first wait() and waitOver(): the note may be taking input, and the engine
    // must refuse statements that input would start on the waiting connection.
    bool waiting() const { return waiting_; }
    bool noteShown() const { return shown_; }

    static QString noteText();

  private:
    BusyNote& note_;
    int noteDelayMs_;
    int retryMs_;
    QElapsedTimer clock_;
    bool waiting_ = false;
    bool shown_ = false;
};
