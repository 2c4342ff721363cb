#include "view_chart.h"

#include <QDir>

#include "chart_window.h"

namespace zt {

ChartView::ChartView(const ViewContext& v) : QObject(v.window), v_(v) {
  connect(v_.ui->BChart, &QPushButton::clicked, this, [this] { BChartClick(); });
  connect(&v_.session->lang(), &LangMan::languageChanged, this, [this] {
    if (chart_) chart_->languageChanged();
  });
}

ChartWindow* ChartView::window() {
  if (chart_) return chart_;
  // Its geometry and choices are kept beside the program's other settings.
  const QString state = v_.session->dataFolder().isEmpty()
                            ? QString()
                            : QDir(v_.session->dataFolder()).filePath(QStringLiteral("chart.ini"));
  // Owned by the main window (it closes with it), a window of its own.
  chart_ = new ChartWindow(&v_.session->recorder(), &v_.session->book(), state, v_.window);
  chart_->setLexicons(&v_.lex());
  // Pictures go where the program keeps its other files.
  chart_->setImageFolder(v_.session->dataFolder());
  Prompts* prompts = v_.prompts;
  ChartWindow::Prompts p;
  p.savePath = [prompts](QWidget* parent, const QString& caption, const QString& suggested, const QString& filter) {
    return prompts->saveFileName(parent, caption, suggested, filter, nullptr);
  };
  p.error = [prompts](QWidget* parent, const QString& caption, const QString& text) {
    prompts->message(parent, caption, text, Prompts::Icon::Critical);
  };
  chart_->setPrompts(std::move(p));
  return chart_;
}

void ChartView::BChartClick() {
  ChartWindow* w = window();
  if (w->isMinimized()) w->showNormal();
  w->show();
  w->raise();
  w->activateWindow();
}

}  // namespace zt
