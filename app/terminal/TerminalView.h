#pragma once

#include "AppCore.h"
#include "PermissionStep.h"

#include <QObject>
#include <QSocketNotifier>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace Tidemark {

// Asks for capture rights on the terminal; anything but a yes (or no terminal at all) is Cancel.
class TerminalPermissionPrompt final : public PermissionPrompt {
public:
    explicit TerminalPermissionPrompt(std::FILE* out, std::function<std::optional<std::string>()> readLine = {});
    bool askToGrant(const QString& question) override;

private:
    std::FILE* out_;
    std::function<std::optional<std::string>()> readLine_;
};

// The window's content as text: every change of status colour, sentence, links and actions is printed.
// Commands typed on standard input: r (Try Again), s [file] (Save Error Log), l (show the log), q (quit).
class TerminalView : public QObject {
    Q_OBJECT

public:
    TerminalView(AppCore& core, std::FILE* out, QObject* parent = nullptr);

    // Prints the first state, listens for commands, and starts monitoring.
    void start(bool readCommands = true);
    // Carries out one typed command.
    void command(const std::string& line);

private:
    void redraw();
    void print(const QString& text);

    AppCore& core_;
    std::FILE* out_;
    std::unique_ptr<QSocketNotifier> input_;
    bool drawn_ = false;
    StatusColor color_ = StatusColor::orange;
    QString mainText_;
    std::vector<Territory> territories_;
    bool retryError_ = false;
    bool saveError_ = false;
};

}  // namespace Tidemark
