#include "grid/ChineseFileDialog.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>

namespace {

// The file model's columns: name, size, type, date modified.
enum Column { Size = 1, Type = 2, Modified = 3 };

// The file model writes sizes and dates in the system's locale and names types in words its
// translations lack ("Folder"); these columns are written here instead.
class ChineseColumns : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || index.column() < Size)
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        const QLocale locale;
        switch (index.column()) {
        case Size:
            return info.isFile() ? locale.formattedDataSize(info.size()) : QString();
        case Type:
            if (info.isDir())
                return QStringLiteral("文件夹");
            return info.suffix().isEmpty() ? QStringLiteral("文件")
                                           : QStringLiteral("%1 文件").arg(info.suffix());
        case Modified:
            return locale.toString(info.lastModified(), QLocale::ShortFormat);
        }
        return QIdentityProxyModel::data(index, role);
    }
};

QString askFileName(QWidget* owner, const QString& caption, const QString& filter, bool save) {
    QFileDialog dialog(owner, caption, QString(), filter);
    speakChinese(dialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

} // namespace

void speakChinese(QFileDialog& dialog) {
    // The desktop's own dialog would speak the desktop's language.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ChineseColumns(&dialog));
}

QString chineseOpenFileName(QWidget* owner, const QString& caption, const QString& filter) {
    return askFileName(owner, caption, filter, false);
}

QString chineseSaveFileName(QWidget* owner, const QString& caption, const QString& filter) {
    return askFileName(owner, caption, filter, true);
}
