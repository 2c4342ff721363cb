#pragma once
// A recorder over the profile book fixture, with fixed separators and
// clock, and readings of a resistor as the meter's state hands them on.
#include <QDateTime>
#include <QTest>

#include "book_fixture.h"
#include "recorder.h"

namespace zt::test {

inline const QDateTime kFrameTime(QDate(2024, 2, 1), QTime(10, 11, 12));
inline const QDateTime kKeyTime(QDate(2024, 3, 4), QTime(5, 6, 7));

// An awake RLC reading of a resistor, as the meter's state hands it on.
inline MeterReading Reading(double ohms = 100.0, const QString& text = QStringLiteral("100.00 Ом")) {
  MeterReading m;
  m.time = kFrameTime;
  m.settings.LogReady = 1;
  m.settings.CircuitSeries = 1;
  m.settings.FreqCode = 3;
  m.testFreqHz = 1000;
  m.values.ReadingR = ohms;
  m.values.ReadingX = 1.0;
  m.primaryLetter = QStringLiteral("R");
  m.primaryText = text;
  m.primary = {Quantity::Resistance, ohms, QStringLiteral("Ω")};
  m.secondaryLetter = QStringLiteral("Q");
  m.secondaryText = QStringLiteral("0.0100");
  m.freqText = QStringLiteral("1кГц");
  m.levelText = QStringLiteral("1.0Вскз");
  return m;
}

struct RecorderFixture : BookFixture {
  Recorder rec{&book};
  bool gateOpen = true;

  RecorderFixture() {
    rec.setSeparators(Separators{QStringLiteral("."), QStringLiteral(",")});
    rec.setTimeSeparator(QStringLiteral(":"));
    rec.setClock([] { return kKeyTime; });
    rec.setOnDemandGate([this] { return gateOpen; });
    QObject::connect(&rec, &Recorder::notice, [this](NoticeLevel level, const QString& text) {
      notices.append({level, text});
    });
  }
  const LogModel& grid() const { return rec.model(); }
  QStringList rowNames() const {
    QStringList n;
    for (int r = 1; r < grid().gridRowCount(); ++r) n << grid().cell(r, 1);
    return n;
  }
  QStringList headings() const {
    QStringList h;
    for (int c = 0; c < kLogColumns; ++c) h << grid().header(c);
    return h;
  }
  void setPrimary(const QString& tolerance, const QString& nominal) {
    Reference ref = book.reference();
    ref.primary.kind = kPrimaryR;
    ref.primary.unitIndex = 0;
    ref.primary.nominalText = nominal;
    ref.primary.toleranceOn = !tolerance.isEmpty();
    ref.primary.toleranceText = tolerance;
    book.setReference(ref);
  }
};

// Columns 7-9 of a row: r reject, g pass, . none.
inline QString Verdicts(const LogModel& m, int row) {
  QString s;
  for (int c = 7; c <= 9; ++c) {
    const auto v = m.cellVerdict(row, c);
    s += v == LogModel::CellVerdict::Reject ? QLatin1Char('r')
         : v == LogModel::CellVerdict::Pass ? QLatin1Char('g')
                                            : QLatin1Char('.');
  }
  return s;
}

}  // namespace zt::test
