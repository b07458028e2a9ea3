#include "grid/PrintLayout.h"

#include <gtest/gtest.h>

namespace {

PrintSnapshot snapshotOf(const QList<int>& widths, int rows, bool footer) {
    PrintSnapshot snapshot;
    for (int i = 0; i < widths.size(); ++i)
        snapshot.columns << PrintColumn{QString("C%1").arg(i), widths[i], false};
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        for (int i = 0; i < widths.size(); ++i)
            cells << QString("r%1c%2").arg(r).arg(i);
        snapshot.rows << cells;
    }
    snapshot.hasFooter = footer;
    return snapshot;
}

// A page with 500 x 320 units between its margins, lines of 20 units: 15 rows under the titles.
PageMetrics smallPage() {
    PageMetrics m;
    m.pageWidth = 600;
    m.pageHeight = 400;
    m.marginLeft = m.marginRight = 50;
    m.marginTop = m.marginBottom = 40;
    m.titleHeight = m.rowHeight = m.footerHeight = 20;
    return m;
}

QList<RowBand> bandsOf(const PrintLayout& layout) {
    QList<RowBand> bands;
    for (const PrintPage& page : layout.pages)
        if (page.group == 0)
            bands << page.band;
    return bands;
}

} // namespace

TEST(PrintLayout, RowsFillPagesAndTheFooterFollowsTheLastRow) {
    const PrintLayout empty =
        composePages(snapshotOf({100, 100}, 0, true), smallPage(), PrintFit::None);
    ASSERT_EQ(empty.pages.size(), 1);
    EXPECT_EQ(empty.pages[0].band, (RowBand{0, 0, true}));

    const PrintLayout many =
        composePages(snapshotOf({100, 100}, 40, true), smallPage(), PrintFit::None);
    EXPECT_EQ(bandsOf(many), (QList<RowBand>{{0, 15, false}, {15, 15, false}, {30, 10, true}}));

    // 15 rows fill the page exactly: the footer goes to a page of its own, under the titles.
    const PrintLayout full = composePages(snapshotOf({100}, 15, true), smallPage(), PrintFit::None);
    EXPECT_EQ(bandsOf(full), (QList<RowBand>{{0, 15, false}, {15, 0, true}}));

    const PrintLayout noFooter =
        composePages(snapshotOf({100}, 15, false), smallPage(), PrintFit::None);
    EXPECT_EQ(bandsOf(noFooter), (QList<RowBand>{{0, 15, false}}));
}

TEST(PrintLayout, WideGridsSplitIntoColumnGroupsPerBand) {
    // 200+200 fit the 500 units, 150 joins the next group with 300 (an oversized one alone).
    const PrintLayout layout =
        composePages(snapshotOf({200, 200, 150, 300, 700}, 20, true), smallPage(), PrintFit::None);
    EXPECT_EQ(layout.groups, (QList<QList<int>>{{0, 1}, {2, 3}, {4}}));
    EXPECT_DOUBLE_EQ(layout.scale, 1.0);
    ASSERT_EQ(layout.pages.size(), 6); // two bands of rows, three groups each
    QList<int> groupOrder;
    for (const PrintPage& page : layout.pages)
        groupOrder << page.group;
    EXPECT_EQ(groupOrder, (QList<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(layout.pages[3].band, (RowBand{15, 5, true}));
}

TEST(PrintLayout, FittingToTheWidthKeepsOneGroup) {
    const PrintSnapshot wide = snapshotOf({400, 400, 200}, 40, true);
    const PrintLayout scaled = composePages(wide, smallPage(), PrintFit::ScaleWholeGrid);
    EXPECT_DOUBLE_EQ(scaled.scale, 0.5);
    EXPECT_EQ(scaled.groups.size(), 1);
    // Scaled lines are half as high: 31 rows fit under the titles.
    EXPECT_EQ(bandsOf(scaled), (QList<RowBand>{{0, 31, false}, {31, 9, true}}));

    const PrintLayout narrowed = composePages(wide, smallPage(), PrintFit::ChangeColumnWidths);
    EXPECT_DOUBLE_EQ(narrowed.scale, 1.0);
    EXPECT_EQ(narrowed.widths, (QList<int>{200, 200, 100}));
    EXPECT_EQ(narrowed.groups.size(), 1);

    // A grid that fits already is neither enlarged nor changed.
    const PrintLayout narrow =
        composePages(snapshotOf({100, 50}, 1, false), smallPage(), PrintFit::ScaleWholeGrid);
    EXPECT_DOUBLE_EQ(narrow.scale, 1.0);
    EXPECT_EQ(narrow.widths, (QList<int>{100, 50}));
}

TEST(PrintLayout, ImpossibleGeometryStillEndsWithEveryRowPrinted) {
    PageMetrics crushed = smallPage();
    crushed.marginTop = crushed.marginBottom = 300; // nothing left between the margins
    crushed.marginLeft = 700;
    const PrintLayout layout =
        composePages(snapshotOf({100, 100}, 3, true), crushed, PrintFit::None);
    EXPECT_EQ(layout.groups, (QList<QList<int>>{{0}, {1}}));
    EXPECT_EQ(bandsOf(layout),
              (QList<RowBand>{{0, 1, false}, {1, 1, false}, {2, 1, false}, {3, 0, true}}));

    PageMetrics growing = smallPage();
    growing.rowHeights = {100, 250, 20};
    const PrintLayout tall = composePages(snapshotOf({100}, 3, false), growing, PrintFit::None);
    EXPECT_EQ(bandsOf(tall), (QList<RowBand>{{0, 1, false}, {1, 2, false}}));
}
