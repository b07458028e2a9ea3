// Two workstations on one database at the same moment, the other one a separate process:
// an editor's second save keeps the other's change, and a name is added once.

#include "SaverProcess.h"

#include "activities/U_ActivityEdit.h"
#include "customers/ExtraFieldsPanel.h"
#include "customers/U_AddCust.h"
#include "data/Activities.h"
#include "data/CustomerNames.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "tests/data/DataTestSupport.h"
#include "tests/support/RecordingMessageService.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTemporaryDir>

namespace {

// What each save of the same row did, and what the editor must end with.
struct SaveCase {
    const char* otherField;
    const char* otherValue;
    const char* ownField; // the box this operator types in
    const char* ownValue;
    int answer; // to the question about a field both changed; 0: none is asked
    const char *expectOther, *expectOwn; // the stored fields afterwards
};

class Collisions : public EngineTest {
  protected:
    // The program's own data module over the test's database.
    std::unique_ptr<TFrm_Data> dataModule() {
        if (GetParam() == TestEngine::Postgres) {
            QFile config(db.program.configPath());
            EXPECT_TRUE(config.open(QIODevice::WriteOnly));
            config.write(configForDatabase(db.connString));
        }
        auto data = db.program.connect(messages);
        EXPECT_TRUE(data->DBConnected) << messages.texts().join('\n').toStdString();
        return data;
    }
    // The other workstation saves one field of one row, and has finished when this returns.
    void otherSaves(const QString& table, const QString& key, qint64 id, const QString& field,
                    const QString& value) {
        SaverProcess other({"set", db.connString, table, key, QString::number(id), field, value});
        ASSERT_TRUE(other.finish(30000)) << other.errors().toStdString();
        ASSERT_EQ(other.lines(), QStringList{"OK"});
    }
    QString text(const QString& sql, qint64 id) const { return db.scalar(sql, {id}).toString(); }
    // A save reaches a server off the window's thread; its button takes input again once the
    // outcome shows.
    static void clickAndWaitForOutcome(QPushButton* save) {
        save->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return save->isEnabled(); }, 20000));
    }
    // The first save is refused, and asks about a field both changed, showing the other value.
    void refusedOnce(QPushButton* save, const SaveCase& c) {
        messages.clear();
        messages.answers = c.answer ? QList<int>{mbOK, c.answer} : QList<int>{mbOK};
        clickAndWaitForOutcome(save);
        ASSERT_EQ(messages.shown.size(), c.answer ? 2 : 1)
            << messages.texts().join('\n').toStdString();
        EXPECT_EQ(messages.shown[0].text, "该记录已被其他用户修改或删除，未能保存。");
        if (c.answer)
            EXPECT_TRUE(messages.shown[1].text.contains(c.otherValue))
                << messages.shown[1].text.toStdString();
    }
    // The next save goes through, and the row holds both workstations' changes.
    void savedThen(QPushButton* save, const QString& row, qint64 id, const SaveCase& c) {
        messages.clear();
        clickAndWaitForOutcome(save);
        EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
        EXPECT_EQ(text(row.arg(c.otherField), id), c.expectOther);
        EXPECT_EQ(text(row.arg(c.ownField), id), c.expectOwn);
    }

    RecordingMessageService messages;
};
RUN_ON_EVERY_ENGINE(Collisions);

// After "changed by another user" the editor loads the row as it is now, keeps only what its
// operator typed over it, asks about a field both changed (showing the other value), and its
// next save writes no field the operator left alone.
TEST_P(Collisions, ACustomerSavedElsewhereKeepsBothChanges) {
    auto data = dataModule();
    const SaveCase cases[] = {
        {"Company", "甲-他改", "tel", "555", 0, "甲-他改", "555"},
        {"tel", "999", "tel", "555", mbYes, "555", "555"},
        {"tel", "999", "tel", "555", mbNo, "999", "999"},
        {"tel", "555", "tel", "555", 0, "555", "555"},
        {"memo2", "他的说明", "Mobile", "138", 0, "他的说明", "138"},
        // The shop's own field 联系人 (Fld1) is merged like the delivered ones.
        {"tel", "999", "Fld1", "王五", 0, "999", "王五"},
        {"Fld1", "李四", "tel", "555", 0, "李四", "555"},
        {"Fld1", "李四", "Fld1", "王五", mbYes, "王五", "王五"},
        {"Fld1", "李四", "Fld1", "王五", mbNo, "李四", "李四"},
    };
    FieldDefinition contact;
    contact.title = "联系人";
    ASSERT_EQ(CustomerFields::add(*data->ADOConnection1, contact).column, "Fld1");
    db.connection = db.secondConnection(); // one that knows the new column
    int n = 0;
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << n);
        const QString name = QString("甲%1").arg(++n);
        db.addCustomer(name, "1");
        const qint64 code =
            db.scalar("select CustCode from Custom where Company=?", {name}).toLongLong();
        data->OpenQuery(data->Qry_Cust, Sql::customerByCompany(name));
        TFrm_AddCust editor(*data, messages);
        editor.setMode(TFrm_AddCust::EditMode);
        editor.show();
        QLineEdit* box = QString(c.ownField) == "tel" ? editor.Edit_tel
                         : QString(c.ownField) == "Fld1"
                             ? qobject_cast<QLineEdit*>(editor.ExtraFields->input(0))
                             : editor.Edit_Mobile;
        box->setText(c.ownValue);
        otherSaves("Custom", "CustCode", code, c.otherField, c.otherValue);

        refusedOnce(editor.Btn_OK, c);
        if (c.answer && QString(c.ownField) == "Fld1")
            EXPECT_TRUE(messages.shown.value(1).text.contains("“联系人”")) << "asked by its title";
        const QString field = QString("select %1 from Custom where CustCode=?");
        EXPECT_EQ(text(field.arg(c.otherField), code), c.otherValue) << "nothing written yet";
        if (QString(c.otherField) == "Company")
            EXPECT_EQ(editor.Edit_CustName->text(), c.otherValue) << "shown before saving";
        savedThen(editor.Btn_OK, field, code, c);
        const bool otherTouchedCompany = QString(c.otherField) == "Company";
        EXPECT_EQ(text(field.arg("Company"), code), otherTouchedCompany ? c.otherValue : name);
    }
}

// The same for a contact activity, saved through its list's query.
TEST_P(Collisions, AnActivitySavedElsewhereKeepsBothChanges) {
    auto data = dataModule();
    const SaveCase cases[] = {
        {"Subject", "他的主题", "Content", "我的内容", 0, "他的主题", "我的内容"},
        {"Subject", "他的主题", "Subject", "我的主题", mbYes, "我的主题", "我的主题"},
        {"Subject", "他的主题", "Subject", "我的主题", mbNo, "他的主题", "他的主题"},
        {"F_User", "Other", "Content", "我的内容", 0, "Other", "我的内容"},
    };
    int n = 0;
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << n++);
        db.connection->execute({"insert into T_Schedule (CustName, F_User, AwokeDate, Awoke, "
                                "Subject, Content) values ('甲', 'Admin', ?, ?, '主题', '内容')",
                                {QDateTime(QDate(2030, 1, 2), QTime(10, 20, 33)), true}});
        const qint64 id = db.scalar("select max(ID) from T_Schedule").toLongLong();
        Query row("Qry_Act", data->ADOConnection1.get());
        data->OpenQuery(row, Activities::byId(id));
        TFrm_ActivityEdit editor(messages, activityAt(row, 0),
                                 [&](const QVariantMap& fields) { row.edit(fields); });
        editor.setRereadFrom(data->ADOConnection1.get());
        editor.show();
        if (QString(c.ownField) == "Subject")
            editor.Edit_Subject->setText(c.ownValue);
        else
            editor.Memo_Content->setPlainText(c.ownValue);
        otherSaves("T_Schedule", "ID", id, c.otherField, c.otherValue);

        refusedOnce(editor.Btn_OK, c);
        EXPECT_TRUE(editor.isVisible());
        savedThen(editor.Btn_OK, "select %1 from T_Schedule where ID=?", id, c);
        EXPECT_FALSE(editor.isVisible());
        EXPECT_EQ(db.scalar("select AwokeDate from T_Schedule where ID=?", {id})
                      .toString()
                      .left(19)
                      .replace('T', ' '),
                  "2030-01-02 10:20:33")
            << "a time nobody touched keeps its seconds";
    }
}

// While this workstation is between its test of a name and its insert, the other's add (as
// the editor adds) or import waits for it, then finds the name taken: it is there once.
TEST_P(Collisions, AnAddOrImportWaitsWhileAnotherDecidesAName) {
    QTemporaryDir dir;
    const QString csv = dir.filePath("names.csv");
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("客户名称,联系电话\r\n丙,1\r\n乙,2\r\n");
    file.close();
    const struct {
        QStringList args;
        const char* name; // decided here meanwhile
        const char* last; // the other's report
    } cases[] = {
        {{"add", db.connString, "甲"}, "甲", "TAKEN 甲"},
        {{"import", db.connString, csv}, "乙", "ADDED 1 SKIPPED 1"},
    };
    for (const auto& c : cases) {
        {
            Transaction held(*db.connection);
            lockCustomerNames(*db.connection);
            ASSERT_FALSE(customerNameTaken(*db.connection, c.name));
            SaverProcess other(c.args);
            ASSERT_TRUE(other.waitForLines(1, 30000)) << other.errors().toStdString();
            EXPECT_FALSE(other.waitForLines(2, 800))
                << "it waits: " << other.lines().join('|').toStdString();
            db.addCustomer(c.name);
            held.commit();
            ASSERT_TRUE(other.finish(30000)) << other.errors().toStdString();
            EXPECT_EQ(other.lines().last(), c.last);
        }
        EXPECT_EQ(db.count("Company=?", {c.name}), 1) << c.name;
    }
}

} // namespace
