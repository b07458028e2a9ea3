#include "grid/BiffWriter.h"
#include "BiffRecords.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// A writer whose cursor stands at (row, column) of a sheet with the given width.
BiffWriter writerAt(int row, int column, int columns = 3) {
    BiffWriter w(columns);
    for (int i = 0; i < row * columns + column; ++i)
        w.blank();
    w.takeBytes();
    return w;
}

} // namespace

TEST(BiffWriter, CellRecordsMatchTheFormatByteForByte) {
    BiffWriter label = writerAt(0, 0);
    label.label(u"abc");
    EXPECT_EQ(label.bytes(), hexBytes("04 02 0B 00 00 00 00 00 00 00 03 00 61 62 63"));

    BiffWriter rk = writerAt(1, 2);
    rk.integer(5);
    EXPECT_EQ(rk.bytes(), hexBytes("7E 02 0A 00 01 00 02 00 00 00 16 00 00 00"));

    BiffWriter number = writerAt(3, 1);
    number.number(1.5);
    EXPECT_EQ(number.bytes(), hexBytes("03 02 0E 00 03 00 01 00 00 00 00 00 00 00 00 00 F8 3F"));

    BiffWriter blank = writerAt(2, 0);
    blank.blank();
    EXPECT_EQ(blank.bytes(), hexBytes("01 02 06 00 02 00 00 00 17 00"));
}

TEST(BiffWriter, BofAndEofFrameTheSheet) {
    BiffWriter w(1);
    w.bof();
    w.eof();
    EXPECT_EQ(w.bytes(), hexBytes("09 08 08 00 00 00 10 00 00 00 00 00 0A 00 00 00"));
}

TEST(BiffWriter, CellsFillRowByRow) {
    BiffWriter w(2);
    w.label(u"a");
    w.number(2);
    w.blank();
    w.integer(-1);
    w.label(u"");
    const auto records = splitBiff(w.bytes());
    ASSERT_EQ(records.size(), 5);
    const int expected[5][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(records[i].row(), expected[i][0]) << i;
        EXPECT_EQ(records[i].column(), expected[i][1]) << i;
    }
    EXPECT_EQ(records[3].value(), QVariant(qint64(-1)));
    EXPECT_EQ(records[4].data.size(), 8) << "an empty text is a LABEL with n = 0";
}

TEST(BiffWriter, LabelHoldsGbkAndMarksWhatGbkCannotHold) {
    BiffWriter w(1);
    w.label(u"总计");
    w.label(QString::fromUtf8("a\U0001F600b")); // an emoji has no GBK code
    const auto records = splitBiff(w.bytes());
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].data.mid(8), hexBytes("D7 DC BC C6"));
    EXPECT_EQ(records[1].data.mid(8), QByteArray("a?b"));
}

TEST(BiffWriter, WholeNumbersBeyondRkRangeBecomeNumbers) {
    BiffWriter w(1);
    for (qint64 v :
         {biff::kRkMin, biff::kRkMax, biff::kRkMin - 1, biff::kRkMax + 1, qint64(4000000000)})
        w.integer(v);
    const auto records = splitBiff(w.bytes());
    ASSERT_EQ(records.size(), 5);
    EXPECT_EQ(records[0].type, biff::kRk);
    EXPECT_EQ(records[0].value(), QVariant(biff::kRkMin));
    EXPECT_EQ(records[1].type, biff::kRk);
    EXPECT_EQ(records[1].value(), QVariant(biff::kRkMax));
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(records[i].type, biff::kNumber) << i;
    EXPECT_EQ(records[2].value().toDouble(), double(biff::kRkMin - 1));
    EXPECT_EQ(records[4].value().toDouble(), 4e9);
}

TEST(BiffWriter, OverlongTextIsCutAtAWholeCharacter) {
    // One ASCII byte first, so the two-byte characters straddle the limit.
    const QString text = "x" + QString(40000, QChar(0x4E00));
    BiffWriter w(1);
    w.label(text);
    const auto records = splitBiff(w.bytes());
    ASSERT_EQ(records.size(), 1);
    const int n = records[0].data.size() - 8;
    EXPECT_EQ(n, biff::kMaxLabelBytes); // 65527 = 1 + 2 * 32763
    EXPECT_EQ(records[0].value().toString(), "x" + QString(32763, QChar(0x4E00)));

    const QString even = QString(40000, QChar(0x4E00));
    BiffWriter w2(1);
    w2.label(even);
    EXPECT_EQ(splitBiff(w2.bytes())[0].data.size() - 8, biff::kMaxLabelBytes - 1);
}

TEST(BiffWriter, WholeGbkPrefixNeverSplitsACharacter) {
    const QByteArray bytes = hexBytes("61 D7 DC 80 BC C6");
    EXPECT_EQ(biff::wholeGbkPrefix(bytes, 2), 1);
    EXPECT_EQ(biff::wholeGbkPrefix(bytes, 3), 3);
    EXPECT_EQ(biff::wholeGbkPrefix(bytes, 4), 4);
    EXPECT_EQ(biff::wholeGbkPrefix(bytes, 5), 4);
    EXPECT_EQ(biff::wholeGbkPrefix(bytes, 99), 6);
    EXPECT_EQ(biff::wholeGbkPrefix(hexBytes("61 D7"), 99), 1) << "a dangling lead byte";
}

TEST(BiffWriter, Utf8LabelsAreTheLabelsOfTheirDecodedText) {
    const std::string overlongAscii(70000, 'a');
    std::string overlongChinese = "x";
    for (int i = 0; i < 40000; ++i)
        overlongChinese += "\xE4\xB8\x80";
    const std::vector<std::string> texts = {"",
                                            "abc",
                                            "总计",
                                            "a\xF0\x9F\x98\x80"
                                            "b",
                                            "\xEF\xBB\xBFmark",
                                            "bad\xE4\xB8",
                                            "\xFF",
                                            overlongAscii,
                                            overlongChinese};
    BiffWriter fromUtf8(1);
    BiffWriter fromText(1);
    for (const std::string& text : texts) {
        fromUtf8.labelUtf8(text);
        fromText.label(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
    EXPECT_EQ(fromUtf8.bytes(), fromText.bytes());
}
