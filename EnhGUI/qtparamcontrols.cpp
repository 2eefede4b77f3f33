/*
** The generated dialog lines' window-system operations on Qt widgets;
** see qtparamcontrols.h.
**
** The controls keep the looks the dialogs were designed with: labels and
** value texts with a sunken edge and no mnemonic processing, edits that
** scroll horizontally, a check box with its caption left of the box,
** right-aligned date pickers.  Every control starts 100 x 20 pixels at
** the origin until the layout moves it.
*/
#include "qtparamcontrols.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimeEdit>

/* Latin-1 text of an XB_String as a QString. */
QString QtParamControls::ToQString(const XB_String& text) const {
  if (!m_codec) return QString::fromLatin1(text.Data(), static_cast<qsizetype>(text.Length()));
  return QString::fromStdString(m_codec->ToDisplay(text.View()));
}

XB_String QtParamControls::FromQString(const QString& text) const {
  if (!m_codec) {
    // Characters outside Latin-1 become "?"; TextFits tells the caller.
    QByteArray bytes = text.toLatin1();
    return XB_String(bytes.constData(), static_cast<size_t>(bytes.size()));
  }
  QByteArray utf8 = text.toUtf8();
  std::string stored, error;
  if (!m_codec->ToStored(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                         &stored, &error)) {
    // Not storable: handed back as typed, and TextFits refuses it.
    return XB_String(utf8.constData(), static_cast<size_t>(utf8.size()));
  }
  return XB_String(std::string_view(stored));
}

QtParamControls::QtParamControls(QWidget* parent) : m_parent(parent) {}

QtParamControls::~QtParamControls() {
  for (auto& widget : m_widgets) delete widget.data();
}

QWidget* QtParamControls::Widget(int control) const {
  if (control < 1 || static_cast<size_t>(control) > m_widgets.size()) return nullptr;
  return m_widgets[static_cast<size_t>(control) - 1].data();
}

void QtParamControls::Send(int id, ParamControls::Event event) {
  if (m_notifier) m_notifier(id, event);
}

QWidget* QtParamControls::MakeWidget(Kind kind, unsigned style, int id) {
  switch (kind) {
    case CONTROL_LABEL:
    case CONTROL_DISPLAY: {
      auto* label = new QLabel(m_parent);
      label->setTextFormat(Qt::PlainText);
      label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      label->setAlignment(Qt::AlignVCenter |
                          (kind == CONTROL_DISPLAY ? Qt::AlignRight : Qt::AlignLeft));
      if (kind == CONTROL_DISPLAY) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
      }
      return label;
    }
    case CONTROL_EDIT: {
      auto* edit = new QLineEdit(m_parent);
      Qt::Alignment align = Qt::AlignLeft;
      if (style & EDIT_CENTER) align = Qt::AlignHCenter;
      if (style & EDIT_RIGHT) align = Qt::AlignRight;
      edit->setAlignment(align | Qt::AlignVCenter);
      if (style & EDIT_PASSWORD) edit->setEchoMode(QLineEdit::Password);
      if (style & EDIT_NUMBER) {
        /* Digits only, with a leading minus so negative numbers can be kept. */
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), edit));
      }
      connect(edit, &QLineEdit::textEdited, this,
              [this, id](const QString&) { Send(id, EVENT_CHANGED); });
      if (style & EDIT_SET_NULL) {
        edit->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(edit, &QWidget::customContextMenuRequested, this,
                [this, edit, id](const QPoint& where) { ShowNullMenu(edit, id, where); });
      }
      return edit;
    }
    case CONTROL_CHECK: {
      auto* box = new QCheckBox(m_parent);
      box->setLayoutDirection(Qt::RightToLeft);
      connect(box, &QCheckBox::clicked, this, [this, id](bool) { Send(id, EVENT_CHANGED); });
      return box;
    }
    case CONTROL_BUTTON: {
      auto* button = new QPushButton(m_parent);
      connect(button, &QPushButton::clicked, this, [this, id](bool) { Send(id, EVENT_PRESSED); });
      return button;
    }
    case CONTROL_DATE:
    case CONTROL_TIME: {
      QDateTimeEdit* picker;
      if (kind == CONTROL_DATE) {
        picker = new QDateEdit(m_parent);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
      } else {
        picker = new QTimeEdit(m_parent);
        picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
      }
      picker->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      connect(picker, &QDateTimeEdit::dateTimeChanged, this,
              [this, id](const QDateTime&) { Send(id, EVENT_CHANGED); });
      return picker;
    }
  }
  return nullptr;
}

int QtParamControls::Create(Kind kind, unsigned style, int id, const XB_String& name) {
  if (m_parent.isNull()) return 0;
  QWidget* widget = MakeWidget(kind, style, id);
  if (widget == nullptr) return 0;
  QString objectName = ToQString(name);
  if (kind == CONTROL_LABEL) objectName += QStringLiteral("_label");
  if (kind == CONTROL_BUTTON) objectName += QStringLiteral("_button");
  widget->setObjectName(objectName);
  widget->setGeometry(0, 0, 100, 20);
  widget->show();
  m_widgets.emplace_back(widget);
  return static_cast<int>(m_widgets.size());
}

void QtParamControls::Destroy(int control) {
  QWidget* widget = Widget(control);
  if (widget == nullptr) return;
  m_widgets[static_cast<size_t>(control) - 1] = nullptr;
  delete widget;
}

void QtParamControls::Move(int control, const ParamRect& where) {
  QWidget* widget = Widget(control);
  if (widget) widget->setGeometry(where.left, where.top, where.Width(), where.Height());
}

void QtParamControls::SetText(int control, const XB_String& text) {
  QWidget* widget = Widget(control);
  QString value = ToQString(text);
  if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(value);
  else if (auto* edit = qobject_cast<QLineEdit*>(widget))
    edit->setText(value);
  else if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(value);
}

XB_String QtParamControls::GetText(int control) const {
  QWidget* widget = Widget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) return FromQString(label->text());
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return FromQString(edit->text());
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return FromQString(button->text());
  return XB_String();
}

bool QtParamControls::TextFits(int control, XB_String* error) const {
  auto* edit = qobject_cast<QLineEdit*>(Widget(control));
  if (!edit) return true;
  QString text = edit->text();
  if (!m_codec) {
    for (QChar c : text) {
      if (c.unicode() <= 0xFF) continue;
      if (error)
        *error =
            XB_String::Formatted("The character %s cannot be stored.", QString(c).toStdString());
      return false;
    }
    return true;
  }
  QByteArray utf8 = text.toUtf8();
  std::string stored, reason;
  if (m_codec->ToStored(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                        &stored, &reason)) {
    return true;
  }
  if (error) *error = XB_String(std::string_view(reason));
  return false;
}

void QtParamControls::SetReadOnly(int control, bool readOnly) {
  auto* edit = qobject_cast<QLineEdit*>(Widget(control));
  if (!edit) return;
  edit->setReadOnly(readOnly);
  edit->setFocusPolicy(readOnly ? Qt::NoFocus : Qt::StrongFocus);
  UpdateLook(edit);
}

void QtParamControls::SetNullLook(int control, bool isNull) {
  auto* edit = qobject_cast<QLineEdit*>(Widget(control));
  if (!edit) return;
  edit->setPlaceholderText(isNull ? QStringLiteral("NULL") : QString());
  edit->setProperty("nullValue", isNull);
  UpdateLook(edit);
}

void QtParamControls::UpdateLook(QLineEdit* edit) {
  bool grey = edit->isReadOnly() || edit->property("nullValue").toBool();
  QPalette palette = edit->palette();
  QPalette standard = edit->style()->standardPalette();
  palette.setColor(QPalette::Base, standard.color(grey ? QPalette::Window : QPalette::Base));
  edit->setPalette(palette);
}

void QtParamControls::ShowNullMenu(QWidget* widget, int id, const QPoint& where) {
  auto* edit = qobject_cast<QLineEdit*>(widget);
  if (!edit) return;
  QMenu* menu = edit->createStandardContextMenu();
  menu->addSeparator();
  QAction* setNull = menu->addAction(QStringLiteral("Set to NULL"));
  setNull->setObjectName(QStringLiteral("setNull"));
  setNull->setEnabled(!edit->isReadOnly());
  connect(setNull, &QAction::triggered, this, [this, edit, id] {
    edit->clear();
    Send(id, EVENT_SET_NULL);
  });
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(edit->mapToGlobal(where));
}

void QtParamControls::SetCheck(int control, bool checked) {
  if (auto* box = qobject_cast<QCheckBox*>(Widget(control))) box->setChecked(checked);
}

bool QtParamControls::GetCheck(int control) const {
  auto* box = qobject_cast<QCheckBox*>(Widget(control));
  return box && box->isChecked();
}

bool QtParamControls::SetDateTime(int control, const ParamDateTime& when) {
  QWidget* widget = Widget(control);
  if (auto* time = qobject_cast<QTimeEdit*>(widget)) {
    QTime value(when.hour, when.minute, when.second);
    if (!value.isValid()) return false;
    time->setTime(value);
    return true;
  }
  if (auto* date = qobject_cast<QDateEdit*>(widget)) {
    QDate value(when.year, when.month, when.day);
    if (!value.isValid() || value < date->minimumDate() || value > date->maximumDate())
      return false;
    date->setDate(value);
    return true;
  }
  return false;
}

ParamDateTime QtParamControls::GetDateTime(int control) const {
  ParamDateTime when;
  QWidget* widget = Widget(control);
  if (auto* time = qobject_cast<QTimeEdit*>(widget)) {
    QTime value = time->time();
    when.hour = value.hour();
    when.minute = value.minute();
    when.second = value.second();
  } else if (auto* date = qobject_cast<QDateEdit*>(widget)) {
    QDate value = date->date();
    when.year = value.year();
    when.month = value.month();
    when.day = value.day();
  }
  return when;
}

bool QtParamControls::BrowseFolder(const XB_String& title, XB_String& path) {
  QString start = QFile::decodeName(QByteArray(path.Data(), static_cast<qsizetype>(path.Length())));
  QString chosen = QFileDialog::getExistingDirectory(m_parent, ToQString(title), start);
  if (chosen.isEmpty()) return false;
  QByteArray bytes = QFile::encodeName(chosen);
  path = XB_String(bytes.constData(), static_cast<size_t>(bytes.size()));
  return true;
}
