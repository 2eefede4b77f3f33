/*
** ParamsDialog, the modal window around generated lines; see
** paramsdialog.h.
*/
#include "paramsdialog.h"

#include "xb_parametersetauto.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

ParamsDialog::ParamsDialog(XB_ParameterSetAuto& set, const XB_String& title, QWidget* parent)
    : ParamsDialog(set, title, true, false, parent) {}

ParamsDialog::ParamsDialog(XB_ParameterSetAuto& set, const XB_String& title, bool withCancel,
                           bool narrowLines, QWidget* parent)
    : QDialog(parent),
      m_set(set),
      m_controls(this),
      m_lines(&m_controls),
      m_narrowLines(narrowLines) {
  XB_String caption = title;
  if (caption.IsEmpty()) caption = set.Name();
  if (caption.IsEmpty()) caption = "Dialog";
  setWindowTitle(QString::fromLatin1(caption.Data(), static_cast<qsizetype>(caption.Length())));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  m_controls.SetNotifier([this](int id, ParamControls::Event event) { m_lines.Notify(id, event); });
  m_okButton = MakeButton("OK", "ok");
  m_okButton->setDefault(true);
  connect(m_okButton, &QPushButton::clicked, this, [this] { OnOk(); });
  if (withCancel) {
    m_cancelButton = MakeButton("Cancel", "cancel");
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { done(2); });
  }
}

ParamsDialog::~ParamsDialog() {
  m_lines.Clear();
}

QPushButton* ParamsDialog::MakeButton(const char* text, const char* name) {
  auto* button = new QPushButton(QString::fromLatin1(text), this);
  button->setObjectName(QString::fromLatin1(name));
  button->setFocusPolicy(Qt::StrongFocus);
  button->setAutoDefault(false);
  button->show();
  return button;
}

ParamMetrics ParamsDialog::CurrentMetrics(const QWidget* widget) {
  ParamMetrics metrics;
  QStyle* style = widget ? widget->style() : QApplication::style();
  int frame = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, widget);
  int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, widget);
  metrics.frameWidth = frame;
  metrics.frameHeight = frame;
  metrics.minWindowHeight = title + 2 * frame;
  metrics.iconHeight = style->pixelMetric(QStyle::PM_LargeIconSize, nullptr, widget);
  metrics.scrollArrowHeight = style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, widget);
  QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    QRect area = screen->availableGeometry();
    metrics.maximizedWidth = area.width();
    metrics.maximizedHeight = area.height();
  }
  return metrics;
}

void ParamsDialog::Prepare() {
  ParamMetrics metrics = CurrentMetrics(this);
  ParamsDialogLayout layout(metrics, m_set.Count());
  ParamRect window = layout.WindowRect();
  int width = layout.ClientWidth();
  int height = layout.ClientHeight();
  QPoint origin;
  if (QScreen* screen = this->screen()) origin = screen->availableGeometry().topLeft();
  resize(width, height);
  move(origin.x() + window.left, origin.y() + window.top);
  m_lines.Clear();
  m_lines.Create(layout.LinesRect(width, height, m_narrowLines), m_set);
  PlaceButtons(layout, width, height);
  m_prepared = true;
}

void ParamsDialog::LoadValues() {
  m_lines.Exchange(false, m_set);
}

void ParamsDialog::OnOk() {
  m_lines.Exchange(true, m_set);
  done(1);
}

void ParamsDialog::PlaceButtons(const ParamsDialogLayout& layout, int width, int height) {
  auto place = [&](QPushButton* button, int quarter) {
    if (button == nullptr) return;
    ParamRect r = layout.ButtonRect(quarter, width, height);
    button->setGeometry(r.left, r.top, r.Width(), r.Height());
  };
  place(m_okButton, 0);
  place(m_cancelButton, 3);
}

void ParamsDialog::ApplyLayout() {
  ParamsDialogLayout layout(CurrentMetrics(this), m_set.Count());
  m_lines.Relayout(layout.LinesRect(width(), height(), m_narrowLines));
  PlaceButtons(layout, width(), height());
}

void ParamsDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (m_prepared) ApplyLayout();
}

int ParamsDialog::DoModal() {
  Prepare();
  LoadValues();
  int code = exec();
  hide();
  return code == 1 ? 1 : 0;
}
