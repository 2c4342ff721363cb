#pragma once
// The reference-profile editor and the profile file commands over the
// profile book: each edit pushes the editor's values to the book, the
// commands go to its slots (with the names the file dialogues returned), and
// what the book reports (a profile read, the names, the number, the caption)
// is rendered back. The input rules of the typed fields and the focus rule of
// the tolerance boxes are the view's own.
#include <QObject>
#include <functional>

#include "view_context.h"

namespace zt {

class ProfileView : public QObject {
 public:
  explicit ProfileView(const ViewContext& v);

 private:
  void bindEditor();
  void bindTolerance(QComboBox* box, bool primary);
  void bindSelection();  // view_profile_select.cpp
  void bindCommands();   // view_profile_select.cpp
  void bindFiles();      // view_profile_files.cpp
  // The editor's values with one change made by the operator, to the book.
  void push(const std::function<void(Reference&)>& change);
  QComboBox* primaryUnitBox(int kind) const;
  void showUnitBoxes(const Reference& ref);  // the unit boxes of the kinds
  void render(const Reference& ref);
  void setProfileEditing(bool on);
  // "Создать" and "Сохранить как": the name chosen for the file to write, or
  // empty when the operator cancels (or, for a copy, when there is no current
  // file to copy). An existing file of that name + ".hex1" is replaced only
  // when the operator says so.
  QString askNameToWrite(const QString& caption, bool copiesCurrentFile);

  ViewContext v_;
  bool stepping_ = false;  // an arrow or key step of SE2 is under way
};

}  // namespace zt
