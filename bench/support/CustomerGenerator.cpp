#include "CustomerGenerator.h"

#include <QDate>
#include <QFile>
#include <QStringList>
#include <sqlite3.h>
#include <stdexcept>

namespace BenchData {

namespace {

struct City {
    const char* name;
    const char* areaCode;
};

const City cities[] = {
    {"北京", "010"},  {"上海", "021"},  {"广州", "020"},  {"深圳", "0755"}, {"杭州", "0571"},
    {"南京", "025"},  {"成都", "028"},  {"武汉", "027"},  {"西安", "029"},  {"苏州", "0512"},
    {"天津", "022"},  {"重庆", "023"},  {"青岛", "0532"}, {"厦门", "0592"}, {"长沙", "0731"},
    {"郑州", "0371"}, {"宁波", "0574"}, {"无锡", "0510"}, {"合肥", "0551"}, {"福州", "0591"},
};
const char* const nameParts[] = {"华", "鑫", "盛", "达", "恒", "泰", "瑞", "博", "创", "远",
                                 "宏", "源", "信", "诚", "丰", "佳", "联", "新", "科", "通",
                                 "明", "海", "天", "中", "金", "正", "德", "安", "兴", "龙"};
const char* const trades[] = {"科技", "贸易", "电子",     "机械",     "建材",   "物流",
                              "食品", "医药", "服装",     "化工",     "软件",   "文化传媒",
                              "环保", "家具", "汽车配件", "信息技术", "进出口", "餐饮管理"};
const char* const suffixes[] = {"有限公司",     "有限公司",     "股份有限公司",
                                "实业有限公司", "集团有限公司", "商贸有限公司"};
const char* const mobilePrefixes[] = {"130", "131", "132", "135", "136", "137", "138", "139",
                                      "150", "151", "158", "159", "177", "186", "188", "199"};
const char* const phrases[] = {"客户对我公司产品较为满意，",
                               "计划下季度追加采购数量，",
                               "需要提供最新的报价单和样品，",
                               "联系人为采购部王经理，",
                               "上次回访时提出了售后服务的改进意见，",
                               "付款周期一般为三十天，",
                               "已签订年度框架合同，",
                               "对价格比较敏感，",
                               "希望我方派技术人员上门培训，",
                               "年底前有新厂房投产计划，",
                               "主要竞争对手报价略低，",
                               "发票须按月开具并邮寄，",
                               "送货地址在开发区二号仓库，",
                               "老客户介绍而来，信誉良好，",
                               "关注交货期，要求准时到货，",
                               "下次拜访前请先电话预约。"};
const char* const introductions[] = {"行业内知名企业", "本地重点客户", "新开发客户",
                                     "展会结识",       "老客户转介绍", "网络推广获得"};
const char* const subjects[] = {"电话回访", "上门拜访", "寄送样品", "报价跟进",
                                "合同续签", "收款提醒", "售后回访"};

QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

struct Db {
    explicit Db(const QString& path) {
        if (sqlite3_open(path.toUtf8().constData(), &handle) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(handle));
    }
    ~Db() { sqlite3_close(handle); }
    void exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(handle, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string text = error ? error : "sqlite error";
            sqlite3_free(error);
            throw std::runtime_error(text);
        }
    }
    sqlite3* handle = nullptr;
};

// A prepared insert whose values are bound as texts, Null for a null QString.
class Insert {
  public:
    Insert(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db));
    }
    ~Insert() { sqlite3_finalize(statement_); }
    void run(const QStringList& values) {
        int i = 0;
        for (const QString& v : values) {
            ++i;
            if (v.isNull()) {
                sqlite3_bind_null(statement_, i);
            } else {
                const QByteArray bytes = v.toUtf8();
                sqlite3_bind_text(statement_, i, bytes.constData(), int(bytes.size()),
                                  SQLITE_TRANSIENT);
            }
        }
        if (sqlite3_step(statement_) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(db_));
        sqlite3_reset(statement_);
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

} // namespace

int CustomerGenerator::uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
}

QString CustomerGenerator::digits(int count) {
    QString out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out += QChar(u'0' + uniform(0, 9));
    return out;
}

QString CustomerGenerator::memo(int minimumCharacters) {
    QString out;
    while (out.size() < minimumCharacters)
        out += utf8(pick(phrases));
    out.chop(1);
    return out + u'。';
}

QString CustomerGenerator::dateTimeText(int daysFromToday, bool workingHours) {
    const QDate day = QDate::currentDate().addDays(daysFromToday);
    const QTime time =
        workingHours ? QTime(uniform(8, 17), uniform(0, 59), uniform(0, 59)) : QTime(0, 0);
    return QDateTime(day, time).toString("yyyy-MM-dd HH:mm:ss");
}

Customer CustomerGenerator::nextCustomer() {
    const City& city = cities[uniform(0, int(std::size(cities)) - 1)];
    Customer c;
    c.company = utf8(city.name) + utf8(pick(nameParts)) + utf8(pick(nameParts)) +
                utf8(pick(trades)) + utf8(pick(suffixes));
    const int localDigits = QByteArray(city.areaCode).size() == 3 ? 8 : 7 + uniform(0, 1);
    c.tel = utf8(city.areaCode) + u'-' + QChar(u'2' + uniform(0, 7)) + digits(localDigits - 1);
    c.mobile = utf8(pick(mobilePrefixes)) + digits(8);
    const int year = uniform(2018, 2026);
    c.contract = QString("HT%1-%2").arg(year).arg(digits(6));
    c.memo = memo(100);
    if (uniform(0, 9) < 7)
        c.introduce = utf8(pick(introductions));
    c.addDate = dateTimeText(-uniform(0, 365 * 7), true);
    return c;
}

Activity CustomerGenerator::nextActivity(const QString& user, int days) {
    Activity a;
    a.user = user;
    a.custName = nextCustomer().company;
    a.subject = utf8(pick(subjects));
    a.content = memo(40);
    a.awoke = uniform(0, 4) != 0;
    a.awokeDate = dateTimeText(uniform(-days, days), uniform(0, 1) == 1);
    return a;
}

void createDatabase(const QString& path, const QString& schemaPath) {
    QFile::remove(path);
    for (const char* suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(path + suffix);
    QFile schema(schemaPath);
    if (!schema.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + schemaPath.toStdString());
    Db db(path);
    db.exec(schema.readAll().constData());
}

namespace {

// Inserts count generated rows in one transaction; row(generator) gives each row's texts.
template <typename MakeRow>
void insertGenerated(const QString& path, const char* sql, int count, quint32 seed, MakeRow row) {
    Db db(path);
    db.exec("BEGIN");
    Insert insert(db.handle, sql);
    CustomerGenerator generator(seed);
    for (int i = 0; i < count; ++i)
        insert.run(row(generator));
    db.exec("COMMIT");
}

} // namespace

void addCustomers(const QString& path, int count, quint32 seed) {
    insertGenerated(path,
                    "insert into Custom (Company, tel, Mobile, OtherInfo, memo2, AddDate, "
                    "introduce) values (?, ?, ?, ?, ?, ?, ?)",
                    count, seed, [](CustomerGenerator& g) {
                        const Customer c = g.nextCustomer();
                        return QStringList{c.company, c.tel,     c.mobile,   c.contract,
                                           c.memo,    c.addDate, c.introduce};
                    });
}

void addActivities(const QString& path, const QString& user, int count, quint32 seed) {
    insertGenerated(path,
                    "insert into T_Schedule (F_User, CustName, Subject, Content, Awoke, "
                    "AwokeDate) values (?, ?, ?, ?, ?, ?)",
                    count, seed, [&](CustomerGenerator& g) {
                        const Activity a = g.nextActivity(user);
                        return QStringList{a.user,    a.custName,          a.subject,
                                           a.content, a.awoke ? "1" : "0", a.awokeDate};
                    });
}

} // namespace BenchData
