#include "CustomerTestSupport.h"

#include "customers/PinyinSearch.h"
#include "data/AppError.h"
#include "grid/DataGrid.h"
#include "tests/data/DataTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

namespace {

class PinyinList : public CustomerFixture, public ::testing::WithParamInterface<TestEngine> {
  protected:
    PinyinList() : CustomerFixture(GetParam()) {}
    void SetUp() override {
        CustomerFixture::SetUp();
        data->ADOConnection1->execute(
            {"INSERT INTO Custom (Company, memo2) VALUES ('张三', '长沙'), ('长沙贸易', NULL),"
             "('李四', NULL), ('zs trading', NULL), (NULL, NULL);",
             {}});
    }
    QStringList search(const QString& title, const QString& keyword) {
        list->Combo_Type->setCurrentIndex(list->Combo_Type->findText(title));
        list->Edit_Key->setText(keyword);
        list->Btn_S_Cust->click();
        waitForSearch(*list);
        QStringList names;
        Query& q = data->Qry_Cust;
        for (int row = 0; row < q.recordCount(); ++row)
            names << q.value(row, q.fieldByName("Company")).toString();
        return names;
    }
    QString config() const {
        QFile file(program.configPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

TEST_P(PinyinList, BoxAddsCustomersByTheirPinyinAfterThoseFoundByText) {
    TFrm_Custom& w = openList();
    ASSERT_FALSE(w.Chk_Pinyin->isChecked()) << "off without a setting";
    EXPECT_EQ(search("客户名称", "zs"), QStringList{"zs trading"}) << "off: the plain search";

    w.Chk_Pinyin->click(); // searches again with the keyword already typed
    waitForSearch(w);
    EXPECT_EQ(w.Grid_Cust->footerValueText(1), "3");
    EXPECT_EQ(counts.last(), "当前共有 3 条客户记录");
    EXPECT_TRUE(config().contains("Pinyin=1")) << config().toStdString();

    const struct {
        const char* keyword;
        QStringList names;
    } cases[] = {
        {"zs", {"zs trading", "张三", "长沙贸易"}},
        {"ZhangSan", {"张三"}},
        {"cs", {"长沙贸易"}},
        {"z%", {"zs trading"}}, // not pinyin: the text alone
        {"   ", {}},
        {"", {"Acme 公司", "北京 100%", "[x] trade", "张三", "长沙贸易", "李四", "zs trading"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(search("客户名称", QString::fromUtf8(c.keyword)), c.names) << c.keyword;
    EXPECT_EQ(search("详细说明", "cs"), QStringList{"张三"}) << "the chosen field is read";
    EXPECT_EQ(search("添加时间", "cs"), QStringList{}) << "a date field has no pinyin";

    // Rows the editor saves are read again; a refresh repeats the pinyin part too.
    search("客户名称", "zs");
    data->Qry_Cust.setRecNo(1);
    data->Qry_Cust.edit({{"Company", "王五"}});
    data->Qry_Cust.append({{"Company", "赵四"}});
    EXPECT_EQ(search("客户名称", "ww"), QStringList{"王五"});
    EXPECT_EQ(search("客户名称", "zs"), (QStringList{"zs trading", "长沙贸易", "赵四"}));
    list->N6Click();
    waitForSearch(*list);
    EXPECT_EQ(data->Qry_Cust.recordCount(), 3);
    EXPECT_TRUE(messages.shown.isEmpty());

    delete list.data();
    EXPECT_TRUE(openList().Chk_Pinyin->isChecked()) << "the setting is remembered";
}

// The keys are read when the list opens with the box on, not when it is off; a search that
// comes before they are read is served once they are, and a deleted customer is not found.
TEST_P(PinyinList, KeysAreReadAtOpenOnlyWithTheBoxOnAndFollowDeletes) {
    ASSERT_FALSE(openList().pinyinSearch().keys().current()) << "off: nothing read";
    delete list.data();

    PinyinSearch::saveOn(data->IniFile, true);
    TFrm_Custom& w = openList();
    const auto keys = w.pinyinSearch().keys().current();
    ASSERT_TRUE(keys) << "on: read as the list opens";
    EXPECT_EQ(search("客户名称", "zs"), (QStringList{"zs trading", "张三", "长沙贸易"}));
    EXPECT_TRUE(keys->ready());
    EXPECT_EQ(w.pinyinSearch().keys().current(), keys) << "no keystroke reads them again";

    data->Qry_Cust.setRecNo(1);
    data->Qry_Cust.remove();
    EXPECT_EQ(search("客户名称", "zs"), (QStringList{"zs trading", "长沙贸易"}));
    EXPECT_TRUE(messages.shown.isEmpty());
}

// Another workstation renames customers: the next search finds them by their new names only,
// without reading every key at each keystroke while nothing changes.
TEST_P(PinyinList, KeysFollowRowsChangedByAnotherCopyOfTheProgram) {
    PinyinSearch::saveOn(data->IniFile, true);
    TFrm_Custom& w = openList();
    EXPECT_EQ(search("客户名称", "zs"), (QStringList{"zs trading", "张三", "长沙贸易"}));
    const auto unchanged = w.pinyinSearch().keys().current();
    EXPECT_EQ(search("客户名称", "ls"), QStringList{"李四"});
    if (GetParam() == TestEngine::Sqlite) // the server's marker also moves with other tests
        EXPECT_EQ(w.pinyinSearch().keys().current(), unchanged) << "nothing changed: no reading";

    const auto other = openDatabase(data->ConnString);
    const struct {
        const char* change;
        const char* keyword;
        QStringList names;
    } steps[] = {
        {"update Custom set Company = '苏州正信' where Company = '张三'",
         "zs",
         {"zs trading", "长沙贸易"}},
        {nullptr, "szzx", {"苏州正信"}},
        {"update Custom set Company = '北京华信' where Company = '李四'", "bjhx", {"北京华信"}},
        {nullptr, "ls", {}},
        {"insert into Custom (Company) values ('重庆')", "zq", {"重庆"}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.keyword);
        if (s.change)
            other->execute({s.change, {}});
        EXPECT_EQ(search("客户名称", s.keyword), s.names);
    }
    // The box switched off and on, and a refresh, find the keys as the rows are now too.
    other->execute({"update Custom set Company = '厦门' where Company = '重庆'", {}});
    w.Chk_Pinyin->click();
    w.Chk_Pinyin->click();
    waitForSearch(w);
    EXPECT_EQ(search("客户名称", "xm"), QStringList{"厦门"});
    other->execute({"update Custom set Company = '长沙' where Company = '厦门'", {}});
    list->N6Click();
    waitForSearch(w);
    EXPECT_EQ(search("客户名称", "cs"), (QStringList{"长沙贸易", "长沙"}));
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('\n').toStdString();
}

// A save made before the keys are read counts once they are; a reading that fails is reported
// to the search that waits for it.
TEST_P(PinyinList, SavesBeforeTheKeysAreReadCountAndAFailedReadingIsReported) {
    auto code =
        data->ADOConnection1->query({"select CustCode from Custom where Company=?", {"张三"}});
    ASSERT_TRUE(code->next());
    const qint64 zhang = code->toInt64(0);
    PinyinKeyReader reader([this] { return data->openReader(); });
    const auto keys = reader.keysOf("Company");
    keys->saved(zhang, "王五");
    const std::atomic_bool going{false};
    EXPECT_EQ(keys->find(PinyinKeyword(u"ww"), going), std::vector<qint64>{zhang});
    EXPECT_EQ(keys->find(PinyinKeyword(u"zhangsan"), going), std::vector<qint64>{});
    EXPECT_THROW(reader.keysOf("NoSuchField")->find(PinyinKeyword(u"ww"), going), AppError);
}

RUN_ON_EVERY_ENGINE(PinyinList);

} // namespace
