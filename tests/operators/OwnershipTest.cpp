#include "customers/CustomerRecord.h"
#include "data/Activities.h"
#include "data/AppError.h"
#include "data/Roles.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "operators/OperatorStore.h"
#include "output/CustomerImport.h"
#include "output/ImportFile.h"
#include "output/SheetFiles.h"
#include "tests/data/DataTestSupport.h"
#include "tests/support/RecordingMessageService.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <functional>

namespace {

using Names = QSet<QString>;

const QString mine = QStringLiteral("王的客户");
const QString theirs = QStringLiteral("李的客户");
const QString pool = QStringLiteral("公海客户");

QString textOf(const ResultSet& rows, int i) {
    const std::string_view text = rows.text(i);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Three customers (one of 小王, one of 小李, one of the pool) and, for each operator, an activity
// due today on every one of them; 小王 and 小李 see only their own customers and the pool's.
class Ownership : public EngineTest {
  protected:
    void SetUp() override {
        OperatorStore store(*db.connection);
        admin = store.find("Admin")->key;
        const qint64 field =
            store.addRole("外勤", everyPermission & ~unsigned(Permission::SeeAllCustomers));
        wang = store.add("小王", field, "", false);
        li = store.add("小李", field, "", false);
        data.Qry_Cust.setConnection(db.connection.get());
        data.ADOConnection1 = db.secondConnection();
    }

    void seed() {
        Connection& c = *db.connection;
        c.execute({"delete from T_Schedule", {}});
        c.execute({"delete from Custom", {}});
        for (const auto& [name, owner] :
             {std::pair{mine, QVariant(wang)}, {theirs, QVariant(li)}, {pool, QVariant()}}) {
            c.execute(
                {"insert into Custom (Company, tel, Owner) values (?, '1', ?)", {name, owner}});
            const qint64 code = c.lastInsertId();
            codes[name] = code;
            for (const QString op : {"Admin", "小王"})
                c.execute({"insert into T_Schedule (F_User, CustName, CustCode, Awoke, AwokeDate, "
                           "Done) values (?, ?, ?, True, ?, False)",
                           {op, name, code, QDateTime(QDate::currentDate(), QTime(23, 0))}});
        }
    }

    Names companies(const SqlCommand& command, int column = -1) {
        Names names;
        auto rows = db.connection->query(command);
        int at = column;
        for (int i = 0; at < 0 && i < rows->columnCount(); ++i)
            if (rows->column(i).name.compare("Company", Qt::CaseInsensitive) == 0 ||
                rows->column(i).name.compare("CustName", Qt::CaseInsensitive) == 0)
                at = i;
        while (rows->next())
            names << textOf(*rows, at);
        return names;
    }

    // The customers whose telephone a path changed.
    Names changed() { return companies({"select Company from Custom where tel<>'1'", {}}); }
    Names remaining() { return companies({"select Company from Custom", {}}); }

    // Tries the change on every row of a list opened without the operator's scope, as a
    // window that forgot it would: the data module must still refuse the others' rows.
    void eachRowOfAnUnscopedList(const std::function<void()>& change) {
        data.OpenQuery(data.Qry_Cust, Sql::allCustomers());
        for (int row = data.Qry_Cust.recordCount() - 1; row >= 0; --row) {
            data.Qry_Cust.setRecNo(row);
            try {
                change();
            } catch (const AppError&) {
            }
        }
    }

    Names importUpdate(const Rights& rights) {
        QTemporaryDir dir;
        const QString path = dir.filePath("update.csv");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("客户名称,联系电话\r\n" + mine + ",2\r\n" + theirs + ",2\r\n" + pool + ",2\r\n")
                       .toUtf8());
        file.close();
        ImportFile source = openImportFile(path);
        ImportSettings settings;
        settings.onDuplicate = OnDuplicate::Update;
        settings.rights = rights;
        importCustomers(*db.connection, *source.rows, {"Company", "tel"}, settings);
        return changed();
    }

    Names exported() {
        QTemporaryDir dir;
        const QString path = dir.filePath("oucsv");
        data.OpenQuery(data.Qry_Cust, Sql::allCustomers(data.rights));
        writeCsv({&data.Qry_Cust,
                  {{"客户名称", data.Qry_Cust.fieldByName("Company"), FieldKind::Text, {}, {}, 64}},
                  true,
                  0},
                 path, nullptr);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        Names names;
        for (const QString& name : {mine, theirs, pool})
            if (text.contains(name))
                names << name;
        return names;
    }

    RecordingMessageService messages;
    TFrm_Data data{db.program.dir(), messages};
    qint64 admin = 0, wang = 0, li = 0;
    QHash<QString, qint64> codes;
};

// Every path that reads or changes customers, as an operator who sees only their own and the
// pool's customers and as the manager: the first never reaches 李的客户, the second reaches all.
TEST_P(Ownership, EveryCustomerPathKeepsToTheOperatorsCustomers) {
    struct Path {
        const char* name;
        std::function<Names(const Rights&, const QString&)> run;
    };
    const Path paths[] = {
        {"list",
         [this](const Rights& r, const QString&) { return companies(Sql::allCustomers(r)); }},
        {"search",
         [this](const Rights& r, const QString&) {
             return companies(Sql::customerSearch(*db.connection, "Company", "客户", r));
         }},
        {"pinyin customers",
         [this](const Rights& r, const QString&) {
             return companies(Sql::customersByCode(codes.values(), r));
         }},
        {"pinyin keys",
         [this](const Rights& r, const QString&) {
             return companies(Sql::customerFieldTexts(*db.connection, "Company", r), 1);
         }},
        {"navigator",
         [this](const Rights& r, const QString&) {
             data.OpenQuery(data.Qry_Cust, Sql::allCustomers(r));
             Names seen;
             for (data.Qry_Cust.first(); !data.Qry_Cust.eof(); data.Qry_Cust.next()) {
                 seen << data.Qry_Cust.asString("Company");
                 if (data.Qry_Cust.recNo() == data.Qry_Cust.recordCount() - 1)
                     break;
             }
             return seen;
         }},
        {"editor save",
         [this](const Rights&, const QString&) {
             eachRowOfAnUnscopedList([&] { data.Qry_Cust.edit({{"tel", "2"}}); });
             return changed();
         }},
        {"delete",
         [this](const Rights&, const QString&) {
             eachRowOfAnUnscopedList([&] { data.Qry_Cust.remove(); });
             return Names{mine, theirs, pool} - remaining();
         }},
        {"export and print rows", [this](const Rights&, const QString&) { return exported(); }},
        {"reminder window",
         [this](const Rights& r, const QString& op) {
             return companies(Sql::reminders(*db.connection, op, "0", r));
         }},
        {"upcoming view",
         [this](const Rights& r, const QString& op) {
             return companies(Activities::upcoming(op, QDateTime::currentDateTime(), r));
         }},
        {"activities",
         [this](const Rights& r, const QString&) {
             Names seen;
             for (auto it = codes.cbegin(); it != codes.cend(); ++it)
                 seen += companies(Activities::ofCustomer(it.value(), it.key(), r));
             return seen;
         }},
        {"import update", [this](const Rights& r, const QString&) { return importUpdate(r); }},
    };
    const struct {
        const char* who;
        Names reached;
    } operators[] = {{"小王", {mine, pool}}, {"Admin", {mine, theirs, pool}}};
    for (const auto& op : operators) {
        OperatorStore store(*db.connection);
        const Rights rights = Roles::rightsOf(*db.connection, store.find(op.who)->key, op.who);
        data.rights = rights;
        for (const Path& path : paths) {
            SCOPED_TRACE(std::string(op.who) + ": " + path.name);
            seed();
            EXPECT_EQ(path.run(rights, op.who), op.reached);
        }
    }
}

// A customer added by an operator is theirs; an operator who sees only their own cannot
// give one to somebody else through the editor.
TEST_P(Ownership, NewCustomersBelongToTheirAdderAndStayTheirs) {
    seed();
    data.rights = Roles::rightsOf(*db.connection, wang, "小王");
    data.OpenQuery(data.Qry_Cust, Sql::allCustomers(data.rights));
    data.Qry_Cust.append({{"Company", "新客户"}});
    EXPECT_EQ(data.Qry_Cust.asInteger("Owner"), wang);
    EXPECT_EQ(errorOf([&] {
                  data.Qry_Cust.edit({{"Owner", li}});
              }),
              "您不能把客户交给其他操作员。");
    EXPECT_EQ(data.Qry_Cust.asInteger("Owner"), wang);
    // A taken name tells whose customer it is, and nothing else of it.
    EXPECT_EQ(duplicateNameText(data, theirs), "该客户名称已存在，负责人是小李。");
    EXPECT_EQ(duplicateNameText(data, mine), "客户名称有重复!");
    data.rights = Rights();
    EXPECT_EQ(duplicateNameText(data, theirs), "客户名称有重复!");
}

RUN_ON_EVERY_ENGINE(Ownership);

} // namespace
