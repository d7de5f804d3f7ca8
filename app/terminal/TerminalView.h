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

// The window's content as text on standard output, which carries nothing else: each change prints one
// block, in the window's order (status, sentence, network owner, territory links, actions). Everything
// that came from a service is printed with its control characters escaped.
// Commands typed on standard input: r (Try Again), s [file] (save the log), c (copy the acknowledgement),
// h [n] (recent acknowledgements, or copy number n), l (show the log), q (quit).
class TerminalView : public QObject {
    Q_OBJECT

public:
    TerminalView(AppCore& core, std::FILE* out, QObject* parent = nullptr);

    // Prints the first state, listens for commands, and starts monitoring.
    void start(bool readCommands = true);
    // Carries out one typed command.
    void command(const std::string& line);
    // While pkexec asks for the password on the terminal, typed lines are its own: none is read here.
    void setAuthenticating(bool running);

    // Prints the block now if anything shown changed (changes are otherwise gathered until the event loop
    // runs, so that one change of several fields prints one block).
    void flush();

private:
    void scheduleRedraw();
    void redraw();
    void print(const QString& text);
    void copyAcknowledgement();
    // Lists the last acknowledgements, or copies the one numbered `which`.
    void recent(const std::string& which);
    // Prints the text and sends it to the terminal's clipboard.
    void copyText(const QString& text);

    AppCore& core_;
    std::FILE* out_;
    std::unique_ptr<QSocketNotifier> input_;
    bool scheduled_ = false;
    bool inputClosed_ = false;
    QString shown_;  // the last block printed
};

}  // namespace Tidemark
