// SPDX-License-Identifier: MIT
// The real font dialog, opened by "Change Font": face, style and size only, and the stored
// strike-through and underline come back unchanged whatever keys the user presses.

#include "support/form_fixture.h"
#include "ui/qt_dialogs.h"

#include <QCheckBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

namespace {

// The dialog's visible widgets of one kind.
template <typename T>
QList<T*> Visible(const QWidget* dialog) {
    QList<T*> shown;
    const auto all = dialog->findChildren<T*>();
    for (T* widget : all) {
        if (widget->isVisible()) {
            shown << widget;
        }
    }
    return shown;
}

}  // namespace

class FontDialogTest : public QObject {
    Q_OBJECT

private slots:
    void offersFaceStyleAndSizeOnly_data() {
        QTest::addColumn<bool>("strike");
        QTest::addColumn<bool>("underline");
        QTest::newRow("neither") << false << false;
        QTest::newRow("strike-through") << true << false;
        QTest::newRow("underline") << false << true;
        QTest::newRow("both") << true << true;
    }
    void offersFaceStyleAndSizeOnly() {
        QFETCH(bool, strike);
        QFETCH(bool, underline);
        auto flag = [](bool on) { return on ? QStringLiteral("True") : QStringLiteral("False"); };
        TestEnvironment t;
        StoreSettings(t.env.settingsFile, {{"FontName", "Arial"},
                                           {"FontSize", "12"},
                                           {"FontStrikeThru", flag(strike)},
                                           {"FontUnderLine", flag(underline)}});
        QtDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();

        QStringList seen;
        bool answered = false;
        int polls = 0;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFontDialog*>(QApplication::activeModalWidget());
            // Keys reach the dialog once it is the active window; a dialog that never
            // becomes active is still answered after ten seconds, and reported.
            const bool active = dialog != nullptr && QApplication::activeWindow() == dialog;
            if (dialog == nullptr || !dialog->isVisible() || answered ||
                (!active && ++polls < 500)) {
                return;
            }
            answered = true;
            for (const QCheckBox* box : Visible<QCheckBox>(dialog)) {
                seen << box->text();
            }
            for (const QGroupBox* box : Visible<QGroupBox>(dialog)) {
                if (!box->findChildren<QCheckBox*>().isEmpty()) {
                    seen << box->title();
                }
            }
            for (const QComboBox* combo : Visible<QComboBox>(dialog)) {
                seen << QStringLiteral("combo box with %1 entries").arg(combo->count());
            }
            // Face, style and size: an edit field over each list.
            const QList<QLineEdit*> edits = Visible<QLineEdit>(dialog);
            if (edits.size() < 3) {
                seen << QStringLiteral("only %1 edit fields").arg(edits.size());
            }
            // The sample still shows its text where the effects no longer stand beside it.
            for (const QLineEdit* edit : edits) {
                if (edit->parentWidget() != dialog && edit->height() < edit->sizeHint().height()) {
                    seen << QStringLiteral("sample squeezed to %1 pixels").arg(edit->height());
                }
            }
            // The effects' Alt keys must do nothing either.
            if (!active) {
                seen << QStringLiteral("dialog not active: its keys were not tried");
            }
            QTest::keyClick(dialog->focusWidget(), Qt::Key_K, Qt::AltModifier);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_U, Qt::AltModifier);
            // A check box pressed by its key clicks itself 100 ms later.
            QTest::qWait(300);
            // A size chosen by the user, so that OK returns something new.
            for (QLineEdit* edit : edits) {
                if (edit->text() == QLatin1String("12")) {
                    edit->setText(QStringLiteral("20"));
                }
            }
            dialog->accept();
        });
        poll.start();
        form.PushButton6_Click();

        QVERIFY(answered);
        QVERIFY2(seen.isEmpty(), qPrintable(seen.join(QStringLiteral("; "))));
        const Settings stored = StoredSettings(t.env.settingsFile);
        QCOMPARE(stored.value("FontSize"), QString("20"));
        QCOMPARE(stored.value("FontStrikeThru"), flag(strike));
        QCOMPARE(stored.value("FontUnderLine"), flag(underline));
        QCOMPARE(form.Text4->FontStrikethru(), strike);
        QCOMPARE(form.Text4->FontUnderline(), underline);
        QCOMPARE(form.Text4->FontSize(), 20.0);
    }
};

QTEST_MAIN(FontDialogTest)
#include "font_dialog_test.moc"
