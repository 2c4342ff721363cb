#pragma once
// The export button: recording stops (the memo says so), the save dialogue
// proposes a file in the data folder's Export folder, the recorder hands
// over a frozen copy of its rows, and an ExportRunner writes it off the UI
// thread while a progress dialogue offers to cancel. The progress dialogue
// is gone from the screen before the written file is opened or any message
// about it shows.
#include <QObject>
#include <QPointer>
#include <functional>

#include "view_context.h"

class QProgressDialog;

namespace zt {

class ExportRunner;
struct ExportResult;

class ExportView : public QObject {
 public:
  // `open` hands a written file to the system's default application; false
  // when there is none.
  ExportView(const ViewContext& v, std::function<bool(const QString& path)> open);

 private:
  void Button4Click();
  void ExportFinished(const ExportResult& result);

  ViewContext v_;
  std::function<bool(const QString&)> open_;
  ExportRunner* runner_ = nullptr;
  QPointer<QProgressDialog> progress_;
};

}  // namespace zt
