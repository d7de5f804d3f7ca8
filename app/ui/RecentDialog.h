#pragma once

#include "LookupStore.h"
#include "ScrollingDialog.h"

#include <functional>

class QVBoxLayout;

namespace Tidemark {

// The acknowledgements shown in the last meetings, newest first, one row per meeting: when, the service,
// the server, its place and the peoples; each can be copied again or deleted.
class RecentDialog : public ScrollingDialog {
    Q_OBJECT

public:
    // `copied` hears the text put on the clipboard.
    RecentDialog(LookupStore& store, std::function<void(const QString& text)> copy, QWidget* parent = nullptr);

    int rowCount() const;

private:
    void addRow(const LookupStore::Acknowledgement& acknowledgement);

    LookupStore& store_;
    std::function<void(const QString&)> copy_;
    QVBoxLayout* rows_;
};

}  // namespace Tidemark
