#include "AppDelegate.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

namespace Tidemark {

namespace {

// The shown main window, for a prompt asked before anyone told it which window it belongs to.
QWidget* visibleMainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) && widget->isVisible()) return widget;
    }
    return nullptr;
}

}  // namespace

bool DialogPermissionPrompt::askToGrant(const QString& question) {
    // A sheet on the main window, which is shown (with the red request text) behind it.
    QWidget* parent = window_ ? window_ : visibleMainWindow();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Tidemark"), question, QMessageBox::Ok | QMessageBox::Cancel,
                    parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (onShown_) QTimer::singleShot(0, &box, [this, &box] { onShown_(box); });
    return box.exec() == QMessageBox::Ok;
}

}  // namespace Tidemark
