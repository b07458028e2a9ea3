// The two windows over the history and the bin: what the operator is asked, and that every
// answer is kept to.

#include "history/U_History.h"
#include "history/U_RecycleBin.h"
#include "tests/data/DataTestSupport.h"
#include "tests/support/RecordingMessageService.h"

#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

namespace {

class HistoryWindows : public EngineTest {
  protected:
    qint64 binned(const QString& company) {
        db.addCustomer(company, "1");
        const qint64 code =
            db.scalar("select CustCode from Custom where Company = ?", {company}).toLongLong();
        RecycleBin::moveCustomer(*db.connection, code, true);
        return code;
    }
    RecordingMessageService messages;
};

TEST_P(HistoryWindows, RestoringOntoATakenNameAsksAndPurgingAsksFirst) {
    db.connection->setAuthor({"Admin", "desk1"});
    const qint64 code = binned("丙公司");
    db.addCustomer("丙公司");
    TFrm_RecycleBin bin(*db.connection, messages);
    ASSERT_EQ(bin.Grid_Bin->rowCount(), 1);
    EXPECT_EQ(bin.Grid_Bin->item(0, 1)->text(), "Admin");

    struct Step {
        void (TFrm_RecycleBin::*click)();
        int answer;
        QString asked;
        int inBin;    // rows left in the bin
        qint64 named; // customers named 丙公司 afterwards
    };
    const std::vector<Step> steps = {
        {&TFrm_RecycleBin::Btn_RestoreClick, mbNo, "客户名称有重复!\n仍要恢复客户“丙公司”吗？", 1,
         1},
        {&TFrm_RecycleBin::Btn_RestoreClick, mbYes, "客户名称有重复!\n仍要恢复客户“丙公司”吗？", 0,
         2},
    };
    for (const Step& s : steps) {
        messages.clear();
        messages.answers = {s.answer};
        (bin.*s.click)();
        ASSERT_EQ(messages.shown.size(), 1);
        EXPECT_EQ(messages.last().text, s.asked);
        EXPECT_EQ(bin.Grid_Bin->rowCount(), s.inBin);
        EXPECT_EQ(db.count("Company = ?", {"丙公司"}), s.named);
    }
    EXPECT_EQ(db.count("CustCode = ?", {code}), 1) << "restored with its own key";

    binned("丁公司");
    bin.reload();
    for (int answer : {mbNo, mbYes}) {
        messages.answers = {answer};
        bin.Btn_PurgeClick();
        EXPECT_EQ(bin.Grid_Bin->rowCount(), answer == mbYes ? 0 : 1);
    }
    EXPECT_EQ(messages.last().text, "确定要彻底删除客户“丁公司”吗？删除后不能恢复！");
}

TEST_P(HistoryWindows, HistoryListsNewestFirstAndPutsBackOnlyChanges) {
    db.connection->setAuthor({"Admin", "desk1"});
    db.addCustomer("戊公司", "1");
    const qint64 code =
        db.scalar("select CustCode from Custom where Company = ?", {"戊公司"}).toLongLong();
    db.connection->execute({"update Custom set tel = ? where CustCode = ?", {"2", code}});
    TFrm_History window(*db.connection, messages, code, "戊公司");
    ASSERT_EQ(window.List_History->count(), 2);
    EXPECT_TRUE(window.List_History->item(0)->text().contains("修改客户"));
    EXPECT_TRUE(window.Btn_PutBack->isEnabled());
    window.List_History->setCurrentRow(1);
    EXPECT_FALSE(window.Btn_PutBack->isEnabled()) << "an addition has no old value";
    window.List_History->setCurrentRow(0);
    window.Btn_PutBackClick();
    EXPECT_EQ(window.List_History->count(), 3);
    EXPECT_EQ(db.scalar("select tel from Custom where CustCode = ?", {code}).toString(), "1");
    EXPECT_TRUE(messages.shown.isEmpty());
}

RUN_ON_EVERY_ENGINE(HistoryWindows);

} // namespace
