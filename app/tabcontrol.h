#pragma once
// SSTab1: a tab control whose pages share its own coordinate space (a control at Top 120 on a
// page sits 120 twips below the control's top edge), with one row of tabs along the bottom.
// Ctrl+Tab and Ctrl+Shift+Tab select the next and the previous tab from anywhere in the window,
// wrapping at either end, as in QTabWidget.

#include <QWidget>
#include <vector>

class QTabBar;

namespace calvexa {

class TabControl : public QWidget {
 public:
  explicit TabControl(QWidget* parent);

  // A new page with this caption; place its controls with page-relative geometry.
  QWidget* AddPage(const QString& caption);
  QTabBar* Tabs() const { return tabBar; }
  QWidget* Page(int index) const { return pages.at(static_cast<std::size_t>(index)); }
  // The height of the page area above the tab strip.
  int PageHeight() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void ShowPage(int index);
  // Selects the tab `step` places on, wrapping round.
  void StepTab(int step);

  QTabBar* tabBar;
  std::vector<QWidget*> pages;
};

}  // namespace calvexa
