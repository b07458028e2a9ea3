#pragma once

// The pinyin keys of one field of every customer, read on a thread of their own so the window
// never waits for them. A search on another thread waits for them; rows the editor saves are
// keyed again before the next search.

#include "customers/pinyin/PinyinIndex.h"
#include "data/Engine.h"
#include "data/Worker.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// One reading of the keys, shared by the thread that reads them and the searches that use them.
class PinyinKeys {
  public:
    explicit PinyinKeys(QString field) : field_(std::move(field)) {}
    const QString& field() const { return field_; }

    // The ids whose keys match, once they are read; throws AppError when reading them failed
    // or when abandoned (or the reading's own stop) was set while waiting.
    std::vector<qint64> find(const PinyinKeyword& keyword, const std::atomic_bool& abandoned);
    void saved(qint64 id, QString text); // from any thread; never waits for a search
    bool ready() const;
    size_t bytesHeld() const;

  private:
    friend class PinyinKeyReader;
    void read(Connection& connection);
    void publish(PinyinIndex index, QString error);
    void applySaved(); // with scan_ held

    const QString field_;
    std::atomic_bool stop_{false};
    mutable std::mutex state_; // guards the members below it up to scan_
    std::condition_variable published_;
    bool ready_ = false;
    QString error_;
    std::vector<std::pair<qint64, QString>> saved_;
    Connection* reading_ = nullptr; // while the statement runs, so stopping can interrupt it
    mutable std::mutex scan_;       // guards index_ once it is published
    PinyinIndex index_;
};

class PinyinKeyReader {
  public:
    using Connect = std::function<std::unique_ptr<Connection>()>;
    explicit PinyinKeyReader(Connect connect) : connect_(std::move(connect)) {}
    ~PinyinKeyReader();
    PinyinKeyReader(const PinyinKeyReader&) = delete;
    PinyinKeyReader& operator=(const PinyinKeyReader&) = delete;

    // The keys of field, read unless they are read or on their way already.
    std::shared_ptr<PinyinKeys> keysOf(const QString& field);
    void reread(); // the field's keys anew: other copies of the program may have changed rows
    // The keys being kept, null before any were asked for.
    const std::shared_ptr<PinyinKeys>& current() const { return keys_; }

  private:
    void start(const QString& field);
    void stop();

    Connect connect_;
    std::shared_ptr<PinyinKeys> keys_;
    Worker worker_;
};
