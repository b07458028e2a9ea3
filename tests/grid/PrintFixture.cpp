#include "PrintFixture.h"

#include <QPageLayout>
#include <QPageSize>

void PrintFixture::SetUp() {
    data = program.connect(messages);
    grid = std::make_unique<DataGrid>();
    grid->setFooterRowCount(1);
    grid->setMultiSelect(true);
    grid->resize(900, 500);
    previews = std::make_unique<PrintPreviewService>(messages);
    printer = std::make_unique<GridPrinter>(*grid, *previews, messages);
}

void PrintFixture::TearDown() {
    printer.reset();
    previews.reset();
    grid.reset();
}

void PrintFixture::openWithCustomers(int count) {
    QString sql;
    for (int i = 1; i <= count; ++i)
        sql +=
            QString("INSERT INTO Custom (CustCode, Company, tel) VALUES (%1, '客户%1', '0571-%1');")
                .arg(i);
    if (!sql.isEmpty())
        program.exec(sql);
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    grid->setQuery(&data->Qry_Cust);
    GridColumn company;
    company.fieldName = "Company";
    company.width = 160;
    company.footerKind = fvtStaticText;
    company.footerText = "总计";
    GridColumn tel;
    tel.fieldName = "tel";
    tel.width = 110;
    tel.footerKind = fvtCount;
    GridColumn code;
    code.fieldName = "CustCode";
    code.width = 70;
    code.footerKind = fvtSum;
    GridColumn hidden;
    hidden.fieldName = "Mobile";
    hidden.width = 110;
    hidden.visible = false;
    for (const GridColumn& column : {company, tel, code, hidden})
        grid->addColumn(column);
    data->Qry_Cust.setDisplayLabel(data->Qry_Cust.findField("Company"), "客户名称");
    data->Qry_Cust.setDisplayLabel(data->Qry_Cust.findField("tel"), "联系电话");
    data->Qry_Cust.setDisplayLabel(data->Qry_Cust.findField("CustCode"), "客户编号");
}

PrintDocument PrintFixture::document(const GridPrinter& p) const {
    return p.makeDocument(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()),
                          96);
}

QStringList PrintFixture::titlesOn(const PrintDocument& document, int page) {
    QStringList titles;
    for (int c : document.layout.groups.at(document.layout.pages.at(page).group))
        titles << document.snapshot.columns.at(c).title;
    return titles;
}

QStringList PrintFixture::printedCompanies(const PrintDocument& document) {
    QStringList companies;
    for (const QStringList& row : document.snapshot.rows)
        companies << row.value(0);
    return companies;
}
