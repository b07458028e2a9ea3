#include "tests/data/DataTestSupport.h"

#include <gmock/gmock.h>

namespace {

using ReasonTest = EngineTest;

// The engine's English reasons that an operator meets come after a Chinese sentence that says
// what happened and what to do; the engine's own words stay, for whoever looks further.
TEST_P(ReasonTest, AnEnginesOwnReasonComesAfterAChineseSentenceSayingWhatToDo) {
    const bool server = GetParam() == TestEngine::Postgres;
    const struct {
        const char* what;
        QString setUp, statement; // on the engine at hand; none where it cannot be brought about
        const char* sentence;
        const char* engineWords;
    } cases[] = {
        {"a full disk", server ? QString() : QString("PRAGMA max_page_count = 1"),
         "insert into Custom (Company, memo2) values ('x', '" + QString(20000, u'y') + "')",
         "磁盘已满，数据没有写入。请腾出磁盘空间后再试", "database or disk is full"},
        {"a database that can only be read",
         server ? "SET default_transaction_read_only = on" : "PRAGMA query_only = 1",
         "insert into Custom (Company) values ('x')", "数据库只能读不能写，数据没有写入。请检查",
         server ? "read-only transaction" : "attempt to write a readonly database"},
        {"a plain mistake keeps the engine's words alone", "",
         "insert into NoSuchTable (x) values (1)", "", server ? "nosuchtable" : "no such table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.setUp.isNull())
            continue;
        TempDatabase fresh{GetParam()};
        if (!c.setUp.isEmpty())
            fresh.connection->execute({c.setUp, {}});
        const std::string text = errorOf([&] { fresh.connection->execute({c.statement, {}}); });
        EXPECT_THAT(text, ::testing::StartsWith(c.sentence));
        EXPECT_THAT(text, ::testing::HasSubstr(c.engineWords));
        EXPECT_EQ(fresh.count("Company = 'x'"), 0);
    }
}

RUN_ON_EVERY_ENGINE(ReasonTest);

} // namespace
