#include "asciitab.h"

#include "textbox.h"

#include "boxtext.h"
#include "clicks.h"
#include "numtext.h"
#include "separators.h"

namespace calvexa {

AsciiTab::AsciiTab(QWidget& form)
    : QObject(&form),
      txtAHDIn(form.findChild<SingleLineBox*>("txtAHDIn")),
      txtAHDOut(form.findChild<MultiLineBox*>("txtAHDOut")) {
  const ClickHandler<AsciiTab> handlers[] = {
      {"Command13", &AsciiTab::Command13_Click}, {"Command14", &AsciiTab::Command14_Click},
      {"Command15", &AsciiTab::Command15_Click}, {"Command16", &AsciiTab::Command16_Click},
      {"Command17", &AsciiTab::Command17_Click}, {"Command18", &AsciiTab::Command18_Click},
  };
  ConnectClicks(form, this, handlers);
}

template <typename Convert>
void AsciiTab::Show(Convert convert) {
  try {
    WriteBox(*txtAHDOut, convert(ReadLine(*txtAHDIn)));
  } catch (...) {
  }
}

void AsciiTab::Command13_Click() { Show([](const std::u16string& in) { return CharsToHex(in); }); }
void AsciiTab::Command14_Click() { Show([](const std::u16string& in) { return CharsToDec(in); }); }
void AsciiTab::Command15_Click() {
  Show([](const std::u16string& in) { return DecToHex(in, UserSeparators()); });
}
void AsciiTab::Command16_Click() { Show([](const std::u16string& in) { return HexToDec(in); }); }
void AsciiTab::Command17_Click() { Show([](const std::u16string& in) { return HexToChars(in); }); }
void AsciiTab::Command18_Click() { Show([](const std::u16string& in) { return DecToChars(in); }); }

}  // namespace calvexa
