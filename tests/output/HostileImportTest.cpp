// Files built to hurt the importer, and the files our own export writes, read back on both
// engines: a hostile file is refused with its line or its bad rows listed, and nothing written
// changes; an export comes back as it went out.

#include "data/AppError.h"
#include "data/Query.h"
#include "data/Statements.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"
#include "output/SheetFiles.h"
#include "tests/support/TempProgram.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/ZipBomb.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <variant>

namespace {

// A fresh database of the engine, dropped afterwards.
class EngineDatabase {
  public:
    explicit EngineDatabase(TestEngine engine) {
        if (engine == TestEngine::Postgres)
            uri_ = createServerDatabase();
        connection = openDatabase(uri_.isEmpty() ? program_.databasePath() : uri_);
    }
    ~EngineDatabase() {
        connection.reset();
        if (!uri_.isEmpty())
            dropServerDatabase(uri_);
    }

    // Every customer as "name|tel|memo", in the order they were added.
    QStringList customers() const {
        QStringList rows;
        auto result =
            connection->query({"select Company, tel, memo2 from Custom order by CustCode", {}});
        while (result->next()) {
            QStringList cells;
            for (int i = 0; i < 3; ++i)
                cells << QString::fromUtf8(result->text(i).data(),
                                           qsizetype(result->text(i).size()));
            rows << cells.join('|');
        }
        return rows;
    }

    ImportReport import(const QString& path) {
        ImportFile file = openImportFile(path);
        const QStringList mapping = matchTitles(file.titles, importFields(*connection));
        return importCustomers(*connection, *file.rows, mapping, {});
    }

    std::unique_ptr<Connection> connection;

  private:
    TempProgram program_;
    QString uri_;
};

QByteArray sheetXml(const QByteArray& rows) {
    return "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>客户名称</t>"
           "</is></c><c r=\"B1\" t=\"inlineStr\"><is><t>联系电话</t></is></c></row>" +
           rows + "</sheetData></worksheet>";
}

QByteArray textCell(const QByteArray& reference, const QByteArray& text) {
    return "<c r=\"" + reference + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
}

QByteArray csvLines(int count, int badLine, const QByteArray& bad) {
    QByteArray text = "客户名称,联系电话,详细说明\r\n";
    for (int line = 2; line <= count; ++line)
        text += "客户" + QByteArray::number(line) + (line == badLine ? bad : QByteArray()) +
                ",010-" + QByteArray::number(100000 + line) + ",第二列文字\r\n";
    return text;
}

QByteArray utf16(const QString& text) {
    QStringEncoder encoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return encoder.encode(text);
}

constexpr qint64 kGiB = 1024LL * 1024 * 1024;

struct Refused {
    QString message;
};
struct BadRowAt {
    qint64 line;
    QString reason;
};

const QByteArray kSheetHead = "<worksheet><sheetData><row r=\"1\">" + textCell("A1", "客户名称") +
                              textCell("B1", "联系电话") + "</row>";
const QByteArray kSheetTail = "</sheetData></worksheet>";

// A workbook whose sheet is the given part, with more parts beside it.
std::vector<BombPart> book(BombPart sheet, std::vector<BombPart> more = {}) {
    std::vector<BombPart> parts = plainWorkbookParts({});
    sheet.name = "xl/worksheets/sheet1.xml";
    parts[2] = sheet;
    parts.insert(parts.end(), more.begin(), more.end());
    return parts;
}

std::vector<BombPart> bookOfRows(const QByteArray& rows) {
    return book({{}, kSheetHead + rows + kSheetTail});
}

struct HostileCase {
    QString name;
    std::variant<QByteArray, std::vector<BombPart>> contents;
    std::variant<Refused, BadRowAt> outcome;
};

std::vector<HostileCase> hostileCases() {
    const QByteArray row2 = "<row r=\"2\">" + textCell("A2", "甲") + "</row>";
    QByteArray gbk = QStringEncoder("GB18030").encode(QString::fromUtf8(csvLines(6, 0, {})));
    gbk.replace(QByteArray(QStringEncoder("GB18030").encode(u"客户4")),
                QByteArray("\xBF\xCD\xFF\xFF", 4));
    return {
        {"gbk.csv", gbk, Refused{"第 4 行有不是 GBK/GB18030 编码的文字"}},
        {"utf8-late.csv", csvLines(12002, 12001, "\xC3("), Refused{"第 12001 行有不是 UTF-8 编码"}},
        {"cr-lines.csv", csvLines(3000, 2900, "\xFF").replace("\r\n", "\r"),
         Refused{"第 2900 行有不是 UTF-8 编码"}},
        {"nul-late.csv", csvLines(4000, 3000, QByteArray("\0x", 2)), Refused{"第 3000 行有空字符"}},
        {"nul-utf16.csv", utf16(QString::fromUtf8(csvLines(5, 3, QByteArray("\0", 1)))),
         Refused{"第 3 行有空字符"}},
        {"surrogate-utf16.csv",
         utf16(QString::fromUtf8(csvLines(5, 0, {})).replace("客户4", QString(QChar(0xD800)))),
         Refused{"第 4 行有不是 UTF-16 编码"}},
        {"nul.xlsx", bookOfRows(row2 + "<row r=\"3\">" + textCell("A3", "乙_x0000_丙") + "</row>"),
         BadRowAt{3, "空字符"}},
        {"overflow.xlsx",
         bookOfRows(row2 + "<row r=\"7\">" + textCell("AAAAAAAAAAAAAAB7", "x") + "</row>"),
         Refused{"第 7 行的单元格 AAAAAAAAAAAAAAB7 超出了工作表的范围"}},
        {"xfe.xlsx", bookOfRows(row2 + "<row r=\"3\">" + textCell("XFE3", "x") + "</row>"),
         Refused{"第 3 行的单元格 XFE3 超出"}},
        {"row.xlsx", bookOfRows("<row r=\"1048577\">" + textCell("A1048577", "x") + "</row>"),
         Refused{"第 1048577 行超出了工作表的范围"}},
        {"one-cell-bomb.xlsx",
         book({{},
               kSheetHead + "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>",
               "x",
               3 * kGiB / 2,
               "</t></is></c></row>" + kSheetTail}),
         Refused{"压缩炸弹"}},
        {"empty-rows-bomb.xlsx", book({{}, kSheetHead, "<row><c/></row>", 250'000'000, kSheetTail}),
         Refused{"超过了 2048 MB 的上限"}},
        {"strings-bomb.xlsx",
         book({{}, kSheetHead + row2 + kSheetTail},
              {{"xl/sharedStrings.xml", "<sst>", "<si><t>a</t></si>", 30'000'000, "</sst>"}}),
         Refused{"超过了 128 MB 的上限"}},
        {"long-cell.xlsx",
         book({{},
               kSheetHead + "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>",
               "x",
               2 * 1024 * 1024,
               "</t></is></c></row>" + kSheetTail}),
         Refused{"第 2 行超过 1048576 个字符"}},
        {"lying-size.xlsx", book({{}, kSheetHead, row2, 500'000, kSheetTail, 1000}),
         Refused{"不是完整的 .xlsx 工作簿"}},
        {"deep.xlsx", book({{}, kSheetHead + "<row r=\"2\">", "<is>", 100'000, kSheetTail}),
         Refused{"不是完整的 .xlsx 工作簿"}},
    };
}

} // namespace

// Each hostile file is refused with the line it went wrong on, or its row is listed as bad;
// what was in the table stays exactly as it was.
TEST(HostileImport, BadBytesBadReferencesAndBombsAreRefusedWithTheirLineAndChangeNothing) {
    QTemporaryDir dir;
    const std::vector<HostileCase> cases = hostileCases();
    for (TestEngine engine : testEngines()) {
        EngineDatabase db(engine);
        db.connection->execute({"insert into Custom (Company, tel) values ('老客户', '1')", {}});
        const QStringList before = db.customers();
        for (const HostileCase& c : cases) {
            SCOPED_TRACE(testEngineName(engine) + " " + c.name.toStdString());
            const QString path = dir.filePath(c.name);
            if (const auto* bytes = std::get_if<QByteArray>(&c.contents)) {
                QFile file(path);
                ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                file.write(*bytes);
            } else {
                writeZipBomb(path, std::get<std::vector<BombPart>>(c.contents));
            }
            if (const auto* refused = std::get_if<Refused>(&c.outcome)) {
                try {
                    db.import(path);
                    ADD_FAILURE() << "imported";
                } catch (const AppError& e) {
                    EXPECT_TRUE(e.text().contains(refused->message)) << e.text().toStdString();
                }
            } else {
                const BadRowAt& bad = std::get<BadRowAt>(c.outcome);
                const ImportReport report = db.import(path);
                EXPECT_FALSE(report.written);
                ASSERT_EQ(report.bad.size(), 1);
                EXPECT_EQ(report.bad[0].line, bad.line);
                EXPECT_TRUE(report.bad[0].reason.contains(bad.reason))
                    << report.bad[0].reason.toStdString();
            }
            EXPECT_EQ(db.customers(), before);
        }
    }
}

// Our own exports read back as they went out: line breaks inside a field as they were, the
// total row left out and named in the report, a customer that happens to be named 总计 kept.
TEST(HostileImport, OwnExportsComeBackWithoutTheirTotalRowAndWithTheirLineBreaks) {
    QTemporaryDir dir;
    const QStringList customers = {"甲公司|15000000000|一行\n二行", "总计|3|名字就叫总计",
                                   "乙公司|010|三行\r\n四行", "丙公司||"};
    for (TestEngine engine : testEngines()) {
        EngineDatabase db(engine);
        for (const QString& c : customers)
            db.connection->execute(
                {"insert into Custom (Company, tel, memo2) values (?, ?, ?)",
                 {c.section('|', 0, 0), c.section('|', 1, 1), c.section('|', 2)}});
        Query all("q", db.connection.get());
        all.setCommand({"select * from Custom order by CustCode", {}});
        all.open();
        SheetTable table{&all, {}, true, 1};
        table.columns = {
            {"客户名称", all.fieldByName("Company"), FieldKind::Text, SheetFooter::Text, "总计"},
            {"联系电话", all.fieldByName("tel"), FieldKind::Text, SheetFooter::Count, {}},
            {"详细说明", all.fieldByName("memo2"), FieldKind::Memo, SheetFooter::None, {}}};
        const QString csv = dir.filePath("export.csv"), xlsx = dir.filePath("export.xlsx");
        ASSERT_TRUE(writeCsv(table, csv, nullptr));
        ASSERT_TRUE(writeXlsx(table, xlsx, nullptr));
        all.close();
        for (const QString& path : {csv, xlsx}) {
            SCOPED_TRACE(testEngineName(engine) + " " + path.toStdString());
            db.connection->execute({"delete from Custom", {}});
            const ImportReport report = db.import(path);
            EXPECT_EQ(report.added, 4);
            const int line = path == csv ? 8 : 6; // the text counts the breaks inside fields
            EXPECT_EQ(report.totalRowLine, line);
            EXPECT_TRUE(report.text("x").contains(QString("第 %1 行是导出文件的总计行").arg(line)));
            EXPECT_EQ(db.customers(), customers);
        }
        // A last row named 总计 with words beside it is a customer, not a total.
        QFile last(dir.filePath("last.csv"));
        ASSERT_TRUE(last.open(QIODevice::WriteOnly));
        last.write("客户名称,联系电话\r\n甲公司,1\r\n总计,见备注\r\n");
        last.close();
        db.connection->execute({"delete from Custom", {}});
        EXPECT_EQ(db.import(last.fileName()).added, 2);
    }
}
