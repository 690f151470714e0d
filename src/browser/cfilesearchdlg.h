#pragma once
// CFileSearchDlg: the "Find Images" dialog. The user names files ("Search for files named:") or
// picks an image type of the image library's list ("Choose image type:"), chooses where to look
// ("Look in:", the user's default folder when empty) and starts the search with the button that
// then stops it. CFileFinder walks on a worker and hands its finds over in batches: the list, the
// folder line and the count line follow while the dialog stays usable. Selecting a result shows
// its picture in the preview box; double-clicking one shows it in the browser (the parent window,
// through "SelectFolder" and "SelectPicture"). Closing the dialog stops a search first. UI thread.

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "browser/cshelllist.h"
#include "fileops/cfilefinder.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class CSearchPreview;

class CFileSearchDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFileSearchDlg(QWidget* parent = nullptr);
    ~CFileSearchDlg() override;

    // The image types as the type box lists them: description and pattern list ("*.jpg;*.jpeg").
    static QList<QPair<QString, QString>> imageTypes();

    // What a search looks for, from the texts of the name and "Look in:" fields and the pattern
    // list of the chosen type: a name without a dot becomes name*.*; no name searches the type's
    // patterns; a pattern list ("*.jpg;*.png") searches every name with those extensions; the
    // chosen type restricts a typed name to its extensions.
    static CFileFinder::Options searchOptions(const QString& nameText, const QString& typePattern,
                                              const QString& lookIn);
    // The extensions of a pattern list, each cut after its last dot, lower case; "*" stands for any.
    static QStringList extensionsOf(const QString& patterns);

    // The finder, for whoever waits for a search to end.
    const CFileFinder& finder() const { return m_finder; }

protected:
    void reject() override;

private:
    void buildControls();
    void fillTypes();
    void searchOrStop();
    void addRows(int first, int count);
    void showCount();
    void chooseFolder();
    void previewCurrent(QTreeWidgetItem* item);
    void showInBrowser(QTreeWidgetItem* item);

    CFileFinder m_finder;
    CShellList m_shellList;
    QString m_typePattern;
    QLineEdit* m_name = nullptr;
    QComboBox* m_types = nullptr;
    QLineEdit* m_lookIn = nullptr;
    QPushButton* m_searchButton = nullptr;
    QTreeWidget* m_results = nullptr;
    CSearchPreview* m_preview = nullptr;
    QLabel* m_folderLine = nullptr;
    QLabel* m_countLine = nullptr;
};
