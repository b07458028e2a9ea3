#include "customers/U_Custom.h"

#include "customers/EchoTrace.h"
#include "customers/PinyinSearch.h"
#include "data/AppError.h"
#include "data/Guard.h"
#include "data/MessageService.h"
#include "data/QueryLoader.h"
#include "data/QueryStore.h"
#include "data/Statements.h"
#include "data/U_Data.h"
#include "data/WriteQueue.h"
#include "fields/CustomerFields.h"
#include "grid/ColumnLayout.h"
#include "grid/DataGrid.h"
#include "grid/GridPrinter.h"
#include "grid/TextTrim.h"
#include "grid/WindowFont.h"
#include "operators/Owners.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString layoutKey = QStringLiteral("Custom");

// A push button that shows and runs an action of the main window. Unlike a tool button it
// keeps the "&" of the caption as its access key.
QPushButton* actionButton(QAction* action, QWidget* parent) {
    auto* button = new QPushButton(parent);
    if (!action) {
        button->setEnabled(false);
        return button;
    }
    auto mirror = [button, action] {
        button->setText(action->text());
        button->setIcon(action->icon());
        button->setEnabled(action->isEnabled());
    };
    mirror();
    QObject::connect(action, &QAction::changed, button, mirror);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    return button;
}

} // namespace

// The hourglass and a disabled search button for as long as a search is outstanding, also when
// it fails.
class TFrm_Custom::Busy {
  public:
    explicit Busy(QWidget* button) : button_(button) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        button_->setEnabled(false);
    }
    ~Busy() {
        button_->setEnabled(true);
        QApplication::restoreOverrideCursor();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

  private:
    QWidget* button_;
};

TFrm_Custom::TFrm_Custom(TFrm_Data& data, MessageService& messages, PrintPreviewService& previews,
                         CustomerListHooks hooks, QWidget* parent)
    : QWidget(parent), data_(data), messages_(messages), hooks_(std::move(hooks)),
      pinyin_(new PinyinSearch(data, this)) {
    applyWindowFont(*this);
    buildPanel();
    buildGrid();
    buildMenu();
    PrintDBGridEh1 = new GridPrinter(*Grid_Cust, previews, messages, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Page_Cust, 1);
    loader_ =
        std::make_unique<QueryLoader>([&data] { return data.openReader(); },
                                      [this](SqlCommand command, std::unique_ptr<QueryStore> rows) {
                                          searchLoaded(std::move(command), std::move(rows));
                                      },
                                      [this](SqlCommand command, QString error) {
                                          searchFailed(std::move(command), std::move(error));
                                      });
    // A change made while a search is on its way would be missing from its result.
    for (auto signal : {&Query::rowInserted, &Query::rowChanged, &Query::rowRemoved})
        connect(&data_.Qry_Cust, signal, this, [this] { restartSearch(); });
    handle(&TFrm_Custom::FormCreate);
}

TFrm_Custom::~TFrm_Custom() = default;

void TFrm_Custom::buildPanel() {
    Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Label1 = new QLabel(QStringLiteral("查询条件"), Panel1);
    Combo_Type = new QComboBox(Panel1);
    Combo_Type->setEditable(false);
    Combo_Type->setMinimumContentsLength(10);
    Label3 = new QLabel(QStringLiteral("包含"), Panel1);
    Edit_Key = new QLineEdit(Panel1);
    Edit_Key->installEventFilter(this);
    Chk_Pinyin = new QCheckBox(QStringLiteral("拼音"), Panel1);
    connect(Chk_Pinyin, &QCheckBox::clicked, this,
            [this] { handle(&TFrm_Custom::Chk_PinyinClick); });
    traceEchoes(*Edit_Key);
    Btn_S_Cust = new QPushButton(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                 QStringLiteral("查询(&S)"), Panel1);
    BitBtn1 = actionButton(hooks_.AddCust, Panel1);
    BitBtn2 = actionButton(hooks_.EditCust, Panel1);
    BitBtn3 = actionButton(hooks_.DelCust, Panel1);
    connect(Btn_S_Cust, &QPushButton::clicked, this,
            [this] { handle(&TFrm_Custom::Btn_S_CustClick); });

    auto* row = new QHBoxLayout(Panel1);
    filterRow_ = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label1, Combo_Type, Label3, Edit_Key, Chk_Pinyin}) {
        row->addWidget(w);
        if (w == Edit_Key)
            row->addLayout(filterRow_);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{Btn_S_Cust, BitBtn1, BitBtn2, BitBtn3})
        row->addWidget(w);
    row->addStretch(1);
}

void TFrm_Custom::buildGrid() {
    Page_Cust = new QTabWidget(this);
    TabSheet1 = new QWidget;
    Page_Cust->addTab(TabSheet1, QStringLiteral("客户资料"));
    Grid_Cust = new DataGrid(TabSheet1);
    auto* fill = new QVBoxLayout(TabSheet1);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Grid_Cust);

    Grid_Cust->setAutoSortMarking(true);
    Grid_Cust->setMultiSortMarking(true);
    Grid_Cust->setFooterRowCount(1);
    Grid_Cust->setMultiSelect(true);
    Grid_Cust->setQuery(data_.DS_Cust);
    const QString tip = QStringLiteral("点击右键,显示出功能菜单.");
    Grid_Cust->setToolTip(tip);
    Grid_Cust->view()->setToolTip(tip);

    connect(Grid_Cust, &DataGrid::rowDoubleClicked, this,
            [this] { handle(&TFrm_Custom::Grid_CustDblClick); });
    connect(Grid_Cust, &DataGrid::keyDown, this, [this](int key, Qt::KeyboardModifiers) {
        guarded(messages_, [&] { Grid_CustKeyDown(key); });
    });
    connect(Grid_Cust, &DataGrid::sortMarkingChanged, this,
            [this] { handle(&TFrm_Custom::Grid_CustSortMarkingChanged); });
}

void TFrm_Custom::buildMenu() {
    Menu_Cust = new QMenu(this);
    for (QAction* action : {hooks_.AddCust, hooks_.EditCust, hooks_.DelCust})
        if (action)
            Menu_Cust->addAction(action);
    Menu_Cust->addActions(hooks_.activityActions);
    Menu_Cust->addActions(hooks_.ownerActions);
    N10 = Menu_Cust->addAction(QStringLiteral("打印"));
    Menu_Cust->addSeparator();
    N6 = Menu_Cust->addAction(QStringLiteral("刷新"));
    N6->setShortcut(QKeySequence(Qt::Key_F5));
    N6->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    Grid_Cust->addAction(N6); // F5 refreshes while the grid has the focus
    Menu_Cust->addSeparator();
    N441 = Menu_Cust->addAction(QStringLiteral("设置列显示"));
    N25 = Menu_Cust->addAction(QStringLiteral("保存列属性"));
    if (hooks_.FieldSetupExecute)
        connect(Menu_Cust->addAction(QStringLiteral("字段设置")), &QAction::triggered, this,
                [this] { guarded(messages_, [&] { hooks_.FieldSetupExecute(); }); });
    Menu_Cust->addSeparator();
    N9 = Menu_Cust->addMenu(QStringLiteral("导出数据"));
    if (hooks_.ExportCustCSV)
        N9->addAction(hooks_.ExportCustCSV);

    connect(N10, &QAction::triggered, this, [this] { handle(&TFrm_Custom::N10Click); });
    connect(N6, &QAction::triggered, this, [this] { handle(&TFrm_Custom::N6Click); });
    connect(N441, &QAction::triggered, this, [this] { handle(&TFrm_Custom::N441Click); });
    connect(N25, &QAction::triggered, this, [this] { handle(&TFrm_Custom::N25Click); });

    Grid_Cust->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid_Cust, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Menu_Cust->popup(Grid_Cust->mapToGlobal(at)); });
}

void TFrm_Custom::handle(void (TFrm_Custom::*handler)()) {
    guarded(messages_, [&] { (this->*handler)(); });
}

QString TFrm_Custom::countText(int records) {
    return QStringLiteral("当前共有 ") + QString::number(records) + QStringLiteral(" 条客户记录");
}

void TFrm_Custom::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) // a restore from minimised is no new opening
        return;
    shown_ = true;
    handle(&TFrm_Custom::FormShow);
}

void TFrm_Custom::closeEvent(QCloseEvent* event) {
    handle(&TFrm_Custom::FormClose);
    QWidget::closeEvent(event);
}

bool TFrm_Custom::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit_Key)
        keywordEvent(event);
    return QWidget::eventFilter(watched, event);
}

// A key pressed in the box, or the Tab that moved the focus into it, searches as it is
// released; a key whose press closed a box the search showed does not.
void TFrm_Custom::keywordEvent(QEvent* event) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    switch (event->type()) {
    case QEvent::KeyPress:
        boxShown_ = false;
        searchByKey([&] { Edit_KeyKeyDown(key->key()); });
        break;
    case QEvent::KeyRelease:
        if (!key->isAutoRepeat() && !std::exchange(boxShown_, false))
            searchByKey([&] { Edit_KeyKeyUp(key->key()); });
        break;
    case QEvent::FocusIn: {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
            reason == Qt::MouseFocusReason)
            boxShown_ = false; // come in by the operator's move, not back from a box
        break;
    }
    default:
        break;
    }
}

void TFrm_Custom::searchByKey(const std::function<void()>& search) {
    if (!guarded(messages_, search))
        boxShown_ = true;
}

void TFrm_Custom::FormCreate() {
    setWindowTitle(QStringLiteral("客户信息"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowState(Qt::WindowMaximized); // the MDI frame opens the list maximised
    Edit_Key->clear();
    Chk_Pinyin->setChecked(PinyinSearch::savedOn(data_.IniFile));
}

void TFrm_Custom::FormShow() {
    for (const auto& [action, permission] :
         {std::pair{N10, Permission::PrintCustomers}, std::pair{N441, Permission::ChangeLayout},
          std::pair{N25, Permission::ChangeLayout}}) {
        action->setEnabled(data_.rights.may(permission));
        action->setToolTip(data_.rights.whyNot(permission));
    }
    Menu_Cust->setToolTipsVisible(true);
    ownerNames_.reset();
    openList(Sql::allCustomers(data_.rights));
    fillSearchFields();
    Combo_Type->setCurrentIndex(0);
    setFooters();
    prepareKeys();
    buildFilters();
    loader_->warmUp(); // the first keystroke finds its connection made
    data_.writes().warmUp(data_.ADOConnection1->author()); // and the first save or delete its own
}

// Over a network the rows come in parts off the window's thread, so the first show while the
// others are on their way; a local file is read at once.
void TFrm_Custom::openList(const SqlCommand& command) {
    if (!data_.ADOConnection1 || !data_.ADOConnection1->overNetwork()) {
        data_.OpenQuery(data_.Qry_Cust, command);
        showCount();
        layOut();
        return;
    }
    abandonSearch();
    data_.Qry_Cust.close();
    data_.Qry_Cust.setCommand(command); // a refresh before the first part runs it whole
    outstanding_ = command;
    searchPinyin_ = false;
    busy_ = std::make_unique<Busy>(Btn_S_Cust);
    loader_->loadInParts(command,
                         [this](SqlCommand c, std::unique_ptr<QueryStore> rows, bool last) {
                             listPartLoaded(std::move(c), std::move(rows), last);
                         });
}

void TFrm_Custom::listPartLoaded(SqlCommand command, std::unique_ptr<QueryStore> rows, bool last) {
    guarded(messages_, [&] {
        if (last)
            busy_.reset();
        if (data_.Qry_Cust.isActive() && data_.Qry_Cust.command().sql == command.sql &&
            data_.Qry_Cust.command().params == command.params) {
            data_.Qry_Cust.appendPart(std::move(rows));
            showCount();
            return;
        }
        // No clock for a double click: an opening list replaced no rows a first click was on.
        data_.Qry_Cust.adopt(command, std::move(rows));
        showCount();
        layOut();
        setFooters();
    });
}

void TFrm_Custom::buildFilters() {
    qDeleteAll(filterBoxes_);
    filterBoxes_.clear();
    filterColumns_.clear();
    while (QLayoutItem* item = filterRow_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!data_.ADOConnection1)
        return;
    shopFields_ = CustomerFields::all(*data_.ADOConnection1);
    fieldsRead_ = true;
    for (const FieldDefinition& field : shopFields_) {
        if (field.type != FieldType::Choice)
            continue;
        auto* box = new QComboBox(Panel1);
        box->setToolTip(QStringLiteral("筛选") + field.title);
        box->addItem(QStringLiteral("全部"));
        box->addItems(field.choices);
        filterRow_->addWidget(new QLabel(field.title, Panel1));
        filterRow_->addWidget(box);
        filterBoxes_ << box;
        filterColumns_ << field.column;
        connect(box, &QComboBox::currentIndexChanged, this,
                [this] { handle(&TFrm_Custom::Btn_S_CustClick); });
    }
}

QList<std::pair<QString, QString>> TFrm_Custom::chosenFilters() const {
    QList<std::pair<QString, QString>> chosen;
    for (int i = 0; i < filterBoxes_.size(); ++i)
        if (filterBoxes_[i]->currentIndex() > 0)
            chosen.push_back({filterColumns_[i], filterBoxes_[i]->currentText()});
    return chosen;
}

void TFrm_Custom::reopenForNewFields() {
    abandonSearch();
    data_.OpenQuery(data_.Qry_Cust, Sql::allCustomers(data_.rights));
    showRows();
    fillSearchFields();
    Combo_Type->setCurrentIndex(0);
    buildFilters();
}

void TFrm_Custom::FormClose() {
    // Nothing to keep: every change went to the database when it was made. A search still on
    // its way is dropped with the window.
    abandonSearch();
}

void TFrm_Custom::fillSearchFields() {
    Query& rows = data_.Qry_Temp;
    data_.OpenQuery(rows, Sql::searchFields());
    Combo_Type->clear();
    searchFields_.clear();
    rows.first();
    for (int i = 0; i < rows.recordCount(); ++i) {
        Combo_Type->addItem(rows.asString("Name"));
        searchFields_.append({rows.asString("Name"), rows.asString("Field")});
        rows.next();
    }
}

void TFrm_Custom::Btn_S_CustClick() {
    if (trimBlanks(Combo_Type->currentText()).isEmpty()) {
        boxShown_ = true;
        messages_.messageBox(this, QStringLiteral("请选择一种查询条件进行查询！"),
                             QStringLiteral("提示"), MsgIcon::Information, mbOK);
        return;
    }
    const QString pattern = Edit_Key->text(); // as typed: blanks and wildcards kept
    const QString field = searchFieldOf(Combo_Type->currentText());
    SqlCommand command;
    const auto filters = chosenFilters();
    try {
        command =
            filters.isEmpty()
                ? Sql::customerSearch(*data_.ADOConnection1, field, pattern, data_.rights)
                : Sql::customerSearch(*data_.ADOConnection1, field, pattern, filters, data_.rights);
    } catch (...) {
        // A refused field leaves the list empty like any failing statement.
        abandonSearch();
        data_.Qry_Cust.close();
        throw;
    }
    searchField_ = field;
    searchPattern_ = pattern;
    // The pinyin rows are added past the statement, so they would slip through a filter.
    startSearch(command, Chk_Pinyin->isChecked() && filters.isEmpty());
}

QString TFrm_Custom::searchFieldOf(const QString& title) {
    // The titles in the box come with their fields: a keystroke need not ask the server.
    for (const auto& [name, field] : searchFields_)
        if (name.compare(title, Qt::CaseInsensitive) == 0)
            return field;
    Query& lookup = data_.Qry_Str;
    data_.OpenQuery(lookup, Sql::searchFieldLookup(title));
    return lookup.isEmpty() ? QString() : lookup.asString("Field");
}

// With the box on the keys are read as soon as possible; with it off nothing is looked up.
void TFrm_Custom::prepareKeys() {
    if (Chk_Pinyin->isChecked())
        pinyin_->prepare(searchFieldOf(Combo_Type->currentText()));
}

// The statement runs on the loader's connection, and so do the pinyin customers added to it;
// the window keeps taking keys meanwhile.
void TFrm_Custom::startSearch(const SqlCommand& command, bool pinyin) {
    pinyin = PinyinSearch::applies(pinyin, searchField_, searchPattern_);
    const bool same = outstanding_.sql == command.sql && outstanding_.params == command.params &&
                      searchPinyin_ == pinyin;
    if (busy_ && same)
        return; // the same search is on its way already
    held_ = nullptr;
    outstanding_ = command;
    searchPinyin_ = pinyin;
    if (!busy_)
        busy_ = std::make_unique<Busy>(Btn_S_Cust);
    loader_->load(command, pinyin_->finisher(pinyin, searchField_, searchPattern_));
}

void TFrm_Custom::showCustomers(const SqlCommand& command) {
    searchField_.clear(); // no pinyin rows join a list that is not a keyword's
    searchPattern_.clear();
    startSearch(command, false);
}

void TFrm_Custom::restartSearch() {
    if (!busy_)
        return;
    held_ = nullptr;
    loader_->load(outstanding_, pinyin_->finisher(searchPinyin_, searchField_, searchPattern_));
}

void TFrm_Custom::abandonSearch() {
    loader_->abandon();
    held_ = nullptr;
    busy_.reset();
}

// While a dialog or menu is open it may be about to act on the current row, so the rows it
// sees stay shown until it closes.
bool TFrm_Custom::whenNoDialog(std::function<void()> show) {
    if (!QApplication::activeModalWidget() && !QApplication::activePopupWidget())
        return true;
    held_ = std::move(show);
    QTimer::singleShot(50, this, [this] {
        if (auto show = std::exchange(held_, nullptr))
            if (whenNoDialog(show))
                show();
    });
    return false;
}

void TFrm_Custom::searchLoaded(SqlCommand command, std::unique_ptr<QueryStore> rows) {
    auto shared = std::make_shared<std::unique_ptr<QueryStore>>(std::move(rows));
    auto show = [this, command, shared] {
        const bool shown = guarded(messages_, [&] {
            shownClock_.start();
            data_.Qry_Cust.adopt(command, std::move(*shared));
            const auto done = std::move(busy_); // the button and cursor come back however it ends
            showRows();
        });
        boxShown_ = boxShown_ || !shown;
    };
    if (whenNoDialog(show))
        show();
}

void TFrm_Custom::searchFailed(SqlCommand command, QString error) {
    auto show = [this, command, error] {
        boxShown_ = true;
        guarded(messages_, [&] {
            shownClock_.start();
            busy_.reset();
            data_.Qry_Cust.close();
            data_.Qry_Cust.setCommand(command); // a refresh repeats the failing statement
            throw AppError(error);
        });
    };
    if (whenNoDialog(show))
        show();
}

// The box keeps its new state even when Config.ini refuses it; a keyword already typed is
// searched again at once.
void TFrm_Custom::Chk_PinyinClick() {
    prepareKeys();
    PinyinSearch::saveOn(data_.IniFile, Chk_Pinyin->isChecked());
    if (!Edit_Key->text().isEmpty())
        Btn_S_CustClick();
}

void TFrm_Custom::Edit_KeyKeyDown(int key) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        Btn_S_CustClick();
}

void TFrm_Custom::Edit_KeyKeyUp(int) {
    Btn_S_CustClick();
}

void TFrm_Custom::Grid_CustDblClick() {
    // Its first click may have been on the rows of the result this one replaced.
    if (shownClock_.isValid() && shownClock_.elapsed() < QApplication::doubleClickInterval())
        return;
    runIfEnabled(hooks_.EditCust);
}

void TFrm_Custom::Grid_CustKeyDown(int key) {
    if (key == Qt::Key_Delete)
        runIfEnabled(hooks_.DelCust);
}

void TFrm_Custom::Grid_CustSortMarkingChanged() {
    ApplySortMarkers(*Grid_Cust, data_.Qry_Cust);
}

void TFrm_Custom::N6Click() {
    data_.Qry_FieldShow.close(); // the layout too is read anew, and the operators' names
    ownerNames_.reset();
    const Query& customers = data_.Qry_Cust;
    const bool pinyinShown = searchPinyin_ && customers.command().sql == outstanding_.sql &&
                             customers.command().params == outstanding_.params;
    if (busy_ || pinyinShown) { // the latest search is the one in force
        const SqlCommand latest = outstanding_;
        const bool pinyin = searchPinyin_;
        abandonSearch();
        if (pinyin) { // its pinyin customers come from keys read anew, off the window's thread
            pinyin_->reread();
            startSearch(latest, true);
            return;
        }
        data_.Qry_Cust.setCommand(latest);
    }
    if (Chk_Pinyin->isChecked())
        pinyin_->renewIfChanged();
    data_.Qry_Cust.close();
    data_.Qry_Cust.open();
    showRows();
}

void TFrm_Custom::showImported() {
    handle(&TFrm_Custom::N6Click);
}

void TFrm_Custom::N10Click() {
    data_.rights.require(Permission::PrintCustomers);
    PrintDBGridEh1->Preview();
}

void TFrm_Custom::N441Click() {
    if (hooks_.ShowField_CustExecute)
        hooks_.ShowField_CustExecute();
}

void TFrm_Custom::N25Click() {
    SaveColumnLayout(data_, messages_, *Grid_Cust, layoutKey, 1);
}

void TFrm_Custom::layOut(bool reread) {
    ApplyColumnLayout(data_, *Grid_Cust, data_.Qry_Cust, layoutKey, reread);
    showOwnerNames();
}

void TFrm_Custom::showOwnerNames() {
    for (int i = 0; i < Grid_Cust->columnCount(); ++i)
        if (Grid_Cust->column(i).fieldName.compare(u"Owner", Qt::CaseInsensitive) == 0) {
            if (data_.ADOConnection1)
                Owners::showOwnerNames(*data_.ADOConnection1, data_.Qry_Cust, ownerNames_);
            return;
        }
}

// A search and a refresh alike: the count goes to the status bar and under the list. The
// layout read when the list opened is used again; a refresh reads it anew.
void TFrm_Custom::showRows() {
    layOut(false);
    showCount();
    setFooters();
}

void TFrm_Custom::showCount() {
    if (hooks_.setCountText)
        hooks_.setCountText(countText(data_.Qry_Cust.recordCount()));
}

// "总计" under the first column and the count under the second. A layout of one column shows
// the count there; automatic columns (no layout rows shown) get no footers.
void TFrm_Custom::setFooters() {
    if (!Grid_Cust->hasOwnColumns())
        return;
    const int columns = Grid_Cust->columnCount();
    auto setFooter = [&](int i, TFooterValueType kind, const QString& text) {
        GridColumn column = Grid_Cust->column(i);
        if (column.footerKind == kind && column.footerText == text)
            return; // set by the search before, on columns it kept
        column.footerKind = kind;
        column.footerText = text;
        Grid_Cust->setColumn(i, column);
    };
    if (columns == 1) {
        setFooter(0, fvtCount, QString());
        return;
    }
    setFooter(0, fvtStaticText, QStringLiteral("总计"));
    setFooter(1, fvtCount, QString());
}

void TFrm_Custom::runIfEnabled(QAction* action) {
    if (action && action->isEnabled())
        action->trigger();
}
