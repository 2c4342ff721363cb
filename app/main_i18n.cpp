// Localisation of the window.
#include "main.h"

namespace zt {

void TForm1::ConnectI18nSignals() {}

const Lexicons& TForm1::lex() const { return Lexicons::russian(); }

}  // namespace zt
