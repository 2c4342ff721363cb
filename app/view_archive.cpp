#include "view_archive.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "export_runner.h"
#include "export_writer.h"
#include "log_verdict_delegate.h"

namespace zt {

ArchiveDialog::ArchiveDialog(const ViewContext& v, QWidget* parent)
    : QDialog(parent),
      v_(v),
      entries_(ListArchivedLogs(v.session->journal().archiveFolder())),
      list_(new QListWidget(this)),
      summary_(new QLabel(this)),
      grid_(new QTableView(this)),
      export_(new QPushButton(this)) {
  const Lexicon& d4 = v_.lex().D4;
  setObjectName(QStringLiteral("ArchiveDialog"));
  setWindowTitle(d4[msg::kArchiveTitle]);
  list_->setObjectName(QStringLiteral("ArchiveList"));
  summary_->setObjectName(QStringLiteral("ArchiveSummary"));
  summary_->setWordWrap(true);
  grid_->setObjectName(QStringLiteral("ArchiveGrid"));
  export_->setObjectName(QStringLiteral("ArchiveExport"));
  export_->setText(d4[msg::kArchiveExport]);
  auto* close = new QPushButton(d4[msg::kArchiveClose], this);
  close->setObjectName(QStringLiteral("ArchiveClose"));

  for (const ArchivedLogEntry& e : entries_)
    list_->addItem(e.started.isValid() ? QLocale().toString(e.started, QLocale::ShortFormat)
                                       : QFileInfo(e.path).fileName());
  list_->setMaximumWidth(190);
  grid_->setModel(&model_);
  grid_->setItemDelegate(new LogVerdictDelegate(grid_));
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->hide();
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

  auto* right = new QVBoxLayout;
  right->addWidget(summary_);
  right->addWidget(grid_, 1);
  auto* top = new QHBoxLayout;
  top->addWidget(list_);
  top->addLayout(right, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(export_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  resize(900, 520);

  connect(list_, &QListWidget::currentRowChanged, this, &ArchiveDialog::show);
  connect(export_, &QPushButton::clicked, this, &ArchiveDialog::exportShown);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  if (entries_.empty()) {
    summary_->setText(d4[msg::kArchiveEmpty]);
    export_->setEnabled(false);
  } else {
    list_->setCurrentRow(0);  // the newest
  }
}

void ArchiveDialog::show(int row) {
  if (row < 0 || row >= int(entries_.size())) return;
  const Lexicon& d4 = v_.lex().D4;
  const QString path = entries_[std::size_t(row)].path;
  log_ = ReadArchivedLog(path, v_.lex());
  switch (log_.status) {
    case ArchivedLog::Status::Read: summary_->setText(log_.summary(v_.lex())); break;
    case ArchivedLog::Status::Unreadable:
      summary_->setText(d4[msg::kArchiveUnreadable].arg(QDir::toNativeSeparators(path), log_.error));
      break;
    case ArchivedLog::Status::NotAJournal:
      summary_->setText(d4[msg::kArchiveNotJournal].arg(QDir::toNativeSeparators(path)));
      break;
  }
  log_.fill(model_);
  export_->setEnabled(log_.ok() && !(runner_ && runner_->isRunning()));
}

void ArchiveDialog::exportShown() {
  if (!log_.ok() || (runner_ && runner_->isRunning())) return;
  const Lexicons& lex = v_.lex();
  const QString folder = v_.session->dataFolder() + QStringLiteral("/Export");
  QDir().mkpath(folder);
  const QString name = DefaultExportName(lex.D4[msg::kArchiveTitle], log_.started.toLocalTime());
  const QString xlsxFilter = lex.D4[msg::kExportFilterXlsx];
  const QString csvFilter = lex.D4[msg::kExportFilterCsv];
  QString filter = xlsxFilter;
  QString path = v_.prompts->saveFileName(this, export_->text(), QDir(folder).filePath(name + QStringLiteral(".xlsx")),
                                          xlsxFilter + QStringLiteral(";;") + csvFilter, &filter);
  if (path.isEmpty()) return;
  ExportOptions opts = ExportOptionsForFile(&path, filter == csvFilter);
  opts.messages = lex.D4;
  if (!runner_) {
    runner_ = new ExportRunner(this);
    connect(runner_, &ExportRunner::finished, this, &ArchiveDialog::exportFinished);
  }
  export_->setEnabled(false);
  runner_->start(log_.snapshot(), path, opts);
}

void ArchiveDialog::exportFinished(const ExportResult& result) {
  const Lexicons& lex = v_.lex();
  export_->setEnabled(log_.ok());
  switch (result.status) {
    case ExportResult::Status::Cancelled: return;
    case ExportResult::Status::Failed:
      v_.prompts->message(this, lex.D1[5], result.error, Prompts::Icon::Critical);
      return;
    case ExportResult::Status::Ok:
      v_.prompts->message(this, export_->text(), lex.D1[4] + QLatin1Char('\n') + QDir::toNativeSeparators(result.path),
                          Prompts::Icon::Information);
      return;
  }
}

ArchiveView::ArchiveView(const ViewContext& v) : QObject(v.window), v_(v) {
  connect(v_.ui->BArchive, &QPushButton::clicked, this, [this] {
    auto* dialog = new ArchiveDialog(v_, v_.window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Window-modal without a loop of its own: the panel and the log go on.
    dialog->open();
  });
}

}  // namespace zt
