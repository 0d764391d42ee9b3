#include "conversiontab.h"

#include "textbox.h"
#include <QMessageBox>

#include "boxtext.h"
#include "clicks.h"
#include "separators.h"

namespace calvexa {
namespace {

SingleLineBox* Box(QWidget& form, const char* name) { return form.findChild<SingleLineBox*>(name); }

}  // namespace

ConversionTab::ConversionTab(QWidget& window)
    : QObject(&window),
      form(window),
      rowAnd{Box(form, "txtAnd1"), Box(form, "txtAnd2"), Box(form, "txtAndRes"),
             Box(form, "txtAndResHex")},
      rowOr{Box(form, "txtOr1"), Box(form, "txtOr2"), Box(form, "txtOrRes"),
            Box(form, "txtOrResHex")},
      rowXor{Box(form, "txtXor1"), Box(form, "txtXor2"), Box(form, "txtXorRes"),
             Box(form, "txtXorResHex")},
      rowShl{Box(form, "txtSHL1"), Box(form, "txtSHL2"), Box(form, "txtSHLRes"),
             Box(form, "txtSHLResHex")},
      rowShr{Box(form, "txtSHR1"), Box(form, "txtSHR2"), Box(form, "txtSHRRes"),
             Box(form, "txtSHRResHex")},
      rowNot{Box(form, "txtNot"), nullptr, Box(form, "txtNotRes"), Box(form, "txtNotResHex")} {
  for (const Row* row : {&rowAnd, &rowOr, &rowXor}) {
    allBoxes.insert(allBoxes.end(), {row->first, row->second, row->decimal, row->hex});
  }
  allBoxes.insert(allBoxes.end(), {rowNot.first, rowNot.decimal, rowNot.hex});
  for (const Row* row : {&rowShl, &rowShr}) {
    allBoxes.insert(allBoxes.end(), {row->first, row->second, row->decimal, row->hex});
  }

  const ClickHandler<ConversionTab> handlers[] = {
      {"Command23", &ConversionTab::Command23_Click}, {"Command24", &ConversionTab::Command24_Click},
      {"Command25", &ConversionTab::Command25_Click}, {"Command26", &ConversionTab::Command26_Click},
      {"Command27", &ConversionTab::Command27_Click}, {"Command28", &ConversionTab::Command28_Click},
      {"Command29", &ConversionTab::Command29_Click},
  };
  ConnectClicks(form, this, handlers);
}

template <typename Operate>
void ConversionTab::Calculate(const Row& row, Operate operate) {
  try {
    const std::optional<ResultTexts> result = operate();
    if (!result) return;
    WriteLine(*row.decimal, result->decimal);
    WriteLine(*row.hex, result->hexadecimal);
  } catch (...) {
    // Writing the fallback allocates too: out of memory, the boxes keep what they show rather
    // than let an exception leave the slot.
    try {
      row.decimal->setText(QString::fromStdU16String(std::u16string(kInvalidResult)));
      row.hex->setText(QString::fromStdU16String(std::u16string(kInvalidResult)));
    } catch (...) {
    }
  }
}

void ConversionTab::Command23_Click() {
  Calculate(rowAnd, [&] { return AndResults(ReadLine(*rowAnd.first), ReadLine(*rowAnd.second)); });
}

void ConversionTab::Command24_Click() {
  Calculate(rowOr, [&] {
    return OrResults(ReadLine(*rowOr.first), ReadLine(*rowOr.second), UserSeparators());
  });
}

void ConversionTab::Command25_Click() {
  Calculate(rowXor, [&] {
    return XorResults(ReadLine(*rowXor.first), ReadLine(*rowXor.second), UserSeparators());
  });
}

void ConversionTab::Command28_Click() {
  Calculate(rowNot, [&] { return NotResults(ReadLine(*rowNot.first), UserSeparators()); });
}

void ConversionTab::Command26_Click() {
  Calculate(rowShl, [&] {
    return std::optional(
        ShlResults(ReadLine(*rowShl.first), ReadLine(*rowShl.second), UserSeparators()));
  });
}

void ConversionTab::Command27_Click() {
  Calculate(rowShr, [&] {
    return std::optional(
        ShrResults(ReadLine(*rowShr.first), ReadLine(*rowShr.second), UserSeparators()));
  });
}

void ConversionTab::Command29_Click() {
  try {
    // Yes, No and Cancel, no icon, Yes the default; only Yes clears.
    QMessageBox ask(QMessageBox::NoIcon, QStringLiteral("Confirm"),
                    QStringLiteral("Clear all boxes?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &form);
    ask.setDefaultButton(QMessageBox::Yes);
    if (ask.exec() != QMessageBox::Yes) return;
    for (SingleLineBox* box : allBoxes) box->clear();
  } catch (...) {
  }
}

}  // namespace calvexa
