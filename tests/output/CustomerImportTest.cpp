#include "output/CustomerImport.h"
#include "data/AppError.h"
#include "data/NameFold.h"
#include "data/Query.h"
#include "data/SettingsFile.h"
#include "data/Statements.h"
#include "output/CsvReader.h"
#include "output/ImportFile.h"
#include "output/SheetFiles.h"
#include "output/WorkProgress.h"
#include "tests/support/LibreOffice.h"
#include "tests/support/TempProgram.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QByteArray kTitles = "客户名称,联系电话,手机号码,合同编号,添加时间,详细说明\r\n";

class CustomerImportTest : public ::testing::Test {
  protected:
    QString write(const QString& name, const QByteArray& bytes) const {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // Every customer as "name|tel|mobile|contract|date|memo", in the order they were added.
    QStringList customers() const {
        QStringList rows;
        auto result = connection->query({"select Company, tel, Mobile, OtherInfo, AddDate, memo2"
                                         " from Custom order by CustCode",
                                         {}});
        while (result->next()) {
            QStringList cells;
            for (int i = 0; i < 6; ++i)
                cells << QString::fromUtf8(result->text(i).data(),
                                           qsizetype(result->text(i).size()));
            rows << cells.join('|');
        }
        return rows;
    }

    ImportReport importFile(const QString& path, const ImportSettings& settings = {},
                            WorkProgress* progress = nullptr) {
        ImportFile file = openImportFile(path);
        const QStringList mapping = matchTitles(file.titles, importFields(*connection));
        return importCustomers(*connection, *file.rows, mapping, settings, progress);
    }

    TempProgram program;
    std::unique_ptr<Connection> connection = openDatabase(program.databasePath());
    QTemporaryDir files;
};

class Stop : public WorkProgress {
  public:
    bool advance(qint64, qint64) override { return false; }
};

} // namespace

// Files another program wrote: its workbook with typed dates, and its CSV in UTF-8 and GBK.
TEST_F(CustomerImportTest, FilesWrittenByLibreOfficeReproduceTheCustomers) {
    if (LibreOffice::program().isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    const QString source =
        write("source.csv", "\xEF\xBB\xBF" + kTitles +
                                "甲公司,010-1,139,H-1,2024-03-05,\"多行\r\n文本, \"\"引号\"\"\"\r\n"
                                "Zeta Ltd,,,,2023-12-31,\r\n");
    QTemporaryDir out;
    QString error;
    const QString book =
        LibreOffice::convert(source, "xlsx", out.path(), "C.UTF-8", &error,
                             "Text - txt - csv (StarCalc):44,34,76,1,,0,false,true");
    ASSERT_FALSE(book.isEmpty()) << error.toStdString();
    QTemporaryDir utf8Dir, gbkDir;
    const QString utf8 =
        LibreOffice::convert(book, LibreOffice::kCsvUtf8, utf8Dir.path(), "C.UTF-8", &error);
    const QString gbk =
        LibreOffice::convert(book, LibreOffice::kCsvGbk, gbkDir.path(), "C.UTF-8", &error);
    ASSERT_FALSE(utf8.isEmpty() || gbk.isEmpty()) << error.toStdString();

    for (const QString& path : {book, utf8, gbk}) {
        SCOPED_TRACE(path.toStdString());
        program.exec("delete from Custom");
        const ImportReport report = importFile(path);
        EXPECT_TRUE(report.written);
        EXPECT_EQ(report.added, 2);
        // The spreadsheet keeps the line break as LF, and the import keeps what the file has.
        EXPECT_EQ(customers(),
                  QStringList({"甲公司|010-1|139|H-1|2024-03-05 00:00:00|多行\n文本, \"引号\"",
                               "Zeta Ltd||||2023-12-31 00:00:00|"}));
    }
}

// Nothing of a file that cannot be imported reaches the table, and the message says why.
TEST_F(CustomerImportTest, BadFilesAreRefusedWithAClearMessageAndChangeNothing) {
    program.exec("insert into Custom (Company) values ('老客户')");
    const QStringList before = customers();
    QByteArray book;
    {
        Query all("q", connection.get());
        all.setCommand(Sql::allCustomers());
        all.open();
        SheetTable table{&all, {{"客户名称", 1, FieldKind::Text}}, true, 0};
        const QString path = files.filePath("whole.xlsx");
        ASSERT_TRUE(writeXlsx(table, path, nullptr));
        QFile whole(path);
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        book = whole.readAll();
    }
    QByteArray utf8Rows = kTitles;
    while (utf8Rows.size() < 100 * 1024)
        utf8Rows += "新客户甲,010,,,,\r\n";
    const struct {
        QString name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"empty.csv", "", "文件是空的"},
        {"binary.csv", QByteArray("PK\x03\x04\x00\x00\x01\x02", 8) + book, "不是文本文件"},
        {"cut.xlsx", book.left(book.size() / 2), "不是完整的 .xlsx 工作簿"},
        {"cut-end.xlsx", book.left(book.size() - 10), "不是完整的 .xlsx 工作簿"},
        {"long.csv", kTitles + QByteArray(50 * 1024 * 1024, 'x'), "第 2 行超过"},
        {"titles.csv", kTitles, "只有标题行"},
        {"mixed.csv", utf8Rows + QStringEncoder("GBK").encode(u"乙公司,1\r\n"), "混用"},
        {"unquoted.csv", kTitles + "甲,\"010\r\n", "第 2 行的引号没有结束"},
        {"foreign.csv", "a,b\r\n1,2\r\n", "没有一列对应到客户名称"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = write(c.name, c.bytes);
        try {
            importFile(path);
            ADD_FAILURE() << "imported";
        } catch (const AppError& e) {
            EXPECT_TRUE(e.text().contains(c.message)) << e.text().toStdString();
        }
        EXPECT_EQ(customers(), before);
    }
}

// The editor's duplicate rule over the table and the file itself, bad rows with their lines,
// and all or nothing.
TEST_F(CustomerImportTest, DuplicatesAndBadRowsFollowTheChosenRules) {
    program.exec("insert into Custom (Company, tel, AddDate) values"
                 " ('ACME', 'old', NULL), ('ä公司', 'old', NULL)");
    const QByteArray rows = kTitles +
                            " acme ,new,,,2024-01-02,\"two\r\nlines\"\r\n" // line 2, 3
                            "新客户,1,,,2024/1/3,\r\n"                     // line 4
                            "新客户,2,,,,\r\n"                             // line 5
                            "Ä公司,3,,,,\r\n"                              // line 6: ä公司
                            ",,,,,\r\n"                                    // line 7: empty
                            ",4,,,,\r\n"                                   // line 8
                            "坏日期,5,,,2024-13-45,\r\n"                   // line 9
                            + QString(101, u'长').toUtf8() + ",6,,,,\r\n"; // line 10
    const QString path = write("rows.csv", rows);
    const QStringList before = customers();
    const struct {
        OnDuplicate onDuplicate;
        OnBadRows onBad;
        bool cancel;
        qint64 added, updated, skipped;
        QStringList tels; // every customer's telephone afterwards
    } cases[] = {
        {OnDuplicate::Skip, OnBadRows::WriteNothing, false, 0, 0, 0, {"old", "old"}},
        {OnDuplicate::Skip, OnBadRows::SkipThem, true, 0, 0, 0, {"old", "old"}},
        {OnDuplicate::Skip, OnBadRows::SkipThem, false, 1, 0, 3, {"old", "old", "1"}},
        {OnDuplicate::Update, OnBadRows::SkipThem, false, 1, 3, 0, {"new", "3", "2"}},
        {OnDuplicate::Add,
         OnBadRows::SkipThem,
         false,
         4,
         0,
         0,
         {"old", "old", "new", "1", "2", "3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.onDuplicate) * 10 + int(c.onBad) + (c.cancel ? 100 : 0));
        program.exec("delete from Custom where CustCode > 2;"
                     "update Custom set tel = 'old', memo2 = NULL where CustCode <= 2");
        Stop stop;
        const ImportReport report =
            importFile(path, {c.onDuplicate, c.onBad}, c.cancel ? &stop : nullptr);
        EXPECT_EQ(report.added, c.added);
        EXPECT_EQ(report.updated, c.updated);
        EXPECT_EQ(report.skipped, c.skipped);
        EXPECT_EQ(report.cancelled, c.cancel);
        EXPECT_EQ(report.written, c.added + c.updated + c.skipped > 0);
        ASSERT_EQ(report.badCount, 3);
        EXPECT_EQ(report.bad[0].line, 8);
        EXPECT_EQ(report.bad[1].line, 9);
        EXPECT_TRUE(report.bad[1].reason.contains("2024-13-45"))
            << report.bad[1].reason.toStdString();
        EXPECT_EQ(report.bad[2].line, 10);
        EXPECT_TRUE(report.bad[2].reason.contains("超过 100 个字符"));
        QStringList tels;
        for (const QString& row : customers())
            tels << row.section('|', 1, 1);
        EXPECT_EQ(tels, c.tels);
        if (!report.written)
            EXPECT_EQ(customers(), before);
    }
    const QStringList after = customers();
    EXPECT_EQ(after[2].section('|', 4), "2024-01-02 00:00:00|two\r\nlines");
}

// The in-memory duplicate key must agree with the editor's duplicate statement.
TEST_F(CustomerImportTest, NameKeysMatchWhereTheDatabaseFindsTheName) {
    const QStringList stored = {"ACME", "ä公司", "ß", "Ａｂ", "İ", "x y"};
    const QStringList asked = {"acme", "Ä公司", "SS", "ａＢ", "i", "X Y", "acme ", "Acme"};
    for (const QString& name : stored)
        connection->execute({"insert into Custom (Company) values (?)", {name}});
    for (const QString& a : asked)
        for (const QString& s : stored) {
            auto found = connection->query(Sql::customerByCompany(a));
            bool match = false;
            while (found->next())
                match = match || QString::fromUtf8(found->text(1).data(),
                                                   qsizetype(found->text(1).size())) == s;
            EXPECT_EQ(nameFoldKey(a) == nameFoldKey(s), match)
                << a.toStdString() << " / " << s.toStdString();
        }
}

TEST_F(CustomerImportTest, TitlesFindFieldsByNameOrListTitleAndTheChoiceIsRemembered) {
    const ImportFields fields = importFields(*connection);
    EXPECT_EQ(fields.keyField, "CustCode");
    const QStringList titles = {" 客户名称 ", "TEL", "备注", "mobile", "手机号码", "详细说明"};
    EXPECT_EQ(matchTitles(titles, fields),
              QStringList({"Company", "tel", "", "Mobile", "", "memo2"}))
        << "a field goes to one column only";

    SettingsFile settings(program.configPath());
    EXPECT_TRUE(rememberedMapping(settings, titles, fields).isEmpty());
    const QStringList chosen = {"Company", "", "OtherInfo", "Mobile", "", "memo2"};
    rememberMapping(settings, titles, chosen);
    EXPECT_EQ(rememberedMapping(
                  settings, {"客户名称", "tel", "备注", "MOBILE", "手机号码", "详细说明"}, fields),
              chosen)
        << "the same titles, blanks and letter case aside";
    EXPECT_TRUE(rememberedMapping(settings, titles.mid(1), fields).isEmpty());
    rememberMapping(settings, titles, {"Company", "", "Gone", "", "", ""});
    EXPECT_TRUE(rememberedMapping(settings, titles, fields).isEmpty()) << "a field that left";
}

TEST_F(CustomerImportTest, EncodingAndSeparatorAreFoundFromTheFile) {
    const QString text = QStringLiteral("客户名称;电话\r\n\"甲;乙\"\"公司\";010\r\n");
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const struct {
        QString name;
        QByteArray bytes;
        TextEncoding encoding;
        QChar separator;
    } cases[] = {
        {"bom.csv", "\xEF\xBB\xBF" + text.toUtf8(), TextEncoding::Utf8, u';'},
        {"plain.csv", text.toUtf8(), TextEncoding::Utf8, u';'},
        {"utf16.csv", QByteArray(utf16.encode(text)), TextEncoding::Utf16, u';'},
        {"gbk.csv", QStringEncoder("GB18030").encode(text), TextEncoding::Gb18030, u';'},
        {"tabs.csv",
         QString(text)
             .replace(QStringLiteral("\";"), QStringLiteral("\"\t"))
             .replace(QStringLiteral("称;"), QStringLiteral("称\t"))
             .toUtf8(),
         TextEncoding::Utf8, u'\t'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        CsvReader reader(write(c.name, c.bytes));
        EXPECT_EQ(reader.encoding(), c.encoding);
        EXPECT_EQ(reader.separator(), c.separator);
        QVariantList cells;
        ASSERT_TRUE(reader.next(cells));
        EXPECT_EQ(cells, (QVariantList{"客户名称", "电话"}));
        ASSERT_TRUE(reader.next(cells));
        EXPECT_EQ(cells, (QVariantList{"甲;乙\"公司", "010"}));
        EXPECT_FALSE(reader.next(cells));
    }
}
