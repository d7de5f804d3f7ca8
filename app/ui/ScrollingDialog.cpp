#include "ScrollingDialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace Tidemark {

ScrollingDialog::ScrollingDialog(QWidget* parent) : QDialog(parent) {
    auto* outer = new QVBoxLayout(this);
    area_ = new QScrollArea(this);
    area_->setFrameShape(QFrame::NoFrame);
    area_->setWidgetResizable(true);
    area_->setFocusPolicy(Qt::NoFocus);  // the fields inside take the focus
    body_ = new QWidget(area_);
    area_->setWidget(body_);
    outer->addWidget(area_, 1);
}

void ScrollingDialog::setButtons(QDialogButtonBox* buttons) { layout()->addWidget(buttons); }

void ScrollingDialog::showEvent(QShowEvent* event) {
    // As large as the content wants, up to what the screen has room for; the content scrolls beyond.
    QScreen* screen = parentWidget() && parentWidget()->screen() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QSize room = screen->availableGeometry().size() - QSize(40, 80);  // the frame and a margin
        const QSize content = body_->sizeHint() + QSize(area_->verticalScrollBar()->sizeHint().width() + 4, 4);
        const QSize rest = sizeHint() - area_->sizeHint();
        const QSize wanted(std::max(content.width(), rest.width()) + layout()->contentsMargins().left() +
                               layout()->contentsMargins().right(),
                           content.height() + rest.height());
        setMaximumSize(room);
        resize(wanted.boundedTo(room));
        QRect frame = frameGeometry();
        frame.moveCenter(parentWidget() ? parentWidget()->frameGeometry().center() : screen->availableGeometry().center());
        const QRect available = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), available.left(), std::max(available.left(), available.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), available.top(), std::max(available.top(), available.bottom() - frame.height())));
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

}  // namespace Tidemark
