#include "view_export.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>

#include "export_runner.h"
#include "export_writer.h"

namespace zt {

ExportView::ExportView(const ViewContext& v, std::function<bool(const QString&)> open)
    : QObject(v.window), v_(v), open_(std::move(open)) {
  connect(v_.ui->Button4, &QPushButton::clicked, this, &ExportView::Button4Click);
}

void ExportView::Button4Click() {
  if (runner_ && runner_->isRunning()) return;
  FormControls& c = *v_.ui;
  const Lexicons& lex = v_.lex();
  Recorder& recorder = v_.session->recorder();
  // The export ends a recording (it is not started again afterwards); the
  // operator reads why the button says "Пуск" again.
  const bool wasRecording = recorder.recording();
  recorder.stop();
  if (wasRecording) c.Memo1->appendPlainText(lex.D4[msg::kExportStoppedRecording]);
  c.Button4->setEnabled(false);

  // Where to write: the data folder's Export subfolder by default.
  const QString folder = v_.session->dataFolder() + QStringLiteral("/Export");
  QDir().mkpath(folder);
  const QString name = DefaultExportName(v_.session->book().profileTitle(), QDateTime::currentDateTime());
  const QString xlsxFilter = lex.D4[msg::kExportFilterXlsx];
  const QString csvFilter = lex.D4[msg::kExportFilterCsv];
  QString filter = xlsxFilter;
  QString path =
      v_.prompts->saveFileName(v_.window, c.Button4->text(), QDir(folder).filePath(name + QStringLiteral(".xlsx")),
                               xlsxFilter + QStringLiteral(";;") + csvFilter, &filter);
  if (path.isEmpty()) {
    c.Button4->setEnabled(true);
    return;
  }
  ExportOptions opts = ExportOptionsForFile(&path, filter == csvFilter);
  opts.messages = lex.D4;

  // The rows, frozen now; the writing goes on off the UI thread.
  ExportSnapshot snap = recorder.exportSnapshot();
  const int rows = snap.rowCount();
  if (!runner_) {
    runner_ = new ExportRunner(this);
    connect(runner_, &ExportRunner::finished, this, &ExportView::ExportFinished);
  }
  auto* progress = new QProgressDialog(v_.window);
  progress->setLabelText(c.Button4->text());
  progress->setCancelButtonText(lex.D4[msg::kExportCancel]);
  progress->setRange(0, rows > 0 ? rows : 1);
  progress->setObjectName(QStringLiteral("ExportProgress"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setMinimumDuration(500);  // short exports never show it
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setValue(0);
  connect(progress, &QProgressDialog::canceled, runner_, &ExportRunner::cancel);
  connect(runner_, &ExportRunner::progress, progress, &QProgressDialog::setValue);
  progress_ = progress;
  runner_->start(std::move(snap), path, opts);
}

void ExportView::ExportFinished(const ExportResult& result) {
  FormControls& c = *v_.ui;
  const Lexicons& lex = v_.lex();
  // Off the screen now, not when the event loop next deletes it: a message
  // box opened below runs a loop of its own in which a deferred deletion
  // never comes, and without a window manager to raise the box the dialogue
  // would stay drawn over it at 100 %, its "Cancel" over the box's OK.
  // (Deleted later, not here: a modal progress dialogue's setValue runs the
  // event loop, so this may be called from inside it. Cancelled first, so
  // that its own timer never shows it again in the meantime.)
  if (progress_) {
    disconnect(progress_, nullptr, runner_, nullptr);
    disconnect(runner_, nullptr, progress_, nullptr);
    progress_->cancel();
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
  }
  c.Button4->setEnabled(true);
  switch (result.status) {
    case ExportResult::Status::Cancelled: return;
    case ExportResult::Status::Failed:
      v_.prompts->message(v_.window, lex.D1[5], result.error, Prompts::Icon::Critical);
      return;
    case ExportResult::Status::Ok: break;
  }
  // No default application for the file type: the operator still needs to
  // know where the file went.
  if (!open_ || !open_(result.path))
    v_.prompts->message(v_.window, c.Button4->text(),
                        lex.D1[4] + QLatin1Char('\n') + QDir::toNativeSeparators(result.path),
                        Prompts::Icon::Information);
}

}  // namespace zt
