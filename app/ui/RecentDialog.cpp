#include "RecentDialog.h"

#include "AppCore.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace Tidemark {

RecentDialog::RecentDialog(LookupStore& store, std::function<void(const QString&)> copy, QWidget* parent)
    : ScrollingDialog(parent), store_(store), copy_(std::move(copy)) {
    setWindowTitle(QCoreApplication::translate("Tidemark", "Recent Acknowledgements"));
    rows_ = new QVBoxLayout(body());
    const auto recent = store_.recent(LookupStore::recentShown);
    if (recent.empty()) {
        rows_->addWidget(new QLabel(QCoreApplication::translate("Tidemark", "No acknowledgement has been shown yet."), body()));
    }
    for (const auto& acknowledgement : recent) addRow(acknowledgement);
    rows_->addStretch();
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setButtons(close);
}

int RecentDialog::rowCount() const { return static_cast<int>(findChildren<QPushButton*>(QStringLiteral("copy")).size()); }

void RecentDialog::addRow(const LookupStore::Acknowledgement& a) {
    auto* row = new QWidget(body());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(AppCore::describeAcknowledgement(a), row);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setMinimumWidth(280);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* copy = new QPushButton(QCoreApplication::translate("Tidemark", "Copy"), row);
    copy->setObjectName(QStringLiteral("copy"));
    copy->setAccessibleName(QCoreApplication::translate("Tidemark", "Copy the acknowledgement of %1").arg(a.place));
    auto* remove = new QPushButton(QCoreApplication::translate("Tidemark", "Delete"), row);
    remove->setObjectName(QStringLiteral("delete"));
    remove->setAccessibleName(QCoreApplication::translate("Tidemark", "Delete the acknowledgement of %1").arg(a.place));
    remove->setEnabled(store_.health() == LookupStore::Health::ok || store_.health() == LookupStore::Health::setAside);
    connect(copy, &QPushButton::clicked, this, [this, text = a.text] { copy_(text); });
    connect(remove, &QPushButton::clicked, this, [this, row, id = a.id] {
        if (store_.remove(id)) row->deleteLater();
    });
    layout->addWidget(label, 1);
    layout->addWidget(copy, 0, Qt::AlignTop);
    layout->addWidget(remove, 0, Qt::AlignTop);
    rows_->addWidget(row);
}

}  // namespace Tidemark
