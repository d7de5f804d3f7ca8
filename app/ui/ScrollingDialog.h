#pragma once

#include <QDialog>

class QDialogButtonBox;
class QScrollArea;

namespace Tidemark {

// A dialog whose content scrolls above its buttons, and which is never larger than the screen it opens
// on: at any scale or in any language its buttons stay in reach.
class ScrollingDialog : public QDialog {
    Q_OBJECT

public:
    explicit ScrollingDialog(QWidget* parent = nullptr);

    // Where the content goes (give it a layout).
    QWidget* body() const { return body_; }
    QScrollArea* scrollArea() const { return area_; }
    // Below the scrolling content, always in view.
    void setButtons(QDialogButtonBox* buttons);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* body_;
    QScrollArea* area_;
};

}  // namespace Tidemark
