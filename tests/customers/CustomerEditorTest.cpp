#include "CustomerTestSupport.h"

#include "customers/CustomerCommands.h"
#include "customers/DateBox.h"
#include "customers/RecordNavigator.h"
#include "customers/U_AddCust.h"
#include "data/Statements.h"
#include "grid/DataGrid.h"
#include "tests/data/DataTestSupport.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

class CustomerEditor : public CustomerFixture {
  protected:
    void SetUp() override {
        CustomerFixture::SetUp();
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    }

    std::unique_ptr<TFrm_AddCust> editor(TFrm_AddCust::Mode mode) {
        auto dialog = std::make_unique<TFrm_AddCust>(*data, messages);
        dialog->setMode(mode);
        dialog->show();
        return dialog;
    }

    // One stored cell of the customer named company ("" for Null).
    QString stored(const QString& company, const QString& field) {
        Query q("check", data->ADOConnection1.get());
        data->OpenQuery(q, {"select * from Custom where Company=?", {company}});
        return q.isEmpty()                         ? QStringLiteral("<none>")
               : q.isNull(0, q.fieldByName(field)) ? QString()
                                                   : q.value(0, q.fieldByName(field)).toString();
    }
    QString storedDate(const QString& company) {
        Query q("check", data->ADOConnection1.get());
        data->OpenQuery(q, {"select * from Custom where Company=?", {company}});
        const QDateTime at = q.asDateTime("AddDate");
        return at.isValid() ? at.toString("yyyy-MM-dd HH:mm:ss") : QString();
    }
};

TEST_F(CustomerEditor, AddStoresTrimmedTextsAndStaysReadyForTheNextCustomer) {
    openList();
    const QStringList countsBefore = counts;
    auto dialog = editor(TFrm_AddCust::AddMode);
    EXPECT_EQ(dialog->windowTitle(), "添加客户信息");
    EXPECT_EQ(dialog->size(), QSize(655, 322));
    EXPECT_EQ(dialog->DateEdit1->date(), QDate::currentDate());
    for (auto b : {RecordNavigator::nbFirst, RecordNavigator::nbPrior, RecordNavigator::nbNext,
                   RecordNavigator::nbLast})
        EXPECT_FALSE(dialog->DBNavigator1->button(b)->isEnabled());

    dialog->Edit_CustName->setText(" \tNew Co ");
    dialog->Edit_tel->setText(" 123 ");
    dialog->Edit_Mobile->setText("456");
    dialog->Edit_OtherInfo->setText("");
    dialog->Memo1->setPlainText("x\n\ny  ");
    dialog->Btn_OK->click();

    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(stored("New Co", "tel"), "123");
    EXPECT_EQ(stored("New Co", "OtherInfo"), "") << "an empty box stores an empty text";
    EXPECT_EQ(stored("New Co", "memo2"), "x\r\n\r\ny  ");
    EXPECT_EQ(storedDate("New Co"), QDate::currentDate().toString("yyyy-MM-dd") + " 00:00:00");
    EXPECT_EQ(data->Qry_Cust.asString("Company"), "New Co") << "the new row is current";
    EXPECT_EQ(list->Grid_Cust->footerValueText(1), "4");
    EXPECT_EQ(counts, countsBefore) << "the status text does not follow";
    EXPECT_TRUE(dialog->Edit_CustName->text().isEmpty());
    EXPECT_TRUE(dialog->Memo1->toPlainText().isEmpty());
    EXPECT_EQ(dialog->DateEdit1->date(), QDate::currentDate());
    EXPECT_EQ(dialog->mode(), TFrm_AddCust::AddMode);
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(CustomerEditor, OpensWithTheFocusInTheNameAndLongValuesShowingTheirBeginning) {
    const QString longName = QString(60, u'长') + QStringLiteral("公司");
    program.exec("update Custom set Company = '" + longName + "', tel = '" + QString(40, u'9') +
                 "' where Company = 'Acme 公司'");
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers()); // the long-named row is the first
    for (auto mode : {TFrm_AddCust::AddMode, TFrm_AddCust::EditMode}) {
        auto dialog = editor(mode);
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        EXPECT_EQ(QApplication::focusWidget(), dialog->Edit_CustName) << mode;
        if (mode == TFrm_AddCust::AddMode)
            continue;
        ASSERT_EQ(dialog->Edit_CustName->text(), longName);
        for (QLineEdit* box : {dialog->Edit_CustName, dialog->Edit_tel})
            EXPECT_EQ(box->cursorPosition(), 0) << box->text().toStdString();
        dialog->DBNavigator1->button(RecordNavigator::nbNext)->click();
        dialog->DBNavigator1->button(RecordNavigator::nbPrior)->click();
        EXPECT_EQ(dialog->Edit_CustName->cursorPosition(), 0) << "after moving to the row";
    }
}

TEST_F(CustomerEditor, DuplicateNamesAreFoundWhateverCaseBlanksOrSearch) {
    openList();
    list->Edit_Key->setText("trade");
    list->Btn_S_Cust->click();
    waitForSearch(*list);
    ASSERT_EQ(data->Qry_Cust.recordCount(), 1);
    auto dialog = editor(TFrm_AddCust::AddMode);
    for (const char* name : {"ACME 公司", "  acme 公司\t"}) {
        messages.clear();
        dialog->Edit_CustName->setText(QString::fromUtf8(name));
        dialog->Btn_OK->click();
        ASSERT_EQ(messages.shown.size(), 1) << name;
        EXPECT_EQ(messages.last().text, "客户名称有重复!");
        EXPECT_EQ(messages.last().caption, "提醒");
        EXPECT_EQ(messages.last().owner, dialog.get());
        EXPECT_EQ(dialog->focusWidget(), dialog->Edit_CustName);
        EXPECT_EQ(dialog->Edit_CustName->text(), QString::fromUtf8(name)) << "input is kept";
    }
    EXPECT_EQ(customerRows(), 3);
    messages.clear();
    dialog->Edit_CustName->setText(QString::fromUtf8("\u3000Acme 公司"));
    dialog->Btn_OK->click();
    EXPECT_TRUE(messages.shown.isEmpty()) << "a full-width blank is part of the name";
    EXPECT_EQ(customerRows(), 4);
}

TEST_F(CustomerEditor, EmptyNameIsRefusedAndAQuotedNameWorks) {
    auto dialog = editor(TFrm_AddCust::AddMode);
    dialog->Edit_CustName->setText(" \t ");
    dialog->Edit_tel->setText("kept");
    dialog->Btn_OK->click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "公司名称不能为空!");
    EXPECT_EQ(messages.last().icon, MsgIcon::Information);
    EXPECT_EQ(dialog->Edit_tel->text(), "kept");
    dialog->Edit_CustName->setText("O'Neil");
    dialog->Btn_OK->click();
    EXPECT_EQ(customerRows(), 4);
    dialog->Edit_CustName->setText("o'neil");
    dialog->Btn_OK->click();
    EXPECT_EQ(messages.last().text, "客户名称有重复!");
}

TEST_F(CustomerEditor, EditLoadsTheRowKeepsItsTimeAndMayTakeAnotherName) {
    auto dialog = editor(TFrm_AddCust::EditMode);
    EXPECT_EQ(dialog->windowTitle(), "编辑客户信息");
    EXPECT_EQ(dialog->Edit_CustName->text(), "Acme 公司");
    EXPECT_EQ(dialog->Edit_OtherInfo->text(), "HT-1");
    EXPECT_EQ(dialog->Memo1->toPlainText(), "a\nb");
    EXPECT_EQ(dialog->DateEdit1->date(), QDate(2024, 3, 5));
    dialog->Edit_CustName->setText("北京 100%");
    dialog->Btn_OK->click();
    EXPECT_TRUE(messages.shown.isEmpty()) << "no duplicate test when editing";
    EXPECT_EQ(customerRows("Company='北京 100%'"), 2);
    EXPECT_EQ(customerRows("Company='Acme 公司'"), 0);
    Query& q = data->Qry_Cust;
    EXPECT_EQ(q.asDateTime("AddDate"), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)))
        << "an unchanged date keeps its time of day";
    dialog->DateEdit1->setDate(QDate(2024, 3, 6));
    dialog->Btn_OK->click();
    EXPECT_EQ(q.asDateTime("AddDate"), QDateTime(QDate(2024, 3, 6), QTime(0, 0)));
    EXPECT_EQ(dialog->Edit_CustName->text(), "北京 100%") << "the boxes keep their text";
}

TEST_F(CustomerEditor, AnEmptyDateBoxStoresNullAndAnUnreadableOneIsRefused) {
    data->Qry_Cust.setRecNo(1);
    auto dialog = editor(TFrm_AddCust::EditMode);
    EXPECT_TRUE(dialog->DateEdit1->isEmpty());
    dialog->Btn_OK->click();
    EXPECT_EQ(storedDate("北京 100%"), "") << "Null stays Null, not 30 Dec 1899";
    dialog->DateEdit1->lineEdit()->setText("12");
    dialog->Btn_OK->click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "添加时间不是有效的日期!");
    EXPECT_EQ(dialog->focusWidget(), dialog->DateEdit1->lineEdit());
}

// Another program's AddDate that is no date: the editor opens with an empty box and the text
// beside it, and a save keeps the text unless a date is typed.
TEST_F(CustomerEditor, AnUnreadableAddDateOpensAndIsKeptUntilADateIsTyped) {
    const struct {
        const char* stored;
        QDate typed; // null: the box is left empty
    } cases[] = {
        {"garbage", {}},
        {"2024-02-30 25:61:00", {}},
        {"garbage", QDate(2024, 5, 6)},
    };
    for (const auto& c : cases) {
        data->ADOConnection1->execute(
            {"update Custom set AddDate=? where Company='Acme 公司'", {QString(c.stored)}});
        data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
        messages.clear();
        auto dialog = editor(TFrm_AddCust::EditMode);
        ASSERT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
        EXPECT_TRUE(dialog->DateEdit1->isEmpty());
        EXPECT_EQ(dialog->DateEdit1->storedText(), c.stored);
        dialog->Edit_tel->setText("7");
        if (c.typed.isValid())
            dialog->DateEdit1->setDate(c.typed);
        dialog->Btn_OK->click();
        dialog->Btn_OK->click(); // a second save reads the row as the first left it
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
        EXPECT_EQ(stored("Acme 公司", "tel"), "7");
        auto raw = data->ADOConnection1->query(
            {"select AddDate from Custom where Company='Acme 公司'", {}});
        ASSERT_TRUE(raw->next());
        const QString text = QString::fromUtf8(raw->text(0).data(), qsizetype(raw->text(0).size()));
        if (c.typed.isValid())
            EXPECT_EQ(storedDate("Acme 公司"), "2024-05-06 00:00:00");
        else
            EXPECT_EQ(text, c.stored);
        EXPECT_EQ(dialog->DateEdit1->storedText(), c.typed.isValid() ? "" : c.stored);
        dialog->DBNavigator1->button(RecordNavigator::nbNext)->click();
        EXPECT_EQ(dialog->DateEdit1->storedText(), "") << "another row, nothing beside the box";
    }
}

TEST_F(CustomerEditor, NavigatorFollowsThePositionAndDropsUnsavedInput) {
    auto dialog = editor(TFrm_AddCust::EditMode);
    RecordNavigator* nav = dialog->DBNavigator1;
    EXPECT_EQ(nav->button(RecordNavigator::nbFirst)->text(), "第一条");
    EXPECT_FALSE(nav->button(RecordNavigator::nbFirst)->isEnabled());
    EXPECT_FALSE(nav->button(RecordNavigator::nbPrior)->isEnabled());
    EXPECT_TRUE(nav->button(RecordNavigator::nbNext)->isEnabled());
    dialog->Edit_tel->setText("typed, not saved");
    nav->button(RecordNavigator::nbNext)->click();
    EXPECT_EQ(data->Qry_Cust.recNo(), 1);
    EXPECT_EQ(dialog->Edit_CustName->text(), "北京 100%");
    EXPECT_EQ(dialog->Edit_tel->text(), "");
    nav->button(RecordNavigator::nbLast)->click();
    EXPECT_EQ(dialog->Edit_CustName->text(), "[x] trade");
    EXPECT_FALSE(nav->button(RecordNavigator::nbNext)->isEnabled());
    EXPECT_FALSE(nav->button(RecordNavigator::nbLast)->isEnabled());
    EXPECT_TRUE(nav->button(RecordNavigator::nbPrior)->isEnabled());
    EXPECT_EQ(stored("Acme 公司", "tel"), "010-1");
}

TEST_F(CustomerEditor, ARefusedSaveKeepsTheInputAndShowsTheRowAsStored) {
    auto dialog = editor(TFrm_AddCust::EditMode);
    program.exec("UPDATE Custom SET tel='999' WHERE Company='Acme 公司'"); // another copy
    dialog->Edit_tel->setText("555");
    dialog->Btn_OK->click();
    ASSERT_EQ(messages.shown.size(), 2) << "the refusal, then which telephone to keep";
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(messages.shown[1].buttons, mbYes | mbNo);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Edit_tel->text(), "555");
    EXPECT_EQ(data->Qry_Cust.asString("tel"), "999");

    // Deleted by another copy: the row leaves the query, and the boxes must not stay over the
    // customer that became current, or the next save would overwrite that customer.
    program.exec("DELETE FROM Custom WHERE Company='Acme 公司'");
    dialog->Btn_OK->click();
    ASSERT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(messages.last().icon, MsgIcon::Error);
    ASSERT_EQ(data->Qry_Cust.recordCount(), 2);
    EXPECT_EQ(dialog->Edit_CustName->text(), data->Qry_Cust.asString("Company"));
    dialog->Btn_OK->click();
    EXPECT_EQ(messages.shown.size(), 3);
    EXPECT_EQ(stored("北京 100%", "Mobile"), "138");
    EXPECT_EQ(customerRows("Company='Acme 公司'"), 0);
}

TEST_F(CustomerEditor, TypingStopsAtTheColumnSize) {
    auto dialog = editor(TFrm_AddCust::AddMode);
    EXPECT_EQ(dialog->Edit_CustName->maxLength(), 100);
    EXPECT_EQ(dialog->Edit_tel->maxLength(), 50);
}

TEST_F(CustomerEditor, CommandsRunModalDialogsThatEnterAndEscDoNotClose) {
    bool stayed = false;
    whenModal<TFrm_AddCust>([&](TFrm_AddCust& d) {
        EXPECT_EQ(d.mode(), TFrm_AddCust::AddMode);
        QTest::keyClick(&d, Qt::Key_Escape);
        QTest::keyClick(d.Edit_CustName, Qt::Key_Return);
        stayed = d.isVisible();
    });
    AddCustExecute(*data, messages, nullptr);
    EXPECT_TRUE(stayed);
    QString title;
    whenModal<TFrm_AddCust>([&](TFrm_AddCust& d) { title = d.windowTitle(); });
    EditCustExecute(*data, messages, nullptr);
    EXPECT_EQ(title, "编辑客户信息");
}

TEST_F(CustomerEditor, DeleteAsksAndRemovesOnlyTheCurrentRow) {
    messages.answers = {mbNo};
    DelCustExecute(*data, messages, nullptr);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last().text, "确定要删除客户记录吗！");
    EXPECT_EQ(messages.last().caption, "警告");
    EXPECT_EQ(messages.last().buttons, mbYes | mbNo);
    EXPECT_EQ(customerRows(), 3);
    messages.answers = {mbYes};
    DelCustExecute(*data, messages, nullptr);
    EXPECT_EQ(customerRows(), 2);
    EXPECT_EQ(customerRows("Company='Acme 公司'"), 0);
    EXPECT_EQ(data->Qry_Cust.recordCount(), 2);
}

TEST_F(CustomerEditor, EditAndDeleteOnAnEmptyListDoNothing) {
    data->OpenQuery(data->Qry_Cust, {"select * from Custom where 0", {}});
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            opened = true;
            w->close();
        }
    });
    EditCustExecute(*data, messages, nullptr);
    DelCustExecute(*data, messages, nullptr);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(messages.shown.isEmpty());
}

} // namespace

// Saves and deletes reach a server off the window's thread. While one is on its way a second
// click must not send another built on the row as it was (the server would refuse it as
// changed), a close must wait to show the outcome, and a delete is only ever of a row the
// operator said yes to.
class WritesOnTheirWay : public CustomerFixture, public ::testing::WithParamInterface<TestEngine> {
  protected:
    WritesOnTheirWay() : CustomerFixture(GetParam()) {}
};

TEST_P(WritesOnTheirWay, TakeNoSecondAndACloseWaitsForTheOutcome) {
    data->OpenQuery(data->Qry_Cust, Sql::allCustomers());
    for (const char* tel : {"1", "2", "3"}) {
        SCOPED_TRACE(tel);
        messages.clear();
        TFrm_AddCust dialog(*data, messages);
        dialog.setMode(TFrm_AddCust::EditMode);
        dialog.show();
        dialog.Edit_tel->setText(tel);
        dialog.Btn_OK->click();
        dialog.Btn_OKClick(); // the button may be off; the handler must refuse too
        dialog.Btn_Cancel->click();
        EXPECT_EQ(dialog.isVisible(), dialog.saving()) << "closed before the outcome showed";
        waitForWrites(*data);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
        EXPECT_EQ(data->Qry_Cust.asString("tel"), tel) << "the list follows the save";
        EXPECT_EQ(customerRows(QString("tel='%1'").arg(tel)), 1);
    }

    const int before = customerRows();
    messages.clear();
    messages.answers = {mbYes, mbYes};
    DelCustExecute(*data, messages, nullptr);
    DelCustExecute(*data, messages, nullptr);
    waitForWrites(*data);
    const int asked = int(messages.shown.size());
    ASSERT_GE(asked, 1);
    for (const MessageBoxRequest& shown : messages.shown)
        EXPECT_EQ(shown.text, QStringLiteral("确定要删除客户记录吗！"));
    EXPECT_EQ(customerRows(), before - asked) << "one deletion for each yes";
    EXPECT_EQ(data->Qry_Cust.recordCount(), before - asked);
}

RUN_ON_EVERY_ENGINE(WritesOnTheirWay);
