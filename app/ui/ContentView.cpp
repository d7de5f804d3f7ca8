#include "ContentView.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace Tidemark {

namespace {
QColor colorOf(StatusColor color) {
    switch (color) {
        case StatusColor::orange: return QColor(255, 149, 0);
        case StatusColor::red: return QColor(255, 59, 48);
        case StatusColor::green: return QColor(52, 199, 89);
    }
    return Qt::gray;
}
}  // namespace

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) {
    // 10 x 10 circle whose centre sits 8 points down, level with the first text line.
    setFixedSize(10, 16);
}

void StatusDot::setColor(StatusColor color) {
    if (color_ == color) return;
    color_ = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colorOf(color_));
    painter.drawEllipse(QRectF(0, 3, 10, 10));
}

LinkLabel::LinkLabel(const QString& text, std::function<void()> action, QWidget* parent)
    : QLabel(parent), action_(std::move(action)) {
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    setOpenExternalLinks(false);
    setLinkText(text);
    connect(this, &QLabel::linkActivated, this, [this] { action_(); });
}

void LinkLabel::setLinkText(const QString& text) {
    text_ = text;
    setText(QStringLiteral("<a href=\"#\">%1</a>").arg(text.toHtmlEscaped()));
    setAccessibleName(text);
}

ContentView::ContentView(DisplayState& state, Actions actions, QWidget* parent)
    : QWidget(parent), state_(state), actions_(std::move(actions)) {
    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(10);
    outer->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* top = new QHBoxLayout();
    top->setSpacing(1);
    top->setAlignment(Qt::AlignTop);
    dot_ = new StatusDot(this);
    top->addWidget(dot_, 0, Qt::AlignTop);
    top->addSpacing(6);
    auto* column = new QVBoxLayout();
    column->setSpacing(10);
    mainText_ = new QLabel(this);
    mainText_->setWordWrap(true);
    mainText_->setFixedWidth(columnWidth);
    mainText_->setTextFormat(Qt::PlainText);
    mainText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    column->addWidget(mainText_);
    // The network's owner, small and grey, under the sentence.
    owner_ = new QLabel(this);
    owner_->setWordWrap(true);
    owner_->setFixedWidth(columnWidth);
    owner_->setTextFormat(Qt::PlainText);
    owner_->setForegroundRole(QPalette::PlaceholderText);
    QFont small = owner_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    owner_->setFont(small);
    column->addWidget(owner_);
    territoryColumn_ = new QVBoxLayout();
    territoryColumn_->setSpacing(10);
    column->addLayout(territoryColumn_);
    copy_ = new LinkLabel(QStringLiteral("Copy acknowledgement"), [this] { actions_.copyAcknowledgement(); }, this);
    copy_->setFixedWidth(columnWidth);
    column->addWidget(copy_);
    top->addLayout(column);
    outer->addLayout(top);

    auto* actionsRow = new QHBoxLayout();
    actionsRow->setSpacing(10);
    tryAgain_ = new LinkLabel(QStringLiteral("Try Again"), [this] { actions_.tryAgain(); }, this);
    saveErrorLog_ = new LinkLabel(QStringLiteral("Save Error Log"), [this] { actions_.saveErrorLog(); }, this);
    actionsRow->addWidget(tryAgain_);
    actionsRow->addWidget(saveErrorLog_);
    actionsRow->addWidget(new QLabel(QStringLiteral(" "), this));  // keeps the row's height
    actionsRow->addStretch();
    outer->addLayout(actionsRow);

    acknowledgement_ = new LinkLabel(QStringLiteral("Learn more about territory acknowledgements"),
                                     [this] { actions_.openAcknowledgementLink(); }, this);
    outer->addWidget(acknowledgement_, 0, Qt::AlignLeft);

    connect(&state_, &DisplayState::changed, this, &ContentView::redraw);
    redraw();
}

QSize ContentView::minimumSizeHint() const { return QWidget::minimumSizeHint().expandedTo(QSize(252, 111)); }

QSize ContentView::sizeHint() const { return minimumSizeHint(); }

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (appeared_) return;
    appeared_ = true;
    // Once the window is on screen: a question asked by the first capture run then has it behind it.
    QTimer::singleShot(0, this, [this] {
        if (actions_.startMonitoring) actions_.startMonitoring();
    });
}

void ContentView::redraw() {
    dot_->setColor(state_.statusColor());
    mainText_->setText(state_.mainText());
    fitHeight(mainText_);
    const QString owner = actions_.networkOwner ? actions_.networkOwner() : QString();
    owner_->setText(owner);
    owner_->setVisible(!owner.isEmpty());
    if (!owner.isEmpty()) fitHeight(owner_);
    tryAgain_->setVisible(state_.retryError());
    saveErrorLog_->setVisible(state_.saveError());
    if (state_.territories() != shownTerritories_) rebuildTerritoryLinks();
    copy_->setVisible(state_.statusColor() == StatusColor::green && !state_.territories().empty());
    updateGeometry();
}

void ContentView::fitHeight(QLabel* label) {
    // Wrapped text never truncates: it takes exactly the height it needs at its fixed width. A label's
    // height for a width is never below its minimum, so the old height goes first, or it never shrinks.
    label->setMinimumHeight(0);
    label->setMaximumHeight(QWIDGETSIZE_MAX);
    label->setFixedHeight(label->heightForWidth(columnWidth));
}

void ContentView::rebuildTerritoryLinks() {
    shownTerritories_ = state_.territories();
    for (LinkLabel* link : territoryLinks_) {
        territoryColumn_->removeWidget(link);
        link->hide();
        link->deleteLater();
    }
    territoryLinks_.clear();
    for (const Territory& territory : shownTerritories_) {
        const QString address = territory.properties.description;
        auto* link = new LinkLabel(territory.properties.name, [this, address] { actions_.openLink(address); }, this);
        link->setObjectName(territory.id);
        link->setWordWrap(true);  // a long name wraps within the column
        if (address.isEmpty()) {  // the service's link was dropped: the name alone
            link->setTextFormat(Qt::PlainText);
            link->setText(territory.properties.name);
            link->setTextInteractionFlags(Qt::TextSelectableByMouse);
        }
        link->setFixedWidth(columnWidth);
        territoryColumn_->addWidget(link);
        link->setVisible(true);  // the layout would only show it on a later pass, after the window was sized
        territoryLinks_.push_back(link);
    }
}

}  // namespace Tidemark
