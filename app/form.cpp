// The window's life cycle: creation steps, first show, close and the size
// rules. The parts of the view are made here, in the order the language
// client needs (design texts first, then everything that writes).
#include "form.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QOperatingSystemVersion>
#include <QScreen>
#include <QUrl>

#include "form_build.h"
#include "ui_constants.h"
#include "view_context.h"
#include "view_export.h"
#include "view_language.h"
#include "view_link.h"
#include "view_log.h"
#include "view_panel.h"
#include "view_archive.h"
#include "view_chart.h"
#include "view_profile.h"
#include "view_capture.h"
#include "view_publish.h"

namespace zt {

TForm1::TForm1(Session& session, const TForm1Deps& deps, QWidget* parent)
    : QWidget(parent), session_(session), ui_(std::make_unique<FormControls>()) {
  if (deps.prompts) {
    prompts_ = deps.prompts;
  } else {
    ownPrompts_ = std::make_unique<QtPrompts>();
    prompts_ = ownPrompts_.get();
  }
  form::BuildWindow(*ui_, this);
  const ViewContext v{this, ui_.get(), &session_, prompts_};
  language_ = new LanguageView(v);
  link_ = new LinkView(v);
  panel_ = new FrontPanelView(v);
  profile_ = new ProfileView(v);
  log_ = new LogView(v);
  auto open = deps.openExported;
  if (!open) open = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  export_ = new ExportView(v, std::move(open));
  chart_ = new ChartView(v);
  archive_ = new ArchiveView(v);
  publish_ = new PublishView(v, deps.publishing);
  capture_ = new CaptureView(v);
  // What the controllers have to tell the operator.
  connect(&session_, &Session::notice, this, [v](NoticeLevel level, const QString& text) { v.tell(level, text); });
  connect(&session_, &Session::journalRestored, ui_->Memo1, &QPlainTextEdit::appendPlainText);
  connect(&session_, &Session::statusLine, ui_->Memo1, &QPlainTextEdit::appendPlainText);
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // The memo loses its design-time text.
  ui_->Memo1->clear();
  // Only Windows 10 from build 18362 on has the Bluetooth LE interface the
  // link needs, so that is all this note reports.
  const auto os = QOperatingSystemVersion::current();
  if (os.type() == QOperatingSystemVersion::Windows && os.majorVersion() == 10 && os.minorVersion() == 0 &&
      os.microVersion() > 18361) {
    ui_->Memo1->appendPlainText(
        QStringLiteral("Windows %1.%2 build %3").arg(os.majorVersion()).arg(os.minorVersion()).arg(os.microVersion()));
  }
  // The link's poll and radio, and 1.dat (which may restore the last profile
  // file and choose the language).
  session_.start();
  // Then, as at every start, the meter's default settings on the panel and
  // the empty single-part log, whatever a restored profile brought.
  session_.meter().loadDefaults();
  session_.recorder().ShowLogHeaders();
  language_->showBandCaptions();
  // Last: a log the previous run left unfinished comes back into that empty
  // log, and from here on every row is journaled.
  session_.restoreJournal();
}

QPoint CentredPosition(const QSize& frame, const QRect& area) {
  // A window larger than the area keeps its title bar on the screen.
  const int x = area.x() + std::max(0, (area.width() - frame.width()) / 2);
  const int y = area.y() + std::max(0, (area.height() - frame.height()) / 2);
  return {x, y};
}

void TForm1::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (shownOnce_) return;
  shownOnce_ = true;
  // Centred on its screen the first time it is shown; where the operator
  // moves it afterwards is theirs.
  if (isWindow() && screen()) move(CentredPosition(frameGeometry().size(), screen()->availableGeometry()));
  FormShow();
}

void TForm1::FormShow() { session_.link().startupProbe(); }

void TForm1::closeEvent(QCloseEvent* e) {
  FormCloseQuery();  // never refuses
  FormClose();
  e->accept();
}

void TForm1::FormCloseQuery() {
  // Timers and radio off, and the dongle told to let the meter go.
  session_.link().shutdown();
  ui_->P5->setEnabled(false);
}

void TForm1::FormClose() { ui_->P5->setEnabled(false); }

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
