#include "customers/PinyinKeyReader.h"

#include "data/AppError.h"
#include "data/Statements.h"

#include <chrono>

namespace {
constexpr auto stopCheck = std::chrono::milliseconds(20); // how soon a waiting search gives up
} // namespace

std::vector<qint64> PinyinKeys::find(const PinyinKeyword& keyword,
                                     const std::atomic_bool& abandoned) {
    {
        std::unique_lock lock(state_);
        while (!ready_) {
            if (abandoned || stop_)
                throw AppError("查询已放弃");
            published_.wait_for(lock, stopCheck);
        }
        if (!error_.isEmpty())
            throw AppError(error_);
    }
    std::lock_guard scan(scan_);
    applySaved();
    std::vector<qint64> found = index_.find(keyword, &abandoned);
    if (abandoned)
        throw AppError("查询已放弃");
    return found;
}

void PinyinKeys::saved(qint64 id, QString text) {
    std::lock_guard lock(state_);
    saved_.emplace_back(id, std::move(text));
}

bool PinyinKeys::ready() const {
    std::lock_guard lock(state_);
    return ready_;
}

size_t PinyinKeys::bytesHeld() const {
    std::lock_guard scan(scan_);
    return index_.bytesHeld();
}

// Saves made while the keys were read are applied again: the reading may have missed them.
void PinyinKeys::applySaved() {
    std::vector<std::pair<qint64, QString>> rows;
    {
        std::lock_guard lock(state_);
        rows.swap(saved_);
    }
    for (const auto& [id, text] : rows)
        index_.replace(id, text);
}

// Only text fields are read as pinyin; a date or number field keeps no keys.
void PinyinKeys::read(Connection& connection) {
    PinyinIndex index;
    try {
        {
            std::lock_guard lock(state_);
            reading_ = &connection;
        }
        auto rows = connection.query(Sql::customerFieldTexts(connection, field_));
        const FieldKind kind = rows->column(1).kind;
        if (kind == FieldKind::Text || kind == FieldKind::Memo)
            for (size_t row = 0; rows->next(); ++row) {
                if (row % 4096 == 0 && stop_)
                    throw AppError("查询已放弃");
                if (rows->type(1) == CellType::Text) {
                    const std::string_view text = rows->text(1);
                    index.add(rows->toInt64(0),
                              QString::fromUtf8(text.data(), qsizetype(text.size())));
                }
            }
        index.shrink();
        publish(std::move(index), {});
    } catch (const std::exception& e) {
        publish({}, QString::fromUtf8(e.what()));
    }
}

void PinyinKeys::publish(PinyinIndex index, QString error) {
    {
        std::scoped_lock lock(scan_, state_);
        index_ = std::move(index);
        error_ = error.isEmpty() ? QString() : QStringLiteral("拼音检索键读取失败: ") + error;
        ready_ = true;
        reading_ = nullptr;
    }
    published_.notify_all();
}

PinyinKeyReader::~PinyinKeyReader() {
    stop();
}

std::shared_ptr<PinyinKeys> PinyinKeyReader::keysOf(const QString& field) {
    if (!keys_ || keys_->field().compare(field, Qt::CaseInsensitive) != 0)
        start(field);
    return keys_;
}

void PinyinKeyReader::reread() {
    if (keys_)
        start(keys_->field());
}

void PinyinKeyReader::start(const QString& field) {
    stop();
    keys_ = std::make_shared<PinyinKeys>(field);
    worker_.post([keys = keys_, connect = connect_](const std::atomic_bool&) {
        try {
            const std::unique_ptr<Connection> connection = connect();
            keys->read(*connection);
        } catch (const std::exception& e) {
            keys->publish({}, QString::fromUtf8(e.what()));
        }
    });
}

// The keys being read are dropped; a search still waiting for them gives up.
void PinyinKeyReader::stop() {
    if (!keys_)
        return;
    keys_->stop_ = true;
    {
        std::lock_guard lock(keys_->state_);
        if (keys_->reading_)
            keys_->reading_->interrupt();
    }
    worker_.wait();
}
