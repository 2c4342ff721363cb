#pragma once
// The export button: recording stops, the save dialogue proposes a file in
// the data folder's Export folder, the recorder hands over a frozen copy of
// its rows, and an ExportRunner writes it off the UI thread while a progress
// dialogue offers to cancel. The written file is then opened.
#include <QObject>
#include <functional>

#include "view_context.h"

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
};

}  // namespace zt
