// Export of the log grid to a workbook (.xlsx) or a CSV file, written by the
// program itself and then handed to the system's default application.
#include <QAbstractItemModel>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QSignalBlocker>
#include <QUrl>

#include "data_folder.h"
#include "export_runner.h"
#include "export_snapshot.h"
#include "export_writer.h"
#include "main.h"

namespace zt {

namespace {

// Grid cell (column c, row i) as the grid shows it: row 0 is the heading row
// (the view's horizontal header), grid row p >= 1 is model row p - 1; rows
// beyond the grid read as empty.
QString GridText(const QAbstractItemModel* m, int row, int col) {
  if (!m) return QString();
  if (row == 0) return m->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
  if (row - 1 >= m->rowCount() || col >= m->columnCount()) return QString();
  return m->data(m->index(row - 1, col), Qt::DisplayRole).toString();
}

}  // namespace

void TForm1::ConnectExportSignals() {
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  if (!OpenExportedFile)
    OpenExportedFile = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
}

int TForm1::ExportRows() const {
  return ExportRowCount(meterSettings.LogReady == 1, CBox10->currentIndex() == 1, LogPosition, ProfileCount);
}

void TForm1::Button4Click() {
  if (m_exportRunner && m_exportRunner->isRunning()) return;
  // 1. Recording stops.
  {
    const QSignalBlocker block(SP1);
    SP1->setChecked(false);
  }
  SP1->setText(lex().D1[8]);
  // 2.
  Button4->setEnabled(false);

  // 3. Where to write: the data folder's Export subfolder by default.
  const QString folder = DataFolder() + QStringLiteral("/Export");
  QDir().mkpath(folder);
  const QString name = DefaultExportName(ProfileTitle, QDateTime::currentDateTime());
  const QString xlsxFilter = lex().D4[msg::kExportFilterXlsx];
  const QString csvFilter = lex().D4[msg::kExportFilterCsv];
  QString filter = xlsxFilter;
  QString path = prompts().saveFileName(this, Button4->text(), QDir(folder).filePath(name + QStringLiteral(".xlsx")),
                                        xlsxFilter + QStringLiteral(";;") + csvFilter, &filter);
  if (path.isEmpty()) {
    Button4->setEnabled(true);
    return;
  }
  ExportOptions opts;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("csv") || (suffix != QLatin1String("xlsx") && filter == csvFilter)) {
    opts.format = ExportFormat::Csv;
  }
  if (suffix != QLatin1String("csv") && suffix != QLatin1String("xlsx"))
    path += opts.format == ExportFormat::Csv ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
  opts.csvSeparator = CsvSeparatorFor(QLocale::system().decimalPoint());
  opts.messages = lex().D4;

  // 4. The cells, frozen now; the writing goes on off the UI thread.
  const int rows = ExportRows();
  if (meterSettings.LogReady == 1 && CBox10->currentIndex() == 1) LogPosition = ProfileCount + 1;
  const QAbstractItemModel* model = SG->model();
  ExportSnapshot snap = ExportSnapshot::Capture(rows, [model](int r, int c) { return GridText(model, r, c); });

  if (!m_exportRunner) {
    m_exportRunner = new ExportRunner(this);
    connect(m_exportRunner, &ExportRunner::finished, this, &TForm1::ExportFinished);
  }
  auto* progress = new QProgressDialog(this);
  progress->setLabelText(Button4->text());
  progress->setCancelButtonText(lex().D4[msg::kExportCancel]);
  progress->setRange(0, rows > 0 ? rows : 1);
  progress->setObjectName(QStringLiteral("ExportProgress"));
  progress->setWindowModality(Qt::WindowModal);
  progress->setMinimumDuration(500);  // short exports never show it
  progress->setAutoClose(false);
  progress->setAutoReset(false);
  progress->setValue(0);
  connect(progress, &QProgressDialog::canceled, m_exportRunner, &ExportRunner::cancel);
  connect(m_exportRunner, &ExportRunner::progress, progress, &QProgressDialog::setValue);
  connect(m_exportRunner, &ExportRunner::finished, progress, &QObject::deleteLater);
  m_exportRunner->start(std::move(snap), path, opts);
}

void TForm1::ExportFinished(const ExportResult& result) {
  Button4->setEnabled(true);
  switch (result.status) {
    case ExportResult::Status::Cancelled: return;
    case ExportResult::Status::Failed:
      prompts().message(this, lex().D1[5], result.error, Prompts::Icon::Critical);
      return;
    case ExportResult::Status::Ok: break;
  }
  // No default application for the file type: the operator still needs to
  // know where the file went.
  if (!OpenExportedFile || !OpenExportedFile(result.path))
    prompts().message(this, Button4->text(), lex().D1[4] + QLatin1Char('\n') + QDir::toNativeSeparators(result.path),
                      Prompts::Icon::Information);
}

}  // namespace zt
