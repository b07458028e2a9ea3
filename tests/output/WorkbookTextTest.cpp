#include "data/Query.h"
#include "output/SheetFiles.h"
#include "output/SheetXml.h"
#include "output/XlsxReader.h"
#include "tests/support/TempProgram.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Markup is escaped, and what XML 1.0 cannot carry becomes the format's _xHHHH_, a literal
// such run keeping its "_" escaped so that it reads back as it stands.
TEST(WorkbookText, EscapesWhatXmlCannotCarry) {
    const struct {
        std::u16string text;
        std::string xml;
    } cases[] = {
        {u"a & <b> \"q\"", "a &amp; &lt;b&gt; \"q\""},
        {u"tab\tline\ncr\r\x01\x1f", "tab\tline\ncr_x000D__x0001__x001F_"},
        {u"_x0041_ _x00g1_ _x12", "_x005F_x0041_ _x00g1_ _x12"},
        {u"中 ü \U00020000", "\xE4\xB8\xAD \xC3\xBC \xF0\xA0\x80\x80"},
        {u"half \xD800 pair \xDC00", "half \xEF\xBF\xBD pair \xEF\xBF\xBD"},
        {u"\xFFFE\xFFFF", "_xFFFE__xFFFF_"},
    };
    for (const auto& c : cases) {
        std::string out = "<t>";
        appendXmlText(out, QStringView(c.text));
        EXPECT_EQ(out, "<t>" + c.xml) << QString::fromStdU16String(c.text).toStdString();
    }
}

// Through the whole file and our own reader: the texts come back as they were, a long one cut
// to what a cell holds without splitting the character at the cut.
TEST(WorkbookText, TextsReadBackAsTheyWereWritten) {
    TempProgram program;
    program.exec("create table T_Text (Note MEMO);"
                 "insert into T_Text values ('ctrl' || char(1, 31, 13, 10, 9) || 'end'),"
                 " ('_x0041_ & <b>'), ('  padded  '),"
                 " (printf('%.*c', 32766, 'a') || char(131072) || 'tail');");
    auto connection = openDatabase(program.databasePath());
    Query query("q", connection.get());
    query.setCommand({"select Note from T_Text order by rowid", {}});
    query.open();
    const SheetTable table{&query, {{"说明", 0, FieldKind::Memo}}, true, 0};
    QTemporaryDir dir;
    const QString path = dir.filePath("texts.xlsx");
    ASSERT_TRUE(writeXlsx(table, path, nullptr));

    XlsxReader reader(path);
    QStringList texts;
    QVariantList cells;
    while (reader.next(cells))
        texts << cells.value(0).toString();
    EXPECT_EQ(texts, (QStringList{"说明", "ctrl\x01\x1f\r\n\tend", "_x0041_ & <b>", "  padded  ",
                                  QString(32766, u'a')}));
}
