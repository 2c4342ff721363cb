// Window life cycle: creation steps, first show, close and size rules.
#include <QCloseEvent>
#include <QGuiApplication>
#include <QOperatingSystemVersion>
#include <QScreen>

#include "main.h"
#include "ui_constants.h"

namespace zt {

TForm1::TForm1(const TForm1Deps& deps, QWidget* parent) : QWidget(parent) {
  if (deps.prompts) {
    m_prompts = deps.prompts;
  } else {
    m_ownPrompts = std::make_unique<QtPrompts>();
    m_prompts = m_ownPrompts.get();
  }
  ApplyDeps(deps);
  BuildControls();
  ConnectSignals();
  FormCreate();
}

TForm1::~TForm1() {
  // Components are destroyed with the window: the serial port is closed here,
  // which tells a dongle that is still present to drop its radio link.
  try {
    ShutdownLinks();
  } catch (...) {
  }
}

void TForm1::ReportError(const QString& text) { prompts().message(this, windowTitle(), text, Prompts::Icon::Critical); }

void TForm1::ConnectSignals() {
  ConnectProtocolSignals();
  ConnectLinkSignals();
  ConnectBleSignals();
  ConnectPanelSignals();
  ConnectLogSignals();
  ConnectProfileSignals();
  ConnectExportSignals();
  ConnectI18nSignals();
}

void TForm1::FormCreate() {
  // 1. The memo loses its design-time text.
  Memo1->clear();
  // 2. Link flags.
  UseBle = 1;
  BleLinkUp = 0;
  // 3. The Bluetooth LE component.
  BleSetEnabled(true);
  // 4. Operating-system note: only Windows 10 from build 18362 on has the
  //    Bluetooth LE interface the link needs, so that is all it reports.
  const auto os = QOperatingSystemVersion::current();
  if (os.type() == QOperatingSystemVersion::Windows && os.majorVersion() == 10 && os.minorVersion() == 0 &&
      os.microVersion() > 18361) {
    Memo1->appendPlainText(
        QStringLiteral("Windows %1.%2 build %3").arg(os.majorVersion()).arg(os.minorVersion()).arg(os.microVersion()));
  }
  // The connection poll runs from the moment the window exists.
  T3->start();
  // 5. Port lookup.
  LoadPortLookup();
  // 7. Settings file.
  if (LoadSettingsFile() == 1) {
    SB3->setEnabled(true);
    SB4->setEnabled(true);
  }
  // 8-9. Default meter settings, shown on the controls.
  LoadDefaultSettings();
  ShowSettingsInLists();
  // 10. Captions of the two band panels.
  JvP1->setText(lex().D1[6]);
  JvP11->setText(lex().D1[1]);
  // 11-13. Work mode, log headings, record button.
  CBox10->setCurrentIndex(0);
  ShowLogHeaders();
  SP1->setEnabled(false);
  // 14. Adapt to the meter model.
  ApplyModel();
}

QPoint CentredPosition(const QSize& frame, const QRect& area) {
  // A window larger than the area keeps its title bar on the screen.
  const int x = area.x() + std::max(0, (area.width() - frame.width()) / 2);
  const int y = area.y() + std::max(0, (area.height() - frame.height()) / 2);
  return {x, y};
}

void TForm1::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!m_shownOnce) {
    m_shownOnce = true;
    // Centred on its screen the first time it is shown; where the operator
    // moves it afterwards is theirs.
    if (isWindow() && screen()) move(CentredPosition(frameGeometry().size(), screen()->availableGeometry()));
    FormShow();
  }
}

void TForm1::FormShow() { StartupProbe(); }

void TForm1::closeEvent(QCloseEvent* e) {
  FormCloseQuery();  // never refuses
  FormClose();
  e->accept();
}

void TForm1::FormCloseQuery() {
  T2->stop();
  T3->stop();
  ConnectWait->stop();
  P5->setEnabled(false);
  if (UseBle == 1) {
    try {
      BleSetEnabled(false);
    } catch (...) {
      // Switching the radio off at close may fail; the close goes on.
    }
  }
}

void TForm1::FormClose() { P5->setEnabled(false); }

void TForm1::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  FormResize();
}

void TForm1::FormResize() {
  if (width() < ui::kClientWidth || height() < ui::kMinHeight)
    resize(std::max(width(), ui::kClientWidth), std::max(height(), ui::kMinHeight));
  const QScreen* s = screen();
  if (!s) return;
  const auto d = static_cast<std::int16_t>((s->geometry().width() - frameGeometry().width()) / 2);
  if (d > 0 && isMaximized()) move(d, y());
}

}  // namespace zt
