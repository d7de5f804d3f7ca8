#include "TerminalView.h"

#include "LogFile.h"

#include <ZuzizavAdiduDazorud/Extensions/Data+extensions.h>

#include <QCoreApplication>

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
    std::fprintf(out_, "%s\nType OK to continue, anything else to cancel: ", question.toLocal8Bit().constData());
    std::fflush(out_);
    auto answer = readLine_();
    if (!answer) {
        std::fprintf(out_, "\n");
        return false;
    }
    std::string word = trimmed(*answer);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "ok" || word == "y" || word == "yes";
}

TerminalView::TerminalView(AppCore& core, std::FILE* out, QObject* parent) : QObject(parent), core_(core), out_(out) {
    connect(&core_.state(), &DisplayState::changed, this, &TerminalView::redraw);
}

void TerminalView::print(const QString& text) {
    // Texts from the services and the wire reach the terminal with every control character escaped: no
    // escape sequence from outside can retitle, clear or reprogram it.
    std::fprintf(out_, "%s\n", ZuzizavAdiduDazorud::escapedText(text.toStdString()).c_str());
    std::fflush(out_);
}

void TerminalView::start(bool readCommands) {
    print(QStringLiteral("Tidemark %1. Commands: r = try again, s [file] = save the log, l = show the log, q = quit.")
              .arg(core_.state().appVersion().value_or(QStringLiteral("(unknown version)"))));
    redraw();
    if (readCommands && isatty(STDIN_FILENO)) {
        input_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(input_.get(), &QSocketNotifier::activated, this, [this] {
            auto line = readStandardInputLine();
            if (!line) {
                input_->setEnabled(false);  // end of input: stop listening
                return;
            }
            command(*line);
        });
    }
    core_.monitor().startMonitoring();
}

void TerminalView::command(const std::string& typed) {
    const std::string line = trimmed(typed);
    if (line.empty()) return;
    DisplayState& state = core_.state();
    if (line == "r") {
        if (state.retryError()) {
            core_.retry();
        } else {
            print(QStringLiteral("Nothing to try again."));
        }
    } else if (line == "s" || line.rfind("s ", 0) == 0) {
        const std::string path = line.size() > 2 ? trimmed(line.substr(2)) : saveLogFileName.toStdString();
        if (writeLogFile(QString::fromStdString(path), state.statusText())) {
            print(QStringLiteral("Saved the log to %1").arg(QString::fromStdString(path)));
        } else {
            state.setMainText(saveLogFailed);
        }
    } else if (line == "l") {
        for (const QString& logLine : state.statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts)) print(logLine);
    } else if (line == "q") {
        QCoreApplication::quit();
    } else {
        print(QStringLiteral("Commands: r = try again, s [file] = save the log, l = show the log, q = quit."));
    }
}

void TerminalView::redraw() {
    const DisplayState& state = core_.state();
    const bool first = !drawn_;
    drawn_ = true;
    if (first || state.statusColor() != color_) {
        color_ = state.statusColor();
        print(QStringLiteral("[status: %1]").arg(toString(color_)));
    }
    if (first || state.mainText() != mainText_) {
        mainText_ = state.mainText();
        print(mainText_);
    }
    if (state.territories() != territories_) {
        territories_ = state.territories();
        for (const Territory& territory : territories_) {
            print(QStringLiteral("  - %1 <%2>").arg(territory.properties.name, territory.properties.description));
        }
    }
    if (state.retryError() != retryError_) {
        retryError_ = state.retryError();
        if (retryError_) print(QStringLiteral("Try Again: type r and press Enter."));
    }
    if (state.saveError() != saveError_) {
        saveError_ = state.saveError();
        if (saveError_) print(QStringLiteral("Save Error Log: type s and a file name, then press Enter."));
    }
    if (first) {
        if (auto link = core_.info().string(QStringLiteral("TMLandAckLink"))) {
            print(QStringLiteral("Learn more about territory acknowledgements: %1").arg(*link));
        }
    }
}

}  // namespace Tidemark
