#include "lang_client.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QWidget>

namespace zt {

LangManClient::LangManClient(LangMan* engine, QObject* parent) : QObject(parent), engine_(engine) {
  connect(engine_, &LangMan::translateRequested, this, &LangManClient::translate);
}

void LangManClient::exclude(const QString& objectName) { excluded_.insert(objectName); }

bool LangManClient::excluded(const QWidget* w) const {
  for (const QWidget* p = w; p && p != root_; p = p->parentWidget())
    if (excluded_.contains(p->objectName())) return true;
  return false;
}

void LangManClient::attach(QWidget* root) {
  root_ = root;
  slots_.clear();
  if (!root) return;
  if (!root->objectName().isEmpty()) owner_ = root->objectName();

  auto add = [&](QWidget* w, const QString& component, int kind, int item, const QString& text) {
    if (text.isEmpty()) return;
    Slot s;
    s.widget = w;
    s.design = LngEntry{kind, component, owner_, item, text, false, false};
    s.lastApplied = text;
    slots_.append(s);
  };

  if (!root->windowTitle().isEmpty()) add(root, owner_, LngCaption, -1, root->windowTitle());
  const QList<QWidget*> all = root->findChildren<QWidget*>();
  for (QWidget* w : all) {
    const QString name = w->objectName();
    // Qt's own inner widgets (spin box editors, combo pop-ups) carry no name
    // or a qt_ one; pop-up windows are not part of this window.
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || w->isWindow() || excluded(w)) continue;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      add(w, name, LngCaption, -1, b->text());
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
      add(w, name, LngCaption, -1, l->text());
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      add(w, name, LngCaption, -1, g->title());
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      // An editable field holds data, not a caption.
      if (e->isReadOnly()) add(w, name, LngCaption, -1, e->text());
    } else if (auto* c = qobject_cast<QComboBox*>(w)) {
      for (int i = 0; i < c->count(); ++i) add(w, name, LngListItem, i, c->itemText(i));
    } else if (auto* lw = qobject_cast<QListWidget*>(w)) {
      for (int i = 0; i < lw->count(); ++i) add(w, name, LngListItem, i, lw->item(i)->text());
    }
    add(w, name, LngToolTip, -1, w->toolTip());
  }
  translate();
}

QString LangManClient::readText(QWidget* w, int kind, int item) {
  if (kind == LngToolTip) return w->toolTip();
  if (kind == LngListItem) {
    if (auto* c = qobject_cast<QComboBox*>(w)) return item < c->count() ? c->itemText(item) : QString();
    if (auto* lw = qobject_cast<QListWidget*>(w)) return item < lw->count() ? lw->item(item)->text() : QString();
    return QString();
  }
  if (w->isWindow()) return w->windowTitle();
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
  return QString();
}

void LangManClient::writeText(QWidget* w, int kind, int item, const QString& text) {
  if (kind == LngToolTip) {
    w->setToolTip(text);
  } else if (kind == LngListItem) {
    if (auto* c = qobject_cast<QComboBox*>(w)) {
      if (item < c->count()) c->setItemText(item, text);
    } else if (auto* lw = qobject_cast<QListWidget*>(w)) {
      if (item < lw->count()) lw->item(item)->setText(text);
    }
  } else if (w->isWindow()) {
    w->setWindowTitle(text);
  } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(text);
  } else if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(text);
  } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
    g->setTitle(text);
  } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
    QSignalBlocker block(e);  // a caption change is not an edit
    e->setText(text);
  }
}

void LangManClient::translate() {
  for (Slot& s : slots_) {
    QWidget* w = s.widget.data();
    if (!w) continue;
    if (s.design.kind == LngListItem) {
      // A list rebuilt by the program since is not ours any more.
      const int count = qobject_cast<QComboBox*>(w)     ? qobject_cast<QComboBox*>(w)->count()
                        : qobject_cast<QListWidget*>(w) ? qobject_cast<QListWidget*>(w)->count()
                                                        : 0;
      if (s.design.item >= count) continue;
    }
    if (readText(w, s.design.kind, s.design.item) != s.lastApplied) continue;
    const QString text =
        engine_->translation(s.design.owner, s.design.component, s.design.kind, s.design.item).value_or(s.design.text);
    if (text == s.lastApplied) continue;
    writeText(w, s.design.kind, s.design.item, text);
    s.lastApplied = text;
  }
}

void LangManClient::bindLanguageCombo(QComboBox* combo) {
  if (!combo) return;
  if (!combo->objectName().isEmpty()) exclude(combo->objectName());
  {
    QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(engine_->languageNames());
    combo->setCurrentIndex(engine_->currentIndex());
  }
  QPointer<QComboBox> guard(combo);
  connect(combo, &QComboBox::activated, this, [this, guard](int index) {
    if (!engine_->requestLanguage(index) && guard && index != engine_->currentIndex()) {
      QSignalBlocker block(guard.data());
      guard->setCurrentIndex(engine_->currentIndex());
    }
  });
}

QList<LngEntry> LangManClient::designEntries() const {
  QList<LngEntry> out;
  out.reserve(slots_.size());
  for (const Slot& s : slots_) out.append(s.design);
  return out;
}

LngFile makeLngSkeleton(const QList<LngEntry>& designEntries, const QString& languageName, const QString& code) {
  LngFile f;
  f.languageName = languageName;
  f.code = code;
  f.fileVersion = QStringLiteral("THLF1");
  f.entries = designEntries;
  const Lexicons& design = Lexicons::russian();
  for (const QString& name : Lexicons::names()) {
    LngLexicon lex{name, {}};
    const Lexicon* src = design.byName(name);
    for (int i = 0; i < src->items.size(); ++i) lex.items.insert(i, src->items.at(i));
    f.lexicons.append(lex);
  }
  return f;
}

LngFile refreshLng(const LngFile& translation, const LngFile& skeleton) {
  auto keyOf = [](const LngEntry& e) {
    return e.owner + u'\x1f' + e.component + u'\x1f' + QString::number(e.kind) + u'\x1f' + QString::number(e.item);
  };
  QHash<QString, LngEntry> have;
  for (const LngEntry& e : translation.entries)
    if (!e.old) have.insert(keyOf(e), e);

  LngFile out = skeleton;
  out.languageName = translation.languageName;
  out.code = translation.code;
  out.superiorLanguage = translation.superiorLanguage;
  out.smartStrings = translation.smartStrings;
  QSet<QString> present;
  for (LngEntry& e : out.entries) {
    const QString k = keyOf(e);
    present.insert(k);
    auto it = have.constFind(k);
    if (it != have.constEnd()) {
      e.text = it->text;
      e.noTrans = it->noTrans;
    }
  }
  for (const LngEntry& e : translation.entries) {
    if (present.contains(keyOf(e))) continue;
    LngEntry gone = e;
    gone.old = true;
    out.entries.append(gone);
  }
  for (LngLexicon& lex : out.lexicons) {
    for (const LngLexicon& tl : translation.lexicons) {
      if (tl.name != lex.name) continue;
      for (auto it = tl.items.cbegin(); it != tl.items.cend(); ++it)
        if (lex.items.contains(it.key())) lex.items[it.key()] = it.value();
    }
  }
  return out;
}

}  // namespace zt
