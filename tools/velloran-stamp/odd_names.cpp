// SPDX-License-Identifier: MIT
#include "odd_names.h"

#include "source_list.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const char* what, int error) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(error));
}

QString DecodedName(const QByteArray& name) {
    return QFile::decodeName(name);
}

}  // namespace

OddNames::OddNames(QString workFolder, QByteArray outputFolder)
    : workFolder_(std::move(workFolder)), outputFolder_(std::move(outputFolder)) {}

OddNames::~OddNames() {
    if (!staging_.isEmpty()) {
        // Only what this run made: the stand-in folders are removed as each copy is
        // placed; a leftover of a failed one goes here. Reaching the output folder may
        // need a link that cannot be made now; a destructor must not throw for it.
        try {
            QDir(OutputFolder() + QLatin1Char('/') + QString::fromLatin1(staging_))
                .removeRecursively();
        } catch (const std::exception&) {
        }
    }
}

QString OddNames::Link(const QByteArray& target, const QString& name) {
    const QString link = workFolder_ + QLatin1Char('/') + name;
    if (::symlink(target.constData(), QFile::encodeName(link).constData()) != 0 &&
        errno != EEXIST) {
        Fail("cannot make a link in the work folder", errno);
    }
    return link;
}

QString OddNames::OutputFolder() {
    if (RoundTrips(outputFolder_)) {
        return QFile::decodeName(outputFolder_);
    }
    const std::lock_guard lock(mutex_);
    if (outputLink_.isEmpty()) {
        outputLink_ = Link(outputFolder_, QStringLiteral("output"));
    }
    return outputLink_;
}

QString OddNames::SourcePath(const QByteArray& absoluteSource, int position) {
    if (RoundTrips(absoluteSource)) {
        return QFile::decodeName(absoluteSource);
    }
    // The link keeps the source's decoded file name, so its extension still decides the
    // format; the stamp text never comes from the link (the caller composes it).
    const QString folder = workFolder_ + QStringLiteral("/source-%1").arg(position);
    if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST) {
        Fail("cannot make a folder in the work folder", errno);
    }
    const QByteArray name = absoluteSource.mid(absoluteSource.lastIndexOf('/') + 1);
    const QString link = folder + QLatin1Char('/') + DecodedName(name);
    if (::symlink(absoluteSource.constData(), QFile::encodeName(link).constData()) != 0 &&
        errno != EEXIST) {
        Fail("cannot make a link in the work folder", errno);
    }
    return link;
}

bool OddNames::NeedsStandIn(const QByteArray& outputName) {
    return !RoundTrips(outputName);
}

QString OddNames::StandInFolder(int position) {
    {
        const std::lock_guard lock(mutex_);
        if (staging_.isEmpty()) {
            QByteArray pattern = outputFolder_ + "/.velloran-stamp-XXXXXX";
            if (::mkdtemp(pattern.data()) == nullptr) {
                Fail("cannot make a staging folder in the output folder", errno);
            }
            staging_ = pattern.mid(pattern.lastIndexOf('/') + 1);
        }
    }
    const QByteArray folder = outputFolder_ + '/' + staging_ + '/' + QByteArray::number(position);
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        Fail("cannot make a staging folder", errno);
    }
    return OutputFolder() + QLatin1Char('/') + QString::fromLatin1(staging_) +
           QStringLiteral("/%1").arg(position);
}

void OddNames::PlaceStandIn(int position, const QString& standInName,
                            const QByteArray& outputName) {
    const QByteArray folder = outputFolder_ + '/' + staging_ + '/' + QByteArray::number(position);
    const QByteArray from = folder + '/' + QFile::encodeName(standInName);
    const QByteArray to = outputFolder_ + '/' + outputName;
    // rename() replaces the name itself and never writes through a link standing there.
    if (::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        DropStandIn(position);
        Fail("cannot move the copy onto its name", error);
    }
    ::rmdir(folder.constData());
}

void OddNames::DropStandIn(int position) {
    if (staging_.isEmpty()) {
        return;
    }
    QDir(OutputFolder() + QLatin1Char('/') + QString::fromLatin1(staging_) +
         QStringLiteral("/%1").arg(position))
        .removeRecursively();
}
