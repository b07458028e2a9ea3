#include "customers/PinyinSearch.h"

#include "data/AppError.h"
#include "data/QueryStore.h"
#include "data/U_Data.h"

#include <algorithm>

namespace {

const QString section = QStringLiteral("Search");
const QString key = QStringLiteral("Pinyin");
const QString codeField = QStringLiteral("CustCode");

int fieldIndex(const QueryStore& rows, const QString& name) {
    for (size_t i = 0; i < rows.fields.size(); ++i)
        if (rows.fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

// The codes of the rows in order, sorted; none when the rows have no code field.
std::vector<qint64> codesIn(const QueryStore& rows) {
    std::vector<qint64> codes;
    const int field = fieldIndex(rows, codeField);
    if (field < 0)
        return codes;
    codes.reserve(rows.order.size());
    for (uint32_t row : rows.order)
        if (rows.type(row, field) == CellType::Integer)
            codes.push_back(rows.integer(row, field));
    std::sort(codes.begin(), codes.end());
    return codes;
}

// The customers found by their keys that the plain search did not find, after its rows.
void addFound(QueryStore& rows, PinyinKeyFinder::Request& byKeys,
              const std::atomic_bool& abandoned) {
    std::unique_ptr<QueryStore> found = byKeys.wait(abandoned);
    const int code = found ? fieldIndex(*found, codeField) : -1;
    if (code < 0)
        return;
    const std::vector<qint64> shown = codesIn(rows);
    std::vector<uint32_t> missing;
    for (uint32_t row : found->order)
        if (!std::binary_search(shown.begin(), shown.end(), found->integer(row, code)))
            missing.push_back(row);
    if (missing.empty())
        return;
    rows.appendRows(std::move(*found), missing);
    if (rows.current < 0) {
        rows.current = 0;
        rows.bof = true;
        rows.eof = false;
    }
}

} // namespace

PinyinSearch::PinyinSearch(TFrm_Data& data, QObject* parent)
    : QObject(parent), data_(data), keys_([&data] { return data.openReader(); }),
      finder_([&data] { return data.openReader(); }, data.rights) {
    connect(&data_.Qry_Cust, &Query::rowInserted, this, &PinyinSearch::follow);
    connect(&data_.Qry_Cust, &Query::rowChanged, this, &PinyinSearch::follow);
}

bool PinyinSearch::savedOn(const SettingsFile& settings) {
    return settings.ReadInteger(section, key, 0) != 0;
}

void PinyinSearch::saveOn(SettingsFile& settings, bool on) {
    settings.WriteInteger(section, key, on ? 1 : 0);
}

void PinyinSearch::prepare(const QString& field) {
    if (!field.isEmpty())
        keysOf(field);
}

QString PinyinSearch::changeMarker() const {
    return data_.ADOConnection1 ? data_.ADOConnection1->changeMarker() : QString();
}

// The marker is taken before the reading starts: a change made while it runs moves the marker
// past it, so the next search reads again.
std::shared_ptr<PinyinKeys> PinyinSearch::keysOf(const QString& field) {
    const QString marker = changeMarker();
    const auto& current = keys_.current();
    if (current && marker != keysMarker_ &&
        current->field().compare(field, Qt::CaseInsensitive) == 0)
        keys_.reread();
    keysMarker_ = marker;
    return keys_.keysOf(field);
}

bool PinyinSearch::applies(bool on, const QString& field, const QString& keyword) {
    return on && !field.isEmpty() && PinyinKeyword(keyword).usable();
}

QueryLoader::Finish PinyinSearch::finisher(bool on, const QString& field, const QString& keyword) {
    if (!applies(on, field, keyword))
        return nullptr;
    return [byKeys = finder_.find(keysOf(field), keyword)](Connection&, QueryStore& rows,
                                                           const std::atomic_bool& abandoned) {
        addFound(rows, *byKeys, abandoned);
    };
}

void PinyinSearch::reread() {
    keysMarker_ = changeMarker();
    keys_.reread();
}

void PinyinSearch::renewIfChanged() {
    if (const auto& current = keys_.current())
        keysOf(current->field());
}

void PinyinSearch::follow(int position) {
    const std::shared_ptr<PinyinKeys>& keys = keys_.current();
    if (!keys)
        return;
    const Query& customers = data_.Qry_Cust;
    const int code = customers.findField(codeField);
    const int text = customers.findField(keys->field());
    if (code < 0 || text < 0)
        return;
    const FieldKind kind = customers.field(text).kind;
    if (kind == FieldKind::Text || kind == FieldKind::Memo)
        keys->saved(customers.value(position, code).toLongLong(),
                    customers.value(position, text).toString());
}
