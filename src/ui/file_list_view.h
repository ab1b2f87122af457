// SPDX-License-Identifier: MIT
#pragma once

#include <QPersistentModelIndex>
#include <QTreeWidget>

// The list view that holds the file list: one column, one text per entry, positions
// 1 to Count() from the top. New entries are always appended; the list is never
// sorted. Mouse, key and drop events are handed to the main window's handlers.
class FileListView : public QTreeWidget {
    Q_OBJECT

public:
    explicit FileListView(QWidget* parent = nullptr);

    int Count() const;
    // Text of entry i (1-based); throws VbError "Index out of bounds" beyond the list.
    QString ItemText(int i) const;
    void SetItemText(int i, const QString& text);
    void Add(const QString& text);
    void Remove(int i);
    void Clear();
    // Position of the selected entry, 0 when none.
    int SelectedIndex() const;
    // Makes entry i the selected (and current) entry.
    void Selected(int i);
    // Position of the entry under a point of the viewport, 0 when none.
    int HitTest(const QPoint& viewportPos) const;
    void EnsureVisible(int i);
    // True when some entry's text equals the text exactly; every entry is compared.
    bool Contains(const QString& text) const;
    // A reference to entry i that follows the entry and dies with it.
    QPersistentModelIndex ItemRef(int i) const;
    // Position of a referenced entry, 0 when it is gone.
    int PositionOf(const QPersistentModelIndex& ref) const;

    // Every entry's text, top to bottom.
    QStringList Texts() const;

signals:
    void keyDown(int keyCode);
    void dblClick();
    void itemClick();
    void mouseDown();
    void mouseUp();
    void mouseMove(const QPoint& viewportPos, const QPoint& screenPos);
    // Local paths of a drop, in the order the drag source gave them.
    void filesDropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// True when some entry of the list has exactly this text.
bool ListContainsText(const FileListView& list, const QString& text);
