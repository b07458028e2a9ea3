#pragma once

#include <QWidget>

class Query;
class QPushButton;

// Four text buttons that move a query's current row: first, previous, next, last. Each is
// enabled by the query's position; bound to no query, all are disabled.
class RecordNavigator : public QWidget {
    Q_OBJECT
  public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast };

    explicit RecordNavigator(QWidget* parent = nullptr);

    void setQuery(Query* query);
    Query* query() const { return query_; }
    QPushButton* button(Button which) const { return buttons_[which]; }

  signals:
    void clicked(RecordNavigator::Button button); // after the query has moved

  private:
    void move(Button which);
    void updateButtons();

    Query* query_ = nullptr;
    QPushButton* buttons_[4];
    QList<QMetaObject::Connection> watches_;
};
