#include "ContentView.h"
#include "Readable.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QGuiApplication>

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QDateTime>
#include <QTimer>
#include <QVBoxLayout>

namespace Tidemark {

namespace {

// A widget read by the name it was given (the view keeps it current).
class NamedAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return widget()->accessibleName();
        return QAccessibleWidget::text(kind);
    }
};

// What a screen reader makes of a link label: a link to a web address, or a button for an action, that
// its press action activates as Enter does.
class LinkAccessible final : public NamedAccessible {
public:
    explicit LinkAccessible(LinkLabel* link) : NamedAccessible(link) {}
    // Asked each time: a label may become a link after its interface was made.
    QAccessible::Role role() const override {
        return static_cast<LinkLabel*>(widget())->href().isEmpty() ? QAccessible::Button : QAccessible::Link;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) static_cast<LinkLabel*>(widget())->activate();
    }
};

// The announcer is an alert: shown anew for each answer or failure, which screen readers read out.
class AlertAccessible final : public QAccessibleWidget {
public:
    explicit AlertAccessible(QWidget* label) : QAccessibleWidget(label, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* linkAccessible(const QString&, QObject* object) {
    if (auto* link = dynamic_cast<LinkLabel*>(object)) return new LinkAccessible(link);
    // The status dot is read as the status in words, not as an empty filler.
    if (auto* dot = dynamic_cast<StatusDot*>(object)) return new NamedAccessible(dot, QAccessible::StaticText);
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->objectName() == QLatin1String("tidemark-announcer")) return new AlertAccessible(widget);
    return nullptr;
}

// A text as the view shows it: a run of more than 24 characters without a space may break anywhere
// (a zero-width space every 12), so a long single word wraps within the column instead of running off it.
QString breakable(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 12);
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > 12 && run % 12 == 1 && text.size() > 24) out += QChar(0x200B);
        out += c;
    }
    return out;
}

// Tells assistive technology that `widget`'s text changed, and when `alert`, that it is news to announce.
void announce(QWidget* widget, bool alert) {
    QAccessibleEvent changed(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    if (alert) {
        QAccessibleEvent news(widget, QAccessible::Alert);
        QAccessible::updateAccessibility(&news);
    }
}

// The style's focus frame around a label that has the keyboard focus.
void paintFocus(QLabel* label) {
    if (!label->hasFocus()) return;
    QStylePainter painter(label);
    QStyleOptionFocusRect option;
    option.initFrom(label);
    option.backgroundColor = label->palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, option);
}

// A wrapped text at a fixed width takes exactly the height it needs: never cut, never overlapping what
// follows. (A label's height for a width is never below its minimum, so the old height goes first.)
void fit(QLabel* label, int width) {
    label->setFixedWidth(width);
    label->setMinimumHeight(0);
    label->setMaximumHeight(QWIDGETSIZE_MAX);
    label->setFixedHeight(label->heightForWidth(width));
}

}  // namespace

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) {
    // 10 x 10 circle whose centre sits 8 points down, level with the first text line.
    setFixedSize(10, 16);
    nameStatus();
}

void StatusDot::setColor(StatusColor color) {
    if (color_ == color) return;
    color_ = color;
    nameStatus();
    update();
}

void StatusDot::nameStatus() {
    setAccessibleName(QCoreApplication::translate("Tidemark", "Status: %1").arg(statusWord(color_)));
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(statusDotColor(color_));
    painter.drawEllipse(QRectF(0, 3, 10, 10));
}

SelectableLabel::SelectableLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Selected with the mouse; a Tab stop for screen readers, but no caret blinking after the text.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setFocusPolicy(Qt::StrongFocus);
    setContentsMargins(1, 1, 1, 1);
}

void SelectableLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    paintFocus(this);
}

LinkLabel::LinkLabel(const QString& text, std::function<void()> action, QWidget* parent, const QString& description)
    : QLabel(parent), description_(description), action_(std::move(action)) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(linkAccessible);
        return true;
    }();
    (void)factoryInstalled;
    setTextFormat(Qt::RichText);
    // The mouse follows the link; the keyboard takes the label as one stop and activates it here.
    setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    setFocusPolicy(Qt::StrongFocus);
    setOpenExternalLinks(false);
    setContentsMargins(1, 1, 1, 1);
    setLink(text);
    connect(this, &QLabel::linkActivated, this, [this] { action_(); });
}

void LinkLabel::setLink(const QString& text, const QString& href) {
    text_ = text;
    href_ = href;
    // An action has no address of its own; its anchor names it so that nothing copies a bare "#".
    const QString anchor = href.isEmpty() ? QStringLiteral("tidemark:action") : href;
    setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(anchor.toHtmlEscaped(), breakable(text).toHtmlEscaped()));
    // A long name's whole text, and where the link leads.
    setToolTip(text.size() > 40 && !href.isEmpty() ? text + QLatin1Char('\n') + href : href);
    setContextMenuPolicy(href.isEmpty() ? Qt::NoContextMenu : Qt::DefaultContextMenu);
    setAccessibleName(text);
    // Where a web link leads; what an action does.
    setAccessibleDescription(href.isEmpty() ? description_
                                            : QCoreApplication::translate("Tidemark", "Opens %1 in the web browser").arg(href));
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: activate(); return;
        default: QLabel::keyPressEvent(event);
    }
}

void LinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    paintFocus(this);
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
    // The status in words beside the dot's colour.
    statusWord_ = new QLabel(this);
    statusWord_->setTextFormat(Qt::PlainText);
    QFont bold = statusWord_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 0.85);
    statusWord_->setFont(bold);
    column->addWidget(statusWord_);
    mainText_ = new SelectableLabel(this);
    column->addWidget(mainText_);
    // The network's owner, small and grey, under the sentence.
    owner_ = new QLabel(this);
    owner_->setWordWrap(true);
    owner_->setTextFormat(Qt::PlainText);
    owner_->setForegroundRole(QPalette::PlaceholderText);
    QFont small = owner_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    owner_->setFont(small);
    column->addWidget(owner_);
    // An answer shown from what was saved says so, in the same grey.
    notice_ = new QLabel(this);
    notice_->setWordWrap(true);
    notice_->setTextFormat(Qt::PlainText);
    notice_->setForegroundRole(QPalette::PlaceholderText);
    notice_->setFont(small);
    column->addWidget(notice_);
    // When the next try is due, counted down while a failure waits for it.
    retryIn_ = new QLabel(this);
    retryIn_->setTextFormat(Qt::PlainText);
    retryIn_->setForegroundRole(QPalette::PlaceholderText);
    retryIn_->setFont(small);
    column->addWidget(retryIn_);
    countdown_ = new QTimer(this);
    countdown_->setInterval(1000);
    connect(countdown_, &QTimer::timeout, this, &ContentView::showCountdown);

    territoryList_ = new QWidget();
    territoryColumn_ = new QVBoxLayout(territoryList_);
    territoryColumn_->setContentsMargins(0, 0, 0, 0);
    territoryColumn_->setSpacing(10);
    territoryArea_ = new QScrollArea(this);
    territoryArea_->setFrameShape(QFrame::NoFrame);
    territoryArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    territoryArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    territoryArea_->setWidgetResizable(false);
    territoryArea_->setWidget(territoryList_);
    territoryArea_->setFixedWidth(columnWidth);
    territoryArea_->setFocusPolicy(Qt::NoFocus);  // the links inside take the focus, one by one
    column->addWidget(territoryArea_);

    copy_ = new LinkLabel(QCoreApplication::translate("Tidemark", "Copy acknowledgement"), [this] { actions_.copyAcknowledgement(); }, this,
                          QCoreApplication::translate("Tidemark", "Copies the acknowledgement, to paste in the meeting's chat"));
    column->addWidget(copy_, 0, Qt::AlignLeft);
    top->addLayout(column);
    outer->addLayout(top);

    auto* actionsRow = new QHBoxLayout();
    actionsRow->setSpacing(10);
    tryAgain_ = new LinkLabel(QCoreApplication::translate("Tidemark", "Try Again"), [this] { actions_.tryAgain(); }, this,
                              QCoreApplication::translate("Tidemark", "Captures and looks up again"));
    saveErrorLog_ = new LinkLabel(QCoreApplication::translate("Tidemark", "Save Error Log"), [this] { actions_.saveErrorLog(); }, this,
                                  QCoreApplication::translate("Tidemark", "Saves the log to a file you choose"));
    settings_ = new LinkLabel(
        QCoreApplication::translate("Tidemark", "Settings…"),
        [this] {
            if (actions_.openSettings) actions_.openSettings();
        },
        this, QCoreApplication::translate("Tidemark", "Opens the settings, where the services' keys are entered"));
    actionsRow->addWidget(tryAgain_);
    actionsRow->addWidget(saveErrorLog_);
    actionsRow->addWidget(settings_);
    actionsRow->addStretch();
    outer->addLayout(actionsRow);

    // The last acknowledgement, for a while after its stream ended: "Last: 14:02, Montréal — Copy".
    lastRow_ = new QWidget(this);
    auto* lastLayout = new QHBoxLayout(lastRow_);
    lastLayout->setContentsMargins(0, 0, 0, 0);
    lastLayout->setSpacing(4);
    last_ = new QLabel(lastRow_);
    last_->setTextFormat(Qt::PlainText);
    last_->setFont(small);
    copyLast_ = new LinkLabel(QCoreApplication::translate("Tidemark", "Copy"), [this] { actions_.copyAcknowledgement(); }, lastRow_,
                              QCoreApplication::translate("Tidemark", "Copies the last acknowledgement"));
    copyLast_->setFont(small);
    lastLayout->addWidget(last_);
    lastLayout->addWidget(copyLast_);
    lastLayout->addStretch();
    outer->addWidget(lastRow_);

    acknowledgement_ = new LinkLabel(QCoreApplication::translate("Tidemark", "Learn more about territory acknowledgements"),
                                     [this] { actions_.openAcknowledgementLink(); }, this);
    acknowledgement_->setLink(acknowledgement_->linkText(), actions_.acknowledgementAddress);
    outer->addWidget(acknowledgement_, 0, Qt::AlignLeft);

    // What the last save or copy did, whole and kept until the next one.
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setFont(small);
    message_->hide();
    outer->addWidget(message_);

    // Read out by screen readers when an answer or failure arrives; one pixel, out of the way.
    announcer_ = new QLabel(this);
    announcer_->setObjectName(QStringLiteral("tidemark-announcer"));
    announcer_->setFixedSize(1, 1);
    announcer_->hide();

    setPalette(readablePalette(QGuiApplication::palette()));
    connect(&state_, &DisplayState::changed, this, &ContentView::redraw);
    redraw();
}

void ContentView::changeEvent(QEvent* event) {
    // The desktop switched themes (light, dark): links and grey lines stay readable on the new background.
    if (event->type() == QEvent::ApplicationPaletteChange) setPalette(readablePalette(QGuiApplication::palette()));
    QWidget::changeEvent(event);
}

QSize ContentView::minimumSizeHint() const { return QWidget::minimumSizeHint().expandedTo(QSize(252, 111)); }

QSize ContentView::sizeHint() const { return layout()->sizeHint().expandedTo(QSize(252, 111)); }

void ContentView::setHeightLimit(int height) {
    if (height == heightLimit_) return;
    heightLimit_ = height;
    fitTerritoryArea();
}

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
    if (dot_->color() != state_.statusColor()) {
        dot_->setColor(state_.statusColor());
        announce(dot_, false);
    }
    if (statusWord_->text() != statusWord(state_.statusColor())) statusWord_->setText(statusWord(state_.statusColor()));
    if (mainText_->text() != breakable(state_.mainText())) {
        mainText_->setText(breakable(state_.mainText()));
        mainText_->setAccessibleName(state_.mainText());
        fit(mainText_, columnWidth);
        announce(mainText_, false);
    }
    // A new answer, or a new failure, is read out once, whichever of its text and colour came last; the
    // waiting and looking-up texts only change the name.
    const bool news = state_.statusColor() == StatusColor::green || state_.statusColor() == StatusColor::red;
    if (news && announced_ != state_.mainText()) {
        announced_ = state_.mainText();
        announce(mainText_, true);
        // An alert shown anew: what AT-SPI's screen readers speak.
        announcer_->setText(announced_);
        announcer_->hide();
        announcer_->show();
        emit announced(announced_);
    } else if (!news) {
        announced_.clear();
    }
    const QString owner = actions_.networkOwner ? actions_.networkOwner() : QString();
    setShown(owner_, owner);
    QStringList notices;
    for (const QString& line : {state_.notice(), state_.ownLand().problem, state_.storeProblem()}) {
        if (!line.isEmpty()) notices << line;
    }
    setShown(notice_, notices.join(QLatin1Char('\n')));
    if (state_.retryAt() && !countdown_->isActive()) countdown_->start();
    showCountdown();
    tryAgain_->setVisible(state_.retryError());
    saveErrorLog_->setVisible(state_.saveError());
    settings_->setVisible(state_.needsKey() && actions_.openSettings);
    const auto& lastAnswer = state_.lastAnswer();
    const bool showLast = lastAnswer && state_.statusColor() != StatusColor::green;
    if (showLast) {
        QString place = lastAnswer->place;
        if (place.size() > 40) place = place.left(39) + QChar(0x2026);
        last_->setText(QCoreApplication::translate("Tidemark", "Last: %1, %2 —").arg(lastAnswer->shown.toLocalTime().toString(QStringLiteral("HH:mm")), place));
    }
    lastRow_->setVisible(showLast);
    if (state_.territories() != shownTerritories_ || state_.ownLand().text != shownOwn_.text ||
        state_.ownLand().territories != shownOwn_.territories) {
        rebuildTerritoryLinks();
    }
    copy_->setVisible((state_.statusColor() == StatusColor::green && !state_.territories().empty()) ||
                      !state_.ownLand().text.isEmpty());
    fitTerritoryArea();
}

void ContentView::setShown(QLabel* label, const QString& text) {
    if (label->text() != text) {
        label->setText(text);
        if (!text.isEmpty()) fit(label, columnWidth);
    }
    label->setVisible(!text.isEmpty());
}

void ContentView::showCountdown() {
    const auto at = state_.retryAt();
    const qint64 seconds = at ? std::max<qint64>(0, QDateTime::currentDateTimeUtc().secsTo(*at)) : 0;
    if (!at) countdown_->stop();
    setShown(retryIn_, at ? QCoreApplication::translate("Tidemark", "Trying again in %n s.", "a countdown", int(seconds)) : QString());
    if (retryIn_->isVisible() != static_cast<bool>(at)) fitTerritoryArea();
}

void ContentView::showMessage(const QString& text) {
    setShown(message_, text);
    fitTerritoryArea();
}

void ContentView::rebuildTerritoryLinks() {
    shownTerritories_ = state_.territories();
    shownOwn_ = {state_.ownLand().text, state_.ownLand().territories, {}};
    std::vector<QWidget*> rows(territoryLinks_.begin(), territoryLinks_.end());
    if (ownHeading_) rows.push_back(ownHeading_);
    for (QWidget* row : rows) {
        territoryColumn_->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    ownHeading_ = nullptr;
    territoryLinks_.clear();
    // Room for the scroll bar, so the column keeps its width whether or not the list scrolls.
    const int width = columnWidth - territoryArea_->verticalScrollBar()->sizeHint().width();
    addTerritoryLinks(shownTerritories_, width);
    // The land the user joins from: its sentence, then its peoples, under the server's.
    if (!shownOwn_.text.isEmpty()) {
        ownHeading_ = new QLabel(breakable(shownOwn_.text), territoryList_);
        ownHeading_->setObjectName(QStringLiteral("ownLand"));
        ownHeading_->setTextFormat(Qt::PlainText);
        ownHeading_->setWordWrap(true);
        ownHeading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        ownHeading_->setAccessibleName(shownOwn_.text);
        fit(ownHeading_, width);
        territoryColumn_->addWidget(ownHeading_);
        ownHeading_->setVisible(true);
        addTerritoryLinks(shownOwn_.territories, width);
    }
    territoryList_->setFixedSize(width, territoryColumn_->sizeHint().height());
    // Reading order is Tab order: sentence, territories, Copy, the actions, Learn more.
    QWidget* previous = mainText_;
    for (LinkLabel* link : territoryLinks_) {
        if (link->focusPolicy() == Qt::NoFocus) continue;
        setTabOrder(previous, link);
        previous = link;
    }
    for (QWidget* next :
         std::initializer_list<QWidget*>{copy_, tryAgain_, saveErrorLog_, settings_, copyLast_, acknowledgement_}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

void ContentView::addTerritoryLinks(const std::vector<Territory>& rows, int width) {
    for (const Territory& territory : rows) {
        const QString address = territory.properties.description;
        auto* link = new LinkLabel(territory.properties.name, [this, address] { actions_.openLink(address); },
                                   territoryList_);
        link->setObjectName(territory.id);
        link->setWordWrap(true);  // a long name wraps within the column
        if (address.isEmpty()) {  // the service's link was dropped: the name alone
            link->setTextFormat(Qt::PlainText);
            link->setText(territory.properties.name);
            link->setTextInteractionFlags(Qt::TextSelectableByMouse);
            link->setFocusPolicy(Qt::NoFocus);
        } else {
            link->setLink(territory.properties.name, address);
            // One people's name and link, for a chat; or the link alone.
            link->setContextMenuPolicy(Qt::ActionsContextMenu);
            const QString name = territory.properties.name;
            auto* both = new QAction(QCoreApplication::translate("Tidemark", "Copy Name and Link"), link);
            connect(both, &QAction::triggered, this, [this, name, address] { actions_.copy(name + QStringLiteral(": ") + address); });
            auto* only = new QAction(QCoreApplication::translate("Tidemark", "Copy Link Location"), link);
            connect(only, &QAction::triggered, this, [this, address] { actions_.copy(address); });
            link->addAction(both);
            link->addAction(only);
        }
        fit(link, width);
        territoryColumn_->addWidget(link);
        link->setVisible(true);
        territoryLinks_.push_back(link);
    }
}

void ContentView::refreshLayout() {
    // Nested layouts keep their sizes until activated: invalidate all of them now, not on the next round.
    layout()->invalidate();
    layout()->activate();
}

void ContentView::fitTerritoryArea() {
    const bool any = !territoryLinks_.empty() || ownHeading_;
    if (territoryArea_->isHidden() == any) territoryArea_->setVisible(any);
    const int listHeight = any ? territoryList_->height() : 0;
    refreshLayout();
    // Everything but the list, then the list in what room is left: the area is never set taller first,
    // so its scroll position and the focus inside it hold while the rest changes.
    const int others = layout()->sizeHint().height() - (any ? territoryArea_->height() : 0);
    int target = listHeight;
    if (any && others + listHeight > heightLimit_) {
        // At least a couple of rows stay in view, however small the screen.
        const int least = std::min(listHeight, 3 * fontMetrics().lineSpacing());
        target = std::max(least, heightLimit_ - others);
    }
    if (territoryArea_->height() != target || territoryArea_->minimumHeight() != target) {
        territoryArea_->setFixedHeight(target);
        refreshLayout();
    }
    const QSize size = sizeHint();
    if (size != lastSize_) {
        lastSize_ = size;
        updateGeometry();
        emit resized();
    }
}

}  // namespace Tidemark
