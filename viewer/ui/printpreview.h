/*
** PrintPreview: the Print Preview window.  It shows one page of a laid-out
** ListPrinter job at a time, drawn only when it is looked at, so a result
** of a million rows (some eighteen thousand pages) opens as fast as one of
** ten rows and costs the memory of one page image.  The user walks the
** pages (first, previous, a page number, next, last), and leaves with
** Close or with Print, which the caller then runs as a print job.
*/
#ifndef PRINTPREVIEW_H
#define PRINTPREVIEW_H

#include <QDialog>

class ListPrinter;
class QBoxLayout;
class QLabel;
class QPrinter;
class QPushButton;
class QScrollArea;
class QSpinBox;

class PrintPreview : public QDialog {
  Q_OBJECT
 public:
  /* Shows JOB, already laid out for PRINTER; both must outlive the window. */
  PrintPreview(ListPrinter& job, const QPrinter& printer, QWidget* parent = nullptr);

  /* The page shown (from 1) and the number of pages. */
  int Page() const { return m_page; }
  int PageCount() const { return m_pageCount; }
  /* Shows page PAGE, clamped to the job's pages. */
  void ShowPage(int page);
  /* True when the user left with Print. */
  bool PrintRequested() const { return m_printRequested; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* AddButton(QBoxLayout* bar, const QString& text, const QString& name);
  void Render();
  void OnPrint();

  ListPrinter& m_job;
  int m_pageWidth;
  int m_pageHeight;
  int m_page = 0;
  int m_pageCount;
  bool m_printRequested = false;
  QSpinBox* m_pageBox = nullptr;
  QScrollArea* m_scroll = nullptr;
  QLabel* m_image = nullptr;
  QLabel* m_ofPages = nullptr;
};

#endif
