#pragma once

#include <QList>
#include <QPair>

class QueryStore;

// Puts the stored rows back in database order, then sorts them stably by the keys
// (field, descending): empty first, numbers and dates by value, texts in Chinese order.
void sortRows(QueryStore& store, const QList<QPair<int, bool>>& keys);
