// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <stdexcept>

// Why a template was refused, in words for the user ("unknown placeholder {size}").
class StampTemplateError : public std::runtime_error {
public:
    explicit StampTemplateError(const QString& why)
        : std::runtime_error(why.toStdString()), why_(why) {}
    const QString& why() const { return why_; }

private:
    QString why_;
};

// A stamp text with placeholders ({name}, {stem}, {ext}, {path}, {folder}, {n}, {date},
// {time}, {taken}, {taken:FORMAT}, {exif:TAG}; "{{" and "}}" for braces), checked once
// before anything is written and expanded for each source.
class StampTemplate {
public:
    // Throws StampTemplateError for an unknown placeholder, an empty {exif:} or {taken:},
    // a brace without its partner, a {taken:} format with a letter or % form that is not a
    // date field (or that mixes Qt's letters with strftime's % forms), or an {exif:} tag
    // exiv2 does not know.
    explicit StampTemplate(const QString& text);

    // What a placeholder may need of one source. The photo's facts are read only when
    // the template asks for them.
    struct Source {
        QString path;      // the full path, as the file-name modes stamp it
        int position = 0;  // 1-based place in the whole source list
        QString date;      // the run's date and time texts
        QString time;
        std::function<QDateTime()> taken;
        std::function<QString(const QString& tag)> exif;
        std::function<QString(const QDateTime&)> dateTimeText;
    };

    QString Expand(const Source& source) const;

private:
    enum class Kind {
        Literal,
        Name,
        Stem,
        Ext,
        Path,
        Folder,
        Position,
        Date,
        Time,
        Taken,
        TakenPercent,
        Exif
    };
    struct Piece {
        Kind kind;
        QString text;  // the literal, the {taken:} format (Qt's or % forms) or the {exif:} tag
    };
    QList<Piece> pieces_;
};
