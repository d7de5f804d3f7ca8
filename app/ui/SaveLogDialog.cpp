#include "SaveLogDialog.h"

#include "LogFile.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStyle>

#include <sys/stat.h>

namespace Tidemark {

namespace {

// Icons and type names from what a file is (folder, file, link), never from its content.
class KindIconProvider final : public QAbstractFileIconProvider {
public:
    QIcon icon(IconType type) const override {
        return QApplication::style()->standardIcon(type == Folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    }
    QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }
    QString type(const QFileInfo& info) const override {
        return info.isDir() ? QStringLiteral("Folder") : info.suffix().isEmpty() ? QStringLiteral("File") : info.suffix();
    }
};

// Folders and regular files only: a character device, pipe or socket is never shown, so never opened.
class OrdinaryFiles final : public QSortFilterProxyModel {
protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        const QString path = index.data(QFileSystemModel::FilePathRole).toString();
        struct stat info {};
        if (path.isEmpty() || lstat(QFile::encodeName(path).constData(), &info) != 0) return true;
        return S_ISDIR(info.st_mode) || S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
    }
};

}  // namespace

SaveLogDialog::SaveLogDialog(QWidget* parent) : QFileDialog(parent, saveLogTitle()) {
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontResolveSymlinks);
    icons_ = std::make_unique<KindIconProvider>();
    setIconProvider(icons_.get());
    auto* ordinary = new OrdinaryFiles;
    ordinary->setParent(this);
    setProxyModel(ordinary);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setDirectory(defaultFolder());
    selectFile(saveLogFileName());
    setSizeGripEnabled(true);
    setFilter(filter() & ~QDir::Hidden);
}

SaveLogDialog::~SaveLogDialog() = default;

void SaveLogDialog::showEvent(QShowEvent* event) {
    QScreen* screen = parentWidget() && parentWidget()->screen() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        const QSize room = available.size() - QSize(40, 80);
        setMinimumSize(minimumSizeHint().boundedTo(room));
        setMaximumSize(room);
        resize(size().boundedTo(room));
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        move(frame.topLeft());
    }
    QFileDialog::showEvent(event);
}

QString SaveLogDialog::defaultFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

std::optional<QString> SaveLogDialog::choose(QWidget* parent) {
    SaveLogDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace Tidemark
