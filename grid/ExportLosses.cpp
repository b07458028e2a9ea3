#include "grid/ExportLosses.h"

#include "data/Query.h"
#include "grid/BiffWriter.h"
#include "output/FooterTotal.h"
#include "output/SheetXml.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr size_t kShownLosses = 10;

bool holdsText(FieldKind kind) {
    return !isWholeNumber(kind) && !isFraction(kind);
}

// Calls check(row, column, text) for each text cell an export writes as a text.
template <class Check> void forEachText(const SheetTable& table, Check check) {
    const Query& query = *table.query;
    for (int row = 0; row < query.recordCount(); ++row)
        for (size_t c = 0; c < table.columns.size(); ++c) {
            const SheetColumn& column = table.columns[c];
            if (column.field < 0 || !holdsText(column.kind) || query.isNull(row, column.field))
                continue;
            if (const auto utf8 = query.plainText(row, column.field)) {
                // plain ASCII fits any format unless it is very long
                if (qsizetype(utf8->size()) <= kSheetMaxCellChars && biff::isAscii(*utf8))
                    continue;
                check(row, c, QString::fromUtf8(utf8->data(), qsizetype(utf8->size())));
            } else {
                check(row, c, query.displayText(row, column.field));
            }
        }
}

// The characters of text that do not come back from GBK, each once.
QString charactersNotInGbk(QStringView text) {
    QString lost;
    QStringEncoder gbk("GBK", QStringConverter::Flag::Stateless);
    QStringDecoder back("GBK", QStringConverter::Flag::Stateless);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = text.sliced(i, width);
        i += width - 1;
        if (character[0].unicode() < 0x80 || lost.contains(character))
            continue;
        if (QString(back.decode(gbk.encode(character))) != character)
            lost += character;
    }
    return lost;
}

QString customerOf(const Query& query, int row) {
    const int name = query.findField(QStringLiteral("Company"));
    if (name >= 0 && !query.isNull(row, name))
        return QStringLiteral("客户“%1”").arg(query.displayText(row, name));
    return QStringLiteral("第 %1 条记录").arg(row + 1);
}

} // namespace

std::vector<CellLoss> xlsLosses(const SheetTable& table) {
    std::vector<CellLoss> losses;
    QStringEncoder gbk("GBK", QStringConverter::Flag::Stateless);
    QStringDecoder back("GBK", QStringConverter::Flag::Stateless);
    forEachText(table, [&](int row, size_t column, const QString& text) {
        const QByteArray bytes = gbk.encode(text);
        CellLoss loss;
        loss.row = row;
        loss.column = column;
        if (bytes.size() > biff::kMaxLabelBytes)
            loss.length = text.size();
        if (QString(back.decode(bytes)) != text)
            loss.lost = charactersNotInGbk(text);
        if (loss.length > 0 || !loss.lost.isEmpty())
            losses.push_back(loss);
    });
    return losses;
}

std::vector<CellLoss> xlsxLosses(const SheetTable& table) {
    std::vector<CellLoss> losses;
    forEachText(table, [&](int row, size_t column, const QString& text) {
        if (text.size() > kSheetMaxCellChars)
            losses.push_back({row, column, {}, text.size()});
    });
    return losses;
}

QString lossLines(const SheetTable& table, const std::vector<CellLoss>& losses) {
    QStringList lines;
    for (size_t i = 0; i < losses.size() && i < kShownLosses; ++i) {
        const CellLoss& loss = losses[i];
        QStringList what;
        if (!loss.lost.isEmpty())
            what << QStringLiteral("含有不能保存的字符“%1”").arg(loss.lost);
        if (loss.length > 0)
            what << QStringLiteral("共 %1 个字符，超出部分将被截掉").arg(loss.length);
        lines << customerOf(*table.query, loss.row) +
                     QStringLiteral("的“%1”：").arg(table.columns[loss.column].title) +
                     what.join(QStringLiteral("，"));
    }
    if (losses.size() > kShownLosses)
        lines << QStringLiteral("……共 %1 处").arg(losses.size());
    return lines.join(u'\n');
}
