#include "TerminalView.h"

#include "LogFile.h"

#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

#include <iostream>
#include <string>

namespace Tidemark {

namespace {
std::optional<std::string> readStandardInputLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return line;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}
}  // namespace

TerminalPermissionPrompt::TerminalPermissionPrompt(std::FILE* out,
                                                   std::function<std::optional<std::string>()> readLine)
    : out_(out), readLine_(readLine ? std::move(readLine) : readStandardInputLine) {}

bool TerminalPermissionPrompt::askToGrant(const QString& question) {
    std::fprintf(out_, "%s\n%s ", question.toLocal8Bit().constData(),
                 QCoreApplication::translate("Tidemark", "Type OK to continue, anything else to cancel:").toLocal8Bit().constData());
    std::fflush(out_);
    auto answer = readLine_();
    if (!answer) {
        std::fprintf(out_, "\n");
        return false;
    }
    std::string word = trimmed(*answer);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // OK, and yes in the user's language as well as in English.
    const std::string yes = QCoreApplication::translate("Tidemark", "yes", "the answer that grants, typed in the terminal").toLower().toStdString();
    return word == "ok" || word == "y" || word == "yes" || word == yes;
}

TerminalView::TerminalView(AppCore& core, std::FILE* out, QObject* parent) : QObject(parent), core_(core), out_(out) {
    connect(&core_.state(), &DisplayState::changed, this, &TerminalView::scheduleRedraw);
}

void TerminalView::print(const QString& text) {
    // Texts from the services and the wire reach the terminal with every control character escaped: no
    // escape sequence from outside can retitle, clear or reprogram it.
    std::fprintf(out_, "%s\n", ZuzizavAdiduDazorud::escapedText(text.toStdString()).c_str());
    std::fflush(out_);
}

void TerminalView::start(bool readCommands) {
    print(QCoreApplication::translate("Tidemark", "Tidemark %1. Commands: r = try again, s [file] = save the log, c = copy the "
                         "acknowledgement, h [n] = recent acknowledgements, l = show the log, q = quit.")
              .arg(core_.state().appVersion().value_or(QCoreApplication::translate("Tidemark", "(unknown version)"))));
    redraw();
    if (auto link = core_.info().string(QStringLiteral("TMLandAckLink")); link && !link->isEmpty()) {
        print(QCoreApplication::translate("Tidemark", "Learn more about territory acknowledgements: %1").arg(*link));
    }
    if (readCommands && isatty(STDIN_FILENO)) {
        input_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(input_.get(), &QSocketNotifier::activated, this, [this] {
            auto line = readStandardInputLine();
            if (!line) {
                // End of input (Ctrl+D): the view goes on showing changes.
                input_->setEnabled(false);
                inputClosed_ = true;
                print(QCoreApplication::translate("Tidemark", "Input closed: Ctrl+C quits."));
                return;
            }
            command(*line);
        });
    }
    core_.monitor().startMonitoring();
}

void TerminalView::setAuthenticating(bool running) {
    if (running) print(QCoreApplication::translate("Tidemark", "Authentication in progress…"));
    if (input_) input_->setEnabled(!running && !inputClosed_);
}

void TerminalView::command(const std::string& typed) {
    const std::string line = trimmed(typed);
    if (line.empty()) return;
    flush();
    DisplayState& state = core_.state();
    if (line == "r") {
        if (state.retryError()) {
            core_.retry();
        } else {
            print(QCoreApplication::translate("Tidemark", "Nothing to try again."));
        }
    } else if (line == "s" || line.rfind("s ", 0) == 0) {
        const std::string path = line.size() > 2 ? trimmed(line.substr(2)) : saveLogFileName().toStdString();
        QString error;
        if (writeLogFile(QString::fromStdString(path), state.statusText(), &error)) {
            print(QCoreApplication::translate("Tidemark", "Saved the log to %1").arg(QString::fromStdString(path)));
        } else {
            state.appendLog(saveLogFailed + QLatin1Char(' ') + error);
            print(saveLogFailedText().arg(error));
        }
    } else if (line == "c") {
        copyAcknowledgement();
    } else if (line == "h" || line.rfind("h ", 0) == 0) {
        recent(line.size() > 2 ? trimmed(line.substr(2)) : std::string());
    } else if (line == "l") {
        for (const QString& logLine : state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) print(logLine);
    } else if (line == "q") {
        QCoreApplication::quit();
    } else {
        print(QCoreApplication::translate("Tidemark", "Commands: r = try again, s [file] = save the log, c = copy the acknowledgement, h [n] = "
                             "recent acknowledgements, l = show the log, q = quit."));
    }
}

void TerminalView::recent(const std::string& which) {
    const auto list = core_.recentAcknowledgements();
    if (list.empty()) {
        print(QCoreApplication::translate("Tidemark", "No acknowledgement has been shown yet."));
        return;
    }
    if (which.empty()) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            // The meeting's line, then its place and peoples indented.
            const QStringList lines = AppCore::describeAcknowledgement(list[i]).split(QLatin1Char('\n'));
            print(QStringLiteral("%1. %2").arg(i + 1).arg(lines.value(0)));
            for (qsizetype line = 1; line < lines.size(); ++line) print(QStringLiteral("   ") + lines[line]);
        }
        print(QCoreApplication::translate("Tidemark", "Type h and a number to copy that one."));
        return;
    }
    bool number = false;
    const int index = QString::fromStdString(which).toInt(&number);
    if (!number || index < 1 || index > static_cast<int>(list.size())) {
        print(QCoreApplication::translate("Tidemark", "There is no acknowledgement %1: type h to list them.").arg(QString::fromStdString(which).left(20)));
        return;
    }
    copyText(list[static_cast<std::size_t>(index - 1)].text);
}

void TerminalView::copyAcknowledgement() {
    const QString text = core_.acknowledgementText();
    if (text.isEmpty()) {
        print(QCoreApplication::translate("Tidemark", "Nothing to copy yet: there is no acknowledgement."));
        return;
    }
    copyText(text);
}

void TerminalView::copyText(const QString& text) {
    print(QCoreApplication::translate("Tidemark", "Acknowledgement, ready to paste:"));
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) print(line);
    if (isatty(fileno(out_))) {
        // The terminal's own clipboard (OSC 52); the text travels base64-encoded, so nothing in it can act
        // as a sequence of its own. Whether the terminal took it, nothing tells.
        std::fprintf(out_, "\x1b]52;c;%s\x07", text.toUtf8().toBase64().constData());
        std::fflush(out_);
        print(QCoreApplication::translate("Tidemark", "Sent to the terminal's clipboard (OSC 52); not every terminal accepts it."));
    }
    core_.state().appendLog(QStringLiteral("Copied the acknowledgement"));
}

void TerminalView::scheduleRedraw() {
    if (scheduled_) return;
    scheduled_ = true;
    QTimer::singleShot(0, this, [this] { flush(); });
}

void TerminalView::flush() {
    scheduled_ = false;
    redraw();
}

void TerminalView::redraw() {
    const DisplayState& state = core_.state();
    QStringList block;
    // "[status: green]" stays as it is for scripts; the word after it is the user's.
    block << QStringLiteral("[status: %1] %2").arg(toString(state.statusColor()), statusWord(state.statusColor()))
          << state.mainText();
    if (const QString owner = core_.networkOwner(); !owner.isEmpty()) block << QStringLiteral("  (%1)").arg(owner);
    if (!state.notice().isEmpty()) block << QStringLiteral("  (%1)").arg(state.notice());
    if (!state.storeProblem().isEmpty()) block << QStringLiteral("  (%1)").arg(state.storeProblem());
    const auto rows = [&block](const std::vector<Territory>& territories) {
        for (const Territory& territory : territories) {
            const TerritoryProperties& row = territory.properties;
            block << (row.description.isEmpty() ? QStringLiteral("  - %1").arg(row.name)
                                                 : QStringLiteral("  - %1 <%2>").arg(row.name, row.description));
        }
    };
    rows(state.territories());
    // The land the user joins from, under the server's.
    if (!state.ownLand().text.isEmpty()) {
        block << state.ownLand().text;
        rows(state.ownLand().territories);
    }
    if (!state.ownLand().problem.isEmpty()) block << QStringLiteral("  (%1)").arg(state.ownLand().problem);
    if (state.retryError()) block << QCoreApplication::translate("Tidemark", "Try Again: type r and press Enter.");
    if (state.needsKey()) {
        block << QCoreApplication::translate("Tidemark", "Keys: set TIDEMARK_TERRITORY_KEY and TIDEMARK_IPINFO_TOKEN, or start Tidemark with "
                                "--territory-key-file FILE and --ipinfo-token-file FILE.");
    }
    if (state.lastAnswer() && state.statusColor() != StatusColor::green) {
        block << QCoreApplication::translate("Tidemark", "Last: %1, %2 (type c to copy it)")
                     .arg(state.lastAnswer()->shown.toLocalTime().toString(QStringLiteral("HH:mm")),
                          TerritoryLookup::cutToShow(state.lastAnswer()->place));
    }
    if (state.saveError()) block << QCoreApplication::translate("Tidemark", "Save Error Log: type s and a file name, then press Enter.");
    if (state.statusColor() == StatusColor::green || !state.ownLand().text.isEmpty()) {
        block << QCoreApplication::translate("Tidemark", "Copy the acknowledgement: type c.");
    }
    const QString text = block.join(QLatin1Char('\n'));
    if (text == shown_) return;
    shown_ = text;
    std::fputs("\n", out_);
    for (const QString& line : block) print(line);
}

}  // namespace Tidemark
