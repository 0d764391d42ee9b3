#include "separators.h"

#include <QLocale>

namespace calvexa {

NumberSeparators UserSeparators() {
  const QLocale locale = QLocale::system();
  NumberSeparators separators;
  separators.decimal = locale.decimalPoint().toStdU16String();
  separators.grouping = locale.numberOptions().testFlag(QLocale::OmitGroupSeparator)
                            ? std::u16string()
                            : locale.groupSeparator().toStdU16String();
  return separators;
}

}  // namespace calvexa
