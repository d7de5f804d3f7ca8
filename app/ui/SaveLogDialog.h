#pragma once

#include <QFileDialog>

#include <memory>
#include <optional>

class QAbstractFileIconProvider;

namespace Tidemark {

// Where to save the log: Qt's own file dialog, in the user's language, that never opens a file to learn
// its type or icon (typing a path under /proc would otherwise read /proc/kmsg and hang) and lists no
// special files (devices, pipes, sockets).
class SaveLogDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit SaveLogDialog(QWidget* parent = nullptr);
    ~SaveLogDialog() override;

    // The chosen path, or none when the user cancels.
    static std::optional<QString> choose(QWidget* parent);
    // Documents, or else home.
    static QString defaultFolder();

protected:
    // Never larger than the screen it opens on.
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<QAbstractFileIconProvider> icons_;
};

}  // namespace Tidemark
