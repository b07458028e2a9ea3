#include "DataGridFixture.h"

#include "grid/GridModel.h"
#include "grid/GridView.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTest>

namespace {

// The grid draws plain cells itself under the style it knows; behind a proxy of the same style
// it leaves every cell to the style. Both must give the same picture.
class StockFusion : public QProxyStyle {
  public:
    StockFusion() : QProxyStyle(QStyleFactory::create("Fusion")) {}
};

// The first cell whose pixels differ between the two pictures, "" when none does.
std::string firstDifference(const QTableView& view, const QImage& own, const QImage& stock) {
    if (own.size() != stock.size())
        return "size";
    for (int y = 0; y < own.height(); ++y)
        for (int x = 0; x < own.width(); ++x)
            if (own.pixel(x, y) != stock.pixel(x, y)) {
                const QModelIndex at = view.indexAt(QPoint(x, y));
                return QString("row %1 column %2 (%3, %4): %5")
                    .arg(at.row())
                    .arg(at.column())
                    .arg(x)
                    .arg(y)
                    .arg(at.data().toString())
                    .toStdString();
            }
    return {};
}

std::string paintedDifference(QTableView& view, QStyle& fusion, QStyle& stock) {
    view.setStyle(&fusion);
    const QImage own = view.viewport()->grab().toImage();
    view.setStyle(&stock);
    const QImage reference = view.viewport()->grab().toImage();
    view.setStyle(&fusion);
    return firstDifference(view, own, reference);
}

struct Cell {
    QString text;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    QVariant font, foreground, background, check, decoration, editButton;
};

QList<Cell> cells() {
    QFont bold = QApplication::font();
    bold.setBold(true);
    QFont large = QApplication::font();
    large.setPointSize(large.pointSize() + 6);
    const QString longText =
        QString::fromUtf8("北京华联商厦股份有限公司第一分公司采购部 Room 1208");
    QImage icon(8, 8, QImage::Format_RGB32);
    icon.fill(Qt::red);
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    return {
        {"客户1"},
        {longText},
        {"1234567.89", right},
        {"123456789012345678901234567890.25", right},
        {"居中", Qt::AlignCenter},
        {"上", Qt::AlignLeft | Qt::AlignTop},
        {longText, Qt::AlignRight | Qt::AlignBottom},
        {""},
        {"粗体 bold", Qt::AlignLeft | Qt::AlignVCenter, bold},
        {longText, right, large},
        {"红字", Qt::AlignLeft | Qt::AlignVCenter, {}, QBrush(Qt::red)},
        {"黄底", right, {}, {}, QBrush(Qt::yellow)},
        {longText, Qt::AlignLeft | Qt::AlignVCenter, {}, {}, QBrush(Qt::blue, Qt::Dense4Pattern)},
        {"a\tb\tc"},
        {QString("两行") + QChar::LineSeparator + "文字"},
        {"勾选", Qt::AlignLeft | Qt::AlignVCenter, {}, {}, {}, int(Qt::Checked)},
        {"图标", Qt::AlignLeft | Qt::AlignVCenter, {}, {}, {}, {}, icon},
        {longText, Qt::AlignLeft | Qt::AlignVCenter, {}, {}, {}, {}, {}, true},
        {"2026-12-11 18:20:38", right, {}, {}, {}, {}, {}, true},
    };
}

void fill(QStandardItemModel& model) {
    const QList<Cell> all = cells();
    const int columns = 4;
    model.setColumnCount(columns);
    for (int i = 0; i < all.size() * columns; ++i) {
        const Cell& c = all.at((i * 7) % all.size()); // each row mixes kinds
        auto* item = new QStandardItem(c.text);
        item->setData(QVariant::fromValue(c.alignment), Qt::TextAlignmentRole);
        item->setData(c.font, Qt::FontRole);
        item->setData(c.foreground, Qt::ForegroundRole);
        item->setData(c.background, Qt::BackgroundRole);
        item->setData(c.check, Qt::CheckStateRole);
        item->setData(c.decoration, Qt::DecorationRole);
        item->setData(c.editButton, GridModel::EditButtonRole);
        item->setEditable(false);
        model.setItem(i / columns, i % columns, item);
    }
}

} // namespace

// Every kind of cell, in every elision mode, marked, current, disabled and right to left:
// the grid's own drawing of a plain cell is the style's, pixel for pixel.
TEST(GridPaint, PlainCellsLookAsTheStyleDrawsThem) {
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    StockFusion stock;
    ASSERT_EQ(fusion->name(), "fusion");
    ASSERT_NE(stock.name(), "fusion"); // else both pictures come from the same path
    QStandardItemModel model;
    fill(model);
    QWidget window;
    GridView view(&window);
    view.setModel(&model);
    view.setMultiSelect(true);
    for (int c = 0; c < model.columnCount(); ++c)
        view.setColumnWidth(c, 60 + 70 * c);
    window.resize(700, 600);
    view.resize(window.size());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    view.setCurrentIndex(model.index(2, 1));
    view.markRows(4, 6, true);

    struct Setting {
        const char* name;
        Qt::TextElideMode elide;
        bool enabled;
        Qt::LayoutDirection direction;
    };
    const Setting settings[] = {{"elide right", Qt::ElideRight, true, Qt::LeftToRight},
                                {"elide left", Qt::ElideLeft, true, Qt::LeftToRight},
                                {"elide middle", Qt::ElideMiddle, true, Qt::LeftToRight},
                                {"no elision", Qt::ElideNone, true, Qt::LeftToRight},
                                {"disabled", Qt::ElideRight, false, Qt::LeftToRight},
                                {"right to left", Qt::ElideRight, true, Qt::RightToLeft}};
    for (const Setting& s : settings) {
        view.setTextElideMode(s.elide);
        view.setEnabled(s.enabled);
        view.setLayoutDirection(s.direction);
        EXPECT_EQ(paintedDifference(view, *fusion, stock), "") << s.name;
    }
}

// The customer grid's formatted cells (numbers, dates, memo lines, long texts), marked and
// current, drawn by the grid as the style draws them.
TEST_F(GridTest, CustomerCellsLookAsTheStyleDrawsThem) {
    program.exec("insert into Custom (Company, tel, Mobile, memo2, AddDate) values "
                 "('北京华联商厦股份有限公司第一分公司采购部', '010-1234567', '13800000000', "
                 "'第一行\n第二行\t制表', '2026-12-11 18:20:38'), "
                 "('客户2', '', NULL, NULL, '2001-01-02 00:00:00')");
    addCustomers(20);
    openCustomers();
    grid->view()->setCurrentIndex(grid->view()->model()->index(1, 0));
    grid->view()->selectRow(3);
    std::unique_ptr<QStyle> fusion(QStyleFactory::create("Fusion"));
    StockFusion stock;
    QTableView& view = *grid->view();
    for (int c = 0; c < view.model()->columnCount(); ++c)
        view.setColumnWidth(c, 90);
    EXPECT_EQ(paintedDifference(view, *fusion, stock), "");
}
