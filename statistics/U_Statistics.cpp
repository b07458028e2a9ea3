#include "U_Statistics.h"

#include "data/Guard.h"
#include "grid/WindowFont.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

using namespace Stats;

namespace {

QComboBox* comboOf(QWidget* parent, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->addItems(items);
    return box;
}

void addOption(StatChartPanel* panel, const QString& caption, QWidget* box) {
    panel->Options->insertWidget(panel->Options->count() - 1, new QLabel(caption, panel));
    panel->Options->insertWidget(panel->Options->count() - 1, box);
}

} // namespace

TFrm_Statistics::TFrm_Statistics(StatisticsSetup setup, MessageService& messages,
                                 PrintPreviewService& previews, QWidget* parent)
    : QWidget(parent), setup_(std::move(setup)), messages_(messages) {
    setWindowTitle(QStringLiteral("统计"));
    applyWindowFont(*this);
    new QVBoxLayout(this);
    buildPeriodBar();
    buildPages(previews);
    resize(820, 600);
    countAll();
}

void TFrm_Statistics::buildPeriodBar() {
    auto* bar = new QHBoxLayout;
    Combo_Period =
        comboOf(this, {QStringLiteral("本月"), QStringLiteral("本季度"), QStringLiteral("本年"),
                       QStringLiteral("最近12个月"), QStringLiteral("自定义")});
    const QDate today = setup_.today();
    Date_From = new QDateEdit(QDate(today.year(), today.month(), 1), this);
    Date_To = new QDateEdit(today, this);
    for (QDateEdit* box : {Date_From, Date_To}) {
        box->setDisplayFormat("yyyy-MM-dd");
        box->setCalendarPopup(true);
        box->setEnabled(false);
    }
    Btn_Count = new QPushButton(QStringLiteral("统计"), this);
    bar->addWidget(new QLabel(QStringLiteral("统计期间："), this));
    bar->addWidget(Combo_Period);
    bar->addWidget(new QLabel(QStringLiteral("从"), this));
    bar->addWidget(Date_From);
    bar->addWidget(new QLabel(QStringLiteral("到"), this));
    bar->addWidget(Date_To);
    bar->addWidget(Btn_Count);
    bar->addStretch(1);
    static_cast<QVBoxLayout*>(layout())->addLayout(bar);
    connect(Combo_Period, &QComboBox::currentIndexChanged, this, [this] { periodChosen(); });
    connect(Btn_Count, &QPushButton::clicked, this, [this] { countAll(); });
}

void TFrm_Statistics::buildPages(PrintPreviewService& previews) {
    Pages = new QTabWidget(this);
    auto panel = [&](const QString& title, ChartStyle style) {
        auto* p = new StatChartPanel(title, style, setup_.connect, messages_, previews,
                                     setup_.showCustomers, Pages);
        Pages->addTab(p, title);
        return p;
    };
    NewCustomers = panel(QStringLiteral("新增客户"), ChartStyle::Bar);
    CustomersBy = panel(QStringLiteral("客户分布"), ChartStyle::Pie);
    Activities = panel(QStringLiteral("联系活动"), ChartStyle::StackedBar);
    DueActivities = panel(QStringLiteral("到期活动"), ChartStyle::Line);
    static_cast<QVBoxLayout*>(layout())->addWidget(Pages, 1);

    Combo_Step =
        comboOf(this, {QStringLiteral("按日"), QStringLiteral("按周"), QStringLiteral("按月")});
    Combo_Step->setCurrentIndex(int(naturalStep(period())));
    addOption(NewCustomers, QStringLiteral("间隔："), Combo_Step);
    connect(Combo_Step, &QComboBox::currentIndexChanged, this, [this] { countNewCustomers(); });

    Combo_Column = new QComboBox(this);
    for (const auto& [title, column] : setup_.columns)
        Combo_Column->addItem(title, column);
    Combo_Shape = comboOf(this, {QStringLiteral("饼图"), QStringLiteral("柱状图")});
    addOption(CustomersBy, QStringLiteral("按："), Combo_Column);
    addOption(CustomersBy, QStringLiteral("图形："), Combo_Shape);
    connect(Combo_Column, &QComboBox::currentIndexChanged, this, [this] { countCustomersBy(); });
    connect(Combo_Shape, &QComboBox::currentIndexChanged, this,
            [this](int i) { CustomersBy->setStyle(i == 0 ? ChartStyle::Pie : ChartStyle::Bar); });

    Combo_Weeks =
        comboOf(this, {QStringLiteral("2周"), QStringLiteral("4周"), QStringLiteral("8周")});
    Combo_Weeks->setCurrentIndex(1);
    Combo_Line = comboOf(this, {QStringLiteral("折线图"), QStringLiteral("柱状图")});
    addOption(DueActivities, QStringLiteral("今后："), Combo_Weeks);
    addOption(DueActivities, QStringLiteral("图形："), Combo_Line);
    connect(Combo_Weeks, &QComboBox::currentIndexChanged, this, [this] { countDue(); });
    connect(Combo_Line, &QComboBox::currentIndexChanged, this, [this](int i) {
        DueActivities->setStyle(i == 0 ? ChartStyle::Line : ChartStyle::Bar);
    });
}

QList<StatChartPanel*> TFrm_Statistics::panels() const {
    return {NewCustomers, CustomersBy, Activities, DueActivities};
}

Period TFrm_Statistics::period() const {
    return periodOf(PeriodKind(Combo_Period->currentIndex()), setup_.today(), Date_From->date(),
                    Date_To->date());
}

bool TFrm_Statistics::counting() const {
    for (const StatChartPanel* panel : panels())
        if (panel->counting())
            return true;
    return false;
}

void TFrm_Statistics::periodChosen() {
    const bool range = PeriodKind(Combo_Period->currentIndex()) == PeriodKind::Range;
    Date_From->setEnabled(range);
    Date_To->setEnabled(range);
    if (range)
        return; // counted when the dates are in and 统计 is pressed
    const QSignalBlocker quiet(Combo_Step);
    Combo_Step->setCurrentIndex(int(naturalStep(period())));
    countAll();
}

void TFrm_Statistics::run(StatChartPanel* panel, const std::function<StatQuery()>& query) {
    guarded(messages_, [&] { panel->count(query()); });
}

void TFrm_Statistics::countAll() {
    countNewCustomers();
    countCustomersBy();
    countActivities();
    countDue();
}

void TFrm_Statistics::countNewCustomers() {
    run(NewCustomers,
        [this] { return newCustomers(period(), Step(Combo_Step->currentIndex()), setup_.filter); });
}

void TFrm_Statistics::countCustomersBy() {
    if (Combo_Column->count() == 0 || !setup_.connection)
        return;
    run(CustomersBy, [this] {
        return customersBy(*setup_.connection, Combo_Column->currentData().toString(),
                           Combo_Column->currentText(), setup_.filter);
    });
}

void TFrm_Statistics::countActivities() {
    if (!setup_.connection)
        return;
    run(Activities, [this] {
        return activitiesPerOperator(*setup_.connection, period(), setup_.today(), setup_.filter);
    });
}

void TFrm_Statistics::countDue() {
    const int weeks[] = {2, 4, 8};
    run(DueActivities, [this, weeks] {
        return activitiesDue(setup_.today(), 7 * weeks[Combo_Weeks->currentIndex()], setup_.filter);
    });
}
