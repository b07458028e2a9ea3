#include "DataGridFixture.h"

#include <QHeaderView>
#include <QTest>
#include <QVBoxLayout>

GridTest::GridTest() : data(program.connect(messages)), grid(new DataGrid(&window)) {
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(grid);
    grid->setAutoSortMarking(true);
    grid->setMultiSortMarking(true);
    grid->setFooterRowCount(1);
    grid->setMultiSelect(true);
    grid->setQuery(&query());
    window.resize(900, 400);
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
}

GridTest::~GridTest() {
    grid->setQuery(nullptr);
}

void GridTest::addCustomers(int count) {
    QStringList rows;
    for (int i = 1; i <= count; ++i)
        rows << QString("('客户%1', 'tel%1', 'm%2')").arg(i).arg(count - i);
    program.exec("insert into Custom (Company, tel, Mobile) values " + rows.join(','));
}

void GridTest::openCustomers() {
    data->OpenQuery(query(), {"select * from Custom order by CustCode", {}});
}

void GridTest::addColumn(const QString& field, bool titleButton) {
    GridColumn column;
    column.fieldName = field;
    column.width = 120;
    column.titleButton = titleButton;
    grid->addColumn(column);
}

QList<QString> GridTest::columnFields() const {
    QList<QString> fields;
    for (int i = 0; i < grid->columnCount(); ++i)
        fields << grid->column(i).fieldName;
    return fields;
}

QStringList GridTest::companies() const {
    QStringList names;
    Query& q = data->Qry_Cust;
    for (int row = 0; row < q.recordCount(); ++row)
        names << q.displayText(row, q.findField("Company"));
    return names;
}

QWidget* GridTest::titles() const {
    return grid->view()->horizontalHeader()->viewport();
}

QWidget* GridTest::cells() const {
    return grid->view()->viewport();
}

QPoint GridTest::titleCenter(int i) const {
    const QHeaderView* header = grid->view()->horizontalHeader();
    return {header->sectionViewportPosition(i) + header->sectionSize(i) / 2, header->height() / 2};
}

void GridTest::clickTitle(int i, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(titles(), Qt::LeftButton, modifiers, titleCenter(i));
}

void GridTest::dragTitle(int i, QPoint to) {
    const QPoint from = titleCenter(i);
    QTest::mousePress(titles(), Qt::LeftButton, {}, from);
    QTest::mouseMove(titles(), (from + to) / 2);
    QTest::mouseMove(titles(), to);
    QTest::mouseRelease(titles(), Qt::LeftButton, {}, to);
}

QPoint GridTest::cellCenter(int row, int column) const {
    return grid->view()->visualRect(grid->view()->model()->index(row, column)).center();
}

void GridTest::clickRow(int row, Qt::KeyboardModifiers modifiers) {
    QTest::mouseClick(cells(), Qt::LeftButton, modifiers, cellCenter(row));
}
