#include "view_capture.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>

#include "zt_version.h"

namespace zt {

CaptureView::CaptureView(const ViewContext& v) : QObject(v.window), v_(v) {
  FormControls& c = *v_.ui;
  for (QWidget* w :
       {static_cast<QWidget*>(c.Memo1), static_cast<QWidget*>(c.L_righ5), static_cast<QWidget*>(c.L_righ6)}) {
    if (!w) continue;
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint& at) { showMenu(w, at); });
  }
  LinkCapture& capture = v_.session->capture();
  connect(&capture, &LinkCapture::failed, this, [this](const QString& why) {
    const QString text =
        v_.lex().D4[msg::kCaptureFailed].arg(QDir::toNativeSeparators(v_.session->capture().path()), why);
    say(text);
    v_.tell(NoticeLevel::Warning, text);
  });
}

void CaptureView::showMenu(QWidget* on, const QPoint& at) {
  QMenu* menu = nullptr;
  if (auto* memo = qobject_cast<QPlainTextEdit*>(on)) {
    menu = memo->createStandardContextMenu();
    menu->addSeparator();
  } else {
    menu = new QMenu(on);
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const bool running = v_.session->capture().active();
  QAction* a = menu->addAction(v_.lex().D4[running ? msg::kCaptureStop : msg::kCaptureStart]);
  a->setObjectName(QStringLiteral("CaptureAction"));
  connect(a, &QAction::triggered, this, &CaptureView::startOrStop);
  menu->popup(on->mapToGlobal(at));
}

void CaptureView::startOrStop() {
  LinkCapture& capture = v_.session->capture();
  const Lexicon& d4 = v_.lex().D4;
  if (capture.active()) {
    capture.stop();
    say(d4[msg::kCaptureStopped].arg(QDir::toNativeSeparators(capture.path())).arg(capture.recordsWritten()));
    return;
  }
  const QString suggested =
      QDir(v_.session->dataFolder())
          .filePath(QStringLiteral("exchange-%1.ztcap")
                        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
  QString filter;
  QString caption = d4[msg::kCaptureStart];
  caption.remove(QChar(0x2026));
  const QString path = v_.prompts->saveFileName(v_.window, caption, suggested, d4[msg::kCaptureFilter], &filter);
  if (path.isEmpty()) return;
  QString error;
  if (!capture.start(path, QStringLiteral("zt-logger %1").arg(QLatin1String(kVersion)), &error)) {
    const QString text = d4[msg::kCaptureOpenError].arg(QDir::toNativeSeparators(path), error);
    say(text);
    v_.tell(NoticeLevel::Critical, text);
    return;
  }
  say(d4[msg::kCaptureStarted].arg(QDir::toNativeSeparators(path)));
}

void CaptureView::say(const QString& line) { v_.ui->Memo1->appendPlainText(line); }

}  // namespace zt
