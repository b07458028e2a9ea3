#include "PrintFixture.h"

#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <QTest>

namespace {

void clickRow(DataGrid& grid, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTableView* view = grid.view();
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, cell.center());
}

} // namespace

TEST_F(PrintFixture, AnEmptyListPrintsItsTitlesAndACountOfNothing) {
    openWithCustomers(0);
    const PrintDocument d = document(*printer);
    ASSERT_EQ(d.pageCount(), 1);
    EXPECT_EQ(titlesOn(d, 0), (QStringList{"客户名称", "联系电话", "客户编号"})); // not Mobile
    EXPECT_TRUE(d.snapshot.rows.isEmpty());
    EXPECT_TRUE(d.layout.pages[0].band.footer);
    EXPECT_EQ(d.snapshot.footer, (QStringList{"总计", "0", "0"}));
    // Aligned as the grid's footer: the fixed text left, the count in a text column right.
    EXPECT_FALSE(d.snapshot.columns[0].footerAlignRight);
    EXPECT_FALSE(d.snapshot.columns[1].alignRight);
    EXPECT_TRUE(d.snapshot.columns[1].footerAlignRight);
}

TEST_F(PrintFixture, MarkedRowsAloneArePrintedAndCounted) {
    openWithCustomers(5);
    grid->show();
    data->Qry_Cust.setRecNo(3);
    grid->setRowMarked(1, true);
    grid->setRowMarked(4, true);
    const PrintDocument d = document(*printer);
    EXPECT_EQ(printedCompanies(d), (QStringList{"客户2", "客户5"}));
    EXPECT_EQ(d.snapshot.footer, (QStringList{"总计", "2", "7"})); // sums of the printed rows
    EXPECT_EQ(data->Qry_Cust.recNo(), 3);                          // the current row stays

    // Sorting keeps the same customers marked; reopening the list forgets them.
    data->Qry_Cust.setSort("  CustCode DESC ");
    EXPECT_EQ(printedCompanies(document(*printer)), (QStringList{"客户5", "客户2"}));
    EXPECT_EQ(data->Qry_Cust.recNo(), 1);
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    EXPECT_EQ(document(*printer).snapshot.rows.size(), 5);

    // A plain click marks one row; moving with the keyboard clears the marks again.
    grid->clearMarks();
    clickRow(*grid, 2);
    EXPECT_EQ(printedCompanies(document(*printer)), QStringList{"客户3"});
    EXPECT_EQ(document(*printer).snapshot.footer.value(1), "1");
    QTest::keyClick(grid->view(), Qt::Key_Down);
    EXPECT_EQ(document(*printer).snapshot.rows.size(), 5);
}

TEST_F(PrintFixture, RowsFollowTheQuerysPresentOrder) {
    openWithCustomers(3);
    data->Qry_Cust.setSort("CustCode DESC");
    EXPECT_EQ(printedCompanies(document(*printer)), (QStringList{"客户3", "客户2", "客户1"}));
}

TEST_F(PrintFixture, AWideLayoutContinuesOnPagesOfItsOwnColumnsUnlessScaled) {
    openWithCustomers(120);
    for (int i = 0; i < 3; ++i) {
        GridColumn column = grid->column(i);
        column.width = 400; // three of them exceed the 17 cm between A4's margins
        grid->setColumn(i, column);
    }
    const PrintDocument split = document(*printer);
    EXPECT_EQ(split.layout.groups.size(), 3);
    ASSERT_GE(split.pageCount(), 6);
    EXPECT_EQ(titlesOn(split, 0), QStringList{"客户名称"});
    EXPECT_EQ(titlesOn(split, 1), QStringList{"联系电话"});
    EXPECT_EQ(titlesOn(split, 2), QStringList{"客户编号"});
    EXPECT_EQ(titlesOn(split, 3), QStringList{"客户名称"});
    EXPECT_EQ(split.layout.pages[3].band.firstRow, split.layout.pages[0].band.rowCount);
    const int usable = split.metrics.usableWidth();
    EXPECT_NEAR(usable, 643, 2); // 21 cm - 2 x 2 cm at 96 dpi

    printer->settings().fitToPageWidth = true; // as the reminder list prints
    const PrintDocument scaled = document(*printer);
    EXPECT_EQ(scaled.layout.groups.size(), 1);
    EXPECT_NEAR(scaled.layout.scale * 1200, usable, 1);
    EXPECT_LT(scaled.pageCount(), split.pageCount());
}

TEST_F(PrintFixture, OptimalWidthsAndGrowingRowsMakeRoomForLongTexts) {
    program.exec("INSERT INTO Custom (CustCode, Company, tel) VALUES "
                 "(99, '一家名字非常非常非常非常非常长的客户有限公司', '1');");
    openWithCustomers(1);
    GridColumn narrow = grid->column(0);
    narrow.width = 40;
    grid->setColumn(0, narrow);

    const PrintDocument plain = document(*printer);
    EXPECT_EQ(plain.snapshot.columns[0].width, 40);
    EXPECT_TRUE(plain.metrics.rowHeights.isEmpty());

    printer->settings().stretchLongLines = true; // the long name wraps within 40 pixels
    const PrintDocument grown = document(*printer);
    ASSERT_EQ(grown.metrics.rowHeights.size(), 2);
    EXPECT_EQ(grown.metrics.rowHeights[0], grown.metrics.rowHeight); // "客户1" fits
    EXPECT_GT(grown.metrics.rowHeights[1], 3 * grown.metrics.rowHeight);

    printer->settings().stretchLongLines = false;
    printer->settings().optimalColumnWidths = true;
    const PrintDocument fitted = document(*printer);
    EXPECT_GT(fitted.snapshot.columns[0].width, 200);
    EXPECT_GT(fitted.snapshot.columns[1].width, 0);

    // An absurd margin once overflowed into a negative one; now it is just a very wide margin.
    printer->settings().marginLeftCm = 1e12;
    printer->settings().marginTopCm = -3;
    const PrintDocument margins = document(*printer);
    EXPECT_GT(margins.metrics.marginLeft, margins.metrics.pageWidth);
    EXPECT_EQ(margins.metrics.marginTop, 0);
    EXPECT_GE(margins.pageCount(), 1);
}

TEST_F(PrintFixture, PagesAreBlackOnWhiteUnlessColoured) {
    openWithCustomers(3);
    auto colours = [](const PrintDocument& d) {
        QImage image(d.metrics.pageWidth, d.metrics.pageHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PrintPainter(d).paintPage(painter, 0);
        painter.end();
        int coloured = 0, dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                coloured += c.red() != c.green() || c.green() != c.blue();
                dark += c.lightness() < 128;
            }
        return std::pair{coloured, dark};
    };
    const auto [coloured, dark] = colours(document(*printer));
    EXPECT_EQ(coloured, 0);
    EXPECT_GT(dark, 100); // lines and texts are there

    printer->settings().colored = true;
    grid->view()->horizontalHeader()->setPalette(QPalette(QColor(200, 220, 255)));
    EXPECT_GT(colours(document(*printer)).first, 100); // titles on the grid's title colour
}

TEST_F(PrintFixture, AMemoWithLineBreaksStaysOnItsOwnRowAsTheGridShowsIt) {
    program.exec("INSERT INTO Custom (CustCode, Company, tel) VALUES "
                 "(99, '甲' || char(10) || '乙' || char(13, 10) || '丙', '1');");
    openWithCustomers(2);
    const PrintDocument d = document(*printer);
    const int row = int(printedCompanies(d).indexOf(QString("甲\n乙\r\n丙")));
    ASSERT_GE(row, 0);
    PrintDocument oneLine = d;
    oneLine.snapshot.rows[row][0] = "甲 乙  丙";
    auto picture = [](const PrintDocument& doc) {
        QImage image(doc.metrics.pageWidth, doc.metrics.pageHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        PrintPainter(doc).paintPage(painter, 0);
        painter.end();
        return image;
    };
    EXPECT_TRUE(picture(d) == picture(oneLine)) << "the lines would spill over the rows beside";
}
