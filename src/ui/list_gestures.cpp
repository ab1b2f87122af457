// SPDX-License-Identifier: MIT
// Editing gestures of the file list: removing, clearing, and reordering by dragging.
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "ui/cursor_file.h"
#include "util/error_trap.h"
#include "util/vb_error.h"

namespace {

constexpr int kDeleteKey = 46;
// Screen rows above and below which dragging scrolls the list by one entry.
constexpr int kScrollUpBelowY = 305;
constexpr int kScrollDownAboveY = 364;

void RemoveSelected(Form1& form) {
    if (form.IsBusy()) {
        return;
    }
    FileListView& list = *form.ListView1;
    if (list.Count() == 0) {
        return;
    }
    const int selected = list.SelectedIndex();
    if (selected == 0) {
        return;
    }
    list.Remove(selected);
}

}  // namespace

void Form1::ListView1_KeyDown(int keyCode) {
    if (keyCode == kDeleteKey) {
        RemoveSelected(*this);
    }
}

void Form1::ListView1_DblClick() {
    RemoveSelected(*this);
}

void Form1::PushButton7_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton7_Click"));
    if (trap.Test(100, [&] { return IsBusy(); })) {
        return;
    }
    trap.Do(102, [&] { ListView1->Clear(); });
}

void Form1::ListView1_ItemClick() {
    const QString dragIcon = env.programFolder + QStringLiteral("/drag.ico");
    try {
        ListView1->viewport()->setCursor(LoadCursorFile(dragIcon));
    } catch (const VbError&) {
        // Without the program's own drag pointer the desktop's one will do.
        ListView1->viewport()->setCursor(Qt::DragMoveCursor);
    }
    const int selected = ListView1->SelectedIndex();
    DragItem = ListView1->ItemRef(selected);
    if (selected > 0) {
        StampFilename(selected);
    }
}

void Form1::ListView1_MouseDown() {
    MouseIsDown = true;
}

void Form1::ListView1_MouseUp() {
    MouseIsDown = false;
    ListView1->viewport()->setCursor(Qt::ArrowCursor);
}

void Form1::ListView1_MouseMove(const QPoint& viewportPos, const QPoint& screenPos) {
    if (!IsBusy()) {
        SetMousePointer(kPointerDefault);
    }
    if (!MouseIsDown) {
        return;
    }
    FileListView& list = *ListView1;
    const int hit = list.HitTest(viewportPos);
    const int dragged = list.PositionOf(DragItem);
    if (hit == 0 || dragged == 0) {
        return;
    }
    const QString draggedText = list.ItemText(dragged);
    const QString hitText = list.ItemText(hit);
    // Entries with the same text never change places.
    if (hitText == draggedText) {
        return;
    }
    list.SetItemText(dragged, hitText);
    list.SetItemText(hit, draggedText);
    list.Selected(hit);
    DragItem = list.ItemRef(hit);

    if (screenPos.y() < kScrollUpBelowY && hit > 1) {
        list.EnsureVisible(hit - 1);
    } else if (screenPos.y() > kScrollDownAboveY && hit < list.Count()) {
        list.EnsureVisible(hit + 1);
    }
}
