#pragma once
// The program's one window: a fixed layout of five tabs whose controls carry their historic
// names as objectName (txtB64eIN, Command13, ...), so handlers and tests find them by name.

#include <QWidget>
#include <memory>

#include "base64.h"

class QCloseEvent;

namespace calvexa {

class Base64Tab;

class Form1 : public QWidget {
 public:
  Form1();
  ~Form1() override;

  // A control of the window by its name; nullptr if there is none of that type.
  template <typename T>
  T* Control(const char* name) const {
    return findChild<T*>(QString::fromLatin1(name));
  }

  // The codec the Base64 tab created, or nullptr before its first change.
  const Base64* Codec() const { return objBase64.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs as the window closes; never keeps it open.
  void Form_Unload(std::int16_t& Cancel);

  std::unique_ptr<Base64> objBase64;
  Base64Tab* base64Tab = nullptr;  // a child: deleted by QWidget's destructor, after objBase64
};

// Results set whole (a click's output, the first Base64 of a paste) come in new buffers. Keeping
// freed memory in the heap lets the next one reuse pages that are already mapped instead of
// faulting in fresh ones, which costs as much as computing it for large texts. The heap keeps
// at most a bound of it, and a box emptied of a larger text keeps its buffer until its next
// change. The program does this where its allocator has no huge pages (app/main.cpp), whose
// fresh memory is cheap.
void KeepFreedMemoryForReuse();

// The classic look the layout was drawn for: frame titles sit on the frame's border.
void UseClassicStyle();

// Centres the window on its screen's available area (the offscreen platform and an X server
// without a window manager would otherwise put it at the top-left corner).
void CentreOnScreen(QWidget& window);

}  // namespace calvexa
