/*
** The query bar: keys, picks and the combo box's item list.
*/
#include "querybar.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

QueryBar::QueryBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Query"), parent), m_combo(new QComboBox(this)) {
  setObjectName(QStringLiteral("QueryBar"));
  setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
  m_combo->setObjectName(QStringLiteral("QueryCombo"));
  m_combo->setEditable(true);
  m_combo->setInsertPolicy(QComboBox::NoInsert);
  m_combo->setCompleter(nullptr);
  m_combo->setMaxCount(static_cast<int>(QueryHistory::kMaxItems));
  m_combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_combo->setMinimumContentsLength(20);
  // Leaving the box would otherwise replace the typed text by an item that
  // matches it and report that item as picked.
  disconnect(m_combo->lineEdit(), &QLineEdit::editingFinished, m_combo, nullptr);
  m_combo->installEventFilter(this);
  m_combo->lineEdit()->installEventFilter(this);
  // The drop-down list hides just before it reports a pick; other reports
  // (the wheel, arrow keys) only browse the list and run nothing.
  m_combo->view()->window()->installEventFilter(this);
  connect(m_combo, &QComboBox::activated, this, &QueryBar::OnActivated);
  setWidget(m_combo);
  m_list.Load();
  Rebuild();
}

QueryBar::~QueryBar() = default;

void QueryBar::ShowQuery(const QString& text, bool remember) {
  m_list.Show(text, remember);
  Rebuild();
}

void QueryBar::Remember(const QString& text) {
  if (m_list.Remember(text)) Rebuild();
}

bool QueryBar::SaveHistory() {
  return m_list.Flush();
}

void QueryBar::RunText(const QString& text) {
  if (!QueryBarList::Runnable(text)) return;
  emit RunRequested(text);
}

void QueryBar::OnActivated(int index) {
  if (!m_popupClosing) return;
  m_popupClosing = false;
  RunText(m_combo->itemText(index));
}

void QueryBar::Rebuild() {
  QSignalBlocker blocker(m_combo);
  QStringList items = m_list.Items();
  bool same = m_combo->count() == items.size();
  for (int i = 0; same && i < items.size(); ++i) same = m_combo->itemText(i) == items[i];
  if (!same) {
    m_combo->clear();
    m_combo->addItems(items);
  }
  m_combo->setCurrentIndex(-1);
  m_combo->lineEdit()->setText(m_list.EditText());
}

bool QueryBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_combo->view()->window()) {
    if (event->type() == QEvent::Hide) {
      m_popupClosing = true;
      QTimer::singleShot(0, this, [this] { m_popupClosing = false; });
    }
    return QDockWidget::eventFilter(watched, event);
  }
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      RunText(m_combo->lineEdit()->text());
      return true;
    }
  }
  return QDockWidget::eventFilter(watched, event);
}
