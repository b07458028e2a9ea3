#include "customers/RecordNavigator.h"

#include "data/Query.h"

#include <QHBoxLayout>
#include <QPushButton>

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const char* captions[] = {"第一条", "前一条", "后一条", "末一条"};
    for (int i = 0; i < 4; ++i) {
        buttons_[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        buttons_[i]->setAutoDefault(false);
        buttons_[i]->setFocusPolicy(Qt::NoFocus); // not a stop in the dialog's tab order
        row->addWidget(buttons_[i]);
        connect(buttons_[i], &QPushButton::clicked, this, [this, i] { move(Button(i)); });
    }
    updateButtons();
}

void RecordNavigator::setQuery(Query* query) {
    for (const auto& watch : watches_)
        disconnect(watch);
    watches_.clear();
    query_ = query;
    if (query_) {
        watches_ << connect(query_, &Query::reset, this, &RecordNavigator::updateButtons)
                 << connect(query_, &Query::currentChanged, this, &RecordNavigator::updateButtons)
                 << connect(query_, &Query::rowInserted, this, &RecordNavigator::updateButtons)
                 << connect(query_, &Query::rowRemoved, this, &RecordNavigator::updateButtons)
                 << connect(query_, &QObject::destroyed, this, [this] {
                        query_ = nullptr;
                        updateButtons();
                    });
    }
    updateButtons();
}

void RecordNavigator::move(Button which) {
    if (!query_)
        return;
    switch (which) {
    case nbFirst:
        query_->first();
        break;
    case nbPrior:
        query_->prior();
        break;
    case nbNext:
        query_->next();
        break;
    case nbLast:
        query_->last();
        break;
    }
    updateButtons();
    emit clicked(which);
}

void RecordNavigator::updateButtons() {
    const bool rows = query_ && query_->isActive() && query_->recordCount() > 0;
    const int at = rows ? query_->recNo() : -1;
    const bool atStart = !rows || at <= 0;
    const bool atEnd = !rows || at >= query_->recordCount() - 1;
    buttons_[nbFirst]->setEnabled(!atStart);
    buttons_[nbPrior]->setEnabled(!atStart);
    buttons_[nbNext]->setEnabled(!atEnd);
    buttons_[nbLast]->setEnabled(!atEnd);
}
