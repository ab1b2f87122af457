// SPDX-License-Identifier: MIT
#include "ui/file_list_view.h"

#include "util/vb_error.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

// Key codes the handlers understand.
int KeyCode(const QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_Period:
            return 190;
        default:
            return event->key() <= 0xff ? event->key() : 0;
    }
}

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    const auto urls = data->urls();
    for (const QUrl& url : urls) {
        const QString local = url.toLocalFile();
        if (!local.isEmpty()) {
            paths << local;
        }
    }
    return paths;
}

// The list only reads the dropped paths. Answering a proposed move would tell the drag
// source that the files were taken over, and a file manager may then delete them.
void AcceptAsCopy(QDropEvent* event) {
    if ((event->possibleActions() & Qt::CopyAction) != 0) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
}

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setMouseTracking(true);
    setSortingEnabled(false);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

int FileListView::Count() const {
    return topLevelItemCount();
}

QString FileListView::ItemText(int i) const {
    if (i < 1 || i > Count()) {
        Raise(vberr::kIndexOutOfBounds);
    }
    return topLevelItem(i - 1)->text(0);
}

void FileListView::SetItemText(int i, const QString& text) {
    if (i < 1 || i > Count()) {
        Raise(vberr::kIndexOutOfBounds);
    }
    topLevelItem(i - 1)->setText(0, text);
}

void FileListView::Add(const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    addTopLevelItem(item);
}

void FileListView::Remove(int i) {
    if (i < 1 || i > Count()) {
        Raise(vberr::kIndexOutOfBounds);
    }
    delete takeTopLevelItem(i - 1);
}

void FileListView::Clear() {
    clear();
}

int FileListView::SelectedIndex() const {
    const auto items = selectedItems();
    if (items.isEmpty()) {
        return 0;
    }
    return indexOfTopLevelItem(items.first()) + 1;
}

void FileListView::Selected(int i) {
    if (i < 1 || i > Count()) {
        Raise(vberr::kIndexOutOfBounds);
    }
    QTreeWidgetItem* item = topLevelItem(i - 1);
    setCurrentItem(item);
    item->setSelected(true);
}

int FileListView::HitTest(const QPoint& viewportPos) const {
    QTreeWidgetItem* item = itemAt(viewportPos);
    return item == nullptr ? 0 : indexOfTopLevelItem(item) + 1;
}

void FileListView::EnsureVisible(int i) {
    if (i < 1 || i > Count()) {
        Raise(vberr::kIndexOutOfBounds);
    }
    scrollToItem(topLevelItem(i - 1));
}

bool FileListView::Contains(const QString& text) const {
    bool found = false;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->text(0) == text) {
            found = true;
        }
    }
    return found;
}

QPersistentModelIndex FileListView::ItemRef(int i) const {
    if (i < 1 || i > Count()) {
        return {};
    }
    return QPersistentModelIndex(indexFromItem(topLevelItem(i - 1)));
}

int FileListView::PositionOf(const QPersistentModelIndex& ref) const {
    return ref.isValid() ? ref.row() + 1 : 0;
}

QStringList FileListView::Texts() const {
    QStringList texts;
    texts.reserve(Count());
    for (int i = 0; i < topLevelItemCount(); ++i) {
        texts << topLevelItem(i)->text(0);
    }
    return texts;
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(KeyCode(event));
    QTreeWidget::keyPressEvent(event);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    emit mouseDown();
    QTreeWidget::mousePressEvent(event);
    if (itemAt(event->position().toPoint()) != nullptr) {
        emit itemClick();
    }
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeWidget::mouseReleaseEvent(event);
    emit mouseUp();
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    // The view's own drag-selection would move the selection under the pointer; the
    // reorder gesture decides the selection itself.
    if (event->buttons() == Qt::NoButton) {
        QTreeWidget::mouseMoveEvent(event);
    }
    emit mouseMove(event->position().toPoint(), event->globalPosition().toPoint());
}

void FileListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit dblClick();
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    AcceptAsCopy(event);
}

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    AcceptAsCopy(event);
}

void FileListView::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    AcceptAsCopy(event);
    emit filesDropped(paths);
}

bool ListContainsText(const FileListView& list, const QString& text) {
    return list.Contains(text);
}
