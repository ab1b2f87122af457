// SPDX-License-Identifier: MIT
// The companion's command line and the stamp templates on any words: parsing the options,
// reading the settings words, printing the settings back and expanding a template never
// crash, hang or trip a sanitizer; a refusal is a usage error or a refusal text.
//
// The input is a template when it starts with "T" (the rest is its text), else command-line
// words separated by NUL bytes.
#include "command_line.h"
#include "engine/photo_facts.h"
#include "engine/source_stamp_texts.h"
#include "engine/stamp_setting_words.h"
#include "engine/starting_stamp_settings.h"
#include "util/environment.h"

#include <QCoreApplication>

#include <cstdint>
#include <vector>

namespace {

// Enough for any real command line; more words only slow the fuzzer down.
constexpr size_t kMostWords = 64;

const Environment& FixedEnvironment() {
    static const Environment env = [] {
        Environment e;
        e.now = [] { return QDateTime(QDate(2026, 12, 8), QTime(9, 30, 5)); };
        e.random = [] { return 0.5; };
        e.desktopFolder = [] { return QStringLiteral("/nonexistent/desktop"); };
        e.tempFolder = [] { return QStringLiteral("/nonexistent/temp"); };
        e.locale = QLocale(QLocale::English, QLocale::UnitedStates);
        e.endProgram = [] {};
        return e;
    }();
    return env;
}

// Expands the settings' text for one made-up source whose facts hold nothing, as a run
// would for a picture without metadata.
void ExpandOnce(const StampSettings& settings) {
    const SourceStampTexts texts(settings, FixedEnvironment(), FixedEnvironment().now());
    const ListedSource source{QStringLiteral("a/b.jpg"),
                              {QStringLiteral("/in/a/b.jpg"), QStringLiteral("/in")}, 3};
    const PhotoFacts facts{SourceMetadata{}};
    volatile qsizetype size = texts.For(source, &facts).size();
    (void)size;
}

void FuzzTemplate(const QString& text) {
    StampSettings settings = BuiltinStartSettings(FixedEnvironment());
    if (ApplyStampSettingWords(settings, {{StampOption::Template, text}}, FixedEnvironment())
            .isEmpty()) {
        ExpandOnce(settings);
    }
}

void FuzzCommandLine(const uint8_t* data, size_t size) {
    std::vector<QByteArray> words{"velloran-stamp"};
    QByteArray word;
    for (size_t i = 0; i < size && words.size() < kMostWords; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.append(static_cast<char>(data[i]));
        }
    }
    if (words.size() < kMostWords) {
        words.push_back(word);
    }
    std::vector<char*> argv;
    for (QByteArray& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    CommandLine line;
    try {
        line = ParseCommandLine(static_cast<int>(words.size()), argv.data());
    } catch (const UsageError&) {
        return;
    }
    StampSettings settings = BuiltinStartSettings(FixedEnvironment());
    if (!ApplyStampSettingWords(settings, line.settingWords, FixedEnvironment()).isEmpty()) {
        return;
    }
    volatile qsizetype printed = StampSettingsText(settings).size();
    (void)printed;
    ExpandOnce(settings);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && data[0] == 'T') {
        FuzzTemplate(QString::fromUtf8(reinterpret_cast<const char*>(data) + 1,
                                       static_cast<qsizetype>(size - 1)));
    } else {
        FuzzCommandLine(data, size);
    }
    return 0;
}
