#pragma once

// 统计: the charts of customers and activities over a period the operator picks.

#include "StatChartPanel.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QWidget>

class QComboBox;
class QDateEdit;
class QPushButton;
class QTabWidget;

// What the window counts with, handed in by the main window.
struct StatisticsSetup {
    QueryLoader::Connect connect;     // a reader's connection, opened on its own thread
    Connection* connection = nullptr; // checks the names of the columns customers are grouped by
    // The choices of "customers by": title and customer column.
    QList<QPair<QString, QString>> columns;
    Stats::CustomerFilter filter; // the customers the operator may count
    ShowCustomers showCustomers;  // the customer list on exactly these customers
    std::function<QDate()> today = [] { return QDate::currentDate(); };
};

class TFrm_Statistics : public QWidget {
    Q_OBJECT
  public:
    TFrm_Statistics(StatisticsSetup setup, MessageService& messages, PrintPreviewService& previews,
                    QWidget* parent = nullptr);

    QComboBox* Combo_Period; // 本月, 本季度, 本年, 最近12个月, 自定义
    QDateEdit* Date_From;
    QDateEdit* Date_To;
    QPushButton* Btn_Count;
    QTabWidget* Pages;
    StatChartPanel* NewCustomers;
    StatChartPanel* CustomersBy;
    StatChartPanel* Activities;
    StatChartPanel* DueActivities;
    QComboBox* Combo_Step;   // 按日, 按周, 按月
    QComboBox* Combo_Column; // the columns of setup.columns
    QComboBox* Combo_Shape;  // 饼图, 柱状图
    QComboBox* Combo_Weeks;  // how many weeks ahead
    QComboBox* Combo_Line;   // 折线图, 柱状图

    QList<StatChartPanel*> panels() const;
    Stats::Period period() const; // throws AppError for a range without valid dates
    bool counting() const;

    void countAll(); // every chart anew, for the period chosen
    void countNewCustomers();
    void countCustomersBy();
    void countActivities();
    void countDue();

  private:
    void buildPeriodBar();
    void buildPages(PrintPreviewService& previews);
    void periodChosen();
    void run(StatChartPanel* panel, const std::function<Stats::StatQuery()>& query);

    StatisticsSetup setup_;
    MessageService& messages_;
};
