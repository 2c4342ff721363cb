#include "meter_state.h"

#include <QDateTime>

#include "lang_man.h"
#include "lng_file.h"

namespace zt {

MenuItemTranslator MenuItemsOf(const LangMan* engine, const QString& owner) {
  return [engine, owner](Menu m, int item, const QString& design) {
    if (!engine) return design;
    return engine->translation(owner, MenuListName(m), LngListItem, item).value_or(design);
  };
}

// A slot's changes are published as one, when the outermost slot returns (a
// verdict set while a frame is being shown joins that frame's panel).
MeterState::Publish::Publish(MeterState* s) : s_(s) { ++s_->batch_; }
MeterState::Publish::~Publish() {
  if (--s_->batch_ == 0) s_->publish();
}

MeterState::MeterState(MeterChannel* channel, const Lexicons* lexicons, QObject* parent)
    : QObject(parent), channel_(channel), lex_(lexicons ? lexicons : &Lexicons::russian()) {
  t33_.setObjectName(QStringLiteral("T33"));
  t34_.setObjectName(QStringLiteral("T34"));
  t33_.setInterval(timings_.noDataMs);
  t34_.setInterval(timings_.wakeRepeatMs);
  connect(&t33_, &QTimer::timeout, this, &MeterState::noDataTimeout);
  connect(&t34_, &QTimer::timeout, this, [this] { SendSpecialCommand(kCmdWakeUp); });

  // As the window is created: defaults shown, lists selected, the model applied.
  const PanelContext ctx = context();
  state_.view.source = InitialSourceCaption(*lex_);
  BuildMenus(state_, ctx);
  LoadDefaultSettings(state_, *lex_);
  ShowSettingsInLists(state_);
  ApplyModel(state_, ctx);
  published_ = state_.view;
}

// ---------------------------------------------------------------- configuration

void MeterState::setLexicons(const Lexicons* lexicons) {
  lex_ = lexicons ? lexicons : &Lexicons::russian();
  languageChanged();
}

void MeterState::setMenuItemTranslator(MenuItemTranslator translate) {
  translate_ = std::move(translate);
  languageChanged();
}

void MeterState::setSeparators(const Separators& separators) { sep_ = separators; }

void MeterState::setTimings(const MeterStateTimings& timings) {
  timings_ = timings;
  t33_.setInterval(timings_.noDataMs);
  t34_.setInterval(timings_.wakeRepeatMs);
}

PanelContext MeterState::context() const { return PanelContext{TextEnv{*lex_, sep_}, &translate_}; }

void MeterState::publish() {
  if (state_.view == published_) return;
  published_ = state_.view;
  emit panelChanged(published_);
}

// ---------------------------------------------------------------- commands

bool MeterState::canSendSettings() const {
  return channel_ && channel_->linkUp() && state_.mode == WorkMode::Measuring;
}

void MeterState::beginChange() {
  // Frames are held back only for a change that will reach the meter: one
  // that goes nowhere would never be answered, and nothing would end the wait.
  if (canSendSettings()) channel_->holdInput();
}

void MeterState::releaseUnlessPending() {
  // A command sent moments ago keeps its own short hold until the meter has
  // had time to take it.
  if (channel_ && transmitSettles_.hasExpired()) channel_->releaseInput();
}

bool MeterState::transmit(const CommandFrame& frame) {
  if (!channel_) return false;
  const bool taken = channel_->transmit(frame);
  // The channel's release timer keeps its schedule while it runs.
  if (transmitSettles_.hasExpired()) transmitSettles_.setRemainingTime(timings_.transmitSettleMs);
  return taken;
}

bool MeterState::SendSettingsCommand() {
  if (!canSendSettings()) {
    releaseUnlessPending();
    return false;
  }
  return transmit(BuildSettingsCommand(state_.settings, state_.view.brightness));
}

bool MeterState::SendSpecialCommand(std::uint8_t code) {
  return transmit(BuildSpecialCommand(code, state_.view.brightness));
}

// ---------------------------------------------------------------- frames

void MeterState::processFrame(const Frame& frame) {
  const Publish batch(this);
  FrameOutcome o = ProcessFrame(state_, frame, context());
  if (!o.accepted) return;
  state_ = std::move(o.state);
  t34_.stop();
  if (o.sleepRepeat) t34_.start();
  if (o.modelSelected) emit modelChanged(state_.model, false);
  if (o.displayed) {
    t33_.stop();
    t33_.start();
  }
  if (o.reading) {
    o.reading->time = QDateTime::currentDateTime();
    emit rlcReading(*o.reading);
  }
}

void MeterState::noDataTimeout() {
  const Publish batch(this);
  // No frame for a while: the readings are stale. Repeats until frames return.
  PanelView& p = state_.view;
  p.sleepVisible = false;
  p.secondaryReading.clear();
  p.primaryReading.clear();
  for (QString& r : p.right) r.clear();
  emit readingsStale();
}

// ---------------------------------------------------------------- menus

void MeterState::openMenu(Menu menu) {
  const Publish batch(this);
  state_.view.menu(menu).open = true;
  // Frames must not redraw the panel under the operator's hand.
  if (channel_) channel_->holdInput();
}

void MeterState::chooseMenuItem(Menu menu, int item) {
  const Publish batch(this);
  const MenuView& list = state_.view.menu(menu);
  if (item < 0 || item >= list.items.size()) return;  // no item: nothing changes, nothing is sent
  beginChange();
  ChooseMenuItem(state_, menu, item, *lex_);
  SendSettingsCommand();
}

void MeterState::closeMenus() {
  const Publish batch(this);
  for (MenuView& m : state_.view.menus) m.open = false;
  if (channel_) channel_->releaseInput();
}

void MeterState::menuListLeft(Menu menu) {
  if (menu != Menu::Frequency) closeMenus();
}

void MeterState::frequencyListEntered() { frequencyCloseArmed_ = true; }

void MeterState::displayPanelEntered(DisplayPanel panel) {
  if (panel == DisplayPanel::Rlc) {
    if (!frequencyCloseArmed_) return;
    frequencyCloseArmed_ = false;  // until the pointer is in the frequency list again
  }
  closeMenus();
}

// ---------------------------------------------------------------- function buttons

void MeterState::setBrightness(bool down) {
  const Publish batch(this);
  beginChange();
  state_.view.brightness = down;  // travels in byte 0 of the command
  SendSettingsCommand();
}

void MeterState::setHold(bool down) {
  const Publish batch(this);
  beginChange();
  state_.settings.Hold = down ? 1 : 0;
  state_.view.hold = down;
  state_.view.recordEnabled = !down && state_.mode != WorkMode::EditingProfile;
  SendSettingsCommand();
}

void MeterState::setSound(bool down) {
  const Publish batch(this);
  beginChange();
  state_.settings.Sound = down ? 1 : 0;
  state_.view.sound = down;
  SendSettingsCommand();
}

void MeterState::loadDefaults() {
  const Publish batch(this);
  beginChange();
  LoadDefaultSettings(state_, *lex_);
  SendSettingsCommand();
}

void MeterState::sendSpecial(std::uint8_t code) {
  // The meter has no voltage/current mode on ZT41.
  if (code == kCmdModeU && state_.model != kZT40 && state_.model != kZT42) return;
  SendSpecialCommand(code);
}

void MeterState::intervalDropDown() {
  intervalPicked_ = false;
  if (channel_) channel_->holdInput();
}

void MeterState::chooseInterval(int item) {
  const Publish batch(this);
  intervalPicked_ = true;
  beginChange();
  if (auto code = IntervalCodeOfItem(item)) {
    state_.settings.IntervalCode = *code;
    state_.view.intervalItem = item;
  }
  SendSettingsCommand();
}

void MeterState::intervalClosed() {
  // Closed without a pick: nothing went to the meter, so nothing else would
  // let frames in again.
  if (!intervalPicked_ && channel_) channel_->releaseInput();
  intervalPicked_ = false;
}

// ---------------------------------------------------------------- model and mode

void MeterState::selectModelButton(std::uint8_t model, bool byUser) {
  state_.model = model;
  state_.view.modelButton = model <= kZT42 ? model : -1;
  ApplyModel(state_, context());
  emit modelChanged(model, byUser);
}

void MeterState::setModel(std::uint8_t model) {
  const Publish batch(this);
  selectModelButton(model, true);
}

void MeterState::restoreModel(std::uint8_t model) {
  const Publish batch(this);
  if (model <= kZT42 && state_.view.modelButton != model) {
    selectModelButton(model, false);
    return;
  }
  // The model in use read again (1.dat is re-read by several profile
  // commands): the panel stays as it is, the level shown included.
  if (model == state_.model) return;
  state_.model = model;
  if (model > kZT42) state_.view.modelButton = -1;  // no button for it: none is checked
  ApplyModel(state_, context());
}

void MeterState::openModelChooser() {
  const Publish batch(this);
  if (modelChooserAllowed_) state_.view.modelChooserOpen = true;
}

void MeterState::closeModelChooser() {
  const Publish batch(this);
  state_.view.modelChooserOpen = false;
}

void MeterState::setMode(WorkMode mode) {
  const Publish batch(this);
  PanelView& p = state_.view;
  p.reject = false;  // a verdict belongs to the reading it was made for
  const bool changed = state_.mode != mode;
  state_.mode = mode;
  p.profileEditing = mode == WorkMode::EditingProfile;
  if (mode == WorkMode::EditingProfile) {
    p.holdEnabled = false;
    p.recordEnabled = false;
  } else {
    p.holdEnabled = true;
    if (!p.hold) p.recordEnabled = true;
  }
  if (changed) emit modeChanged(mode);
  // Back to measuring: the meter gets the settings as they are now.
  if (mode == WorkMode::Measuring) SendSettingsCommand();
}

void MeterState::applyProfileSettings(const MeterSettings& settings) {
  const Publish batch(this);
  beginChange();
  ApplyProfileSettings(state_, settings, *lex_);
  SendSettingsCommand();
}

void MeterState::setVerdict(int sortResult) {
  const Publish batch(this);
  state_.view.reject = sortResult != 0;
}

// ---------------------------------------------------------------- link

void MeterState::linkUp() {
  const Publish batch(this);
  modelChooserAllowed_ = false;  // the model comes from the meter from now on
  state_.view.recordEnabled = true;
  state_.view.profileEditing = false;
  if (state_.mode != WorkMode::Measuring) {
    state_.mode = WorkMode::Measuring;
    emit modeChanged(state_.mode);
  }
}

void MeterState::wakeUp() {
  t34_.start();
  if (channel_) channel_->holdInput();
  SendSpecialCommand(kCmdWakeUp);
}

void MeterState::linkDown() {
  const Publish batch(this);
  // A link that went down has no meter to wake.
  t34_.stop();
  PanelView& p = state_.view;
  p.recordEnabled = false;
  p.profileEditing = true;
  blank({&p.primaryReading, &p.secondaryReading, &p.right[0], &p.right[1], &p.right[2], &p.right[3]});
  if (state_.mode != WorkMode::EditingProfile) {
    state_.mode = WorkMode::EditingProfile;
    emit modeChanged(state_.mode);
  }
}

void MeterState::portClosing() {
  const Publish batch(this);
  t34_.stop();
  PanelView& p = state_.view;
  p.recordEnabled = false;
  blank({&p.primaryReading, &p.secondaryReading});
  for (QString& r : p.right) r.clear();
}

void MeterState::recordingBlocked() {
  const Publish batch(this);
  state_.view.recordEnabled = false;
}

void MeterState::portError() {
  const Publish batch(this);
  state_.view.right[3].clear();
}

void MeterState::blank(std::initializer_list<QString*> labels) {
  for (QString* l : labels) l->clear();
}

// ---------------------------------------------------------------- language

void MeterState::languageChanged() {
  const Publish batch(this);
  RetranslatePanel(state_, context());
}

}  // namespace zt
