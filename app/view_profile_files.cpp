// The profile file commands: "Создать", "Открыть", "Сохранить как" with their
// dialogues, the book doing the work.
#include <QDir>
#include <QFileInfo>

#include "view_profile.h"

namespace zt {

namespace {

const QString kProfileFilter = QStringLiteral("*.hex1");

}  // namespace

void ProfileView::bindFiles() {
  FormControls& c = *v_.ui;
  ProfileBook* book = &v_.session->book();
  connect(c.SB1, &QPushButton::clicked, this, [this] {
    // A cancelled dialogue reaches the book too: it says the file was not made.
    v_.session->book().create(askNameToWrite(v_.ui->SB1->text(), false));
  });
  connect(c.SB2, &QPushButton::clicked, this, [this] {
    const QString path = v_.prompts->openOrNewFileName(v_.window, v_.ui->SB2->text(),
                                                       v_.session->book().dialogueFolder(), kProfileFilter);
    if (!path.isEmpty()) v_.session->book().open(path);
  });
  connect(c.SB3, &QPushButton::clicked, this, [this] {
    const QString name = askNameToWrite(v_.ui->SB3->text(), true);
    if (!name.isEmpty()) v_.session->book().saveAs(name);
  });
  connect(book, &ProfileBook::captionChanged, c.JvP8, &QLabel::setText);
  connect(book, &ProfileBook::fileReady, this, [this] {
    v_.ui->SB3->setEnabled(true);
    v_.ui->SB4->setEnabled(true);
  });
}

QString ProfileView::askNameToWrite(const QString& caption, bool copiesCurrentFile) {
  QString proposed = v_.session->book().dialogueFolder();
  for (;;) {
    const QString chosen = v_.prompts->newFileName(v_.window, caption, proposed, kProfileFilter);
    if (chosen.isEmpty()) return {};
    if (copiesCurrentFile && !QFileInfo(v_.session->book().currentProfilePath()).isFile())
      return {};  // nothing to copy
    // The file asked about is the one the book will write.
    const QString path = ProfileBook::profileFilePath(chosen);
    if (!QFileInfo::exists(path)) return chosen;
    const QString where = QDir::toNativeSeparators(path);
    QString ask = v_.lex().D4[msg::kReplaceFile];
    ask = ask.contains(QLatin1String("%1")) ? ask.arg(where) : ask + QLatin1Char(' ') + where;
    if (v_.prompts->question(v_.window, v_.window->windowTitle(), ask)) return chosen;
    proposed = chosen;  // "no": the dialogue again, to pick another name
  }
}

}  // namespace zt
