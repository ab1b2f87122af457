// SPDX-License-Identifier: MIT
#include "engine/stamp_template.h"

#include "util/paths.h"

#include <optional>

namespace {

[[noreturn]] void Refuse(const QString& why) {
    throw StampTemplateError(why);
}

// The extension as it stands in the name: after the last dot, "" without one.
// What {stem} leaves off, so that "{stem}.{ext}" gives the name back (".jpg" has none).
QString ExtensionOf(const QString& name) {
    const QString stem = StripExtension(name);
    return stem.size() < name.size() ? name.mid(stem.size() + 1) : QString();
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        return QString();
    }
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

}  // namespace

StampTemplate::StampTemplate(const QString& text) {
    static const QList<std::pair<QString, Kind>> simple = {
        {QStringLiteral("name"), Kind::Name},     {QStringLiteral("stem"), Kind::Stem},
        {QStringLiteral("ext"), Kind::Ext},       {QStringLiteral("path"), Kind::Path},
        {QStringLiteral("folder"), Kind::Folder}, {QStringLiteral("n"), Kind::Position},
        {QStringLiteral("date"), Kind::Date},     {QStringLiteral("time"), Kind::Time},
        {QStringLiteral("taken"), Kind::Taken},
    };
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty()) {
            pieces_.append({Kind::Literal, literal});
            literal.clear();
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool doubled = i + 1 < text.size() && text.at(i + 1) == c;
        if (c == QLatin1Char('}')) {
            if (!doubled) {
                Refuse(QStringLiteral("a \"}\" without its \"{\" (write \"}}\" for a brace)"));
            }
            literal += c;
            ++i;
            continue;
        }
        if (c != QLatin1Char('{')) {
            literal += c;
            continue;
        }
        if (doubled) {
            literal += c;
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
        if (close < 0) {
            Refuse(QStringLiteral("a \"{\" without its \"}\" (write \"{{\" for a brace)"));
        }
        const QString inside = text.mid(i + 1, close - i - 1);
        flush();
        bool known = false;
        for (const auto& [word, kind] : simple) {
            if (inside == word) {
                pieces_.append({kind, QString()});
                known = true;
            }
        }
        if (!known && inside.startsWith(QLatin1String("taken:"))) {
            const QString format = inside.mid(6);
            if (format.isEmpty()) {
                Refuse(QStringLiteral("{taken:} needs a format, such as {taken:yyyy-MM-dd}"));
            }
            pieces_.append({Kind::Taken, format});
            known = true;
        }
        if (!known && inside.startsWith(QLatin1String("exif:"))) {
            const QString tag = inside.mid(5).trimmed();
            if (tag.isEmpty()) {
                Refuse(QStringLiteral("{exif:} needs a tag name, such as {exif:Model}"));
            }
            pieces_.append({Kind::Exif, tag});
            known = true;
        }
        if (!known) {
            Refuse(QStringLiteral("unknown placeholder {%1}").arg(inside));
        }
        i = close;
    }
    flush();
}

QString StampTemplate::Expand(const Source& source) const {
    const QString name = FileNameFromPath(source.path);
    QString out;
    // The date the photo was taken is looked up once, however often it is used.
    std::optional<QDateTime> taken;
    auto takenOnce = [&]() -> const QDateTime& {
        if (!taken) {
            taken = source.taken ? source.taken() : QDateTime();
        }
        return *taken;
    };
    for (const Piece& piece : pieces_) {
        switch (piece.kind) {
            case Kind::Literal:
                out += piece.text;
                break;
            case Kind::Name:
                out += name;
                break;
            case Kind::Stem:
                out += StripExtension(name);
                break;
            case Kind::Ext:
                out += ExtensionOf(name);
                break;
            case Kind::Path:
                out += source.path;
                break;
            case Kind::Folder:
                out += FolderOf(source.path);
                break;
            case Kind::Position:
                out += QString::number(source.position);
                break;
            case Kind::Date:
                out += source.date;
                break;
            case Kind::Time:
                out += source.time;
                break;
            case Kind::Taken:
                if (takenOnce().isValid()) {
                    out +=
                        piece.text.isEmpty()
                            ? (source.dateTimeText ? source.dateTimeText(takenOnce()) : QString())
                            : takenOnce().toString(piece.text);
                }
                break;
            case Kind::Exif:
                if (source.exif) {
                    out += source.exif(piece.text);
                }
                break;
        }
    }
    return out;
}
