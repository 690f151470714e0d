#include "ui/chistorybox.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

#include "core/messages.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"

namespace {

constexpr int kMinLength = 4;
const settingskeys::IndexedStringValue& kHistory = settingskeys::kAddressHistory;

void writeEntry(int index, const QString& text)
{
    CSettingsStore::WriteProfileString(kHistory.section, kHistory.name(index), text);
}

} // namespace

CHistoryBox::CHistoryBox(QObject* target, QWidget* parent) : CAutoFinishComboBox(kMinLength, parent), m_target(target)
{
    setObjectName(QStringLiteral("HistoryBox"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    loadHistory();
    setEditText({});
    // A combo box takes an entry whose text the edit holds when the edit loses the focus or on
    // Enter as chosen from the list; here that would open the folder a second time, or whenever
    // the focus goes elsewhere. Only the list itself chooses.
    disconnect(lineEdit(), &QLineEdit::editingFinished, nullptr, nullptr);
    connect(this, &QComboBox::activated, this, &CHistoryBox::choose);
}

bool CHistoryBox::eventFilter(QObject* watched, QEvent* event)
{
    // Enter is taken before the box hands it to its edit (and the edit, which leaves it to the
    // box, would have it handed back).
    if ((watched == this || watched == lineEdit()) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            enter();
            return true;
        }
    }
    return CAutoFinishComboBox::eventFilter(watched, event);
}

void CHistoryBox::wheelEvent(QWheelEvent* event)
{
    // Scrolling over the address bar must not open folder after folder.
    event->ignore();
}

void CHistoryBox::loadHistory()
{
    for (int index = 0; index < kHistory.count; ++index) {
        const QString entry = CSettingsStore::GetProfileString(kHistory.section, kHistory.name(index));
        if (entry.isEmpty())
            break;
        addItem(entry);
    }
}

void CHistoryBox::setAddress(const QString& path)
{
    setEditText(path);
    addCurrentText();
}

void CHistoryBox::addCurrentText()
{
    // Changing the list may change the current entry, which an editable box copies into its edit.
    const QString text = currentText();
    if (text.trimmed().isEmpty() || findText(text, Qt::MatchFixedString) >= 0)
        return;
    if (count() < kHistory.count) {
        addItem(text);
        writeEntry(count() - 1, text);
    } else {
        removeItem(0);
        addItem(text);
        const CSettingsStore::Batch batch;
        for (int index = 0; index < count(); ++index)
            writeEntry(index, itemText(index));
    }
    setEditText(text);
}

void CHistoryBox::enter()
{
    const QString text = currentText();
    if (text.trimmed().isEmpty())
        return;
    addCurrentText();
    appmsg::send(m_target, appmsg::kSelectFolder, text, appmsg::kFolderTyped);
}

void CHistoryBox::choose(int index)
{
    addCurrentText();
    const QString entry = itemText(index);
    appmsg::send(m_target, appmsg::kSelectFolder, entry, appmsg::kFolderShownByList);
    appmsg::send(m_target, appmsg::kSelectFolder, entry, appmsg::kFolderFromTree);
}
