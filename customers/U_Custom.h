#pragma once

#include "data/Engine.h"
#include "fields/CustomerFields.h"

#include <QElapsedTimer>
#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>

class DataGrid;
class GridPrinter;
class MessageService;
class PinyinSearch;
class PrintPreviewService;
class QueryLoader;
class QueryStore;
class QAction;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class TFrm_Data;

// What the customer list borrows from the main window: its customer actions (the buttons and
// the context menu show and trigger them), the column chooser and status panel 1.
struct CustomerListHooks {
    QAction* AddCust = nullptr;
    QAction* EditCust = nullptr;
    QAction* DelCust = nullptr;
    QAction* ExportCustCSV = nullptr;
    std::function<void()> ShowField_CustExecute;
    std::function<void(const QString&)> setCountText; // status panel 1
    QList<QAction*> activityActions;                  // the activity commands of the frame
    std::function<void()> FieldSetupExecute;          // 字段设置, beside the column chooser
    QList<QAction*> ownerActions;                     // take, give back, hand over
};

// The customer list: the shared customer query Qry_Cust in a read-only grid, searched as the
// operator types. Meant as an MDI child; it frees itself when closed.
class TFrm_Custom : public QWidget {
    Q_OBJECT
  public:
    TFrm_Custom(TFrm_Data& data, MessageService& messages, PrintPreviewService& previews,
                CustomerListHooks hooks, QWidget* parent = nullptr);
    ~TFrm_Custom() override;

    QFrame* Panel1;
    QLabel* Label1;
    QComboBox* Combo_Type;
    QLabel* Label3;
    QLineEdit* Edit_Key;
    QCheckBox* Chk_Pinyin; // "拼音": the keyword also finds names by their pinyin
    QPushButton* Btn_S_Cust;
    QPushButton* BitBtn1; // the main window's AddCust
    QPushButton* BitBtn2; // EditCust
    QPushButton* BitBtn3; // DelCust
    QTabWidget* Page_Cust;
    QWidget* TabSheet1;
    DataGrid* Grid_Cust;
    GridPrinter* PrintDBGridEh1;

    QMenu* Menu_Cust;
    QAction* N10; // 打印
    QAction* N6;  // 刷新, F5 while the grid has the focus
    QAction* N441;
    QAction* N25;
    QMenu* N9; // 导出数据

    static QString countText(int records); // "当前共有 n 条客户记录"

    // A search runs off the window's thread; this is true from its start until its result (or
    // its failure) shows.
    bool searching() const { return busy_ != nullptr; }
    const PinyinSearch& pinyinSearch() const { return *pinyin_; }

    // Lists exactly the customers the statement selects (select * from Custom ...), off the
    // window's thread like a search; a refresh repeats it.
    void showCustomers(const SqlCommand& command);

    void FormCreate();
    void FormShow();
    void FormClose();
    void Btn_S_CustClick();
    void Chk_PinyinClick();
    void Edit_KeyKeyDown(int key);
    void Edit_KeyKeyUp(int key);
    void Grid_CustDblClick();
    void Grid_CustKeyDown(int key);
    void Grid_CustSortMarkingChanged();
    void N6Click();
    void N10Click();
    // Shows what an import wrote: the list refreshed, with its count.
    void showImported();
    void N441Click();
    void N25Click();
    // The shop's fields changed: columns, search fields and filters are read again.
    void reopenForNewFields();
    // 筛选: one drop-down per choice field, "全部" when it does not narrow.
    QList<QComboBox*> filterBoxes() const { return filterBoxes_; }
    // The shop's own fields as the list last read them, with its columns: the editor opened
    // from the list shows these without asking the database again. Null until read.
    const QList<FieldDefinition>* shopFields() const {
        return fieldsRead_ ? &shopFields_ : nullptr;
    }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildPanel();
    void buildGrid();
    void buildMenu();
    void handle(void (TFrm_Custom::*handler)());
    void layOut(bool reread = true); // the layout rows of "Custom" onto the grid
    void showOwnerNames();           // the owner column shows operators by name
    void showRows();                 // laid out, counted and footed
    void showCount();                // the record count to status panel 1
    void setFooters();               // "总计" and the row count
    void fillSearchFields();
    void buildFilters();
    QList<std::pair<QString, QString>> chosenFilters() const; // column, choice
    void runIfEnabled(QAction* action);
    QString searchFieldOf(const QString& title); // the Custom column behind a search title
    void prepareKeys();
    void startSearch(const SqlCommand& command, bool pinyin);
    void restartSearch(); // the rows changed under a search still on its way
    void abandonSearch();
    void searchLoaded(SqlCommand command, std::unique_ptr<QueryStore> rows);
    void openList(const SqlCommand& command);
    void listPartLoaded(SqlCommand command, std::unique_ptr<QueryStore> rows, bool last);
    void searchFailed(SqlCommand command, QString error);
    bool whenNoDialog(std::function<void()> show);
    void keywordEvent(QEvent* event);
    void searchByKey(const std::function<void()>& search);

    TFrm_Data& data_;
    MessageService& messages_;
    CustomerListHooks hooks_;
    PinyinSearch* pinyin_;
    bool shown_ = false;

    class Busy; // hourglass and disabled search button while a search is outstanding
    std::unique_ptr<Busy> busy_;
    std::unique_ptr<QueryLoader> loader_;
    SqlCommand outstanding_; // the latest search started, on its way while busy_
    QString searchField_;    // the latest search's field and keyword, for its pinyin rows
    QString searchPattern_;
    QList<QPair<QString, QString>> searchFields_; // the box's titles and their fields, in order
    bool searchPinyin_ = false;                   // it adds customers by their pinyin
    // A box the search showed may be closed by a key whose release then reaches the keyword
    // box; that release must not search, and bring the box, again.
    bool boxShown_ = false;
    std::function<void()> held_; // a finished search waiting for a dialog to close
    QElapsedTimer shownClock_;   // since the latest search result showed
    QHBoxLayout* filterRow_ = nullptr;
    QList<QComboBox*> filterBoxes_;
    QList<FieldDefinition> shopFields_;
    bool fieldsRead_ = false;
    QStringList filterColumns_; // the column each filter box narrows
    // Operators' names by key, read when the owner column is first shown after the list opens
    // or is refreshed, never per search.
    std::shared_ptr<const QHash<qint64, QString>> ownerNames_;
};
