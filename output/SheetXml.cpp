#include "output/SheetXml.h"

#include "data/Query.h"

#include <charconv>
#include <cmath>

namespace {

constexpr double kExactWholeLimit = 9007199254740992.0; // 2^53

const char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char kRelNs[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string columnLetters(size_t column) {
    std::string letters;
    for (size_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), char('A' + (n - 1) % 26));
    return letters;
}

std::string cellName(size_t column, qint64 row) {
    return columnLetters(column) + std::to_string(row);
}

void appendInteger(std::string& out, qint64 value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void appendDouble(std::string& out, double value) {
    if (value == std::trunc(value) && std::fabs(value) < kExactWholeLimit) {
        appendInteger(out, qint64(value));
        return;
    }
    char digits[32];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

char* putUtf8(char* p, char32_t code) {
    if (code < 0x800) {
        *p++ = char(0xC0 | code >> 6);
    } else if (code < 0x10000) {
        *p++ = char(0xE0 | code >> 12);
        *p++ = char(0x80 | (code >> 6 & 0x3F));
    } else {
        *p++ = char(0xF0 | code >> 18);
        *p++ = char(0x80 | (code >> 12 & 0x3F));
        *p++ = char(0x80 | (code >> 6 & 0x3F));
    }
    *p++ = char(0x80 | (code & 0x3F));
    return p;
}

void appendEscape(std::string& out, char16_t unit) {
    static const char hex[] = "0123456789ABCDEF";
    const char escape[] = {
        '_', 'x', hex[unit >> 12], hex[unit >> 8 & 0xF], hex[unit >> 4 & 0xF], hex[unit & 0xF],
        '_'};
    out.append(escape, sizeof escape);
}

bool isHex(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

// Whether an underscore at i starts a run a reader would decode as _xHHHH_.
bool startsEscape(QStringView text, qsizetype i) {
    if (i + 6 >= text.size() || text[i + 1] != u'x' || text[i + 6] != u'_')
        return false;
    return isHex(text[i + 2].unicode()) && isHex(text[i + 3].unicode()) &&
           isHex(text[i + 4].unicode()) && isHex(text[i + 5].unicode());
}

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// A text cut to what a cell holds, never inside a surrogate pair.
QStringView cellText(const QString& text) {
    if (text.size() <= kSheetMaxCellChars)
        return text;
    return QStringView(text).left(kSheetMaxCellChars -
                                  (text.at(kSheetMaxCellChars - 1).isHighSurrogate()));
}

QString widthText(int pixels) {
    // the format counts in widths of a digit, 7 pixels in the default font
    return QString::number(std::floor(pixels * 256.0 / 7.0) / 256.0, 'g', 17);
}

} // namespace

// What a character of the text must be written as, beyond its plain UTF-8.
const char* markupOf(char16_t u) {
    switch (u) {
    case u'&':
        return "&amp;";
    case u'<':
        return "&lt;";
    case u'>':
        return "&gt;";
    }
    return nullptr;
}

bool needsEscape(QStringView text, qsizetype i) {
    const char16_t u = text[i].unicode();
    if (u < 0x20)
        return u != u'\t' && u != u'\n'; // a bare CR would come back as LF
    return (u == u'_' && startsEscape(text, i)) || u >= 0xFFFE;
}

void appendXmlText(std::string& out, QStringView text) {
    // Room for the plain UTF-8 (at most 3 bytes a unit); the rare markup grows it on the spot.
    size_t at = out.size();
    out.resize(at + 3 * size_t(text.size()));
    char* p = out.data() + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u > u'>' && u < 0x80 && u != u'_') {
            *p++ = char(u);
        } else if (u < 0x80 || u >= 0xFFFE) {
            const char* markup = markupOf(u);
            if (!markup && !needsEscape(text, i)) {
                *p++ = char(u);
                continue;
            }
            at = size_t(p - out.data());
            out.resize(at);
            if (markup)
                out += markup;
            else
                appendEscape(out, u);
            at = out.size();
            out.resize(at + 3 * size_t(text.size() - i - 1));
            p = out.data() + at;
        } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            p = putUtf8(p, QChar::surrogateToUcs4(u, text[++i].unicode()));
        } else if (QChar::isSurrogate(u)) {
            p = putUtf8(p, 0xFFFD); // half a pair is no character at all
        } else {
            p = putUtf8(p, u);
        }
    }
    out.resize(size_t(p - out.data()));
}

std::vector<std::pair<QByteArray, QByteArray>> workbookParts(const SheetTable& table) {
    const QByteArray head(kXmlHead);
    const QByteArray types =
        head + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Default Extension=\"rels\" "
               "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
               "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
               "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
               "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
               "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
               "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
               "</Types>";
    const QByteArray rels =
        head +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        kRelNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const QByteArray bookRels =
        head +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
        kRelNs +
        "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
        kRelNs + "/styles\" Target=\"styles.xml\"/></Relationships>";
    QByteArray filter;
    if (table.titles && !table.columns.empty()) {
        // the range a filter covers is named in the workbook, as spreadsheet programs expect
        const qint64 lastRow = 1 + std::max(1, table.query->recordCount());
        const std::string lastColumn = columnLetters(table.columns.size() - 1);
        filter = QByteArray("<definedNames><definedName name=\"_xlnm._FilterDatabase\" "
                            "localSheetId=\"0\" hidden=\"1\">Sheet1!$A$1:$") +
                 lastColumn.c_str() + "$" + QByteArray::number(lastRow) +
                 "</definedName></definedNames>";
    }
    const QByteArray book = head + "<workbook xmlns=\"" + kMainNs + "\" xmlns:r=\"" + kRelNs +
                            "\"><bookViews><workbookView/></bookViews><sheets><sheet "
                            "name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>" +
                            filter + "</workbook>";
    const QByteArray font = "<sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>";
    const QByteArray plainXf = "fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"";
    const QByteArray styles =
        head + "<styleSheet xmlns=\"" + kMainNs +
        "\"><numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
        "<numFmt numFmtId=\"165\" formatCode=\"yyyy-mm-dd hh:mm:ss\"/></numFmts>"
        "<fonts count=\"2\"><font>" +
        font + "<font><b/>" + font +
        "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border>"
        "</borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"4\"><xf numFmtId=\"0\" " +
        plainXf + "/><xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" " +
        "applyFont=\"1\"/><xf numFmtId=\"164\" " + plainXf +
        " applyNumberFormat=\"1\"/><xf numFmtId=\"165\" " + plainXf +
        " applyNumberFormat=\"1\"/></cellXfs><cellStyles count=\"1\"><cellStyle "
        "name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles></styleSheet>";
    return {{"[Content_Types].xml", types},
            {"_rels/.rels", rels},
            {"xl/workbook.xml", book},
            {"xl/_rels/workbook.xml.rels", bookRels},
            {"xl/styles.xml", styles}};
}

SheetXml::SheetXml(const SheetTable& table) : table_(table) {
    for (size_t c = 0; c < table.columns.size(); ++c)
        letters_.push_back(columnLetters(c));
}

void SheetXml::begin(std::string& out) const {
    const qint64 rows = (table_.titles ? 1 : 0) + table_.query->recordCount() + table_.footerRows;
    const bool frozen = table_.titles && !table_.columns.empty();
    out += kXmlHead;
    out += std::string("<worksheet xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs + "\">";
    out += "<dimension ref=\"A1";
    if (rows > 0 && !table_.columns.empty()) {
        out += ':';
        out += cellName(table_.columns.size() - 1, rows);
    }
    out += "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">";
    if (frozen)
        out += "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" "
               "state=\"frozen\"/><selection pane=\"bottomLeft\"/>";
    out += "</sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
    if (!table_.columns.empty()) {
        out += "<cols>";
        for (size_t c = 0; c < table_.columns.size(); ++c) {
            const int pixels = std::max(0, table_.columns[c].widthPixels);
            const std::string n = std::to_string(c + 1);
            out += "<col min=\"" + n + "\" max=\"" + n + "\" width=\"" +
                   widthText(pixels).toStdString() + "\"" + (pixels ? "" : " hidden=\"1\"") +
                   " customWidth=\"1\"/>";
        }
        out += "</cols>";
    }
    out += "<sheetData>";
}

void SheetXml::beginRow(qint64 row) {
    rowDigits_.clear();
    appendInteger(rowDigits_, row);
    rowOpen_ = false;
}

void SheetXml::openCell(std::string& out, size_t column, const char* attributes) {
    if (!rowOpen_) {
        out += "<row r=\"";
        out += rowDigits_;
        out += "\">";
        rowOpen_ = true;
    }
    out += "<c r=\"";
    out += letters_[column];
    out += rowDigits_;
    out += '"';
    out += attributes;
}

void SheetXml::text(std::string& out, size_t column, const QString& value, const char* attributes) {
    const QStringView shown = cellText(value);
    openCell(out, column, attributes);
    out += " t=\"inlineStr\"><is><t";
    if (isSpace(shown.front()) || isSpace(shown.back()))
        out += " xml:space=\"preserve\"";
    out += '>';
    appendXmlText(out, shown);
    out += "</t></is></c>";
}

void SheetXml::number(std::string& out, size_t column, double value, const char* attributes) {
    openCell(out, column, attributes);
    out += "><v>";
    appendDouble(out, value);
    out += "</v></c>";
}

void SheetXml::cell(std::string& out, size_t column, const SheetCell& cell) {
    switch (cell.type) {
    case SheetCell::Blank:
        return;
    case SheetCell::Number:
        if (std::isfinite(cell.number))
            number(out, column, cell.number, "");
        else // the format has no infinity: the value stays readable as a text
            text(out, column, QString::number(cell.number), "");
        return;
    case SheetCell::Date: {
        const QDate day = cell.date.date();
        if (day.year() < 1900 || day.year() > 9999) {
            text(out, column, sheetDateText(cell.date), ""); // outside the format's days
            return;
        }
        // the format counts days from 30 December 1899 but believes 1900 had a 29 February
        const qint64 days = day.toJulianDay() - QDate(1899, 12, 30).toJulianDay() -
                            (day < QDate(1900, 3, 1) ? 1 : 0);
        const QTime time = cell.date.time();
        const bool plainDate = time == QTime(0, 0);
        number(out, column, double(days) + time.msecsSinceStartOfDay() / 1000.0 / 86400.0,
               plainDate ? " s=\"2\"" : " s=\"3\"");
        return;
    }
    case SheetCell::Text:
        if (!cell.text.isEmpty())
            text(out, column, cell.text, "");
        return;
    }
}

void SheetXml::title(std::string& out, size_t column, const QString& value) {
    if (value.isEmpty()) {
        openCell(out, column, " s=\"1\"/>"); // bold even while empty, as its row is
        return;
    }
    text(out, column, value, " s=\"1\"");
}

void SheetXml::endRow(std::string& out) {
    if (rowOpen_)
        out += "</row>";
}

void SheetXml::end(std::string& out) const {
    out += "</sheetData>";
    if (table_.titles && !table_.columns.empty()) {
        const qint64 lastRow = 1 + std::max(1, table_.query->recordCount());
        out += "<autoFilter ref=\"A1:";
        out += cellName(table_.columns.size() - 1, lastRow);
        out += "\"/>";
    }
    out += "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" "
           "header=\"0.3\" footer=\"0.3\"/></worksheet>";
}
