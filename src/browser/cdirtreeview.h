#pragma once
// CDirTreeView: the client of the folder tree's bar, one CDirTree filling it. UI thread only.

#include <QWidget>

class CDirTree;

class CDirTreeView : public QWidget {
    Q_OBJECT
public:
    explicit CDirTreeView(QWidget* parent = nullptr);

    CDirTree* tree() const { return m_tree; }

private:
    CDirTree* m_tree;
};
