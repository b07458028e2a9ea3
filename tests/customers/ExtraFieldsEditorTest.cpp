#include "CustomerTestSupport.h"

#include "customers/DateBox.h"
#include "customers/ExtraFieldsPanel.h"
#include "customers/U_AddCust.h"
#include "data/Statements.h"
#include "fields/CustomerFields.h"
#include "grid/DataGrid.h"
#include "tests/data/DataTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

namespace {

FieldDefinition field(const QString& title, FieldType type, QStringList choices = {}) {
    FieldDefinition f;
    f.title = title;
    f.type = type;
    f.length = 8;
    f.decimals = 1;
    f.choices = choices;
    return f;
}

// What an input shows, or is given, as text.
QString textIn(QWidget* box) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(box))
        return memo->toPlainText();
    if (auto* date = qobject_cast<DateBox*>(box))
        return date->lineEdit()->text();
    if (auto* check = qobject_cast<QCheckBox*>(box))
        return check->isChecked() ? "是" : "否";
    return qobject_cast<QComboBox*>(box)->currentText();
}
void type(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(box))
        memo->setPlainText(text);
    else if (auto* date = qobject_cast<DateBox*>(box))
        date->lineEdit()->setText(text);
    else if (auto* check = qobject_cast<QCheckBox*>(box))
        check->setChecked(text == "是");
    else if (auto* combo = qobject_cast<QComboBox*>(box))
        combo->setCurrentIndex(combo->findText(text));
}

class ExtraFieldsEditor : public CustomerFixture, public ::testing::WithParamInterface<TestEngine> {
  protected:
    ExtraFieldsEditor() : CustomerFixture(GetParam()) {}
    void SetUp() override {
        CustomerFixture::SetUp();
        Connection& c = *data->ADOConnection1;
        for (const FieldDefinition& f :
             {field("联系人", FieldType::Text), field("地址", FieldType::MultiText),
              field("年采购额", FieldType::Number), field("签约日期", FieldType::Date),
              field("重点客户", FieldType::YesNo),
              field("客户类型", FieldType::Choice, {"经销商", "终端"})})
            CustomerFields::add(c, f);
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    }
    std::unique_ptr<TFrm_AddCust> editor(TFrm_AddCust::Mode mode) {
        auto dialog = std::make_unique<TFrm_AddCust>(*data, messages);
        dialog->setMode(mode);
        dialog->show();
        return dialog;
    }
};

TEST_P(ExtraFieldsEditor, EachTypeIsCheckedNamedSavedAndLoadedAgain) {
    auto dialog = editor(TFrm_AddCust::AddMode);
    ASSERT_NE(dialog->ExtraFields, nullptr);
    EXPECT_GT(dialog->height(), 322);
    ExtraFieldsPanel& panel = *dialog->ExtraFields;
    ASSERT_EQ(panel.fields().size(), 6);
    const QStringList good = {"王五", "北京\n海淀", "1200.5", "", "是", "终端"};
    // A bad text in one input at a time: its message names the field, the text stays, and no
    // customer is written.
    const struct {
        int input;
        QString text;
    } bad[] = {{2, "12a"}, {2, "1.25"}, {3, "2026-02-30"}};
    const int before = customerRows();
    dialog->Edit_CustName->setText("新客户");
    for (int i = 0; i < 6; ++i)
        type(panel.input(i), good[i]);
    qobject_cast<DateBox*>(panel.input(3))->setDate(QDate(2026, 3, 9));
    for (const auto& b : bad) {
        SCOPED_TRACE(b.text.toStdString());
        const QString kept = textIn(panel.input(b.input));
        type(panel.input(b.input), b.text);
        const QString typed = textIn(panel.input(b.input));
        messages.clear();
        dialog->Btn_OK->click();
        ASSERT_EQ(messages.texts().size(), 1);
        EXPECT_TRUE(messages.texts()[0].contains("“" + panel.fields()[b.input].title + "”"))
            << messages.texts()[0].toStdString();
        EXPECT_EQ(textIn(panel.input(b.input)), typed);
        EXPECT_EQ(customerRows(), before);
        type(panel.input(b.input), kept);
        if (b.input == 3)
            qobject_cast<DateBox*>(panel.input(3))->setDate(QDate(2026, 3, 9));
    }
    messages.clear();
    clickAndWait(dialog->Btn_OK, *data);
    EXPECT_TRUE(messages.texts().isEmpty()) << messages.texts().join('\n').toStdString();
    ASSERT_EQ(customerRows(), before + 1);
    EXPECT_EQ(textIn(panel.input(0)), ""); // ready for the next customer
    dialog.reset();

    data->OpenQuery(data->Qry_Cust, {"select * from Custom where Company=?", {"新客户"}});
    auto edit = editor(TFrm_AddCust::EditMode);
    ASSERT_NE(edit->ExtraFields, nullptr);
    const QStringList loaded = {"王五", "北京\n海淀", "1200.5", "", "是", "终端"};
    for (int i : {0, 1, 2, 4, 5})
        EXPECT_EQ(textIn(edit->ExtraFields->input(i)), loaded[i]) << i;
    EXPECT_EQ(qobject_cast<DateBox*>(edit->ExtraFields->input(3))->date(), QDate(2026, 3, 9));
    type(edit->ExtraFields->input(5), "经销商");
    clickAndWait(edit->Btn_OK, *data);
    EXPECT_EQ(customerRows("Fld6='经销商'"), 1);
}

// The list shows the fields as columns; each 筛选 box narrows the keyword's rows, and the count
// follows.
TEST_P(ExtraFieldsEditor, ChoiceFiltersNarrowTheSearchAndTheCount) {
    Connection& c = *data->ADOConnection1;
    const QString kind = CustomerFields::all(c).last().column;
    c.execute({"update Custom set " + kind + "=? where Company like ?", {"终端", "%1%"}});
    c.execute({"update Custom set " + kind + "=? where Company like ?", {"经销商", "%trade%"}});
    openList();
    ASSERT_EQ(list->filterBoxes().size(), 1);
    QComboBox* filter = list->filterBoxes()[0];
    EXPECT_EQ(filter->currentText(), "全部");
    const QAbstractItemModel* model = list->Grid_Cust->view()->model();
    QStringList titles;
    for (int i = 0; i < model->columnCount(); ++i)
        titles << model->headerData(i, Qt::Horizontal).toString();
    EXPECT_TRUE(titles.contains("客户类型")) << titles.join(',').toStdString();

    const struct {
        const char* choice;
        const char* keyword;
        int rows;
    } cases[] = {{"全部", "", 3},       {"终端", "", 1},     {"经销商", "", 1},
                 {"经销商", "Acme", 0}, {"终端", "北京", 1}, {"全部", "a", 2}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.choice + std::string(" ") + k.keyword);
        list->Edit_Key->setText(QString::fromUtf8(k.keyword));
        filter->setCurrentIndex(filter->findText(QString::fromUtf8(k.choice)));
        list->Btn_S_Cust->click();
        waitForSearch(*list);
        EXPECT_EQ(data->Qry_Cust.recordCount(), k.rows);
        EXPECT_EQ(counts.last(), TFrm_Custom::countText(k.rows));
    }
}

RUN_ON_EVERY_ENGINE(ExtraFieldsEditor);

} // namespace
