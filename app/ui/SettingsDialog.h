#pragma once

#include "AppCore.h"
#include "Preferences.h"
#include "ScrollingDialog.h"
#include "ServiceKeys.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Tidemark {

// The services' keys (each with where to get it, a Show toggle and a Test that asks the service once),
// where they are kept, the services watched, the user's own place, starting at login or in the tray, and
// "Clear saved answers".
class SettingsDialog : public ScrollingDialog {
    Q_OBJECT

public:
    // Without preferences, the services cannot be chosen here.
    SettingsDialog(AppCore& core, KeyStore& keyStore, Preferences* preferences = nullptr, QWidget* parent = nullptr);

    QLineEdit* territoryKeyField() const { return territoryKey_; }
    QLineEdit* ipInfoTokenField() const { return ipInfoToken_; }
    QPushButton* testTerritoryButton() const { return testTerritory_; }
    QPushButton* testIpInfoButton() const { return testIpInfo_; }
    QLabel* territoryResult() const { return territoryResult_; }
    QLabel* ipInfoResult() const { return ipInfoResult_; }
    QLabel* storageNote() const { return storage_; }
    QPushButton* clearButton() const { return clear_; }
    QCheckBox* startAtLoginBox() const { return startAtLogin_; }
    QCheckBox* startInTrayBox() const { return startInTray_; }
    // The first start: a word on why the territory key is needed, and its field focused.
    void askForTheKey();
    bool askingForTheKey() const;
    const std::vector<QCheckBox*>& serviceBoxes() const { return serviceBoxes_; }
    QLineEdit* positionField() const { return position_; }
    QComboBox* knownPlaces() const { return known_; }
    QPushButton* askPlaceButton() const { return askPlace_; }
    QLabel* placeResult() const { return placeResult_; }

    // Keeps the keys (accept()): in use at once, stored where the desktop allows.
    void save();


private:
    void testTerritory();
    void testIpInfo();
    void showPlace(KeyStore::Place place);
    // Where the user joins from: a position typed, picked from saved answers or asked for.
    QGroupBox* placeGroup();
    // The place in the field: a place, none (empty), or nothing valid.
    std::optional<std::optional<OwnPlace>> chosenPlace() const;

    AppCore& core_;
    KeyStore& keyStore_;
    Preferences* preferences_;
    std::vector<QCheckBox*> serviceBoxes_;
    QLineEdit* territoryKey_;
    QLineEdit* ipInfoToken_;
    QPushButton* testTerritory_;
    QPushButton* testIpInfo_;
    QLabel* territoryResult_;
    QLabel* ipInfoResult_;
    QLabel* storage_;
    QPushButton* clear_;
    QLabel* cleared_;
    QLabel* firstStart_;
    QCheckBox* startAtLogin_ = nullptr;
    QCheckBox* startInTray_ = nullptr;
    QLineEdit* position_ = nullptr;
    QComboBox* known_ = nullptr;
    QPushButton* askPlace_ = nullptr;
    QPushButton* noPlace_ = nullptr;
    QLabel* placeResult_ = nullptr;
    std::optional<OwnPlace> named_;  // the place last picked or asked for, with its name
};

}  // namespace Tidemark
