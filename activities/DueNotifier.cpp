#include "activities/DueNotifier.h"

#include "data/AppError.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QHash>
#include <QSystemTrayIcon>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class DbusNotifier : public DesktopNotifier {
    Q_OBJECT
  public:
    explicit DbusNotifier(QObject* parent) : DesktopNotifier(parent) {
        QDBusConnection::sessionBus().connect(kService, kPath, kService,
                                              QStringLiteral("ActionInvoked"), this,
                                              SLOT(onAction(uint, QString)));
    }
    void show(qint64 activityId, const QString& title, const QString& body) override {
        QDBusInterface service(kService, kPath, kService, QDBusConnection::sessionBus());
        const QStringList actions{QStringLiteral("default"), QStringLiteral("查看")};
        const QDBusReply<uint> reply = service.call(
            QStringLiteral("Notify"), QApplication::applicationDisplayName(), 0u,
            QStringLiteral("appointment-soon"), title, body, actions, QVariantMap{}, -1);
        if (reply.isValid())
            shown_.insert(reply.value(), activityId);
    }

  public slots:
    void onAction(uint id, const QString&) {
        if (shown_.contains(id))
            emit activated(shown_.take(id));
    }

  private:
    QHash<uint, qint64> shown_;
};

class TrayNotifier : public DesktopNotifier {
  public:
    explicit TrayNotifier(QObject* parent) : DesktopNotifier(parent), icon_(this) {
        icon_.setIcon(QApplication::windowIcon());
        icon_.show();
        connect(&icon_, &QSystemTrayIcon::messageClicked, this, [this] {
            if (last_)
                emit activated(last_);
        });
    }
    void show(qint64 activityId, const QString& title, const QString& body) override {
        last_ = activityId; // the tray shows one message at a time
        icon_.showMessage(title, body, QSystemTrayIcon::Information);
    }

  private:
    QSystemTrayIcon icon_;
    qint64 last_ = 0;
};

class SilentNotifier : public DesktopNotifier {
  public:
    using DesktopNotifier::DesktopNotifier;
    void show(qint64, const QString&, const QString&) override {}
};

} // namespace

// Without a session bus address, asking for the bus would try to launch one.
bool sessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

std::unique_ptr<DesktopNotifier> createDesktopNotifier(QObject* parent) {
    const QDBusConnection bus =
        sessionBusKnown() ? QDBusConnection::sessionBus() : QDBusConnection(QString());
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kService))
        return std::make_unique<DbusNotifier>(parent);
    if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages())
        return std::make_unique<TrayNotifier>(parent);
    return std::make_unique<SilentNotifier>(parent);
}

QString dueTitle(const Activity& activity) {
    const QString when = activity.awokeDate.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return activity.custName.isEmpty() ? QStringLiteral("联系活动提醒 ") + when
                                       : activity.custName + u' ' + when;
}

QString dueBody(const Activity& activity) {
    return activity.content.isEmpty() ? activity.subject
                                      : activity.subject + u'\n' + activity.content;
}

DueWatcher::DueWatcher(Connection& connection, std::function<QString()> currentOperator,
                       DesktopNotifier& notifier, std::function<bool()> enabled, QObject* parent)
    : QObject(parent), connection_(connection), operator_(std::move(currentOperator)),
      notifier_(notifier), enabled_(std::move(enabled)), tracker_(QDateTime::currentDateTime()) {
    connect(&timer_, &QTimer::timeout, this, [this] { check(); });
}

void DueWatcher::start(int intervalMs) {
    timer_.start(intervalMs);
}

void DueWatcher::check(const QDateTime& now) {
    try {
        const auto rows = readActivities(
            connection_, Activities::fallingDue(operator_(), tracker_.after(), now, rights));
        // Taken even when switched off, so that switching on does not replay the past.
        const auto fresh = tracker_.take(rows, now);
        if (enabled_ && !enabled_())
            return;
        for (const Activity& activity : fresh)
            notifier_.show(activity.id, dueTitle(activity), dueBody(activity));
    } catch (const std::exception&) {
        // The next beat tries again; the operator's work is not interrupted.
    }
}

#include "DueNotifier.moc"
