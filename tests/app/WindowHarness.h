#pragma once

// The application's core and shell with the platform replaced: capture runs the test decides, a save
// path the test sets, links and boxes recorded instead of opened.
#include "AppCore.h"
#include "AppDelegate.h"
#include "FakeCapture.h"

#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

#include <optional>
#include <vector>

namespace {

using namespace Tidemark;

struct QuietPrompt final : PermissionPrompt {
    bool askToGrant(const QString&) override { return false; }
};
struct NoRunner final : PrivilegedRunner {
    void run(const QString&, std::function<void(PrivilegedOutcome)>) override {}
};

// As the package ships it: no update feed and no contact address configured.
inline InfoDictionary shippedInfo() {
    return InfoDictionary(QJsonObject{{"CFBundleShortVersionString", "0.1.0"},
                                      {"TMLandAckLink", "https://native-land.ca/resources/territory-acknowledgement/"},
                                      {"TMDevContactLink", ""},
                                      {"SUFeedURL", ""}});
}

struct Window {
    explicit Window(InfoDictionary info = shippedInfo()) : Window(quiet, defaults(), std::move(info)) {}
    Window(PermissionPrompt& prompt, AppCoreOptions options, InfoDictionary info = shippedInfo())
        : core(std::move(info), prompt, runner, completed(std::move(options))),
          delegate(core, AppDelegate::Platform{
                             [this](QWidget*) { return savePath; },
                             [this](const QUrl& url) { opened.push_back(url.toString()); },
                             [this](QWidget*, const UpdateResult& result) { updates.push_back(result); },
                             [this](QMessageBox& box) {
                                 boxes.push_back(box.text());
                                 if (onBox) onBox(box);
                             },
                         }) {}

    static AppCoreOptions defaults() { return AppCoreOptions{}; }
    AppCoreOptions completed(AppCoreOptions o) {
        if (!o.capture) o.capture = capture.factory();
        return o;
    }

    void launch() { delegate.applicationDidFinishLaunching(); }
    QMainWindow& main() { return *delegate.mainWindow(); }
    ContentView& view() { return *delegate.contentView(); }
    QStringList log() { return core.state().statusText().split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QSize settledSize() {
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        return main().size();
    }
    void showLocated(const QString& sentence, std::vector<Territory> territories, QString org = {}) {
        DisplayState& state = core.state();
        state.setGeo(Geo{"192.0.2.7", "45.5,-73.5", "Montreal", "Quebec", "CA", std::move(org)});
        state.setTerritories(std::move(territories));
        state.setMainText(sentence);
        state.setStatusColor(StatusColor::green);
    }
    // The menu-bar item whose text, without its mnemonic, is `text`; null when it is not offered.
    QAction* menuAction(const QString& text) {
        for (QAction* menu : main().menuBar()->actions()) {
            for (QAction* action : menu->menu()->actions()) {
                if (QString(action->text()).remove(QLatin1Char('&')) == text) return action;
            }
        }
        return nullptr;
    }
    // What the last save or copy said, shown under the content.
    QString statusMessage() { return view().messageLabel()->isVisibleTo(&main()) ? view().messageLabel()->text() : QString(); }
    void screenshot(const QString& name) {
        QDir().mkpath(QStringLiteral(TIDEMARK_ARTIFACT_DIR));
        QApplication::processEvents();
        main().grab().save(QStringLiteral(TIDEMARK_ARTIFACT_DIR "/%1.png").arg(name));
    }

    FakeCapture capture;
    QuietPrompt quiet;
    NoRunner runner;
    std::optional<QString> savePath;
    std::vector<QString> opened;
    std::vector<UpdateResult> updates;
    std::vector<QString> boxes;
    std::function<void(QMessageBox&)> onBox;
    AppCore core;
    AppDelegate delegate;
};

inline const QString sentence = QStringLiteral(
    "The Zoom stream to your computer is coming from a server with the IP address 192.0.2.7, based in Montreal, "
    "Quebec, CA. The land on which that server sits is the traditional territory of the following people:");

inline std::vector<Territory> threeTerritories() {
    return {{"a", {QString::fromUtf8("Kanien'kehá:ka"), "https://native-land.ca/maps/territories/kanienkehaka/"}, "F"},
            {"b", {QString::fromUtf8("Omàmìwininìwak"), "https://native-land.ca/maps/territories/omamiwininiwak/"}, "F"},
            {"c", {"Wendat", "https://native-land.ca/maps/territories/wendat/"}, "F"}};
}

}  // namespace
