// SPDX-License-Identifier: MIT
// Window titles as the X server holds them (under xvfb-run when installed), else as Qt does.

#include "support/form_fixture.h"
#include "ui/qt_dialogs.h"
#include "util/app_title.h"
#include "util/error_trap.h"
#include "util/message_box.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

bool OnX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The window's title as the X server holds it for window managers and task bars.
QString X11Title(const QWidget* window) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    // Qt may still hold requests that set the title.
    xcb_flush(connection);
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        connection, 0, static_cast<xcb_window_t>(window->winId()), Atom(connection, "_NET_WM_NAME"),
        Atom(connection, "UTF8_STRING"), 0, 4096);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    return reply ? QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                                     xcb_get_property_value_length(reply.get()))
                 : QString();
}

// The first dialog `open` shows: its title in Qt and as shown; then closed unanswered.
struct SeenTitle {
    QString qt;
    QString shown;
};
SeenTitle TitleOfDialogOpenedBy(const std::function<void()>& open) {
    SeenTitle seen;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog->windowHandle() == nullptr ||
            !dialog->windowHandle()->isExposed()) {
            return;
        }
        seen.qt = dialog->windowTitle();
        seen.shown = OnX11() ? X11Title(dialog) : seen.qt;
        dialog->reject();
    });
    poll.start();
    open();
    return seen;
}

}  // namespace

class WindowTitlesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // As the program starts.
        QCoreApplication::setApplicationName(QStringLiteral("Velloran"));
        SetApplicationTitle();
    }

    void dialogTitles_data() {
        QTest::addColumn<int>("dialog");
        QTest::addColumn<QString>("title");
        QTest::newRow("error box") << 0 << "Application Error";
        QTest::newRow("message without a caption") << 1 << "Velloran";
        QTest::newRow("folder browser") << 2 << "Pick the output folder";
        QTest::newRow("font dialog") << 3 << "Select Font";
    }
    void dialogTitles() {
        QFETCH(int, dialog);
        QFETCH(QString, title);
        FormFixture f;
        f.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.form));
        QCOMPARE(f.form.windowTitle(), QStringLiteral("Velloran"));
        if (OnX11()) {
            QTRY_COMPARE(X11Title(&f.form), QStringLiteral("Velloran"));
        }
        QtDialogs dialogs;
        dialogs.setOwner(&f.form);
        const SeenTitle seen = TitleOfDialogOpenedBy([&] {
            switch (dialog) {
                case 0: {
                    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton2_Click"));
                    trap.Do(100, [] { Raise(vberr::kFileNotFound); });
                    break;
                }
                case 1:
                    MsgBox(dialogs, QStringLiteral("Done."));
                    break;
                case 2:
                    dialogs.browseForFolder(QStringLiteral("Pick the output folder"),
                                            f.t.desktopFolder());
                    break;
                default:
                    dialogs.chooseFont({QStringLiteral("Arial"), true, false, 24, false, false});
                    break;
            }
        });
        QCOMPARE(seen.qt, title);
        QCOMPARE(seen.shown, title);
    }
};

QTEST_MAIN(WindowTitlesTest)
#include "window_titles_test.moc"
