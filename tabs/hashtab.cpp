#include "hashtab.h"

#include "textbox.h"

#include "boxtext.h"
#include "clicks.h"
#include "codepage.h"
#include "quickhash.h"

namespace calvexa {

HashTab::HashTab(QWidget& form)
    : QObject(&form),
      txtHashIn(form.findChild<SingleLineBox*>("txtHashIn")),
      txtHashOut(form.findChild<MultiLineBox*>("txtHashOut")) {
  const ClickHandler<HashTab> handlers[] = {
      {"Command1", &HashTab::Command1_Click},   {"Command2", &HashTab::Command2_Click},
      {"Command3", &HashTab::Command3_Click},   {"Command4", &HashTab::Command4_Click},
      {"Command5", &HashTab::Command5_Click},   {"Command6", &HashTab::Command6_Click},
      {"Command7", &HashTab::Command7_Click},   {"Command8", &HashTab::Command8_Click},
      {"Command9", &HashTab::Command9_Click},   {"Command10", &HashTab::Command10_Click},
      {"Command11", &HashTab::Command11_Click}, {"Command12", &HashTab::Command12_Click},
      {"Command19", &HashTab::Command19_Click}, {"Command20", &HashTab::Command20_Click},
      {"Command21", &HashTab::Command21_Click}, {"Command22", &HashTab::Command22_Click},
  };
  ConnectClicks(form, this, handlers);
}

void HashTab::Command1_Click() { ShowHash(kHashMd2); }
void HashTab::Command2_Click() { ShowHash(kHashMd4); }
void HashTab::Command3_Click() { ShowHash(kHashMd5); }
void HashTab::Command4_Click() { ShowHash(kHashSha1); }
void HashTab::Command5_Click() { ShowHash(kHashSha256); }
void HashTab::Command6_Click() { ShowHash(kHashSha384); }
void HashTab::Command7_Click() { ShowHash(kHashRipeMd160); }
void HashTab::Command8_Click() { ShowHash(kHashRipeMd256); }
void HashTab::Command9_Click() { ShowHash(kHashRipeMd320); }
void HashTab::Command10_Click() { ShowHash(kHashPanama); }
void HashTab::Command11_Click() { ShowHash(kHashTiger); }
void HashTab::Command12_Click() { ShowHash(kHashCrc16); }
void HashTab::Command19_Click() { ShowHash(kHashSha512); }
void HashTab::Command20_Click() { ShowHash(kHashRipeMd128); }
void HashTab::Command21_Click() { ShowHash(kHashCrc16b); }
void HashTab::Command22_Click() { ShowHash(kHashCrc32); }

void HashTab::ShowHash(int algorithm) {
  try {
    // Every byte is hashed, a character 0 included: the byte length goes with the text.
    TextToAnsi(ReadLine(*txtHashIn), bytInput);
    WriteBox(*txtHashOut, HashText(algorithm, bytInput));
  } catch (...) {
  }
}

}  // namespace calvexa
