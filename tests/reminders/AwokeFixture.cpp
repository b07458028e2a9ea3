#include "AwokeFixture.h"

#include <QFile>

void AwokeFixture::SetUp() {
    data = program.connect(messages);
    ASSERT_TRUE(data->DBConnected);
    previews = std::make_unique<PrintPreviewService>(messages);
    timer1.setInterval(1000);
}

void AwokeFixture::writeConfig(const QByteArray& text) const {
    QFile file(program.configPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray AwokeFixture::configText() const {
    QFile file(program.configPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void AwokeFixture::addActivity(const QString& subject, int daysFromToday, const QString& time,
                               const QString& user, bool awoke) const {
    const QString when = QDate::currentDate().addDays(daysFromToday).toString("yyyy-MM-dd");
    program.exec(QString("insert into T_Schedule (F_User, CustName, Subject, Awoke, AwokeDate) "
                         "values ('%1', 'c', '%2', %3, '%4 %5')")
                     .arg(user, subject, awoke ? "1" : "0", when, time));
}

std::unique_ptr<TFrm_Awoke> AwokeFixture::openWindow() {
    auto window = std::make_unique<TFrm_Awoke>(
        *data, messages, *previews, [this] { return operatorName; }, &timer1, &owner);
    window->show();
    return window;
}

QStringList AwokeFixture::listedSubjects(const TFrm_Awoke& window) {
    QStringList subjects;
    const Query& query = window.Qry_Awoke;
    if (!query.isActive())
        return subjects;
    const int subject = query.findField("Subject");
    for (int row = 0; row < query.recordCount(); ++row)
        subjects << query.value(row, subject).toString();
    subjects.sort();
    return subjects;
}
