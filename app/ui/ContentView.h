#pragma once

#include "DisplayState.h"

#include <QLabel>
#include <QWidget>

#include <functional>
#include <vector>

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
    StatusColor color_ = StatusColor::orange;
};

// A text drawn as a link (no button frame); activating it calls the action.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    LinkLabel(const QString& text, std::function<void()> action, QWidget* parent = nullptr);
    void setLinkText(const QString& text);
    QString linkText() const { return text_; }
    void activate() { action_(); }

private:
    QString text_;
    std::function<void()> action_;
};

// The window's content: status dot, sentence, territory links, action links and the
// acknowledgement link, redrawn at every change of the display state.
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
    };

    ContentView(DisplayState& state, Actions actions, QWidget* parent = nullptr);

    StatusDot* statusDot() const { return dot_; }
    QLabel* mainTextLabel() const { return mainText_; }
    QLabel* networkOwnerLabel() const { return owner_; }
    LinkLabel* copyAcknowledgementLink() const { return copy_; }
    const std::vector<LinkLabel*>& territoryLinks() const { return territoryLinks_; }
    LinkLabel* tryAgainLink() const { return tryAgain_; }
    LinkLabel* saveErrorLogLink() const { return saveErrorLog_; }
    LinkLabel* acknowledgementLink() const { return acknowledgement_; }

    // The content decides the size; the 252 x 111 content rectangle is the smallest it may be. The window
    // takes exactly this size (it cannot be resized) and follows the content as it grows and shrinks.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

    static constexpr int columnWidth = 260;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void redraw();
    void rebuildTerritoryLinks();
    static void fitHeight(QLabel* label);

    DisplayState& state_;
    Actions actions_;
    bool appeared_ = false;
    StatusDot* dot_;
    QLabel* mainText_;
    QLabel* owner_;
    QVBoxLayout* territoryColumn_;
    std::vector<LinkLabel*> territoryLinks_;
    std::vector<Territory> shownTerritories_;
    LinkLabel* copy_;
    LinkLabel* tryAgain_;
    LinkLabel* saveErrorLog_;
    LinkLabel* acknowledgement_;
};

}  // namespace Tidemark
