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
  m_list.SetSaveLater(true);
  m_list.Load();
  Rebuild();
}

QueryBar::~QueryBar() {
  FinishSave();
}

void QueryBar::ShowQuery(const QString& text, bool remember) {
  m_list.Show(text, remember);
  Rebuild();
  StartSave();
}

void QueryBar::Remember(const QString& text) {
  if (m_list.Remember(text)) Rebuild();
  StartSave();
}

bool QueryBar::SaveHistory() {
  FinishSave();
  return m_list.Flush();
}

void QueryBar::StartSave() {
  if (m_saving || !m_list.Unsaved()) return;
  std::vector<std::string> changes = m_list.TakeChanges();
  if (changes.empty()) return;
  if (m_saver.joinable()) m_saver.join();
  m_saving = true;
  // The thread has a settings object of its own over the same file; the
  // changes of both reach the file, as with two viewers.
  QString file = m_profileSettings.fileName();
  QSettings::Format format = m_profileSettings.format();
  m_saver = std::thread([this, file, format, changes = std::move(changes)]() mutable {
    SaveOutcome outcome;
    {
      QSettings settings(file, format);
      SettingsQueryProfile profile(settings);
      outcome.merged = QueryHistory::Merge(profile, changes);
    }
    outcome.changes = std::move(changes);
    {
      std::lock_guard<std::mutex> lock(m_saveMutex);
      m_saveOutcome = std::move(outcome);
    }
    // The bar outlives the thread (its destructor joins it), so the call
    // reaches it or is dropped with it.
    QMetaObject::invokeMethod(this, &QueryBar::OnSaveEnded, Qt::QueuedConnection);
  });
}

void QueryBar::OnSaveEnded() {
  // A failed save waits for the next kept text or the exit, as before.
  if (TakeSaveOutcome()) StartSave();
}

bool QueryBar::TakeSaveOutcome() {
  std::optional<SaveOutcome> outcome;
  {
    std::lock_guard<std::mutex> lock(m_saveMutex);
    outcome = std::exchange(m_saveOutcome, std::nullopt);
  }
  if (!outcome) return false;
  m_saving = false;
  bool saved = outcome->merged.has_value();
  QStringList before = m_list.Items();
  m_list.EndSave(std::move(outcome->changes), std::move(outcome->merged));
  // Texts other viewers kept may have joined the list; what the user is
  // typing stays.
  if (m_list.Items() != before) {
    QSignalBlocker blocker(m_combo);
    QString typed = m_combo->lineEdit()->text();
    m_combo->clear();
    m_combo->addItems(m_list.Items());
    m_combo->setCurrentIndex(-1);
    m_combo->lineEdit()->setText(typed);
  }
  return saved;
}

void QueryBar::FinishSave() {
  if (m_saver.joinable()) m_saver.join();
  TakeSaveOutcome();
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
