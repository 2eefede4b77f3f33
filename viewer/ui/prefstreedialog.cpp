/*
** The Preferences window.
*/
#include "prefstreedialog.h"

#include "preferencesmodel.h"
#include "prefspage.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTreeWidget>

namespace {

const char* const kLastSelection = "lastsel";
const char* const kPlacement = "placement";

}  // namespace

CPrefsTreeDialog::CPrefsTreeDialog(PreferencesModel& model, const QString& title, QWidget* parent)
    : QDialog(parent), m_model(model), m_tree(new QTreeWidget(this)) {
  setWindowTitle(title);
  setObjectName(QStringLiteral("CPrefsTreeDialog"));
  m_tree->setObjectName(QStringLiteral("tree"));
  m_tree->setHeaderHidden(true);
  m_tree->setRootIsDecorated(true);
  m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
  FillTree();
  connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CPrefsTreeDialog::OnSelectionChanged);
}

CPrefsTreeDialog::~CPrefsTreeDialog() = default;

QString CPrefsTreeDialog::Section() const {
  return PreferencesModel::ProfileSection(windowTitle());
}

void CPrefsTreeDialog::FillTree() {
  for (int i = 0; i < m_model.PageCount(); ++i) {
    const PreferencesModel::Page& page = m_model.PageAt(i);
    QTreeWidgetItem* item =
        page.parent < 0 ? new QTreeWidgetItem(m_tree) : new QTreeWidgetItem(m_items[page.parent]);
    item->setText(0, page.label);
    item->setData(0, Qt::UserRole, i);
    m_items << item;
  }
  m_tree->expandAll();
}

int CPrefsTreeDialog::Run() {
  exec();
  return 1;
}

void CPrefsTreeDialog::showEvent(QShowEvent* event) {
  if (!m_shown) FirstShow();
  QDialog::showEvent(event);
}

void CPrefsTreeDialog::FirstShow() {
  m_shown = true;
  QSettings profile;
  profile.beginGroup(Section());
  if (!restoreGeometry(profile.value(QLatin1String(kPlacement)).toByteArray())) {
    QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    QSize size(area.width() / 3, area.height() / 3);
    setGeometry(QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size));
  }
  int stored = profile.value(QLatin1String(kLastSelection), 0).toInt();
  if (m_model.PageCount() > 0)
    SelectPage(PreferencesModel::PageToShow(stored, m_model.PageCount()));
  m_tree->setFocus();
}

void CPrefsTreeDialog::SelectPage(int index) {
  if (index < 0 || index >= m_items.size()) return;
  m_tree->setCurrentItem(m_items[index]);
}

void CPrefsTreeDialog::OnSelectionChanged() {
  QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  int index = selected.isEmpty() ? -1 : selected.front()->data(0, Qt::UserRole).toInt();
  if (index == m_current) return;
  if (!LeavePage()) {
    // Back to the page with the value that cannot be held.
    QSignalBlocker block(m_tree);
    m_tree->setCurrentItem(m_items[m_current]);
    return;
  }
  ShowPage(index);
}

bool CPrefsTreeDialog::LeavePage() {
  if (!m_page) return true;
  QString message;
  if (!m_page->Store(&message)) {
    QMessageBox::warning(this, windowTitle(), message);
    return false;
  }
  delete m_page;
  m_page = nullptr;
  m_current = -1;
  return true;
}

void CPrefsTreeDialog::ShowPage(int index) {
  if (index < 0 || index >= m_model.PageCount()) return;
  m_page = new CPrefsPage(*m_model.PageAt(index).group, this);
  m_current = index;
  Layout();
  m_page->show();
}

void CPrefsTreeDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Layout();
}

void CPrefsTreeDialog::Layout() {
  int treeWidth = width() / 3;
  m_tree->setGeometry(0, 0, treeWidth, height());
  if (m_page) m_page->setGeometry(treeWidth + 4, 0, qMax(width() - treeWidth - 4, 0), height());
}

void CPrefsTreeDialog::done(int result) {
  // Closing keeps every change, whatever way the window is left; a value
  // that cannot be held keeps it open.
  int shown = m_current;
  if (!LeavePage()) return;
  QSettings profile;
  profile.beginGroup(Section());
  if (shown >= 0) profile.setValue(QLatin1String(kLastSelection), shown);
  profile.setValue(QLatin1String(kPlacement), saveGeometry());
  QDialog::done(result);
}
