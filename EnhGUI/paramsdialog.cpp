/*
** ParamsDialog, the modal window around generated lines; see
** paramsdialog.h.
*/
#include "paramsdialog.h"

#include "xb_parametersetauto.h"

#include <QApplication>
#include <QLabel>
#include <QScrollArea>

#include <algorithm>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

ParamsDialog::ParamsDialog(XB_ParameterSetAuto& set, const XB_String& title, QWidget* parent)
    : ParamsDialog(set, title, true, false, parent) {}

ParamsDialog::ParamsDialog(XB_ParameterSetAuto& set, const XB_String& title, bool withCancel,
                           bool narrowLines, QWidget* parent)
    : QDialog(parent),
      m_set(set),
      m_scroll(new QScrollArea(this)),
      m_canvas(new QWidget),
      m_controls(m_canvas),
      m_lines(&m_controls),
      m_narrowLines(narrowLines) {
  XB_String caption = title;
  if (caption.IsEmpty()) caption = set.Name();
  if (caption.IsEmpty()) caption = "Dialog";
  setWindowTitle(QString::fromLatin1(caption.Data(), static_cast<qsizetype>(caption.Length())));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  m_scroll->setObjectName(QStringLiteral("lines"));
  m_scroll->setFrameShape(QFrame::NoFrame);
  m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_scroll->setWidgetResizable(false);
  m_scroll->setWidget(m_canvas);
  m_message = new QLabel(this);
  m_message->setObjectName(QStringLiteral("message"));
  m_message->setTextFormat(Qt::PlainText);
  m_message->setWordWrap(true);
  m_message->setStyleSheet(QStringLiteral("color: #b00000"));
  m_message->hide();
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
  ParamRect area = layout.LinesRect(width, height, m_narrowLines);
  m_lines.Create(ParamRect{0, 0, area.Width(), layout.CanvasHeight()}, m_set);
  m_prepared = true;
  ApplyLayout();
}

void ParamsDialog::LoadValues() {
  m_lines.Exchange(false, m_set);
  for (const XB_String& key : m_readOnlyKeys) {
    if (ParamLine* line = m_lines.FindLine(key)) line->SetReadOnly(true);
  }
}

void ParamsDialog::OnOk() {
  if (!SaveLines()) return;
  QString message;
  if (m_acceptHandler && !m_acceptHandler(&message)) {
    ShowMessage(message);
    return;
  }
  done(1);
}

bool ParamsDialog::SaveLines() {
  XB_String key, error;
  if (!m_lines.ValuesFit(&key, &error)) {
    QString label = m_controls.DisplayText(key);
    if (XB_Parameter* member = m_set.Find(key.View())) {
      if (member->GetInfo()) label = m_controls.DisplayText(member->GetInfo()->Label());
    }
    ShowMessage(label + QStringLiteral(": ") + QString::fromUtf8(error.c_str()));
    if (ParamLine* line = m_lines.FindLine(key)) {
      if (QWidget* input = m_controls.Widget(line->InputControl())) input->setFocus();
    }
    return false;
  }
  m_lines.Exchange(true, m_set);
  return true;
}

void ParamsDialog::ShowMessage(const QString& message) {
  m_message->setText(message);
  m_message->setToolTip(message);
  m_message->setVisible(!message.isEmpty());
  if (m_prepared) ApplyLayout();
}

QString ParamsDialog::Message() const {
  return m_message->isVisible() ? m_message->text() : QString();
}

void ParamsDialog::FocusFirstInput() {
  ParamLine* line = m_lines.FirstInput();
  if (line == nullptr) return;
  if (QWidget* input = m_controls.Widget(line->InputControl())) input->setFocus();
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
  ParamRect area = layout.LinesRect(width(), height(), m_narrowLines);
  if (m_message->isVisible()) {
    // The message takes the bottom of the lines' area, up to three lines
    // of text; the lines scroll above it.
    int textHeight = m_message->heightForWidth(area.Width());
    int lineHeight = m_message->fontMetrics().lineSpacing();
    int messageHeight = std::min(std::max(textHeight, lineHeight), 3 * lineHeight + 4);
    m_message->setGeometry(area.left + ParamLineLayout::kSpacing, area.bottom - messageHeight,
                           area.Width() - 2 * ParamLineLayout::kSpacing, messageHeight);
    area.bottom -= messageHeight;
  }
  m_scroll->setGeometry(area.left, area.top, area.Width(), std::max(area.Height(), 0));
  // The canvas holds every line; with more lines than room a vertical
  // scroll bar takes its width from the lines.
  int canvasHeight = std::max(layout.CanvasHeight(), area.Height());
  int canvasWidth = area.Width();
  if (canvasHeight > area.Height()) {
    canvasWidth -= m_scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll);
  }
  m_canvas->resize(std::max(canvasWidth, 0), canvasHeight);
  m_lines.Relayout(ParamRect{0, 0, canvasWidth, layout.CanvasHeight()});
  PlaceButtons(layout, width(), height());
}

void ParamsDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (m_prepared) ApplyLayout();
}

int ParamsDialog::DoModal() {
  Prepare();
  LoadValues();
  FocusFirstInput();
  int code = exec();
  hide();
  return code == 1 ? 1 : 0;
}
