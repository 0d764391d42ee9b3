#include "form1.h"

#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <malloc.h>

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <QTabBar>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "asciitab.h"
#include "base64tab.h"
#include "conversiontab.h"
#include "hashtab.h"
#include "tabcontrol.h"
#include "textbox.h"

// The pictures are compiled into the static app library, whose resource registration the
// linker would drop unless something refers to it.
static void InitResources() { Q_INIT_RESOURCE(calvexa); }

namespace calvexa {
namespace {

// Layout unit: 15 twips make a pixel at 96 dots per inch.
int Px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }
QRect Twips(int left, int top, int width, int height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}

// Liberation Sans stands in for both "MS Sans Serif" and "Arial": it has Arial's metrics, and
// fontconfig would otherwise pick the wider DejaVu Sans for the missing names.
QFont Sans(double points, bool bold = false, bool italic = false) {
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

// The window's picture, stretched to fill its box and drawn from the vector master, so it stays
// sharp at any scale.
class StretchedImage : public QWidget {
 public:
  StretchedImage(QWidget* parent, const QString& file) : QWidget(parent), renderer(file, this) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    renderer.render(&painter, QRectF(rect()));
  }

 private:
  QSvgRenderer renderer;
};

// Builds the controls of one window and records their keyboard order.
class Builder {
 public:
  QGroupBox* Frame(QWidget* parent, const char* name, const QString& title, QRect at) {
    auto* frame = new QGroupBox(title, parent);
    Place(frame, name, at);
    return frame;
  }

  // A label that sizes itself to its one line of text.
  QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top,
                const QFont* font = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    if (font) label->setFont(*font);
    label->move(Px(left), Px(top));
    label->adjustSize();
    return label;
  }

  QLabel* FixedLabel(QWidget* parent, const char* name, const QString& text, QRect at) {
    auto* label = new QLabel(text, parent);
    Place(label, name, at);
    return label;
  }

  SingleLineBox* LineBox(QWidget* parent, const char* name, QRect at, int order,
                         const QString& accessibleName) {
    auto* box = new SingleLineBox(parent);
    box->setAccessibleName(accessibleName);
    Place(box, name, at);
    Order(box, order);
    return box;
  }

  // Wraps anywhere at its width, scroll bar always shown, Tab moves the focus on.
  MultiLineBox* TextBox(QWidget* parent, const char* name, QRect at, int order,
                        const QString& accessibleName) {
    auto* box = new MultiLineBox(parent);
    box->setAccessibleName(accessibleName);
    Place(box, name, at);
    Order(box, order);
    return box;
  }

  QPushButton* Button(QWidget* parent, const char* name, const QString& caption, QRect at,
                      int order) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    Place(button, name, at);
    Order(button, order);
    return button;
  }

  // A one-pixel black line from (x1, y1) to (x2, y2); horizontal or vertical.
  void Rule(QWidget* parent, const char* name, int x1, int y1, int x2, int y2) {
    auto* line = new QWidget(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, Qt::black);
    line->setPalette(palette);
    const int left = Px(std::min(x1, x2)), top = Px(std::min(y1, y2));
    line->setGeometry(left, top, std::max(1, Px(std::max(x1, x2)) - left + (y1 == y2 ? 0 : 1)),
                      std::max(1, Px(std::max(y1, y2)) - top + (x1 == x2 ? 0 : 1)));
  }

  void Order(QWidget* widget, int order) { order_.emplace_back(order, widget); }

  // Chains the recorded controls into the window's keyboard order.
  void ApplyOrder(QWidget* first) {
    std::stable_sort(order_.begin(), order_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = first;
    for (const auto& entry : order_) {
      QWidget::setTabOrder(previous, entry.second);
      previous = entry.second;
    }
  }

 private:
  static void Place(QWidget* widget, const char* name, QRect at) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(at);
  }

  std::vector<std::pair<int, QWidget*>> order_;
};

void BuildBase64Page(Builder& b, QWidget* page) {
  auto* encoding = b.Frame(page, "Frame1", QStringLiteral("Encoding:"), Twips(120, 120, 9855, 2775));
  b.Label(encoding, "Label1", QStringLiteral("Input:"), 120, 240);
  b.Label(encoding, "Label2", QStringLiteral("Output:"), 5040, 240);
  b.TextBox(encoding, "txtB64eIN", Twips(120, 480, 4695, 2175), 5, QStringLiteral("Encoding: Input"));
  b.TextBox(encoding, "txtB64eOUT", Twips(5040, 480, 4695, 2175), 6,
            QStringLiteral("Encoding: Output"));

  auto* decoding = b.Frame(page, "Frame2", QStringLiteral("Decoding:"), Twips(120, 3120, 9855, 2775));
  b.Label(decoding, "Label3", QStringLiteral("Input:"), 120, 240);
  b.Label(decoding, "Label4", QStringLiteral("Output:"), 5040, 240);
  b.TextBox(decoding, "txtB64dIN", Twips(120, 480, 4695, 2175), 7, QStringLiteral("Decoding: Input"));
  b.TextBox(decoding, "txtB64dOUT", Twips(5040, 480, 4695, 2175), 8,
            QStringLiteral("Decoding: Output"));
}

void BuildHashPage(Builder& b, QWidget* page) {
  b.Label(page, "Label5", QStringLiteral("Input:"), 120, 420);
  b.LineBox(page, "txtHashIn", Twips(120, 660, 9855, 285), 13, QStringLiteral("Hash: Input"));
  b.Label(page, "Label6", QStringLiteral("Result:"), 120, 1140);
  b.TextBox(page, "txtHashOut", Twips(120, 1380, 9855, 1575), 15, QStringLiteral("Hash: Result"));
  auto* types = b.Frame(page, "Frame3", QStringLiteral("Hash Types:"), Twips(120, 3060, 9855, 1815));

  struct HashButton {
    const char* name;
    const char* caption;
    int order;
  };
  // Two rows of eight, in screen order.
  static constexpr HashButton kButtons[2][8] = {
      {{"Command1", "MD2", 17}, {"Command2", "MD4", 18}, {"Command3", "MD5", 19},
       {"Command4", "SHA-1", 20}, {"Command5", "SHA-256", 21}, {"Command6", "SHA-384", 22},
       {"Command19", "SHA-512", 41}, {"Command20", "RipeMD-128", 42}},
      {{"Command7", "RipeMD-160", 23}, {"Command8", "RipeMD-256", 24},
       {"Command9", "RipeMD-320", 25}, {"Command10", "Panama", 26}, {"Command11", "Tiger", 27},
       {"Command12", "Crc16", 28}, {"Command21", "Crc16b", 43}, {"Command22", "Crc32", 44}},
  };
  static constexpr int kRowTops[2] = {480, 1080};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 8; ++column) {
      const HashButton& button = kButtons[row][column];
      b.Button(types, button.name, QString::fromLatin1(button.caption),
               Twips(120 + 1200 * column, kRowTops[row], 1095, 495), button.order);
    }
  }
}

void BuildAsciiPage(Builder& b, QWidget* page) {
  b.Label(page, "Label7", QStringLiteral("Input:"), 120, 240);
  b.LineBox(page, "txtAHDIn", Twips(120, 480, 9855, 285), 30,
            QStringLiteral("ASCII - Hex - Decimal: Input"));
  b.Label(page, "Label8", QStringLiteral("Results:"), 120, 960);
  b.TextBox(page, "txtAHDOut", Twips(120, 1200, 9855, 1575), 32,
            QStringLiteral("ASCII - Hex - Decimal: Results"));
  auto* conversions =
      b.Frame(page, "Frame4", QStringLiteral("Conversions:"), Twips(120, 2880, 9855, 735));

  struct Conversion {
    const char* name;
    const char* caption;
    int left;
    int order;
  };
  static constexpr Conversion kButtons[] = {
      {"Command13", "Char(s) > Hex", 368, 34}, {"Command14", "Char(s) > Dec", 1952, 35},
      {"Command15", "Dec > Hex", 3536, 36},    {"Command16", "Hex > Dec", 5120, 37},
      {"Command17", "Hex > Char(s)", 6704, 38}, {"Command18", "Dec > Char(s)", 8288, 39},
  };
  for (const Conversion& button : kButtons) {
    b.Button(conversions, button.name, QString::fromLatin1(button.caption),
             Twips(button.left, 240, 1455, 375), button.order);
  }

  b.Label(page, "Label9", QStringLiteral("INSTRUCTIONS:"), 120, 3720);
  struct Instruction {
    const char* name;
    int top;
    const char* text;
  };
  static constexpr Instruction kInstructions[] = {
      {"Label10", 4080,
       "Char(s) > Hex - Simply type any string if text and/or numbers. Click convert and each "
       "will be converted and seperated by a space."},
      {"Label11", 4392, "Char(s) > Dec - Same as Char(s) > Hex just get a decimal result instead."},
      {"Label12", 4704,
       "Dec > Hex - Can only contain numbers and can be any number you want to use."},
      {"Label13", 5016,
       "Hex > Dec - Can contain 0,1,2,3,4,5,6,7,8,9,A,B,C,D,E,F. Will be converted to decimal."},
      {"Label14", 5328,
       "Hex > Char(s) - Converts hex number to ascii character(s). Note: To do more than one, "
       "seperate them by comma. Example: 48,69"},
      {"Label15", 5640,
       "Dec > Char(s) - Same as Hex > Char(s). Again, more than one seperate them by a comma."},
  };
  for (const Instruction& line : kInstructions) {
    b.Label(page, line.name, QString::fromLatin1(line.text), 120, line.top);
  }
}

void BuildConversionPage(Builder& b, QWidget* page) {
  b.Label(page, "Label16", QStringLiteral("Conversion"), 120, 420);
  b.Label(page, "Label17", QStringLiteral("Dec Result"), 4680, 420);
  b.Label(page, "Label19", QStringLiteral("Hex Result"), 6360, 420);

  struct Row {
    int top;
    const char* button;
    const char* caption;
    int buttonOrder;
    const char* first;
    int firstOrder;
    const char* second;  // nullptr for "NOT"
    int secondOrder;
    const char* equals;
    const char* decimal;
    int decimalOrder;
    const char* hex;
    int hexOrder;
  };
  static constexpr Row kRows[] = {
      {780, "Command23", "AND", 47, "txtAnd1", 48, "txtAnd2", 49, "Label18_0", "txtAndRes", 50,
       "txtAndResHex", 51},
      {1260, "Command24", "OR", 52, "txtOr1", 53, "txtOr2", 54, "Label18_2", "txtOrRes", 55,
       "txtOrResHex", 56},
      {1740, "Command25", "XOR", 57, "txtXor1", 58, "txtXor2", 59, "Label18_3", "txtXorRes", 60,
       "txtXorResHex", 61},
      {2220, "Command26", "SHL", 62, "txtSHL1", 63, "txtSHL2", 64, "Label18_4", "txtSHLRes", 65,
       "txtSHLResHex", 66},
      {2700, "Command27", "SHR", 67, "txtSHR1", 68, "txtSHR2", 69, "Label18_5", "txtSHRRes", 70,
       "txtSHRResHex", 71},
      {3180, "Command28", "NOT", 83, "txtNot", 72, nullptr, 0, "Label18_8", "txtNotRes", 82,
       "txtNotResHex", 81},
  };
  for (const Row& row : kRows) {
    b.Button(page, row.button, QString::fromLatin1(row.caption), Twips(240, row.top, 975, 285),
             row.buttonOrder);
    const QString op = QString::fromLatin1(row.caption);
    b.LineBox(page, row.first, Twips(1440, row.top, 1335, 285), row.firstOrder,
              op + (row.second ? QStringLiteral(" first operand") : QStringLiteral(" operand")));
    if (row.second) {
      b.LineBox(page, row.second, Twips(3000, row.top, 1335, 285), row.secondOrder,
                op + QStringLiteral(" second operand"));
    }
    b.FixedLabel(page, row.equals, QStringLiteral("="), Twips(4440, row.top, 90, 195));
    b.LineBox(page, row.decimal, Twips(4800, row.top, 1335, 285), row.decimalOrder,
              op + QStringLiteral(" decimal result"));
    b.LineBox(page, row.hex, Twips(6360, row.top, 1335, 285), row.hexOrder,
              op + QStringLiteral(" hexadecimal result"));
  }
  b.Button(page, "Command29", QStringLiteral("Clear All"), Twips(8040, 660, 1815, 375), 84);

  b.Rule(page, "Line2", 120, 660, 7800, 660);
  b.Rule(page, "Line11", 120, 3540, 7800, 3540);
  b.Rule(page, "Line1", 120, 660, 120, 3540);
  b.Rule(page, "Line10", 7800, 660, 7800, 3540);
  b.Rule(page, "Line8", 4680, 660, 4680, 3540);
  b.Rule(page, "Line9", 6240, 660, 6240, 3540);
  b.Rule(page, "Line7", 120, 1140, 7800, 1140);
  b.Rule(page, "Line6", 120, 1620, 7800, 1620);
  b.Rule(page, "Line5", 120, 2100, 7800, 2100);
  b.Rule(page, "Line4", 120, 2580, 7800, 2580);
  b.Rule(page, "Line3", 120, 3060, 7800, 3060);

  b.Label(page, "Label20",
          QStringLiteral("Note: If you get an overflow or any other error using the SHL or SHR "
                         "function, below are the formulas to do the calculation manually:"),
          120, 3900);
  b.Label(page, "Label21", QStringLiteral("SHL - Number1 * 2^Number2"), 120, 4260);
  b.Label(page, "Label22", QStringLiteral("SHR - Number1 / 2^Number2"), 120, 4620);
}

void BuildAboutPage(Builder& b, QWidget* page) {
  auto* image = new StretchedImage(page, QStringLiteral(":/calvexa/calvexa.svg"));
  image->setObjectName(QStringLiteral("Image1"));
  image->setGeometry(Twips(120, 120, 1755, 1605));

  auto* title = b.FixedLabel(page, "Label23", QStringLiteral("Calvexa 1.01"),
                             Twips(2040, 120, 7575, 1455));
  title->setFont(Sans(65.25));
  title->setAlignment(Qt::AlignCenter);
  b.Rule(page, "Line12", 120, 1680, 9960, 1680);

  auto* intro = b.FixedLabel(
      page, "Label24",
      QStringLiteral(
          "Over the years I have got tired of having to use several different programs to perform "
          "conversions and math. So I decided to put one program together that will hopefully "
          "help you as much as it has me. This program is free and if you don't like it I will be "
          "happy to refund your money. :P If you do like it, please pass it along. If not, delete "
          "it. I know that there are prolly some bugs and such that need worked on and features "
          "to be added. But this is my beta version really. If it gets used alot and people like "
          "you are interested, I will gladly continue work on this program and build onto it "
          "more. Feedback is appreciated and I would love to hear from you."),
      Twips(120, 1800, 9855, 1095));
  intro->setWordWrap(true);
  intro->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  const QFont heading = Sans(8.25, true);
  b.Label(page, "Label25", QStringLiteral("Created By:"), 120, 3120, &heading);
  b.Label(page, "Label26", QStringLiteral("Zorbu"), 1200, 3120);
  b.Label(page, "Label27", QStringLiteral("Email:"), 120, 3480, &heading);
  b.Label(page, "Label28", QStringLiteral("zorbu@example.com"), 720, 3480);
  b.Label(page, "Label29", QStringLiteral("Shout Outs:"), 120, 3840, &heading);
  b.Label(page, "Label30",
          QStringLiteral("www.example.org - code.example.org - www.example.com"), 1200, 3840);
  b.Label(page, "Label31",
          QStringLiteral("If you like this program and would like to thank me, I wont stop you. "
                         "But I ask nothing for my software. It is free as all should be."),
          120, 4200);
  b.Label(page, "Label32", QStringLiteral("You can thank me by:"), 120, 4560, &heading);
  b.Label(page, "Label33",
          QStringLiteral("Donation - Paypal: donate@example.com (No donation too small. Enough to "
                         "buy a soda while programming even. :P)"),
          120, 4800);
  b.Label(page, "Label34",
          QStringLiteral("Feedback - Send me an email and let me know your thoughts on my program."),
          120, 5040);
  b.Label(page, "Label35", QStringLiteral("Other - Say a prayer for me. :)"), 120, 5280);
  b.Rule(page, "Line13", 120, 5520, 9960, 5520);
  const QFont quote = Sans(12, false, true);
  b.Label(page, "Label36",
          QStringLiteral("\"It aint the size of the dog in the fight, it's the size of the fight "
                         "in the dog.\""),
          1170, 5640, &quote);
}

}  // namespace

Form1::Form1() {
  InitResources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Calvexa - v1.01 - By: Zorbu"));
  QIcon icon;
  icon.addFile(QStringLiteral(":/calvexa/calvexa-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/calvexa/calvexa-32.png"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/calvexa/calvexa.svg"));  // any larger size, e.g. at 2x scale
  setWindowIcon(icon);
  setFont(Sans(8.25));
  // Fixed single border: the layout never changes, so neither does the window's size.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(Px(10110), Px(6390));

  auto* tabs = new TabControl(this);
  tabs->setObjectName(QStringLiteral("SSTab1"));
  tabs->setGeometry(Twips(0, 0, 10095, 6375));

  Builder builder;
  BuildBase64Page(builder, tabs->AddPage(QStringLiteral("Base 64")));
  BuildHashPage(builder, tabs->AddPage(QStringLiteral("Hash")));
  BuildAsciiPage(builder, tabs->AddPage(QStringLiteral("ASCII - Hex - Decimal")));
  BuildConversionPage(builder, tabs->AddPage(QStringLiteral("Conversion")));
  BuildAboutPage(builder, tabs->AddPage(QStringLiteral("About")));
  tabs->Tabs()->setCurrentIndex(0);
  builder.ApplyOrder(tabs->Tabs());

  base64Tab = new Base64Tab(*this, objBase64);
  new HashTab(*this);
  new AsciiTab(*this);
  new ConversionTab(*this);
}

Form1::~Form1() {
  // objBase64 goes with the members, before QWidget's destructor deletes the boxes and the tab:
  // a change signal sent while they are torn down must find the tab unloaded.
  base64Tab->Unload();
}

void Form1::closeEvent(QCloseEvent* event) {
  std::int16_t cancel = 0;
  Form_Unload(cancel);
  event->accept();
}

void Form1::Form_Unload(std::int16_t& /*Cancel*/) {
  base64Tab->Unload();
  objBase64.reset();
}

void KeepFreedMemoryForReuse() {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // A larger buffer is mapped on its own and unmapped when freed; an emptied box keeps it until
  // its next change, so that Ctrl+Z does not fault it in again page by page.
  TextModel::KeepEmptiedBuffersOnce(true);
}

void UseClassicStyle() {
  if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
    QApplication::setStyle(classic);
  }
}

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
}

}  // namespace calvexa
