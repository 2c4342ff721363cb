#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

#include "lang_client.h"
#include "lang_man.h"

using namespace zt;

namespace {

template <class W>
W* add(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  parent->layout()->addWidget(w);
  return w;
}

// A window in its design language, the way the program composes its own.
std::unique_ptr<QWidget> designWindow() {
  auto root = std::make_unique<QWidget>();
  root->setObjectName(QStringLiteral("Form1"));
  root->setWindowTitle(QStringLiteral("Регистратор"));
  new QVBoxLayout(root.get());
  auto* b2 = add<QPushButton>(root.get(), "B2");
  b2->setText(QStringLiteral("Подключить"));
  b2->setToolTip(QStringLiteral("Связь с прибором"));
  add<QLabel>(root.get(), "Label_freq")->setText(QStringLiteral("Частота"));
  add<QLabel>(root.get(), "L_value")->setText(QStringLiteral("0,000"));
  auto* g = add<QGroupBox>(root.get(), "RG1");
  g->setTitle(QStringLiteral("Прибор"));
  new QVBoxLayout(g);
  add<QRadioButton>(g, "RB1")->setText(QStringLiteral("ЗТ40"));
  auto* mode = add<QComboBox>(root.get(), "CBox10");
  mode->addItems({QStringLiteral("Измерение 1 детали"), QStringLiteral("Мульти")});
  mode->setCurrentIndex(1);
  auto* names = add<QComboBox>(root.get(), "CBox6");
  names->setEditable(true);
  names->addItems({QStringLiteral("R1")});
  add<QLineEdit>(root.get(), "E2")->setText(QStringLiteral("10000"));
  auto* caption = add<QLineEdit>(root.get(), "E_caption");
  caption->setText(QStringLiteral("Подпись"));
  caption->setReadOnly(true);
  add<QListWidget>(root.get(), "ListBox_freq")->addItems({QStringLiteral("100 Гц"), QStringLiteral("1 кГц")});
  add<QSpinBox>(root.get(), "SE1")->setValue(5);
  add<QComboBox>(root.get(), "LangCombo1");
  return root;
}

QByteArray englishFile() {
  const QString t = QStringLiteral(
      "[LANGUAGE_FILE]\r\n"
      "0\t%LANGUAGE_NAME=\"English\"\t%CODE=en;\t%FILEVER=THLF1;\r\n"
      "1\t\"Logger\"\t%COMPONENT=Form1;\t%OWNER=Form1;\r\n"
      "1\t\"Connect\"\t%COMPONENT=B2;\t%OWNER=Form1;\r\n"
      "3\t\"Link to the meter\"\t%COMPONENT=B2;\t%OWNER=Form1;\r\n"
      "1\t\"Frequency\"\t%COMPONENT=Label_freq;\t%OWNER=Form1;\r\n"
      "1\t\"Meter\"\t%COMPONENT=RG1;\t%OWNER=Form1;\r\n"
      "1\t\"ZT40\"\t%COMPONENT=RB1;\t%OWNER=Form1;\r\n"
      "2\t\"Single part\"\t%COMPONENT=CBox10;\t%OWNER=Form1;\t%ITEM=0;\r\n"
      "2\t\"Multi\"\t%COMPONENT=CBox10;\t%OWNER=Form1;\t%ITEM=1;\r\n"
      "2\t\"100 Hz\"\t%COMPONENT=ListBox_freq;\t%OWNER=Form1;\t%ITEM=0;\r\n"
      "2\t\"1 kHz\"\t%COMPONENT=ListBox_freq;\t%OWNER=Form1;\t%ITEM=1;\r\n"
      "1\t\"Caption\"\t%COMPONENT=E_caption;\t%OWNER=Form1;\r\n"
      "1\t\"1.000\"\t%COMPONENT=L_value;\t%OWNER=Form1;\r\n"
      "1\t\"99999\"\t%COMPONENT=E2;\t%OWNER=Form1;\r\n"
      "2\t\"X1\"\t%COMPONENT=CBox6;\t%OWNER=Form1;\t%ITEM=0;\r\n"
      "0\t%LEXICON_STRINGS\r\n"
      "0\t%SMART_STRINGS\r\n");
  return t.toUtf8();
}

struct Texts {
  QString title, b2, tip, freq, group, radio, mode0, mode1, list0, list1, caption, value, e2, names0;
  bool operator==(const Texts&) const = default;
};

Texts textsOf(QWidget* w) {
  auto* mode = w->findChild<QComboBox*>("CBox10");
  auto* list = w->findChild<QListWidget*>("ListBox_freq");
  return Texts{w->windowTitle(),
               w->findChild<QPushButton*>("B2")->text(),
               w->findChild<QPushButton*>("B2")->toolTip(),
               w->findChild<QLabel*>("Label_freq")->text(),
               w->findChild<QGroupBox*>("RG1")->title(),
               w->findChild<QRadioButton*>("RB1")->text(),
               mode->itemText(0),
               mode->itemText(1),
               list->item(0)->text(),
               list->item(1)->text(),
               w->findChild<QLineEdit*>("E_caption")->text(),
               w->findChild<QLabel*>("L_value")->text(),
               w->findChild<QLineEdit*>("E2")->text(),
               w->findChild<QComboBox*>("CBox6")->itemText(0)};
}

const Texts kRussian{
    "Регистратор", "Подключить", "Связь с прибором", "Частота", "Прибор", "ЗТ40", "Измерение 1 детали", "Мульти",
    "100 Гц",      "1 кГц",      "Подпись",          "0,000",   "10000",  "R1"};
// Editable fields and excluded boxes hold data and stay as they are.
const Texts kEnglish{"Logger", "Connect", "Link to the meter", "Frequency", "Meter", "ZT40", "Single part", "Multi",
                     "100 Hz", "1 kHz",   "Caption",           "1.000",     "10000", "R1"};

}  // namespace

class TestLangClient : public QObject {
  Q_OBJECT
  QTemporaryDir dir_;

 private slots:
  void initTestCase() {
    QFile f(dir_.filePath(QStringLiteral("eng.lng")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(englishFile());
  }

  void translatesAndRestoresDesignTexts() {
    LangMan man;
    man.loadLanguages(dir_.path());
    auto w = designWindow();
    LangManClient client(&man);
    client.exclude(QStringLiteral("CBox6"));  // the operator's own names
    client.attach(w.get());
    QCOMPARE(textsOf(w.get()), kEnglish);
    QCOMPARE(w->findChild<QComboBox*>("CBox10")->currentIndex(), 1);
    QCOMPARE(w->findChild<QSpinBox*>("SE1")->value(), 5);
    man.switchTo(0);
    QCOMPARE(textsOf(w.get()), kRussian);
    man.switchTo(1);
    QCOMPARE(textsOf(w.get()), kEnglish);
    QCOMPARE(w->findChild<QComboBox*>("CBox10")->currentIndex(), 1);
  }

  void textsRewrittenByTheProgramAreLeftAlone() {
    LangMan man;
    man.loadLanguages(dir_.path());
    auto w = designWindow();
    LangManClient client(&man);
    client.exclude(QStringLiteral("CBox6"));  // the operator's own names
    client.attach(w.get());
    auto* value = w->findChild<QLabel*>("L_value");
    auto* list = w->findChild<QListWidget*>("ListBox_freq");
    value->setText(QStringLiteral("12.5 kΩ"));
    list->clear();
    list->addItem(QStringLiteral("10 kHz"));
    man.switchTo(0);
    QCOMPARE(value->text(), QStringLiteral("12.5 kΩ"));
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), QStringLiteral("10 kHz"));
    QCOMPARE(w->findChild<QPushButton*>("B2")->text(), kRussian.b2);
  }

  void designEntriesCoverEveryCaptionAndItem() {
    LangMan man;
    auto w = designWindow();
    LangManClient client(&man);
    client.exclude(QStringLiteral("CBox6"));  // the operator's own names
    client.attach(w.get());
    QStringList keys;
    for (const LngEntry& e : client.designEntries()) {
      QCOMPARE(e.owner, QStringLiteral("Form1"));
      keys << QStringLiteral("%1/%2/%3").arg(e.component).arg(e.kind).arg(e.item);
    }
    QCOMPARE(keys,
             (QStringList{"Form1/1/-1", "B2/1/-1", "B2/3/-1", "Label_freq/1/-1", "L_value/1/-1", "RG1/1/-1", "RB1/1/-1",
                          "CBox10/2/0", "CBox10/2/1", "E_caption/1/-1", "ListBox_freq/2/0", "ListBox_freq/2/1"}));
  }

  // A skeleton written from the window reads back whole and, used as a
  // language, shows the design texts.
  void skeletonRoundTrip() {
    LangMan man;
    auto w = designWindow();
    LangManClient client(&man);
    client.exclude(QStringLiteral("CBox6"));  // the operator's own names
    client.attach(w.get());
    const LngFile skeleton = makeLngSkeleton(client.designEntries(), QStringLiteral("Skeleton"), QStringLiteral("sk"));
    LngParseResult r = parseLng(writeLng(skeleton));
    QVERIFY(r.file);
    QCOMPARE(r.file->entries.size(), client.designEntries().size());
    QCOMPARE(r.file->lexicons.size(), Lexicons::names().size());
    int items = 0;
    for (const LngLexicon& l : r.file->lexicons) {
      const Lexicon* design = Lexicons::russian().byName(l.name);
      QVERIFY(design);
      QCOMPARE(l.items.values(), design->items);
      items += int(l.items.size());
    }
    QCOMPARE(items, 10 + 6 + 6 + 10 + 9 + 16 + 14 + int(msg::kCount) + int(chart::kItems));

    QTemporaryDir d;
    QFile f(d.filePath(QStringLiteral("sk.lng")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(writeLng(skeleton));
    f.close();
    man.loadLanguages(d.path());
    QVERIFY(man.requestLanguage(1));
    QCOMPARE(textsOf(w.get()), kRussian);
  }

  void refreshKeepsTranslationsAndMarksVanishedControls() {
    LangMan man;
    auto w = designWindow();
    LangManClient client(&man);
    client.exclude(QStringLiteral("CBox6"));  // the operator's own names
    client.attach(w.get());
    LngFile translation = *parseLng(englishFile()).file;
    translation.entries.append(LngEntry{LngCaption, "Removed", "Form1", -1, "Removed button", false, false});
    translation.lexicons.append(LngLexicon{"D1", {{8, "Start"}}});
    const LngFile refreshed = refreshLng(translation, makeLngSkeleton(client.designEntries(), "x", "x"));
    QCOMPARE(refreshed.languageName, QStringLiteral("English"));
    auto find = [&](const QString& comp, int kind, int item = -1) -> const LngEntry* {
      for (const LngEntry& e : refreshed.entries)
        if (e.component == comp && e.kind == kind && e.item == item) return &e;
      return nullptr;
    };
    QCOMPARE(find("B2", LngCaption)->text, QStringLiteral("Connect"));
    QVERIFY(!find("B2", LngCaption)->old);
    QVERIFY(find("Removed", LngCaption)->old);
    QVERIFY(find("E2", LngCaption)->old);  // an editable field is not a caption
    for (const LngLexicon& l : refreshed.lexicons) {
      if (l.name != u"D1") continue;
      QCOMPARE(l.items.value(8), QStringLiteral("Start"));
      QCOMPARE(l.items.value(0), Lexicons::russian().D1[0]);
    }
  }

  void languagePickerAsksTheEngine() {
    LangMan man;
    man.loadLanguages(dir_.path());
    auto w = designWindow();
    LangManClient client(&man);
    client.exclude(QStringLiteral("CBox6"));  // the operator's own names
    auto* combo = w->findChild<QComboBox*>("LangCombo1");
    client.exclude(QStringLiteral("LangCombo1"));
    client.bindLanguageCombo(combo);
    client.attach(w.get());
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(0), QStringLiteral("Русский"));
    QCOMPARE(combo->currentIndex(), 1);

    bool veto = true;
    connect(&man, &LangMan::changeLangQuery, this, [&](int, bool* proceed) { *proceed = !veto; });
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    QCOMPARE(man.currentIndex(), 1);
    QCOMPARE(combo->currentIndex(), 1);
    veto = false;
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    QCOMPARE(man.currentIndex(), 0);
    QCOMPARE(textsOf(w.get()), kRussian);
    QCOMPARE(combo->itemText(1), QStringLiteral("English"));  // language names are not translated
  }
};

QTEST_MAIN(TestLangClient)
#include "test_lang_client.moc"
