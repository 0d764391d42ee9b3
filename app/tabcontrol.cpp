#include "tabcontrol.h"

#include <QKeySequence>
#include <QPainter>
#include <QShortcut>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <algorithm>

namespace calvexa {

TabControl::TabControl(QWidget* parent) : QWidget(parent), tabBar(new QTabBar(this)) {
  tabBar->setShape(QTabBar::RoundedSouth);
  tabBar->setExpanding(true);
  tabBar->setDrawBase(false);
  tabBar->setUsesScrollButtons(false);
  tabBar->setElideMode(Qt::ElideNone);
  connect(tabBar, &QTabBar::currentChanged, this, &TabControl::ShowPage);

  // Shortcuts of the window get the keys unless the focused control claims them first (as a
  // ShortcutOverride), so the switch works from any box, button or the strip, none of which
  // claims Ctrl+Tab. On X11, Ctrl+Shift+Tab arrives as Backtab.
  auto* next = new QShortcut(this);
  next->setKeys({QKeySequence(Qt::CTRL | Qt::Key_Tab)});
  connect(next, &QShortcut::activated, this, [this] { StepTab(1); });
  auto* previous = new QShortcut(this);
  previous->setKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                     QKeySequence(Qt::CTRL | Qt::Key_Backtab)});
  connect(previous, &QShortcut::activated, this, [this] { StepTab(-1); });
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
  QWidget* shown = index >= 0 && index < static_cast<int>(pages.size())
                       ? pages[static_cast<std::size_t>(index)]
                       : nullptr;
  QWidget* focus = window()->focusWidget();
  const bool focusLeaves = focus && std::any_of(pages.begin(), pages.end(), [&](QWidget* page) {
                             return page != shown && page->isAncestorOf(focus);
                           });
  if (shown) shown->show();
  // Hiding the focused control would hand the keyboard to whatever follows it in the window's
  // order, often the strip; take it into the new page instead: to the control that last had it
  // there, else the page's first control in keyboard order, else the strip.
  if (focusLeaves) {
    QWidget* target = shown ? shown->focusWidget() : nullptr;
    if (!target || !target->isVisible() || !target->isEnabled()) {
      target = tabBar;
      for (QWidget* w = tabBar->nextInFocusChain(); w != tabBar; w = w->nextInFocusChain()) {
        if (shown && shown->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) &&
            w->isVisible() && w->isEnabled()) {
          target = w;
          break;
        }
      }
    }
    target->setFocus(Qt::TabFocusReason);
  }
  for (QWidget* page : pages) {
    if (page != shown) page->hide();
  }
}

void TabControl::StepTab(int step) {
  const int count = tabBar->count();
  if (count == 0) return;
  tabBar->setCurrentIndex(((tabBar->currentIndex() + step) % count + count) % count);
}

}  // namespace calvexa
