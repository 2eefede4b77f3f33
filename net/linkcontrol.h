/*
** LinkControl: a label that looks and acts like a web link.  It draws its
** text in the link colour, in the hover colour while the mouse is over it
** and in the visited colour once opened; it shows a hand cursor and opens
** its address (its text when none is set) with OpenAddress() on a left
** click.  Only http and https addresses open; a refused address leaves the
** link unvisited.  The opener can be replaced for tests.
*/
#ifndef LINKCONTROL_H
#define LINKCONTROL_H

#include <QColor>
#include <QLabel>

#include <functional>

class LinkControl : public QLabel {
  Q_OBJECT

 public:
  using Opener = std::function<bool(const QString&)>;

  explicit LinkControl(const QString& text = QString(), QWidget* parent = nullptr);

  /* The address opened on a click; empty means the label's text. */
  void SetAddress(const QString& address) { m_address = address; }
  QString Address() const { return m_address.isEmpty() ? text() : m_address; }

  /* An invalid HOVER colour means the palette's highlight colour. */
  void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
  void SetVisited(bool visited);
  void SetUnderline(bool underline);
  /* When on, the label keeps the size of its text. */
  void SetAutoSize(bool autoSize);
  void SetOpener(Opener opener) { m_opener = std::move(opener); }

  bool IsVisited() const { return m_visited; }
  bool IsHovering() const { return m_hovering; }
  /* The colour the text is drawn in now. */
  QColor CurrentColour() const;

 signals:
  /* The address was handed to the browser. */
  void opened(const QString& address);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Restyle();

  QString m_address;
  QColor m_link{0x00, 0x00, 0xF0};
  QColor m_visitedColour{0x80, 0x00, 0x64};
  QColor m_hover{0x80, 0x00, 0x00};
  bool m_visited = false;
  bool m_underline = true;
  bool m_autoSize = true;
  bool m_hovering = false;
  Opener m_opener;
};

#endif /* LINKCONTROL_H */
