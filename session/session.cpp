#include "session.h"

#include <QDir>

#include "data_folder.h"
#include "menus.h"

namespace zt {

Session::Session(SessionDeps deps, QObject* parent)
    : QObject(parent), dataFolder_(deps.dataFolder.isEmpty() ? DataFolder() : deps.dataFolder) {
  lang_ = std::make_unique<LangMan>();
  lang_->setObjectName(QStringLiteral("LangMan"));
  // The engine starts in its default language, English, when its file is there.
  if (!deps.langDir.isEmpty()) lang_->loadLanguages(deps.langDir);
  const Lexicons* lex = &lang_->lexicons();

  link_ = std::make_unique<MeterLink>(MeterLinkDeps{deps.portLookup, deps.ble, deps.linkTimings});
  capture_ = std::make_unique<LinkCapture>();
  link_->setTap(capture_.get());
  meter_ = std::make_unique<MeterState>(link_.get(), lex);
  meter_->setSeparators(deps.separators);
  meter_->setMenuItemTranslator(MenuItemsOf(lang_.get()));
  settings_ = std::make_unique<SettingsStore>(dataFolder_);
  book_ = std::make_unique<ProfileBook>(settings_.get());
  book_->setLexicons(lex);
  book_->setSeparators(deps.separators);
  recorder_ = std::make_unique<Recorder>(book_.get());
  recorder_->setLexicons(lex);
  recorder_->setSeparators(deps.separators);
  journal_ = std::make_unique<Journal>(recorder_.get(), QDir(dataFolder_).filePath(QStringLiteral("journal")));
  journal_->setLexicons(lex);
  wire();
}

Session::~Session() = default;

void Session::report(const SettingsWrite& w) {
  if (!w.ok) emit notice(NoticeLevel::Critical, w.message);
}

bool Session::profileInUse() const {
  return profileSettings_.has_value() && profilePath_ == book_->currentProfilePath();
}

void Session::setIntervalOnLink(std::optional<int> intervalItem) { intervalOnLink_ = intervalItem; }

bool Session::hasLinkSettings() const { return profileInUse() || intervalOnLink_.has_value(); }

bool Session::sendLinkSettings() {
  if (profileInUse()) {
    MeterSettings s = *profileSettings_;
    if (intervalOnLink_) {
      if (const auto code = IntervalCodeOfItem(*intervalOnLink_)) s.IntervalCode = *code;
    }
    meter_->applyProfileSettings(s);
  } else if (intervalOnLink_) {
    meter_->chooseInterval(*intervalOnLink_);
  } else {
    return false;
  }
  emit linkSettingsSent(meter_->settings());
  return true;
}

void Session::readingShown() {
  if (linkSettings_ != LinkSettings::AwaitReading) return;
  linkSettings_ = LinkSettings::None;
  const bool profile = profileInUse();
  if (!sendLinkSettings() || !profile) return;
  emit statusLine(lang_->lexicons().D4[msg::kProfileSettingsResent].arg(profileNumber_));
}

bool Session::onDemandAllowed() const {
  return !link_->inputHeld() && meter_->mode() == WorkMode::Measuring && link_->linkUp() && !meter_->asleep();
}

bool Session::recordButtonEnabled() const { return recorder_->recording() || meter_->view().recordEnabled; }

void Session::updateRecordButton() {
  const bool enabled = recordButtonEnabled();
  if (enabled == recordButtonEnabled_) return;
  recordButtonEnabled_ = enabled;
  emit recordButtonEnabledChanged(enabled);
}

void Session::wire() {
  MeterLink* link = link_.get();
  MeterState* meter = meter_.get();
  SettingsStore* settings = settings_.get();
  ProfileBook* book = book_.get();
  Recorder* recorder = recorder_.get();

  // Frames from either transport to the meter's state; its readings to the
  // recorder, whose verdict colours the panel.
  connect(link, &MeterLink::frameReceived, meter, &MeterState::processFrame);
  connect(meter, &MeterState::rlcReading, recorder, &Recorder::takeReading);
  connect(recorder, &Recorder::verdict, meter, [meter](const Verdict& v) { meter->setVerdict(v.SortResult); });

  // The link's life cycle as the meter's state follows it.
  connect(link, &MeterLink::linkCameUp, meter, &MeterState::linkUp);
  connect(link, &MeterLink::settled, meter, &MeterState::wakeUp);
  connect(link, &MeterLink::linkWentDown, meter, &MeterState::linkDown);
  connect(link, &MeterLink::portClosing, meter, &MeterState::portClosing);
  connect(link, &MeterLink::portError, meter, [meter] { meter->portError(); });
  connect(link, &MeterLink::linkEvent, meter, [meter](LinkEvent e) {
    // The dongle's answers to a connect attempt: no recording until a link is up.
    if (e == LinkEvent::Connecting || e == LinkEvent::ConnectFailed || e == LinkEvent::NoConnection)
      meter->recordingBlocked();
  });

  // A link that comes up gets the settings of the profile in use (and the
  // interval asked for) once the meter has answered the wake-up. After the
  // recorder's connection above: the reading is offered to the log first.
  connect(link, &MeterLink::linkCameUp, this, [this] { linkSettings_ = LinkSettings::AwaitSettled; });
  connect(link, &MeterLink::settled, this, [this] {
    if (linkSettings_ == LinkSettings::AwaitSettled) linkSettings_ = LinkSettings::AwaitReading;
  });
  connect(link, &MeterLink::linkCleared, this, [this] { linkSettings_ = LinkSettings::None; });
  connect(meter, &MeterState::rlcReading, this, &Session::readingShown);

  // The profile book and the meter's state.
  book->setLiveMeter({[meter] { return meter->settings(); }, [meter] { return meter->model(); }});
  connect(book, &ProfileBook::settingsRead, this, [this](const MeterSettings& s) {
    profileSettings_ = s;
    profileNumber_ = book_->currentNumber();
    profilePath_ = book_->currentProfilePath();
  });
  connect(book, &ProfileBook::settingsRead, meter, &MeterState::applyProfileSettings);
  recorder->setOnDemandGate([this] { return onDemandAllowed(); });
  recordButtonEnabled_ = recordButtonEnabled();
  connect(meter, &MeterState::panelChanged, this, &Session::updateRecordButton);
  connect(recorder, &Recorder::recordingChanged, this, &Session::updateRecordButton);

  // 1.dat: what it names goes to its owners; what they change goes back. A
  // file that gets its first field gets the language in use with it.
  settings->setLanguageInUse([this] { return std::int32_t(lang_->currentIndex()); });
  connect(settings, &SettingsStore::autoConnectLoaded, link, &MeterLink::setAutoConnect);
  connect(settings, &SettingsStore::modelLoaded, meter, &MeterState::restoreModel);
  connect(settings, &SettingsStore::languageIndexLoaded, this, [this](std::int32_t index) {
    // 1 makes English the default language, anything else the design language.
    lang_->setDefaultLanguage(index == 1 ? QStringLiteral("English") : LangMan::designLanguageName());
    emit languageIndexLoaded(index);
  });
  connect(link, &MeterLink::autoConnectChanged, this, [this](bool on) { report(settings_->SaveAutoConnect(on)); });
  connect(meter, &MeterState::modelChanged, this, [this](std::uint8_t model, bool) {
    settings_->setMeterModel(model);
    report(settings_->SaveMeterModel(model));
  });

  // A language picked by the operator: stored, and the dongle lets go of the
  // meter (it reconnects by itself with the poll). After the switch every
  // controller rebuilds the texts that follow the language.
  connect(lang_.get(), &LangMan::changeLangQuery, this, [this](int index, bool*) {
    report(settings_->SaveLanguageIndex(index));
    link_->languageChanged();
  });
  connect(lang_.get(), &LangMan::languageChanged, this, [this] {
    meter_->languageChanged();
    book_->languageChanged();
    recorder_->languageChanged();
  });

  // The journal hears of the link's losses and returns; the recorder's rows
  // and events it takes from the recorder itself.
  Journal* journal = journal_.get();
  connect(link, &MeterLink::linkCameUp, journal, &Journal::linkUp);
  connect(link, &MeterLink::linkWentDown, journal, &Journal::linkDown);
  connect(link, &MeterLink::linkCleared, journal, &Journal::linkDown);

  connect(book, &ProfileBook::notice, this, &Session::notice);
  connect(recorder, &Recorder::notice, this, &Session::notice);
  connect(journal, &Journal::notice, this, &Session::notice);
}

std::int32_t Session::start() {
  link_->start();
  return book_->LoadSettingsFile();
}

void Session::restoreJournal() {
  // After 1.dat: a multi-part table is built from the profile file it names.
  const QString line = journal_->restore();
  if (!line.isEmpty()) emit journalRestored(line);
}

}  // namespace zt
