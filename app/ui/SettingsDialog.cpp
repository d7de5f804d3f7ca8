#include "SettingsDialog.h"

#include "BuildConfig.h"
#include "Records.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <tuple>

namespace Tidemark {

namespace {

// A link to a service's own site, where its key is had.
QLabel* siteLink(const QString& text, const char* address, QWidget* parent) {
    const QUrl url(QString::fromUtf8(address));
    const QString home = url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString() + QLatin1Char('/');
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>").arg(home.toHtmlEscaped(), text.toHtmlEscaped()), parent);
    label->setOpenExternalLinks(true);  // an address of this build, not of a service's answer
    label->setWordWrap(true);
    label->setToolTip(home);
    return label;
}

// A form label as a field's name for screen readers: without its mnemonic and its colon.
QString fieldName(const QString& label) {
    return QString(label).remove(QLatin1Char('&')).remove(QRegularExpression(QStringLiteral("[\\s\\x{00a0}]*:$")));
}

// A secret field with its Show toggle, under the form's `label`; both named for screen readers (the form
// labels the row, not the field inside it).
QWidget* secretRow(QLineEdit* field, const QString& label, QWidget* parent) {
    const QString name = fieldName(label);
    field->setAccessibleName(name);
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    field->setEchoMode(QLineEdit::Password);
    field->setMaxLength(512);
    field->setMinimumWidth(200);
    auto* show = new QCheckBox(QCoreApplication::translate("Tidemark", "Show"), row);
    show->setAccessibleName(QCoreApplication::translate("Tidemark", "Show %1").arg(name));
    QObject::connect(show, &QCheckBox::toggled, field,
                     [field](bool on) { field->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    layout->addWidget(field);
    layout->addWidget(show);
    return row;
}

// One service's rows: its secret field under `label`, a link to the site where it is had, and its Test
// button with the result beside it.
void addKeyRows(QFormLayout* form, QLineEdit* field, const QString& label, const QString& siteText,
                const char* site, QPushButton* test, QLabel* result, QWidget* parent) {
    form->addRow(label, secretRow(field, label, parent));
    form->addRow(QString(), siteLink(siteText, site, parent));
    result->setWordWrap(true);
    auto* row = new QHBoxLayout();
    row->addWidget(test);
    row->addWidget(result, 1);
    form->addRow(QString(), row);
}

}  // namespace

SettingsDialog::SettingsDialog(AppCore& core, KeyStore& keyStore, Preferences* preferences, QWidget* parent)
    : ScrollingDialog(parent), core_(core), keyStore_(keyStore), preferences_(preferences) {
    setWindowTitle(QCoreApplication::translate("Tidemark", "Tidemark Settings"));
    auto* outer = new QVBoxLayout(body());
    firstStart_ = new QLabel(QCoreApplication::translate("Tidemark",
                                                         "To say on whose land a meeting's server stands, Tidemark asks a "
                                                         "territory service, which needs a free API key. Enter yours here and "
                                                         "press Test; you can also do it later."),
                             this);
    firstStart_->setWordWrap(true);
    firstStart_->hide();
    outer->addWidget(firstStart_);
    auto* form = new QFormLayout();
    outer->addLayout(form);

    territoryKey_ = new QLineEdit(core_.keys().territoryKey, this);
    testTerritory_ = new QPushButton(QCoreApplication::translate("Tidemark", "&Test"), this);
    territoryResult_ = new QLabel(this);
    addKeyRows(form, territoryKey_, QCoreApplication::translate("Tidemark", "Territory service API &key:"),
               QCoreApplication::translate("Tidemark",
                                           "Get a free key from the territory service's site (an account is needed)"),
               BuildConfig::territoryBaseAddress, testTerritory_, territoryResult_, this);

    ipInfoToken_ = new QLineEdit(core_.keys().ipInfoToken, this);
    testIpInfo_ = new QPushButton(QCoreApplication::translate("Tidemark", "T&est"), this);
    ipInfoResult_ = new QLabel(this);
    addKeyRows(form, ipInfoToken_, QCoreApplication::translate("Tidemark", "IP-information t&oken:"),
               QCoreApplication::translate("Tidemark", "Get a token of your own from the IP-information service's site "
                                                       "(optional: without one, Tidemark uses its own, shared by every "
                                                       "user)"),
               BuildConfig::ipInfoBaseAddress, testIpInfo_, ipInfoResult_, this);

    // A key from the environment or a key file is used whatever is typed here.
    for (auto [fixed, field, variable] : {std::tuple{core_.territoryKeyFixed(), territoryKey_, "TIDEMARK_TERRITORY_KEY"},
                                          std::tuple{core_.ipInfoTokenFixed(), ipInfoToken_, "TIDEMARK_IPINFO_TOKEN"}}) {
        if (!fixed) continue;
        field->setReadOnly(true);
        field->setToolTip(QCoreApplication::translate("Tidemark", "Set by %1 or a key file when Tidemark was started.").arg(QString::fromLatin1(variable)));
    }

    if (preferences_) {
        auto* services = new QGroupBox(QCoreApplication::translate("Tidemark", "Meeting services to watch"), this);
        auto* servicesLayout = new QVBoxLayout(services);
        const ServiceSet watched = core_.monitor().services();
        for (std::size_t i = 0; i < meetingServiceCount; ++i) {
            const MeetingService& service = meetingServices[i];
            auto* box = new QCheckBox(QCoreApplication::translate("Tidemark", "%1 (UDP %2)")
                                          .arg(QString::fromUtf8(service.name), Preferences::ports(service)),
                                      services);
            box->setChecked(watched & (ServiceSet{1} << i));
            servicesLayout->addWidget(box);
            serviceBoxes_.push_back(box);
        }
        outer->addWidget(services);
    }

    if (preferences_) outer->addWidget(placeGroup());

    if (preferences_) {
        auto* starting = new QGroupBox(QCoreApplication::translate("Tidemark", "Starting"), this);
        auto* startingLayout = new QVBoxLayout(starting);
        startAtLogin_ = new QCheckBox(QCoreApplication::translate("Tidemark", "Start Tidemark when you log &in"), starting);
        startAtLogin_->setChecked(preferences_->startAtLogin());
        startInTray_ = new QCheckBox(QCoreApplication::translate("Tidemark", "Start &hidden in the tray"), starting);
        startInTray_->setChecked(preferences_->startInTray());
        startingLayout->addWidget(startAtLogin_);
        startingLayout->addWidget(startInTray_);
        outer->addWidget(starting);
    }

    storage_ = new QLabel(this);
    storage_->setWordWrap(true);
    outer->addWidget(storage_);
    storage_->setText(QCoreApplication::translate("Tidemark", "Finding where keys are kept…"));
    // The store may answer after the dialog has closed.
    keyStore_.load([this, guard = QPointer<SettingsDialog>(this)](ServiceKeys, KeyStore::Place place) {
        if (guard) showPlace(place);
    });

    auto* saved = new QHBoxLayout();
    clear_ = new QPushButton(QCoreApplication::translate("Tidemark", "C&lear Saved Answers"), this);
    cleared_ = new QLabel(QCoreApplication::translate("Tidemark", "%n saved answers", "answers kept from earlier lookups", int(core_.store().answerCount())), this);
    saved->addWidget(clear_);
    saved->addWidget(cleared_, 1);
    outer->addLayout(saved);
    connect(clear_, &QPushButton::clicked, this, [this] {
        cleared_->setText(core_.store().clearAnswers() ? QCoreApplication::translate("Tidemark", "Saved answers cleared.")
                                                       : QCoreApplication::translate("Tidemark", "No saved answers could be cleared."));
    });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    setButtons(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(testTerritory_, &QPushButton::clicked, this, &SettingsDialog::testTerritory);
    connect(testIpInfo_, &QPushButton::clicked, this, &SettingsDialog::testIpInfo);
}

void SettingsDialog::askForTheKey() {
    firstStart_->show();
    territoryKey_->setFocus();
}

bool SettingsDialog::askingForTheKey() const { return firstStart_->isVisibleTo(this); }

void SettingsDialog::showPlace(KeyStore::Place place) {
    storage_->setText(place == KeyStore::Place::secretStore
                          ? QCoreApplication::translate("Tidemark", "Keys are kept in the desktop's secret store.")
                          : QCoreApplication::translate("Tidemark", "No secret store is running: keys are kept in %1, which only you can read.")
                                .arg(QDir::toNativeSeparators(keyStore_.fallbackPath())));
}

void SettingsDialog::testTerritory() {
    territoryResult_->setText(QCoreApplication::translate("Tidemark", "Testing…"));
    testTerritory_->setEnabled(false);
    core_.testTerritoryKey(territoryKey_->text().trimmed(), [this, guard = QPointer<SettingsDialog>(this)](const QString& verdict) {
        if (!guard) return;
        testTerritory_->setEnabled(true);
        territoryResult_->setText(verdict);
    });
}

void SettingsDialog::testIpInfo() {
    ipInfoResult_->setText(QCoreApplication::translate("Tidemark", "Testing…"));
    testIpInfo_->setEnabled(false);
    core_.testIpInfoToken(ipInfoToken_->text().trimmed(), [this, guard = QPointer<SettingsDialog>(this)](const QString& verdict) {
        if (!guard) return;
        testIpInfo_->setEnabled(true);
        ipInfoResult_->setText(verdict);
    });
}

QGroupBox* SettingsDialog::placeGroup() {
    auto* group = new QGroupBox(QCoreApplication::translate("Tidemark", "Your place"), this);
    auto* layout = new QVBoxLayout(group);
    auto* about = new QLabel(QCoreApplication::translate("Tidemark",
                                                         "Tidemark can also name the traditional territory of the place you "
                                                         "join meetings from. Nothing about your place is sent until you set "
                                                         "one; then its position goes to the territory service while a meeting "
                                                         "goes on."),
                             group);
    about->setWordWrap(true);
    layout->addWidget(about);
    auto* form = new QFormLayout();
    position_ = new QLineEdit(group);
    position_->setMaxLength(64);
    position_->setPlaceholderText(QStringLiteral("45.5, -73.6"));
    if (const auto& place = core_.ownPlace()) {
        position_->setText(place->position);
        named_ = *place;
    }
    const QString positionLabel = QCoreApplication::translate("Tidemark", "Your &position (latitude, longitude):");
    position_->setAccessibleName(fieldName(positionLabel));
    form->addRow(positionLabel, position_);
    known_ = new QComboBox(group);
    known_->addItem(QCoreApplication::translate("Tidemark", "Pick a place looked up before…"));
    for (const OwnPlace& place : core_.knownPlaces()) {
        known_->addItem(QStringLiteral("%1 (%2)").arg(place.name.isEmpty() ? place.position : place.name, place.position),
                        QVariant::fromValue(QStringList{place.position, place.name}));
    }
    known_->setEnabled(known_->count() > 1);
    const QString knownLabel = QCoreApplication::translate("Tidemark", "&From saved answers:");
    known_->setAccessibleName(fieldName(knownLabel));
    form->addRow(knownLabel, known_);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout();
    askPlace_ = new QPushButton(QCoreApplication::translate("Tidemark", "Ask Where My Public &Address Is"), group);
    noPlace_ = new QPushButton(QCoreApplication::translate("Tidemark", "&No Place"), group);
    buttons->addWidget(askPlace_);
    buttons->addWidget(noPlace_);
    buttons->addStretch();
    layout->addLayout(buttons);
    placeResult_ = new QLabel(QCoreApplication::translate("Tidemark",
                                                          "Ask Where My Public Address Is sends one request to %1, which sees "
                                                          "this computer's public address and answers with a position near it.")
                                  .arg(QUrl(QString::fromUtf8(BuildConfig::ipInfoBaseAddress)).host()),
                              group);
    placeResult_->setWordWrap(true);
    layout->addWidget(placeResult_);

    connect(known_, &QComboBox::activated, this, [this](int index) {
        const QStringList chosen = known_->itemData(index).toStringList();
        if (chosen.size() != 2) return;
        named_ = OwnPlace{chosen[0], chosen[1]};
        position_->setText(chosen[0]);
    });
    connect(noPlace_, &QPushButton::clicked, this, [this] {
        position_->clear();
        named_.reset();
    });
    connect(askPlace_, &QPushButton::clicked, this, [this] {
        askPlace_->setEnabled(false);
        placeResult_->setText(QCoreApplication::translate("Tidemark", "Asking…"));
        core_.askOwnPlace([this, guard = QPointer<SettingsDialog>(this)](std::optional<OwnPlace> place, const QString& why) {
            if (!guard) return;
            askPlace_->setEnabled(true);
            if (!place) {
                placeResult_->setText(QCoreApplication::translate("Tidemark", "No position: %1.").arg(why));
                return;
            }
            named_ = place;
            position_->setText(place->position);
            placeResult_->setText(QCoreApplication::translate("Tidemark", "The service places this computer near %1; save to use it.")
                                      .arg(place->name.isEmpty() ? place->position : place->name));
        });
    });
    return group;
}

std::optional<std::optional<OwnPlace>> SettingsDialog::chosenPlace() const {
    // An empty field is no place, as "none" is.
    if (!position_ || position_->text().trimmed().isEmpty()) return std::optional<OwnPlace>{};
    auto place = OwnPlace::parse(position_->text());
    // The name of a place picked or asked for, as long as its position was not changed by hand.
    if (place && *place && named_ && named_->position == (*place)->position) (*place)->name = named_->name;
    return place;
}

void SettingsDialog::save() {
    const auto place = chosenPlace();
    if (!place) {
        placeResult_->setText(QCoreApplication::translate("Tidemark", "Your place needs a latitude (-90 to 90) and a longitude "
                                                                      "(-180 to 180), such as 45.5, -73.6; or none."));
        position_->setFocus();
        return;
    }
    core_.saveKeys({territoryKey_->text().trimmed(), ipInfoToken_->text().trimmed()});
    ServiceSet services = 0;
    for (std::size_t i = 0; i < serviceBoxes_.size(); ++i) {
        if (serviceBoxes_[i]->isChecked()) services |= ServiceSet{1} << i;
    }
    if (preferences_ && services != 0) {  // none ticked: the choice stays as it was
        preferences_->setWatchedServices(services);
        core_.setServices(services);
    }
    if (preferences_) {
        if (!preferences_->setStartAtLogin(startAtLogin_->isChecked(), QCoreApplication::applicationFilePath())) {
            core_.state().appendLog(QStringLiteral("The autostart entry could not be changed: ") + Preferences::defaultAutostartPath());
        }
        preferences_->setStartInTray(startInTray_->isChecked());
        if (*place != core_.ownPlace()) {
            preferences_->setOwnPlace(*place);
            core_.setOwnPlace(*place);
        }
    }
    accept();
}

}  // namespace Tidemark
