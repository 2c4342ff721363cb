#pragma once
// The archive button: a dialogue over the logs in journal/archive/, newest
// first; the chosen one is shown read-only in a grid as it was logged and can
// be exported (the export's writer, off the UI thread).
#include <QDialog>
#include <QObject>
#include <vector>

#include "archived_logs.h"
#include "view_context.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTableView;

namespace zt {

class ExportRunner;
struct ExportResult;

class ArchiveDialog : public QDialog {
 public:
  ArchiveDialog(const ViewContext& v, QWidget* parent);

  // The log chosen in the list (row of ListArchivedLogs), read and shown.
  void show(int row);
  const ArchivedLog& shown() const { return log_; }

 private:
  void exportShown();
  void exportFinished(const ExportResult& result);

  ViewContext v_;
  std::vector<ArchivedLogEntry> entries_;
  ArchivedLog log_;
  LogModel model_;
  QListWidget* list_;
  QLabel* summary_;
  QTableView* grid_;
  QPushButton* export_;
  ExportRunner* runner_ = nullptr;
};

class ArchiveView : public QObject {
 public:
  explicit ArchiveView(const ViewContext& v);

 private:
  ViewContext v_;
};

}  // namespace zt
