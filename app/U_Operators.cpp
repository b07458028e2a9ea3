#include "app/U_Operators.h"

#include "app/WindowPlacement.h"
#include "data/AppError.h"
#include "data/MessageService.h"
#include "data/Passwords.h"
#include "data/U_Data.h"
#include "operators/Owners.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString caption = QStringLiteral("操作员管理");

QPushButton* addButton(QVBoxLayout* column, const QString& text) {
    auto* button = new QPushButton(text);
    column->addWidget(button);
    return button;
}

QLineEdit* passwordBox() {
    auto* box = new QLineEdit;
    box->setEchoMode(QLineEdit::Password);
    return box;
}

// Name, role, password twice and the forced-change mark, for adding or resetting.
struct OperatorForm {
    QDialog dialog;
    QLineEdit* name = nullptr;
    QComboBox* role = nullptr;
    QLineEdit* password = passwordBox();
    QLineEdit* confirm = passwordBox();
    QCheckBox* mustChange = new QCheckBox(QStringLiteral("下次登录时必须修改密码"));

    OperatorForm(QWidget* parent, const QString& title, const std::vector<RoleRow>* roles)
        : dialog(parent) {
        dialog.setWindowTitle(title);
        auto* form = new QFormLayout(&dialog);
        if (roles) {
            name = new QLineEdit;
            name->setMaxLength(20);
            role = new QComboBox;
            for (const RoleRow& r : *roles)
                role->addItem(r.name, r.id);
            form->addRow(QStringLiteral("名称："), name);
            form->addRow(QStringLiteral("角色："), role);
        }
        form->addRow(QStringLiteral("初始密码："), password);
        form->addRow(QStringLiteral("密码验证："), confirm);
        form->addRow(mustChange);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form->addRow(buttons);
    }
};

} // namespace

TFrm_Operators::TFrm_Operators(TFrm_Data& data, MessageService& messages, QWidget* parent)
    : QDialog(parent), data_(data), messages_(messages) {
    setWindowTitle(caption);
    auto* layout = new QHBoxLayout(this);
    Grid_Operators = new QTableWidget(0, 4, this);
    Grid_Operators->setHorizontalHeaderLabels({QStringLiteral("名称"), QStringLiteral("角色"),
                                               QStringLiteral("状态"), QStringLiteral("最后登录")});
    Grid_Operators->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_Operators->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_Operators->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_Operators->verticalHeader()->hide();
    Grid_Operators->horizontalHeader()->setStretchLastSection(true);
    Grid_Operators->setColumnWidth(0, 120);
    layout->addWidget(Grid_Operators, 1);
    auto* column = new QVBoxLayout;
    layout->addLayout(column);
    Btn_Add = addButton(column, QStringLiteral("新增(&A)…"));
    Btn_Role = addButton(column, QStringLiteral("修改角色(&R)…"));
    Btn_Enable = addButton(column, QStringLiteral("停用(&T)"));
    Btn_Password = addButton(column, QStringLiteral("重设密码(&P)…"));
    Btn_Delete = addButton(column, QStringLiteral("删除(&D)"));
    column->addSpacing(12);
    Btn_Roles = addButton(column, QStringLiteral("角色和权限(&Q)…"));
    Btn_Pool = addButton(column, QStringLiteral("公海规则(&G)…"));
    column->addStretch(1);
    Btn_Close = addButton(column, QStringLiteral("关闭(&C)"));
    const auto on = [this](QPushButton* button, void (TFrm_Operators::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    on(Btn_Add, &TFrm_Operators::Btn_AddClick);
    on(Btn_Role, &TFrm_Operators::Btn_RoleClick);
    on(Btn_Enable, &TFrm_Operators::Btn_EnableClick);
    on(Btn_Password, &TFrm_Operators::Btn_PasswordClick);
    on(Btn_Delete, &TFrm_Operators::Btn_DeleteClick);
    on(Btn_Roles, &TFrm_Operators::Btn_RolesClick);
    on(Btn_Pool, &TFrm_Operators::Btn_PoolClick);
    connect(Btn_Close, &QPushButton::clicked, this, &QDialog::accept);
    connect(Grid_Operators, &QTableWidget::itemSelectionChanged, this,
            &TFrm_Operators::updateButtons);
    resize(640, 360);
    centreOnScreen(this);
    attempt([this] { Refresh(); });
}

OperatorStore TFrm_Operators::store() const {
    OperatorStore store(*data_.ADOConnection1, data_.rights);
    store.keepPlainPasswords = keepsPlainPasswords(data_.IniFile);
    return store;
}

void TFrm_Operators::Refresh() {
    const qint64 chosen = currentKey();
    rows_ = store().operators();
    Grid_Operators->setRowCount(int(rows_.size()));
    for (int r = 0; r < int(rows_.size()); ++r) {
        const OperatorRow& row = rows_[size_t(r)];
        const QStringList cells{
            row.name, row.roleName.isEmpty() ? QStringLiteral("无角色") : row.roleName,
            row.enabled ? QStringLiteral("启用") : QStringLiteral("停用"),
            row.lastLogin.isValid() ? row.lastLogin.toString("yyyy-MM-dd HH:mm") : QString()};
        for (int c = 0; c < cells.size(); ++c)
            Grid_Operators->setItem(r, c, new QTableWidgetItem(cells[c]));
        if (row.key == chosen)
            Grid_Operators->selectRow(r);
    }
    updateButtons();
}

qint64 TFrm_Operators::currentKey() const {
    const int row = Grid_Operators->currentRow();
    return row >= 0 && row < int(rows_.size()) && !Grid_Operators->selectedItems().isEmpty()
               ? rows_[size_t(row)].key
               : 0;
}

void TFrm_Operators::updateButtons() {
    const qint64 key = currentKey();
    for (QPushButton* button : {Btn_Role, Btn_Enable, Btn_Password, Btn_Delete})
        button->setEnabled(key != 0);
    for (const OperatorRow& row : rows_)
        if (row.key == key)
            Btn_Enable->setText(row.enabled ? QStringLiteral("停用(&T)")
                                            : QStringLiteral("启用(&T)"));
}

bool TFrm_Operators::attempt(const std::function<void()>& change) {
    try {
        change();
    } catch (const std::exception& e) {
        messages_.messageBox(this, QString::fromUtf8(e.what()), caption, MsgIcon::Warning, mbOK);
        try {
            Refresh();
        } catch (const std::exception&) {
        }
        return false;
    }
    Refresh();
    return true;
}

bool TFrm_Operators::addOperator(const QString& name, qint64 roleId, const QString& password,
                                 bool mustChange) {
    return attempt([&] {
        const qint64 key = store().add(name, roleId, password, mustChange);
        Refresh();
        for (int r = 0; r < int(rows_.size()); ++r)
            if (rows_[size_t(r)].key == key)
                Grid_Operators->selectRow(r);
    });
}

bool TFrm_Operators::changeRole(qint64 key, qint64 roleId) {
    return attempt([&] { store().setRole(key, roleId); });
}

bool TFrm_Operators::setEnabled(qint64 key, bool enabled) {
    return attempt([&] { store().setEnabled(key, enabled); });
}

bool TFrm_Operators::resetPassword(qint64 key, const QString& password, bool mustChange) {
    return attempt([&] { store().resetPassword(key, password, mustChange); });
}

bool TFrm_Operators::deleteOperator(qint64 key, qint64 handOverTo) {
    return attempt([&] {
        OperatorStore operators = store();
        const Holdings held = operators.holdings(key);
        if (held.none()) {
            operators.remove(key);
            return;
        }
        const int answer = messages_.messageBox(
            this,
            QStringLiteral("该操作员还有 %1 位客户、%2 条未完成的联系活动。\n"
                           "选“是”先转交给其他操作员再删除，选“否”改为停用该操作员。")
                .arg(held.customers)
                .arg(held.openActivities),
            caption, MsgIcon::Question, mbYes | mbNo | mbCancel);
        if (answer == mbNo) {
            operators.setEnabled(key, false);
        } else if (answer == mbYes) {
            if (handOverTo == 0)
                return;
            operators.handOver(key, handOverTo);
            operators.remove(key);
        }
    });
}

void TFrm_Operators::Btn_AddClick() {
    const std::vector<RoleRow> roles = store().roles();
    OperatorForm form(this, QStringLiteral("新增操作员"), &roles);
    form.role->setCurrentIndex(form.role->count() > 1 ? 1 : 0);
    while (form.dialog.exec() == QDialog::Accepted) {
        if (form.password->text() != form.confirm->text()) {
            messages_.messageBox(this, QStringLiteral("两次输入的密码不一致。"), caption,
                                 MsgIcon::Warning, mbOK);
            continue;
        }
        if (addOperator(form.name->text(), form.role->currentData().toLongLong(),
                        form.password->text(), form.mustChange->isChecked()))
            return;
    }
}

void TFrm_Operators::Btn_RoleClick() {
    const qint64 key = currentKey();
    const std::vector<RoleRow> roles = store().roles();
    QStringList names;
    for (const RoleRow& role : roles)
        names << role.name;
    bool ok = false;
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("修改角色"),
                                                 QStringLiteral("角色："), names, 0, false, &ok);
    if (ok && key)
        changeRole(key, roles[size_t(names.indexOf(chosen))].id);
}

void TFrm_Operators::Btn_EnableClick() {
    for (const OperatorRow& row : rows_)
        if (row.key == currentKey())
            setEnabled(row.key, !row.enabled);
}

void TFrm_Operators::Btn_PasswordClick() {
    const qint64 key = currentKey();
    OperatorForm form(this, QStringLiteral("重设密码"), nullptr);
    form.mustChange->setChecked(true);
    while (key && form.dialog.exec() == QDialog::Accepted) {
        if (form.password->text() == form.confirm->text()) {
            resetPassword(key, form.password->text(), form.mustChange->isChecked());
            return;
        }
        messages_.messageBox(this, QStringLiteral("两次输入的密码不一致。"), caption,
                             MsgIcon::Warning, mbOK);
    }
}

void TFrm_Operators::Btn_DeleteClick() {
    const qint64 key = currentKey();
    if (!key)
        return;
    QStringList names;
    std::vector<qint64> keys;
    for (const OperatorRow& row : rows_)
        if (row.key != key && row.enabled) {
            names << row.name;
            keys.push_back(row.key);
        }
    const Holdings held = store().holdings(key);
    qint64 to = 0;
    if (!held.none() && !names.isEmpty()) {
        bool ok = false;
        const QString chosen = QInputDialog::getItem(
            this, QStringLiteral("转交给…"), QStringLiteral("删除前把客户和联系活动转交给："),
            names, 0, false, &ok);
        if (ok)
            to = keys[size_t(names.indexOf(chosen))];
    } else if (held.none() &&
               messages_.messageBox(this, QStringLiteral("确定要删除该操作员吗？"), caption,
                                    MsgIcon::Question, mbYes | mbNo) != mbYes) {
        return;
    }
    deleteOperator(key, to);
}

void TFrm_Operators::Btn_RolesClick() {
    TFrm_Roles roles(data_, messages_, this);
    roles.exec();
    attempt([this] { Refresh(); });
}

void TFrm_Operators::Btn_PoolClick() {
    const auto days = Owners::poolReturnDays(*data_.ADOConnection1);
    bool ok = false;
    const int chosen = QInputDialog::getInt(
        this, QStringLiteral("公海规则"),
        QStringLiteral("负责人多少天没有联系活动的客户放回公海（0 表示不放回）："),
        days.value_or(0), 0, 3650, 1, &ok);
    if (ok)
        attempt([&] {
            Owners::setPoolReturnDays(*data_.ADOConnection1, data_.rights,
                                      chosen > 0 ? std::optional<int>(chosen) : std::nullopt);
        });
}

// ---- roles -----------------------------------------------------------------------------

TFrm_Roles::TFrm_Roles(TFrm_Data& data, MessageService& messages, QWidget* parent)
    : QDialog(parent), data_(data), messages_(messages) {
    setWindowTitle(QStringLiteral("角色和权限"));
    auto* layout = new QHBoxLayout(this);
    List_Roles = new QListWidget(this);
    layout->addWidget(List_Roles);
    auto* column = new QVBoxLayout;
    layout->addLayout(column);
    for (const PermissionInfo& info : allPermissions()) {
        auto* check = new QCheckBox(info.label);
        column->addWidget(check);
        Checks << check;
    }
    auto* buttons = new QHBoxLayout;
    column->addLayout(buttons);
    Btn_Save = new QPushButton(QStringLiteral("保存(&S)"));
    Btn_New = new QPushButton(QStringLiteral("新增角色(&N)…"));
    Btn_Remove = new QPushButton(QStringLiteral("删除角色(&D)"));
    for (QPushButton* b : {Btn_Save, Btn_New, Btn_Remove})
        buttons->addWidget(b);
    connect(List_Roles, &QListWidget::currentRowChanged, this, &TFrm_Roles::showRole);
    connect(Btn_Save, &QPushButton::clicked, this, &TFrm_Roles::save);
    connect(Btn_Remove, &QPushButton::clicked, this, &TFrm_Roles::removeRole);
    connect(Btn_New, &QPushButton::clicked, this, [this] {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, QStringLiteral("新增角色"), QStringLiteral("角色名称："),
                                  QLineEdit::Normal, {}, &ok);
        if (ok)
            addRole(name);
    });
    centreOnScreen(this);
    try {
        Refresh();
    } catch (const std::exception& e) {
        messages_.showError(QString::fromUtf8(e.what()));
    }
}

void TFrm_Roles::Refresh() {
    const int chosen = std::max(0, List_Roles->currentRow());
    roles_ = OperatorStore(*data_.ADOConnection1, data_.rights).roles();
    const QSignalBlocker quiet(List_Roles);
    List_Roles->clear();
    for (const RoleRow& role : roles_)
        List_Roles->addItem(role.name);
    List_Roles->setCurrentRow(std::min(chosen, int(roles_.size()) - 1));
    showRole();
}

qint64 TFrm_Roles::currentRole() const {
    const int row = List_Roles->currentRow();
    return row >= 0 && row < int(roles_.size()) ? roles_[size_t(row)].id : 0;
}

void TFrm_Roles::showRole() {
    const int row = List_Roles->currentRow();
    const PermissionSet set =
        row >= 0 && row < int(roles_.size()) ? roles_[size_t(row)].permissions : 0;
    for (int i = 0; i < Checks.size(); ++i)
        Checks[i]->setChecked((set & unsigned(allPermissions()[i].permission)) != 0);
}

namespace {

PermissionSet ticked(const QList<QCheckBox*>& checks) {
    PermissionSet set = 0;
    for (int i = 0; i < checks.size(); ++i)
        if (checks[i]->isChecked())
            set |= unsigned(allPermissions()[i].permission);
    return set;
}

} // namespace

bool TFrm_Roles::attempt(const std::function<void(OperatorStore&)>& change) {
    try {
        OperatorStore store(*data_.ADOConnection1, data_.rights);
        change(store);
        Refresh();
        return true;
    } catch (const std::exception& e) {
        messages_.messageBox(this, QString::fromUtf8(e.what()), windowTitle(), MsgIcon::Warning,
                             mbOK);
        Refresh(); // the ticks show the role as it is stored
        return false;
    }
}

bool TFrm_Roles::save() {
    return attempt(
        [&](OperatorStore& store) { store.setRolePermissions(currentRole(), ticked(Checks)); });
}

bool TFrm_Roles::addRole(const QString& name) {
    const bool added = attempt([&](OperatorStore& store) { store.addRole(name, ticked(Checks)); });
    if (added)
        List_Roles->setCurrentRow(List_Roles->count() - 1);
    return added;
}

bool TFrm_Roles::removeRole() {
    return attempt([&](OperatorStore& store) { store.removeRole(currentRole()); });
}
