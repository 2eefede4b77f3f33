/*
** The Print Preview window (see printpreview.h).
*/
#include "printpreview.h"

#include "listprinter.h"

#include <algorithm>

#include <QEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

PrintPreview::PrintPreview(ListPrinter& job, const QPrinter& printer, QWidget* parent)
    : QDialog(parent),
      m_job(job),
      m_pageWidth(std::max(printer.width(), 1)),
      m_pageHeight(std::max(printer.height(), 1)),
      m_pageCount(std::max(job.PageCount(), 1)) {
  setWindowTitle(QStringLiteral("Print Preview - ") + job.Snapshot().title);
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  m_scroll = new QScrollArea(this);
  m_scroll->setAlignment(Qt::AlignHCenter);
  m_scroll->setBackgroundRole(QPalette::Dark);
  m_image = new QLabel(m_scroll);
  m_scroll->setWidget(m_image);
  m_scroll->viewport()->installEventFilter(this);
  layout->addWidget(m_scroll, 1);

  QPushButton* print = AddButton(bar, QStringLiteral("&Print..."), QStringLiteral("print"));
  connect(print, &QPushButton::clicked, this, &PrintPreview::OnPrint);
  bar->addSpacing(12);
  connect(AddButton(bar, QStringLiteral("|<"), QStringLiteral("first")), &QPushButton::clicked,
          this, [this] { ShowPage(1); });
  connect(AddButton(bar, QStringLiteral("<"), QStringLiteral("previous")), &QPushButton::clicked,
          this, [this] { ShowPage(m_page - 1); });
  m_pageBox = new QSpinBox(this);
  m_pageBox->setObjectName(QStringLiteral("page"));
  m_pageBox->setRange(1, m_pageCount);
  m_pageBox->setKeyboardTracking(false);
  connect(m_pageBox, &QSpinBox::valueChanged, this, &PrintPreview::ShowPage);
  bar->addWidget(m_pageBox);
  m_ofPages = new QLabel(QStringLiteral("of %1").arg(m_pageCount), this);
  m_ofPages->setObjectName(QStringLiteral("pages"));
  bar->addWidget(m_ofPages);
  connect(AddButton(bar, QStringLiteral(">"), QStringLiteral("next")), &QPushButton::clicked, this,
          [this] { ShowPage(m_page + 1); });
  connect(AddButton(bar, QStringLiteral(">|"), QStringLiteral("last")), &QPushButton::clicked, this,
          [this] { ShowPage(m_pageCount); });
  bar->addStretch(1);
  connect(AddButton(bar, QStringLiteral("&Close"), QStringLiteral("close")), &QPushButton::clicked,
          this, &QDialog::reject);
  resize(760, 900);
  ShowPage(1);
}

QPushButton* PrintPreview::AddButton(QBoxLayout* bar, const QString& text, const QString& name) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(name);
  button->setAutoDefault(false);
  bar->addWidget(button);
  return button;
}

void PrintPreview::ShowPage(int page) {
  page = std::clamp(page, 1, m_pageCount);
  if (page == m_page) return;
  m_page = page;
  m_pageBox->setValue(page);
  Render();
}

void PrintPreview::Render() {
  // The page fills the width of the view; only this one page is drawn.
  const int width = std::max(m_scroll->viewport()->width() - 16, 200);
  const double scale = double(width) / m_pageWidth;
  QImage image(width, std::max(int(m_pageHeight * scale), 1), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(scale, scale);
  m_job.PrintPage(painter, m_page);
  painter.end();
  m_image->setPixmap(QPixmap::fromImage(image));
  m_image->resize(image.size());
}

bool PrintPreview::eventFilter(QObject* watched, QEvent* event) {
  // The page follows the width of the view it is shown in.
  if (watched == m_scroll->viewport() && event->type() == QEvent::Resize && m_page > 0) Render();
  return QDialog::eventFilter(watched, event);
}

void PrintPreview::OnPrint() {
  m_printRequested = true;
  accept();
}
