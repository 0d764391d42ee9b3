#pragma once
// Wires the window's buttons, found by name, to a tab's click handlers.

#include <QPushButton>
#include <QWidget>
#include <utility>

namespace calvexa {

template <typename Tab>
using ClickHandler = std::pair<const char*, void (Tab::*)()>;

template <typename Tab, std::size_t N>
void ConnectClicks(QWidget& form, Tab* tab, const ClickHandler<Tab> (&handlers)[N]) {
  for (const auto& [name, handler] : handlers) {
    QObject::connect(form.findChild<QPushButton*>(name), &QPushButton::clicked, tab, handler);
  }
}

}  // namespace calvexa
