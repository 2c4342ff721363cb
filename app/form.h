#pragma once
// The logger's one window, a view over a Session: TForm1 builds the controls
// (form_build.h), binds their events to the controllers' slots and renders
// what the controllers report (the view_*.h parts). It decides nothing about
// the meter, the link, the log or the profiles; what it keeps is its own:
// sizes and placement, hover cosmetics, the memo swap, dialogues.
#include <QWidget>
#include <functional>
#include <memory>

#include "prompts.h"

namespace zt {

class Session;
struct FormControls;
class LanguageView;
class LinkView;
class FrontPanelView;
class ProfileView;
class LogView;
class ExportView;
class ChartView;
class ArchiveView;
class PublishView;
class CaptureView;
class MeterPublishing;

// What only the view needs. Tests pass fakes; the program passes nothing.
struct TForm1Deps {
  Prompts* prompts = nullptr;  // null: real dialogues
  // Hands an exported file to the system's default application; false when
  // there is none. Unset: the desktop's opener.
  std::function<bool(const QString& path)> openExported;
  // Publishes the session's readings and rows (outlives the window); null:
  // no publishing, and no button for it.
  MeterPublishing* publishing = nullptr;
};

// Top left corner of a window frame of size `frame` centred in `area` (a
// screen's available part); a frame larger than the area keeps its top left
// corner inside it.
QPoint CentredPosition(const QSize& frame, const QRect& area);

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Builds the window over `session` (which must outlive it) and runs the
  // creation steps, the session's start among them.
  explicit TForm1(Session& session, const TForm1Deps& deps = {}, QWidget* parent = nullptr);
  ~TForm1() override;

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void FormClose();
  void FormResize();

  Session& session_;
  std::unique_ptr<Prompts> ownPrompts_;
  Prompts* prompts_;
  std::unique_ptr<FormControls> ui_;
  LanguageView* language_ = nullptr;
  LinkView* link_ = nullptr;
  FrontPanelView* panel_ = nullptr;
  ProfileView* profile_ = nullptr;
  LogView* log_ = nullptr;
  ExportView* export_ = nullptr;
  ChartView* chart_ = nullptr;
  ArchiveView* archive_ = nullptr;
  PublishView* publish_ = nullptr;
  CaptureView* capture_ = nullptr;
  bool shownOnce_ = false;
};

}  // namespace zt
