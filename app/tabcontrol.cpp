#include "tabcontrol.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace calvexa {

TabControl::TabControl(QWidget* parent) : QWidget(parent), tabBar(new QTabBar(this)) {
  tabBar->setShape(QTabBar::RoundedSouth);
  tabBar->setExpanding(true);
  tabBar->setDrawBase(false);
  tabBar->setUsesScrollButtons(false);
  tabBar->setElideMode(Qt::ElideNone);
  connect(tabBar, &QTabBar::currentChanged, this, &TabControl::ShowPage);
}

QWidget* TabControl::AddPage(const QString& caption) {
  auto* page = new QWidget(this);
  page->setGeometry(0, 0, width(), PageHeight());
  pages.push_back(page);
  tabBar->addTab(caption);
  ShowPage(tabBar->currentIndex());
  return page;
}

int TabControl::PageHeight() const { return height() - tabBar->sizeHint().height(); }

void TabControl::resizeEvent(QResizeEvent*) {
  const int strip = tabBar->sizeHint().height();
  // Every tab gets an equal share of the width, as in one row of a fixed-width tab control.
  tabBar->setGeometry(0, height() - strip, width(), strip);
  for (QWidget* page : pages) page->setGeometry(0, 0, width(), height() - strip);
}

void TabControl::paintEvent(QPaintEvent*) {
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  frame.rect = QRect(0, 0, width(), PageHeight() + 1);
  frame.shape = QTabBar::RoundedSouth;
  frame.tabBarSize = tabBar->size();
  frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  QPainter painter(this);
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

void TabControl::ShowPage(int index) {
  for (std::size_t i = 0; i < pages.size(); ++i) pages[i]->setVisible(static_cast<int>(i) == index);
}

}  // namespace calvexa
