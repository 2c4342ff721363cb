#pragma once
// The text a front-panel label shows, looked up by the label's object name in
// the panel value, so tables can name labels as the window does.
#include <QHash>
#include <QString>
#include <QStringList>

#include "panel_view.h"

namespace zt::test {

inline const QHash<QString, QString PanelView::*>& PanelLabelFields() {
  static const QHash<QString, QString PanelView::*> fields = {{"L_Prim_RLC", &PanelView::primaryLetter},
                                                              {"L_RLC_avto", &PanelView::primaryAuto},
                                                              {"L_prim_n", &PanelView::primaryReading},
                                                              {"L_Sec_RLC", &PanelView::secondaryLetter},
                                                              {"L_RQD_avto", &PanelView::secondaryAuto},
                                                              {"L_sec_n", &PanelView::secondaryReading},
                                                              {"L_freq_RLC", &PanelView::freq},
                                                              {"L_Level_RLC", &PanelView::level},
                                                              {"L_Source_RLC", &PanelView::source},
                                                              {"L_SER_PER", &PanelView::circuit},
                                                              {"L_SER_PER1", &PanelView::circuit1},
                                                              {"JP5", &PanelView::sleep},
                                                              {"RD_Prim", &PanelView::rdMain},
                                                              {"RD_prim_R", &PanelView::rdFunction},
                                                              {"RD_V", &PanelView::rdVoltage},
                                                              {"RD_Auto", &PanelView::rdAuto},
                                                              {"J_prim", &PanelView::rdLetter},
                                                              {"Joo", &PanelView::rdSubscript},
                                                              {"RD_J", &PanelView::rdCurrent},
                                                              {"RD_J1", &PanelView::rdSecondCurrent},
                                                              {"U_Prim", &PanelView::uMain},
                                                              {"U_vrm", &PanelView::uUpper},
                                                              {"U_pp", &PanelView::uLower}};
  return fields;
}

// Every label name the panel value carries, L_righ1..L_righ6 included.
inline QStringList PanelLabelNames() {
  QStringList names = PanelLabelFields().keys();
  for (int i = 1; i <= 6; ++i) names.append(QStringLiteral("L_righ%1").arg(i));
  names.sort();
  return names;
}

inline QString PanelLabel(const PanelView& v, const QString& name) {
  if (name.startsWith(QLatin1String("L_righ"))) {
    const int i = name.mid(6).toInt();
    if (i >= 1 && i <= 6) return v.right[std::size_t(i - 1)];
  }
  const auto& fields = PanelLabelFields();
  if (!fields.contains(name)) qFatal("no label %s", qPrintable(name));
  return v.*fields.value(name);
}

}  // namespace zt::test
