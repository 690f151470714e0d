#pragma once
// CODHeaderCtrl: the column header of the list's report view. It draws every section itself in
// the classic flat look and shows the sort arrow, an engraved triangle at the right end of the
// sort column. Qt's own sort indicator stays off: the arrow is ours. UI thread only.

#include <QHeaderView>

class CODHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CODHeaderCtrl(QWidget* parent = nullptr);

    // Shows the arrow on `column` (-1: on none), pointing up when `ascending`. Returns the column
    // that had the arrow before.
    int SetSortImage(int column, bool ascending);

    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

private:
    int spaceWidth() const;
    void drawSortArrow(QPainter* painter, const QRect& rect) const;

    int m_sortColumn = -1;
    bool m_sortAscending = true;
};
