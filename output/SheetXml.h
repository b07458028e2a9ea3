#pragma once

// The XML of a one-sheet workbook: the fixed parts whole, the sheet itself row by row into a
// caller's buffer so that it streams.

#include "output/SheetTable.h"

#include <QByteArray>
#include <QStringView>
#include <string>
#include <utility>
#include <vector>

// Most rows and columns a sheet of the format holds.
constexpr qint64 kSheetMaxRows = 1048576;
constexpr qint64 kSheetMaxColumns = 16384;
// Most characters one cell holds; a longer text is cut there.
constexpr qsizetype kSheetMaxCellChars = 32767;
// Where the sheet's XML lies in the archive, as workbookParts() points to it.
inline constexpr char kSheetPart[] = "xl/worksheets/sheet1.xml";

// Appends text as UTF-8 element content: markup escaped, characters XML cannot carry written as
// the format's _xHHHH_ escapes, and a literal escape-like run kept literal.
void appendXmlText(std::string& out, QStringView text);

// A workbook's parts other than the sheet: name and content of each.
std::vector<std::pair<QByteArray, QByteArray>> workbookParts(const SheetTable& table);

// The sheet's XML, streamed in row order into out.
class SheetXml {
  public:
    explicit SheetXml(const SheetTable& table);

    void begin(std::string& out) const;
    void beginRow(qint64 row); // 1-based, as the sheet numbers them
    void cell(std::string& out, size_t column, const SheetCell& cell);
    void title(std::string& out, size_t column, const QString& text);
    void endRow(std::string& out);
    void end(std::string& out) const;

  private:
    void openCell(std::string& out, size_t column, const char* attributes);
    void text(std::string& out, size_t column, const QString& text, const char* attributes);
    void number(std::string& out, size_t column, double value, const char* attributes);

    const SheetTable& table_;
    std::vector<std::string> letters_; // each column's letters
    std::string rowDigits_;
    bool rowOpen_ = false;
};
