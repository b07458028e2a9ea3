#pragma once

#include <QDate>
#include <QLocale>
#include <QWidget>

class QCalendarWidget;
class QFrame;
class QLabel;
class QLineEdit;
class QToolButton;

// How the date box writes a date: the parts in the order of a date format, its separator,
// two-digit month and day, a four-digit year unless the format writes two.
class DateBoxFormat {
  public:
    DateBoxFormat(); // the lists' own date format, so box and list read alike
    explicit DateBoxFormat(const QString& pattern);
    explicit DateBoxFormat(const QLocale& locale); // the locale's short date format

    QString text(const QDate& date) const; // "" for a null date
    // A null date for text without a whole valid date in it. Two-digit years fall within
    // 50 years of today.
    QDate parse(const QString& text) const;
    QString inputMask() const;
    QChar separator() const { return separator_; }
    bool fourDigitYear() const { return yearDigits_ == 4; }
    QString order() const { return order_; } // "ymd", "mdy", "dmy", ...

  private:
    QString order_;
    QChar separator_;
    int yearDigits_ = 4;
};

// A masked date entry with a drop-down calendar that, unlike QDateEdit, can be empty.
class DateBox : public QWidget {
    Q_OBJECT
  public:
    explicit DateBox(QWidget* parent = nullptr);

    // A null or invalid date, and the zero date 30 Dec 1899, leave the box empty.
    void setDate(const QDate& date);
    QDate date() const;      // null when the box is empty or unreadable
    bool isEmpty() const;    // no digit typed
    bool isReadable() const; // empty, or a whole valid date
    // Shows beside the box what the row holds where that is no date; "" hides it.
    void setStoredText(const QString& text);
    const QString& storedText() const { return storedText_; }
    const DateBoxFormat& format() const { return format_; }

    QLineEdit* lineEdit() const { return edit_; }
    QToolButton* dropButton() const { return drop_; }
    QCalendarWidget* calendar() const { return calendar_; }
    bool popupVisible() const;
    void showPopup();

  signals:
    void dateChanged();

  private:
    void pickDate(const QDate& date);

    DateBoxFormat format_;
    QLineEdit* edit_;
    QToolButton* drop_;
    QLabel* stored_;
    QString storedText_;
    QFrame* popup_;
    QCalendarWidget* calendar_;
};
