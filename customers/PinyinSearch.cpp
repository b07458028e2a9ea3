#include "customers/PinyinSearch.h"

#include "data/Statements.h"
#include "data/U_Data.h"

#include <algorithm>

namespace {

const QString section = QStringLiteral("Search");
const QString key = QStringLiteral("Pinyin");
const QString codeField = QStringLiteral("CustCode");
constexpr qsizetype codesPerStatement = 500; // well inside every engine's limit of bound values

std::vector<qint64> codesShown(const Query& customers) {
    std::vector<qint64> codes;
    const int field = customers.findField(codeField);
    if (field < 0)
        return codes;
    codes.reserve(size_t(customers.recordCount()));
    for (int row = 0; row < customers.recordCount(); ++row)
        codes.push_back(customers.value(row, field).toLongLong());
    std::sort(codes.begin(), codes.end());
    return codes;
}

} // namespace

PinyinSearch::PinyinSearch(TFrm_Data& data, QObject* parent) : QObject(parent), data_(data) {
    connect(&data_.Qry_Cust, &Query::rowInserted, this, &PinyinSearch::follow);
    connect(&data_.Qry_Cust, &Query::rowChanged, this, &PinyinSearch::follow);
}

bool PinyinSearch::savedOn(const SettingsFile& settings) {
    return settings.ReadInteger(section, key, 0) != 0;
}

void PinyinSearch::saveOn(SettingsFile& settings, bool on) {
    settings.WriteInteger(section, key, on ? 1 : 0);
}

void PinyinSearch::afterSearch(bool on, const QString& field, const QString& keyword) {
    lastField_.clear();
    lastKeyword_.clear();
    const PinyinKeyword pinyin(keyword);
    if (!on || !pinyin.usable())
        return;
    lastField_ = field;
    lastKeyword_ = keyword;
    if (keyedField_.compare(field, Qt::CaseInsensitive) != 0)
        readKeys(field);
    addRows(pinyin);
}

void PinyinSearch::afterRefresh() {
    keyedField_.clear(); // other copies of the program may have changed rows meanwhile
    index_.clear();
    const QString field = lastField_, keyword = lastKeyword_; // afterSearch clears them
    if (!field.isEmpty())
        afterSearch(true, field, keyword);
}

// Only text fields are read as pinyin; a date or number field keeps no keys.
void PinyinSearch::readKeys(const QString& field) {
    index_.clear();
    keyedField_.clear();
    auto rows = data_.ADOConnection1->query(Sql::customerFieldTexts(*data_.ADOConnection1, field));
    const FieldKind kind = rows->column(1).kind;
    if (kind == FieldKind::Text || kind == FieldKind::Memo)
        while (rows->next())
            if (rows->type(1) == CellType::Text) {
                const std::string_view text = rows->text(1);
                index_.add(rows->toInt64(0),
                           QString::fromUtf8(text.data(), qsizetype(text.size())));
            }
    index_.shrink();
    keyedField_ = field;
}

void PinyinSearch::addRows(const PinyinKeyword& keyword) {
    std::vector<qint64> found = index_.find(keyword);
    std::sort(found.begin(), found.end());
    const std::vector<qint64> shown = codesShown(data_.Qry_Cust);
    QList<qint64> missing;
    std::set_difference(found.begin(), found.end(), shown.begin(), shown.end(),
                        std::back_inserter(missing));
    QList<SqlCommand> fetches;
    for (qsizetype at = 0; at < missing.size(); at += codesPerStatement)
        fetches << Sql::customersByCode(missing.mid(at, codesPerStatement));
    if (!fetches.isEmpty())
        data_.Qry_Cust.appendRows(fetches);
}

void PinyinSearch::follow(int position) {
    if (keyedField_.isEmpty())
        return;
    const Query& customers = data_.Qry_Cust;
    const int code = customers.findField(codeField);
    const int text = customers.findField(keyedField_);
    if (code < 0 || text < 0)
        return;
    const FieldKind kind = customers.field(text).kind;
    if (kind == FieldKind::Text || kind == FieldKind::Memo)
        index_.replace(customers.value(position, code).toLongLong(),
                       customers.value(position, text).toString());
}
