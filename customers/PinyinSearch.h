#pragma once

// Search by pinyin beside the customer list's plain search: the keys of the searched field for
// every customer, read off the window's thread and kept as the editor saves rows, and the
// customers they add to a search before its result shows. Keys follow what others change: a
// search or a refresh after another copy of the program wrote to the database reads them anew,
// which a cheap change marker of the database tells without reading any row.

#include "customers/PinyinKeyFinder.h"
#include "customers/PinyinKeyReader.h"
#include "data/QueryLoader.h"

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

    // Starts reading the keys of field, so the first pinyin search finds them read.
    void prepare(const QString& field);
    // On, a field and a keyword that is pinyin.
    static bool applies(bool on, const QString& field, const QString& keyword);
    // When it applies: the step that adds to the plain search's rows the customers whose field
    // reads as the keyword; null otherwise. It runs on the loader's thread, and the keys are
    // searched from now on, beside the plain statement.
    QueryLoader::Finish finisher(bool on, const QString& field, const QString& keyword);
    void reread();         // a refresh: other copies of the program may have changed rows
    void renewIfChanged(); // reread, when others wrote since the keys were read

    const PinyinKeyReader& keys() const { return keys_; }

  private:
    void follow(int position); // a row the editor saved
    std::shared_ptr<PinyinKeys> keysOf(const QString& field);
    QString changeMarker() const;

    TFrm_Data& data_;
    PinyinKeyReader keys_;
    PinyinKeyFinder finder_;
    QString keysMarker_; // the database's change marker when the keys began to be read
};
