/*
** The link label: colours by state, and a click that opens only what the
** opener accepts.
*/
#include "linkcontrol.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

namespace {

void Click(LinkControl& link) {
  QPointF at(1, 1);
  QMouseEvent press(QEvent::MouseButtonPress, at, link.mapToGlobal(at), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, link.mapToGlobal(at), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&link, &press);
  QApplication::sendEvent(&link, &release);
}

TEST(LinkControlTest, ClickOpensAndMarksVisited) {
  LinkControl link("https://www.sqlite.org/");
  QStringList opened;
  bool accept = false;
  link.SetOpener([&](const QString& address) {
    opened << address;
    return accept;
  });
  link.resize(200, 20);
  QColor plain = link.CurrentColour();
  Click(link);
  EXPECT_EQ(QStringList{"https://www.sqlite.org/"}, opened);
  EXPECT_FALSE(link.IsVisited()) << "a refused address leaves the link unvisited";
  EXPECT_EQ(plain, link.CurrentColour());

  accept = true;
  link.SetAddress("https://www.sqlite.org/lang.html");
  Click(link);
  EXPECT_EQ("https://www.sqlite.org/lang.html", opened.last());
  EXPECT_TRUE(link.IsVisited());
  EXPECT_NE(plain, link.CurrentColour());
  EXPECT_EQ(link.CurrentColour(), link.palette().color(QPalette::WindowText));
  EXPECT_TRUE(link.font().underline());
  link.SetUnderline(false);
  EXPECT_FALSE(link.font().underline());
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
