#pragma once

// Search by pinyin beside the customer list's plain search: the keys of the searched field for
// every customer, read once and kept as the editor saves rows, and the customers they add to a
// finished search.

#include "customers/pinyin/PinyinIndex.h"

#include <QObject>
#include <QString>

class SettingsFile;
class TFrm_Data;

class PinyinSearch : public QObject {
    Q_OBJECT
  public:
    explicit PinyinSearch(TFrm_Data& data, QObject* parent = nullptr);

    // Config.ini [Search] Pinyin; off when absent. Writing throws AppError.
    static bool savedOn(const SettingsFile& settings);
    static void saveOn(SettingsFile& settings, bool on);

    // After the plain search of field for keyword filled Qry_Cust: when on and the keyword is
    // pinyin, adds the customers whose field reads as it and that the text did not find.
    void afterSearch(bool on, const QString& field, const QString& keyword);
    // After a refresh ran the plain statement again: keys are read anew, the last search's
    // pinyin customers added again.
    void afterRefresh();

    const PinyinIndex& index() const { return index_; }

  private:
    void readKeys(const QString& field);
    void addRows(const PinyinKeyword& keyword);
    void follow(int position); // a row the editor saved

    TFrm_Data& data_;
    PinyinIndex index_;
    QString keyedField_;              // whose keys index_ holds; empty when none were read
    QString lastField_, lastKeyword_; // the last search that was read as pinyin
};
