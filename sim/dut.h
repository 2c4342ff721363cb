#pragma once
// The device under test behind the simulated meter: one part or a list of
// parts taken in turn, described by short texts such as "R=1k",
// "C=100n,esr=0.5", "L=100u,esr=0.2", "D=0.65" (a diode, forward volts) or
// "U=1.5" (a voltage source, volts). Parts are separated by ';'.
#include <QString>
#include <QStringList>
#include <complex>
#include <optional>
#include <vector>

namespace zt::sim {

struct Part {
  enum class Kind { Resistor, Capacitor, Inductor, Diode, Voltage };
  Kind kind = Kind::Resistor;
  double value = 1000.0;  // ohms, farads, henries, volts
  double esr = 0.0;       // series loss, ohms (C and L)
  double rp = 0.0;        // parallel leakage, ohms (C); 0 = none

  // Impedance at `hz` (> 0): real part R, imaginary part X, in ohms.
  std::complex<double> Impedance(double hz) const;
};

// "1k" -> 1000, "100n" -> 1e-7, "2.2u", "4.7M", "0.5". Suffixes p n u µ m k M G.
std::optional<double> ParseSiValue(const QString& text);

// One part: "<R|C|L|D|U>=<value>[,esr=<ohms>][,rp=<ohms>]".
std::optional<Part> ParsePart(const QString& text, QString* error = nullptr);

// A list of parts separated by ';'. Empty text or any bad part gives nullopt.
std::optional<std::vector<Part>> ParseDut(const QString& text, QString* error = nullptr);

}  // namespace zt::sim
