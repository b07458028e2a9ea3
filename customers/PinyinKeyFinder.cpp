#include "customers/PinyinKeyFinder.h"

#include "data/AppError.h"
#include "data/Statements.h"

#include <algorithm>
#include <chrono>

namespace {

const char* const abandonedText = "查询已放弃";
constexpr size_t codesPerStatement = 5000; // well inside every engine's limit of bound values

// The customers of codes (sorted), a statement per slice; null for no codes.
std::unique_ptr<QueryStore> readCustomers(Connection& connection, const std::vector<qint64>& codes,
                                          const Rights& rights, const std::atomic_bool& stop) {
    std::unique_ptr<QueryStore> rows;
    for (size_t at = 0; at < codes.size(); at += codesPerStatement) {
        if (stop)
            throw AppError(abandonedText);
        const auto end = codes.begin() + ptrdiff_t(std::min(codes.size(), at + codesPerStatement));
        auto result = connection.query(
            Sql::customersByCode(QList<qint64>(codes.begin() + ptrdiff_t(at), end), rights));
        if (!rows)
            rows = std::make_unique<QueryStore>(*result);
        rows->load(*result, &stop);
    }
    return rows;
}

} // namespace

std::unique_ptr<QueryStore> PinyinKeyFinder::Request::wait(const std::atomic_bool& abandoned) {
    std::unique_lock lock(mutex_);
    while (!finished_) {
        if (abandoned)
            throw AppError(abandonedText);
        done_.wait_for(lock, std::chrono::milliseconds(5));
    }
    if (!error_.isEmpty())
        throw AppError(error_);
    return std::move(rows_);
}

void PinyinKeyFinder::Request::finish(std::unique_ptr<QueryStore> rows, QString error) {
    {
        std::lock_guard lock(mutex_);
        rows_ = std::move(rows);
        error_ = std::move(error);
        finished_ = true;
    }
    done_.notify_all();
}

PinyinKeyFinder::PinyinKeyFinder(Connect connect, Rights rights)
    : connect_(std::move(connect)), rights_(std::move(rights)), worker_({nullptr, nullptr, [this] { connection_.reset(); }}) {}

// A newer search tells the older one to stop; one still waiting ends as abandoned at once.
std::shared_ptr<PinyinKeyFinder::Request> PinyinKeyFinder::find(std::shared_ptr<PinyinKeys> keys,
                                                                const QString& keyword) {
    auto request = std::make_shared<Request>(std::move(keys), keyword);
    worker_.replace([this, request](const std::atomic_bool& stop) { serve(*request, stop); },
                    [request] { request->finish({}, abandonedText); });
    return request;
}

void PinyinKeyFinder::serve(Request& request, const std::atomic_bool& stop) {
    try {
        std::vector<qint64> codes = request.keys_->find(request.keyword_, stop);
        if (codes.empty()) {
            request.finish({}, {});
            return;
        }
        std::sort(codes.begin(), codes.end());
        if (!connection_)
            connection_ = connect_();
        request.finish(readCustomers(*connection_, codes, rights_, stop), {});
    } catch (const std::exception& e) {
        request.finish({}, QString::fromUtf8(e.what()));
    }
}
