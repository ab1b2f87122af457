// SPDX-License-Identifier: MIT
#include "engine/stamp_source.h"

#include "core/canvas.h"
#include "engine/converter_progress.h"
#include "engine/entry_road.h"
#include "engine/photo_metadata.h"
#include "util/dialogs.h"
#include "util/error_trap.h"
#include "util/temp_folder.h"

#include <utility>

namespace {

// The handler whose trap reports an entry's failures in the window; its name is part of
// every message.
constexpr char kRunLocation[] = "Form1.PushButton2_Click";

// Takes the boxes a road would show: nothing waits for a person, and every message is kept
// in order. The overlay reports through here as well, under its own location.
class CollectingDialogs final : public Dialogs {
public:
    explicit CollectingDialogs(QList<SourceStamper::Failure>& failures) : failures_(failures) {}

    // What the run's own trap knows about the box that follows (number and description);
    // boxes of another trap are read back from their text.
    void Expect(int label, int number, const QString& description) {
        expected_ = SourceStamper::Failure{label, number, description, QString()};
        hasExpected_ = true;
    }

    Button messageBox(const QString& text, const QString&, Icon, Buttons) override {
        SourceStamper::Failure failure;
        if (hasExpected_) {
            failure = std::exchange(expected_, {});
            hasExpected_ = false;
        } else {
            failure = FromText(text);
        }
        failure.message = text;
        failures_ << failure;
        return Button::Ok;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFileNames(const QString&, const QString&) override { return {}; }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    Font chooseFont(const Font& initial) override { return initial; }
    quint32 chooseColor(quint32 initial) override { return initial; }
    void openUrl(const QUrl&) override {}

private:
    // "<description>\r\nin <where> at line <label>\r\r...": the trap's message layout.
    static SourceStamper::Failure FromText(const QString& text) {
        SourceStamper::Failure failure;
        const qsizetype where = text.lastIndexOf(QStringLiteral("\r\nin "));
        failure.description = where < 0 ? text : text.left(where);
        const QString atLine = QStringLiteral(" at line ");
        const qsizetype line = text.lastIndexOf(atLine);
        if (line >= 0) {
            const qsizetype start = line + atLine.size();
            const qsizetype end = text.indexOf(QLatin1Char('\r'), start);
            failure.label = text.mid(start, end < 0 ? -1 : end - start).toInt();
        }
        return failure;
    }

    QList<SourceStamper::Failure>& failures_;
    SourceStamper::Failure expected_;
    bool hasExpected_ = false;
};

}  // namespace

struct SourceStamper::State {
    QString tempFolder;
    NoConverterProgress silent;
    ConverterProgress* progress = nullptr;
    DecodeAhead* ahead = nullptr;
    Canvas canvas;
};

SourceStamper::SourceStamper(QString tempFolder, ConverterProgress* progress, DecodeAhead* ahead)
    : state_(new State) {
    state_->tempFolder = std::move(tempFolder);
    state_->progress = progress != nullptr ? progress : &state_->silent;
    state_->ahead = ahead;
}

SourceStamper::~SourceStamper() {
    delete state_;
}

QList<SourceStamper::Failure> SourceStamper::Stamp(const QString& source,
                                                   const StampSettings& settings,
                                                   int fileCount) {
    QList<Failure> failures;
    CollectingDialogs dialogs(failures);
    ErrorTrap trap(dialogs, QString::fromLatin1(kRunLocation));
    trap.SetListener([&dialogs](int label, int number, const QString& description) {
        dialogs.Expect(label, number, description);
    });
    // Canvas and settings are this call's own: nothing is shared with another stamper.
    ApplyStampFont(state_->canvas, settings);
    const QString tempFolder = state_->tempFolder;
    const EntryRoad road{state_->canvas,
                         dialogs,
                         *state_->progress,
                         [tempFolder] {
                             // A path built from an empty folder would name the root folder.
                             RequireFolder(tempFolder);
                             return tempFolder;
                         },
                         [&settings] { return settings; },
                         [fileCount] { return fileCount; },
                         state_->ahead};
    StampSourceSteps(trap, road, source);
    return failures;
}

void PrepareStampingThreads() {
    PreparePhotoMetadata();
}
