#pragma once

#include "DisplayState.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <vector>

class QScrollArea;
class QTimer;
class QVBoxLayout;

namespace Tidemark {

// A filled circle in the status colour.
class StatusDot : public QWidget {
    Q_OBJECT

public:
    explicit StatusDot(QWidget* parent = nullptr);
    void setColor(StatusColor color);
    StatusColor color() const { return color_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void nameStatus();  // the status in words, for screen readers

    StatusColor color_ = StatusColor::orange;
};

// A text the user can select with the mouse or the keyboard (and copy); one Tab stop, drawn focused.
class SelectableLabel : public QLabel {
    Q_OBJECT

public:
    explicit SelectableLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A text drawn as a link (no button frame) leading to `href`: one Tab stop, drawn focused, activated by a
// click, Enter or Space. A web link shows its address as a tooltip and offers Copy Link Location; an
// action ("Try Again") has no address and no context menu.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    // `description`: what an action does, for assistive technology (a web link's is where it leads).
    LinkLabel(const QString& text, std::function<void()> action, QWidget* parent = nullptr,
              const QString& description = {});
    // `href` empty: an action.
    void setLink(const QString& text, const QString& href = {});
    QString linkText() const { return text_; }
    QString href() const { return href_; }
    void activate() { action_(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QString href_;
    QString description_;
    std::function<void()> action_;
};

// The window's content: status dot, sentence, territory links, action links and the acknowledgement
// link, redrawn at every change of the display state. Its width is fixed; its height follows the content
// up to a limit, beyond which the territory list scrolls while the sentence and links stay in view.
class ContentView : public QWidget {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> startMonitoring;
        std::function<void(const QString& address)> openLink;
        std::function<void()> tryAgain;
        std::function<void()> saveErrorLog;
        std::function<void()> openAcknowledgementLink;
        std::function<void()> copyAcknowledgement;
        std::function<QString()> networkOwner;  // the grey line under the sentence; empty hides it
        QString acknowledgementAddress;          // where the acknowledgement link leads
        std::function<void()> openSettings;
        std::function<void(const QString& text)> copy;  // a people's name and link, or the link alone
    };

    ContentView(DisplayState& state, Actions actions, QWidget* parent = nullptr);

    StatusDot* statusDot() const { return dot_; }
    QLabel* statusWordLabel() const { return statusWord_; }
    QLabel* mainTextLabel() const { return mainText_; }
    QLabel* networkOwnerLabel() const { return owner_; }
    QLabel* noticeLabel() const { return notice_; }
    QLabel* messageLabel() const { return message_; }
    QLabel* retryLabel() const { return retryIn_; }
    QLabel* announcer() const { return announcer_; }
    LinkLabel* settingsLink() const { return settings_; }
    QLabel* lastAnswerLabel() const { return last_; }
    LinkLabel* copyLastLink() const { return copyLast_; }
    LinkLabel* copyAcknowledgementLink() const { return copy_; }
    // The server's peoples, then the user's own land's.
    const std::vector<LinkLabel*>& territoryLinks() const { return territoryLinks_; }
    // The sentence on the user's own land, above its peoples; none while it is not shown.
    QLabel* ownLandLabel() const { return ownHeading_; }
    QScrollArea* territoryArea() const { return territoryArea_; }
    LinkLabel* tryAgainLink() const { return tryAgain_; }
    LinkLabel* saveErrorLogLink() const { return saveErrorLog_; }
    LinkLabel* acknowledgementLink() const { return acknowledgement_; }

    // The tallest the content may be; the territory list scrolls beyond it.
    void setHeightLimit(int height);
    // What the last save or copy did, shown whole under the content until the next message.
    void showMessage(const QString& text);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

    static constexpr int columnWidth = 260;

signals:
    // The content's size changed.
    void resized();
    // A new answer or failure was announced to assistive technology.
    void announced(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void redraw();
    void rebuildTerritoryLinks();
    void addTerritoryLinks(const std::vector<Territory>& rows, int width);
    void fitTerritoryArea();
    void refreshLayout();
    // A label's text, fitted to the column, shown when there is one.
    void setShown(QLabel* label, const QString& text);
    void showCountdown();

    DisplayState& state_;
    Actions actions_;
    bool appeared_ = false;
    int heightLimit_ = QWIDGETSIZE_MAX;
    StatusDot* dot_;
    QLabel* statusWord_;
    QString announced_;  // the last answer or failure read out
    SelectableLabel* mainText_;
    QLabel* owner_;
    QLabel* notice_;
    QScrollArea* territoryArea_;
    QWidget* territoryList_;
    QVBoxLayout* territoryColumn_;
    std::vector<LinkLabel*> territoryLinks_;
    std::vector<Territory> shownTerritories_;
    OwnLandShown shownOwn_;
    QLabel* ownHeading_ = nullptr;
    LinkLabel* copy_;
    LinkLabel* tryAgain_;
    LinkLabel* saveErrorLog_;
    LinkLabel* settings_;
    QWidget* lastRow_;
    QLabel* last_;
    LinkLabel* copyLast_;
    LinkLabel* acknowledgement_;
    QLabel* retryIn_;
    QTimer* countdown_;
    QLabel* message_;
    QLabel* announcer_;
    QSize lastSize_;
};

}  // namespace Tidemark
