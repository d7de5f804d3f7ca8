#pragma once

#include "AppCore.h"
#include "ServiceKeys.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Tidemark {

// The services' keys (each with where to get it, a Show toggle and a Test that asks the service once),
// where they are kept, and "Clear saved answers".
class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    SettingsDialog(AppCore& core, KeyStore& keyStore, QWidget* parent = nullptr);

    QLineEdit* territoryKeyField() const { return territoryKey_; }
    QLineEdit* ipInfoTokenField() const { return ipInfoToken_; }
    QPushButton* testTerritoryButton() const { return testTerritory_; }
    QPushButton* testIpInfoButton() const { return testIpInfo_; }
    QLabel* territoryResult() const { return territoryResult_; }
    QLabel* ipInfoResult() const { return ipInfoResult_; }
    QLabel* storageNote() const { return storage_; }
    QPushButton* clearButton() const { return clear_; }

    // Keeps the keys (accept()): in use at once, stored where the desktop allows.
    void save();

    // What one test request's reply says about a key, in words for the dialog.
    static QString verdict(const WebReply& reply, bool bodyValid);

private:
    void testTerritory();
    void testIpInfo();
    void showPlace(KeyStore::Place place);

    AppCore& core_;
    KeyStore& keyStore_;
    QLineEdit* territoryKey_;
    QLineEdit* ipInfoToken_;
    QPushButton* testTerritory_;
    QPushButton* testIpInfo_;
    QLabel* territoryResult_;
    QLabel* ipInfoResult_;
    QLabel* storage_;
    QPushButton* clear_;
    QLabel* cleared_;
};

}  // namespace Tidemark
