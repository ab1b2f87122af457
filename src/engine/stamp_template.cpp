// SPDX-License-Identifier: MIT
#include "engine/stamp_template.h"

#include "util/paths.h"

#include <QLocale>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

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

// The % forms of strftime a {taken:} format may use.
constexpr QLatin1StringView kPercentForms("YmdHMSybBaAjeIpFTD%");

bool IsAsciiLetter(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// Where the quoted text that starts at `open` (a "'") ends: the index of its closing
// quote, -1 when there is none. "''" inside it is a quote character.
qsizetype QuoteEnd(const QString& format, qsizetype open) {
    for (qsizetype i = open + 1; i < format.size(); ++i) {
        if (format.at(i) == QLatin1Char('\'')) {
            if (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('\'')) {
                ++i;
                continue;
            }
            return i;
        }
    }
    return -1;
}

bool HasPercentOutsideQuotes(const QString& format) {
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format.at(i) == QLatin1Char('\'')) {
            const qsizetype end = QuoteEnd(format, i);
            if (end < 0) {
                return false;
            }
            i = end;
        } else if (format.at(i) == QLatin1Char('%')) {
            return true;
        }
    }
    return false;
}

// What to write instead of a run of one letter that QDateTime::toString would not take
// as the field it looks like; "" when the run is a field it formats.
QString QtLetterFault(QChar letter, qsizetype run) {
    const auto within = [run](qsizetype low, qsizetype high) { return run >= low && run <= high; };
    switch (letter.toLatin1()) {
        case 'd':
            return within(1, 4) ? QString() : QStringLiteral("use d, dd, ddd or dddd for the day");
        case 'M':
            return within(1, 4) ? QString()
                                : QStringLiteral("use M, MM, MMM or MMMM for the month");
        case 'y':
            return run == 2 || run == 4 ? QString() : QStringLiteral("use yyyy or yy for the year");
        case 'h':
        case 'H':
            return within(1, 2) ? QString() : QStringLiteral("use HH (or hh with AP) for the hour");
        case 'm':
            return within(1, 2) ? QString() : QStringLiteral("use mm for the minutes");
        case 's':
            return within(1, 2) ? QString() : QStringLiteral("use ss for the seconds");
        case 'z':
            return run == 1 || run == 3 ? QString()
                                        : QStringLiteral("use zzz or z for the milliseconds");
        case 't':
            return run == 1 ? QString() : QStringLiteral("use t for the time zone");
        case 'Y':
            return QStringLiteral("use yyyy for the year");
        case 'D':
            return QStringLiteral("use dd for the day");
        case 'S':
            return QStringLiteral("use ss for the seconds");
        case 'Z':
            return QStringLiteral("use t for the time zone");
        case 'p':
        case 'P':
            return QStringLiteral("use AP or ap for AM/PM");
        default:
            return QStringLiteral("not a date letter; put text in quotes, such as 'T'");
    }
}

// Why a {taken:} format cannot be honoured, "" when it can. Qt's letters take every other
// letter literally, so "YYYY" would be stamped as it stands: a letter that is not a field
// is refused unless quoted. A format with a % outside quotes is in strftime's style, where
// letters outside the % forms are refused the same way, so that the two styles are
// never mixed.
QString TakenFormatFault(const QString& format, bool percentStyle) {
    QStringList faults;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            const qsizetype end = QuoteEnd(format, i);
            if (end < 0) {
                faults << QStringLiteral(
                    "a \"'\" without its closing \"'\" (write '' for a quote)");
                break;
            }
            i = end + 1;
            continue;
        }
        if (percentStyle && c == QLatin1Char('%')) {
            const QChar form = i + 1 < format.size() ? format.at(i + 1) : QChar();
            if (form.isNull() || !kPercentForms.contains(form)) {
                faults << QStringLiteral(
                              "\"%1\" is not a %-form we stamp (write %% for a "
                              "percent sign)")
                              .arg(format.mid(i, 2));
            }
            i += 2;
            continue;
        }
        if (!IsAsciiLetter(c)) {
            ++i;
            continue;
        }
        if (!percentStyle && (c == QLatin1Char('A') || c == QLatin1Char('a'))) {
            // "AP"/"ap" is the upper/lower AM/PM; "A"/"a" alone is too.
            const QChar p = c == QLatin1Char('A') ? QLatin1Char('P') : QLatin1Char('p');
            i += i + 1 < format.size() && format.at(i + 1) == p ? 2 : 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c) {
            ++run;
        }
        const QString letters = format.mid(i, run);
        if (percentStyle) {
            faults << QStringLiteral(
                          "\"%1\" beside %-forms (use one style; put text in "
                          "quotes, such as 'T')")
                          .arg(letters);
        } else if (const QString fault = QtLetterFault(c, run); !fault.isEmpty()) {
            faults << QStringLiteral("\"%1\": %2").arg(letters, fault);
        }
        i += run;
    }
    return faults.join(QStringLiteral("; "));
}

QString TwoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// A format of % forms (checked when the template was made) applied to a date, with the
// names of months and days in English as QDateTime::toString gives them.
QString PercentText(const QDateTime& when, const QString& format) {
    const QLocale c = QLocale::c();
    const QDate date = when.date();
    const QTime time = when.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar ch = format.at(i);
        if (ch == QLatin1Char('\'')) {
            const qsizetype end = QuoteEnd(format, i);
            out += format.mid(i + 1, end - i - 1).replace(QLatin1String("''"), QLatin1String("'"));
            i = end;
            continue;
        }
        if (ch != QLatin1Char('%') || i + 1 >= format.size()) {
            out += ch;
            continue;
        }
        switch (format.at(++i).toLatin1()) {
            case 'Y':
                out += QString::number(date.year());
                break;
            case 'y':
                out += TwoDigits(date.year() % 100);
                break;
            case 'm':
                out += TwoDigits(date.month());
                break;
            case 'd':
                out += TwoDigits(date.day());
                break;
            case 'e':
                out += QStringLiteral("%1").arg(date.day(), 2);
                break;
            case 'j':
                out += QStringLiteral("%1").arg(date.dayOfYear(), 3, 10, QLatin1Char('0'));
                break;
            case 'b':
                out += c.monthName(date.month(), QLocale::ShortFormat);
                break;
            case 'B':
                out += c.monthName(date.month(), QLocale::LongFormat);
                break;
            case 'a':
                out += c.dayName(date.dayOfWeek(), QLocale::ShortFormat);
                break;
            case 'A':
                out += c.dayName(date.dayOfWeek(), QLocale::LongFormat);
                break;
            case 'H':
                out += TwoDigits(time.hour());
                break;
            case 'I':
                out += TwoDigits(hour12);
                break;
            case 'M':
                out += TwoDigits(time.minute());
                break;
            case 'S':
                out += TwoDigits(time.second());
                break;
            case 'p':
                out += time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
                break;
            case 'F':
                out += PercentText(when, QStringLiteral("%Y-%m-%d"));
                break;
            case 'T':
                out += PercentText(when, QStringLiteral("%H:%M:%S"));
                break;
            case 'D':
                out += PercentText(when, QStringLiteral("%m/%d/%y"));
                break;
            default:
                out += QLatin1Char('%');
                break;
        }
    }
    return out;
}

// exiv2's namespaces that come with property tables; a short name may be any of their
// properties ("creator", "Rating").
constexpr std::array<const char*, 35> kXmpPrefixes = {"GPano",
                                                      "Iptc4xmpCore",
                                                      "Iptc4xmpExt",
                                                      "MP",
                                                      "MPRI",
                                                      "MPReg",
                                                      "MicrosoftPhoto",
                                                      "acdsee",
                                                      "audio",
                                                      "aux",
                                                      "crs",
                                                      "crss",
                                                      "dc",
                                                      "dcterms",
                                                      "digiKam",
                                                      "dwc",
                                                      "exif",
                                                      "exifEX",
                                                      "expressionmedia",
                                                      "kipi",
                                                      "lr",
                                                      "mediapro",
                                                      "mwg-kw",
                                                      "mwg-rs",
                                                      "pdf",
                                                      "photoshop",
                                                      "plus",
                                                      "tiff",
                                                      "video",
                                                      "xmp",
                                                      "xmpBJ",
                                                      "xmpDM",
                                                      "xmpMM",
                                                      "xmpRights",
                                                      "xmpTPg"};

// Every short name exiv2 gives a tag: those of each EXIF group (makers' notes included,
// as a photo's tags are matched by that name) and of the XMP properties it knows.
const std::vector<std::string>& KnownShortNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (const Exiv2::GroupInfo* group = Exiv2::ExifTags::groupList(); group->tagList_;
             ++group) {
            for (const Exiv2::TagInfo* tag = group->tagList_(); tag->tag_ != 0xffff; ++tag) {
                all.emplace_back(tag->name_);
            }
        }
        for (const char* prefix : kXmpPrefixes) {
            try {
                for (const Exiv2::XmpPropertyInfo* property =
                         Exiv2::XmpProperties::propertyList(prefix);
                     property && property->name_; ++property) {
                    all.emplace_back(property->name_);
                }
            } catch (const std::exception&) {
                // A namespace this exiv2 does not carry.
            }
        }
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        return all;
    }();
    return names;
}

// Edits (a letter added, dropped, changed, or two neighbours swapped) from one name to
// another, letter case aside.
qsizetype EditDistance(const QString& a, const QString& b) {
    const auto width = static_cast<size_t>(b.size()) + 1;
    std::vector<qsizetype> d((static_cast<size_t>(a.size()) + 1) * width);
    const auto at = [&](qsizetype i, qsizetype j) -> qsizetype& {
        return d[static_cast<size_t>(i) * width + static_cast<size_t>(j)];
    };
    const auto same = [](QChar x, QChar y) { return x.toLower() == y.toLower(); };
    for (qsizetype i = 0; i <= a.size(); ++i) {
        at(i, 0) = i;
    }
    for (qsizetype j = 0; j <= b.size(); ++j) {
        at(0, j) = j;
    }
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j) {
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1,
                                 at(i - 1, j - 1) + (same(a.at(i - 1), b.at(j - 1)) ? 0 : 1)});
            if (i > 1 && j > 1 && same(a.at(i - 1), b.at(j - 2)) &&
                same(a.at(i - 2), b.at(j - 1))) {
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
            }
        }
    }
    return at(a.size(), b.size());
}

// The known short names closest to a mistyped one (at most two edits away), "" when none
// is near.
QString NearestShortNames(const QString& tag) {
    QStringList best;
    qsizetype bestDistance = 3;
    for (const std::string& name : KnownShortNames()) {
        const QString candidate = QString::fromStdString(name);
        if (std::abs(candidate.size() - tag.size()) > bestDistance) {
            continue;
        }
        const qsizetype distance = EditDistance(tag, candidate);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = QStringList{candidate};
        } else if (distance == bestDistance && !best.isEmpty()) {
            best << candidate;
        }
    }
    if (best.size() > 3) {
        best.resize(3);
    }
    if (best.size() < 2) {
        return best.join(QString());
    }
    const QString last = best.takeLast();
    return best.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// Why exiv2 would never find the tag in a photo, "" when it is one it knows.
QString ExifTagFault(const QString& tag) {
    const std::string key = tag.toStdString();
    if (tag.startsWith(QLatin1String("Exif."))) {
        try {
            Exiv2::ExifKey known(key);
            return QString();
        } catch (const std::exception&) {
            return QStringLiteral("\"%1\" is not an EXIF key exiv2 knows").arg(tag);
        }
    }
    if (tag.startsWith(QLatin1String("Xmp."))) {
        try {
            if (Exiv2::XmpProperties::propertyInfo(Exiv2::XmpKey(key))) {
                return QString();
            }
        } catch (const std::exception&) {
        }
        return QStringLiteral("\"%1\" is not an XMP key exiv2 knows").arg(tag);
    }
    const auto& names = KnownShortNames();
    if (std::binary_search(names.begin(), names.end(), key)) {
        return QString();
    }
    QString why = QStringLiteral("\"%1\" is not a tag exiv2 knows").arg(tag);
    if (const QString nearest = NearestShortNames(tag); !nearest.isEmpty()) {
        why += QStringLiteral(" (did you mean %1?)").arg(nearest);
    }
    return why;
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
            const bool percentStyle = HasPercentOutsideQuotes(format);
            if (const QString fault = TakenFormatFault(format, percentStyle); !fault.isEmpty()) {
                Refuse(QStringLiteral("{taken:%1}: %2").arg(format, fault));
            }
            pieces_.append({percentStyle ? Kind::TakenPercent : Kind::Taken, format});
            known = true;
        }
        if (!known && inside.startsWith(QLatin1String("exif:"))) {
            const QString tag = inside.mid(5).trimmed();
            if (tag.isEmpty()) {
                Refuse(QStringLiteral("{exif:} needs a tag name, such as {exif:Model}"));
            }
            if (const QString fault = ExifTagFault(tag); !fault.isEmpty()) {
                Refuse(QStringLiteral("{exif:%1}: %2").arg(tag, fault));
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
            case Kind::TakenPercent:
                if (takenOnce().isValid()) {
                    out += PercentText(takenOnce(), piece.text);
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
