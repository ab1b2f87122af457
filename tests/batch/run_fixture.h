// SPDX-License-Identifier: MIT
#pragma once

#include "support/form_fixture.h"

#include <QDir>

// A loaded main window whose run writes into an empty output folder; the sources are
// written into a folder of their own.
struct RunFixture : FormFixture {
    QString sources = t.root() + "/sources";
    QString output = t.root() + "/out";

    RunFixture() {
        QDir().mkpath(sources);
        QDir().mkpath(output);
        form.Text1->setText(output);
        form.Text4->SetText("STAMP");
        dialogs.clear();
    }
    // A plain picture on a dark background, where light ink shows.
    QString source(const QString& name, const char* format, QSize size = {160, 120}) {
        return WriteTestImage(sources + "/" + name, size.width(), size.height(), format,
                              QColor(50, 60, 70));
    }
    // Writes the picture and adds it to the list.
    void add(const QString& name, const char* format, QSize size = {160, 120}) {
        form.ListView1->Add(source(name, format, size));
    }
};
