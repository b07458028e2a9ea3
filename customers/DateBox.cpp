#include "customers/DateBox.h"

#include "data/DisplayFormat.h"

#include <QCalendarWidget>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QDate zeroDate(1899, 12, 30);

// Order of the year, month and day fields as a short date format writes them.
QString fieldOrder(const QString& pattern) {
    QString order;
    for (QChar c : pattern) {
        const QChar part = c == u'y' ? u'y' : c == u'M' ? u'm' : c == u'd' ? u'd' : QChar();
        if (!part.isNull() && !order.contains(part))
            order += part;
    }
    return order.size() == 3 ? order : QStringLiteral("ymd");
}

QChar firstSeparator(const QString& pattern) {
    for (QChar c : pattern)
        if (!c.isLetterOrNumber() && c != u'\'' && !c.isSpace())
            return c;
    return u'/';
}

int digitsOf(QChar part, int yearDigits) {
    return part == u'y' ? yearDigits : 2;
}

} // namespace

DateBoxFormat::DateBoxFormat() : DateBoxFormat(shortDateFormat()) {}

DateBoxFormat::DateBoxFormat(const QLocale& locale)
    : DateBoxFormat(locale.dateFormat(QLocale::ShortFormat)) {}

DateBoxFormat::DateBoxFormat(const QString& pattern) {
    order_ = fieldOrder(pattern);
    separator_ = firstSeparator(pattern);
    yearDigits_ = pattern.contains(QStringLiteral("yyyy")) ? 4 : 2;
}

QString DateBoxFormat::text(const QDate& date) const {
    if (!date.isValid())
        return {};
    QStringList parts;
    for (QChar part : order_) {
        const int value = part == u'y'   ? date.year() % (yearDigits_ == 4 ? 10000 : 100)
                          : part == u'm' ? date.month()
                                         : date.day();
        parts << QString::number(value).rightJustified(digitsOf(part, yearDigits_), u'0');
    }
    return parts.join(separator_);
}

QDate DateBoxFormat::parse(const QString& text) const {
    const QStringList parts = text.split(separator_);
    if (parts.size() != 3)
        return {};
    int year = 0, month = 0, day = 0;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return {};
        (order_[i] == u'y' ? year : order_[i] == u'm' ? month : day) = value;
    }
    if (yearDigits_ == 2 || year < 100) {
        const int today = QDate::currentDate().year();
        year += today - today % 100;
        if (year > today + 49)
            year -= 100;
    }
    const QDate date(year, month, day);
    return date.isValid() ? date : QDate();
}

QString DateBoxFormat::inputMask() const {
    const QString metaCharacters = QStringLiteral("AaNnXx90Dd#HhBb><!;\\[]{}");
    const QString separator =
        metaCharacters.contains(separator_) ? QString(u'\\') + separator_ : QString(separator_);
    QStringList parts;
    for (QChar part : order_)
        parts << QString(digitsOf(part, yearDigits_), u'0');
    return parts.join(separator) + QStringLiteral(";_");
}

DateBox::DateBox(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), drop_(new QToolButton(this)),
      stored_(new QLabel(this)), popup_(new QFrame(this, Qt::Popup)),
      calendar_(new QCalendarWidget(popup_)) {
    edit_->setInputMask(format_.inputMask());
    drop_->setArrowType(Qt::DownArrow);
    drop_->setFocusPolicy(Qt::NoFocus); // the box is one stop in the tab order
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(edit_);
    row->addWidget(drop_);
    row->addWidget(stored_);
    stored_->hide();
    stored_->setMaximumWidth(120);
    setFocusProxy(edit_);

    popup_->setFrameShape(QFrame::Box);
    auto* popupLayout = new QVBoxLayout(popup_);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    popupLayout->addWidget(calendar_);

    connect(drop_, &QToolButton::clicked, this, &DateBox::showPopup);
    connect(calendar_, &QCalendarWidget::clicked, this, &DateBox::pickDate);
    connect(calendar_, &QCalendarWidget::activated, this, &DateBox::pickDate);
    connect(edit_, &QLineEdit::textEdited, this, &DateBox::dateChanged);
}

void DateBox::setDate(const QDate& date) {
    edit_->setText(date.isValid() && date != zeroDate ? format_.text(date) : QString());
    emit dateChanged();
}

QDate DateBox::date() const {
    return format_.parse(edit_->text());
}

bool DateBox::isEmpty() const {
    for (QChar c : edit_->text())
        if (c.isDigit())
            return false;
    return true;
}

bool DateBox::isReadable() const {
    return isEmpty() || date().isValid();
}

void DateBox::setStoredText(const QString& text) {
    const QString note = QStringLiteral("原值：") + text;
    stored_->setToolTip(note);
    stored_->setText(
        stored_->fontMetrics().elidedText(note, Qt::ElideRight, stored_->maximumWidth()));
    stored_->setVisible(!text.isEmpty());
    storedText_ = text;
}

bool DateBox::popupVisible() const {
    return popup_->isVisible();
}

void DateBox::showPopup() {
    const QDate shown = date();
    calendar_->setSelectedDate(shown.isValid() ? shown : QDate::currentDate());
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(0, height())));
    popup_->show();
    calendar_->setFocus();
}

void DateBox::pickDate(const QDate& date) {
    popup_->hide();
    setDate(date);
    edit_->setFocus();
}
