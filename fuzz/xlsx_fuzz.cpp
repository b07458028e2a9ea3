// The workbook reader over archives of random XML pieces and over random bytes: it reads rows
// or refuses the file in words, never crashes, and never hands on a row past its limit, a
// cell past the sheet's last column or a line outside the sheet.

#include "FuzzInput.h"

#include "data/AppError.h"
#include "output/XlsxReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <zip.h>

namespace {

constexpr qsizetype kMaxChars = 2000;

const std::initializer_list<const char*> kSheetPieces = {"<row>",
                                                         "<row r=\"1\">",
                                                         "<row r=\"3\">",
                                                         "<row r=\"1048576\">",
                                                         "<row r=\"1048577\">",
                                                         "<row r=\"99999999999999999999\">",
                                                         "</row>",
                                                         "<c>",
                                                         "<c r=\"A1\">",
                                                         "<c r=\"B2\">",
                                                         "<c r=\"XFD1\">",
                                                         "<c r=\"XFE1\">",
                                                         "<c r=\"AAAAAAAAAAAAAAAAAAAB1\">",
                                                         "<c r=\"1\">",
                                                         "<c t=\"s\">",
                                                         "<c t=\"inlineStr\">",
                                                         "<c t=\"b\">",
                                                         "<c t=\"e\">",
                                                         "<c t=\"d\">",
                                                         "<c s=\"0\">",
                                                         "<c s=\"1\">",
                                                         "<c s=\"-5\">",
                                                         "</c>",
                                                         "<v>",
                                                         "</v>",
                                                         "<is><t>",
                                                         "</t></is>",
                                                         "<rPh><t>",
                                                         "</t></rPh>",
                                                         "0",
                                                         "1",
                                                         "-1",
                                                         "2",
                                                         "1e308",
                                                         "45000.5",
                                                         "4294967296",
                                                         "nan",
                                                         "中",
                                                         "x",
                                                         "_x0000_",
                                                         "_x0041_",
                                                         "_x00",
                                                         "&amp;",
                                                         "&#0;",
                                                         "&#x1F600;",
                                                         "<",
                                                         "\"",
                                                         " "};
const std::initializer_list<const char*> kStringPieces = {
    "<si>",    "</si>",   "<t>",    "</t>", "<r>",
    "</r>",    "<rPh>",   "</rPh>", "a",    "中",
    "_x0000_", "_xD800_", "&lt;",   " ",    "<t xml:space=\"preserve\">"};
const std::initializer_list<const char*> kStylePieces = {
    "<cellXfs>",
    "</cellXfs>",
    "<xf numFmtId=\"14\"/>",
    "<xf numFmtId=\"0\"/>",
    "<xf numFmtId=\"164\"/>",
    "<numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>",
    "<numFmt numFmtId=\"164\" formatCode=\"[Red]0\"/>",
    "<numFmt numFmtId=\"99999999999\"/>"};

const QByteArray kWorkbook =
    "<workbook xmlns:r=\"r\"><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
    "</workbook>";
const QByteArray kRels = "<Relationships><Relationship Id=\"rId1\" "
                         "Target=\"worksheets/sheet1.xml\"/></Relationships>";

QString bookPath() {
    static QTemporaryDir dir;
    return dir.filePath("fuzz.xlsx");
}

void writeArchive(const std::vector<std::pair<const char*, QByteArray>>& parts) {
    QFile::remove(bookPath());
    int error = 0;
    zip_t* zip = zip_open(QFile::encodeName(bookPath()).constData(), ZIP_CREATE, &error);
    FUZZ_CHECK(zip, "cannot make the archive");
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source =
            zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        FUZZ_CHECK(source && zip_file_add(zip, name, source, ZIP_FL_OVERWRITE) >= 0, "add");
    }
    FUZZ_CHECK(zip_close(zip) == 0, "close");
}

void readAll() {
    try {
        XlsxReader reader(bookPath(), 0, nullptr, kMaxChars);
        QVariantList cells;
        while (reader.next(cells)) {
            FUZZ_CHECK(cells.size() <= 16384, "a cell past the last column");
            FUZZ_CHECK(reader.line() >= 1 && reader.line() <= 1048576, "a line outside the sheet");
            qsizetype chars = 0;
            for (const QVariant& cell : cells)
                chars += cell.typeId() == QMetaType::QString ? cell.toString().size() : 0;
            FUZZ_CHECK(chars <= kMaxChars, "a row past the limit");
        }
    } catch (const AppError& e) {
        FUZZ_CHECK(!e.text().isEmpty(), "a refusal without words");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    if (in.below(8) == 0) {        // bytes that may not be an archive at all
        QFile::remove(bookPath()); // a new file: truncating one makes the file system flush it
        QFile file(bookPath());
        FUZZ_CHECK(file.open(QIODevice::WriteOnly), "temp file");
        file.write(in.rawUntilZero());
        file.close();
        readAll();
        return 0;
    }
    const QByteArray sheet = "<worksheet><sheetData>" + in.pieces(kSheetPieces, 120) +
                             (in.byte() & 1 ? "</sheetData></worksheet>" : "");
    const QByteArray strings = "<sst>" + in.pieces(kStringPieces, 40) + "</sst>";
    const QByteArray styles = "<styleSheet><numFmts>" + in.pieces(kStylePieces, 6) + "</numFmts>" +
                              in.pieces(kStylePieces, 6) + "</styleSheet>";
    std::vector<std::pair<const char*, QByteArray>> parts = {{"xl/workbook.xml", kWorkbook},
                                                             {"xl/_rels/workbook.xml.rels", kRels},
                                                             {"xl/worksheets/sheet1.xml", sheet}};
    if (in.byte() & 1)
        parts.push_back({"xl/sharedStrings.xml", strings});
    if (in.byte() & 1)
        parts.push_back({"xl/styles.xml", styles});
    writeArchive(parts);
    readAll();
    return 0;
}
