// SPDX-License-Identifier: MIT
#include "util/writer_tag.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QRandomGenerator>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr qsizetype kKernelDigits = 16;
constexpr qsizetype kLetters = 6;
// Decimal digits of the largest inode number and of the largest pid the kernel hands out.
constexpr qsizetype kMaxNamespaceDigits = 20;
constexpr qsizetype kMaxPidDigits = 7;
constexpr qint64 kPidMaxLimit = 4194304;

bool IsLowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLowerLetterOrDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'z');
}

bool AllOf(const QByteArray& text, bool (*test)(char)) {
    for (const char c : text) {
        if (!test(c)) {
            return false;
        }
    }
    return true;
}

// A decimal number written as the program writes one: no sign, no leading zero, not zero.
std::optional<quint64> Decimal(const QByteArray& text, qsizetype maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits || text.front() == '0' || !AllOf(text, IsDigit)) {
        return std::nullopt;
    }
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

ThisResultWriter Identify() {
    ThisResultWriter self;
    // The boot id is new at every start of the kernel and shared by every container on
    // it: pids are unique only within one boot. It is hashed to a fixed, short text.
    QFile bootId(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    QByteArray boot;
    if (bootId.open(QIODevice::ReadOnly)) {
        boot = bootId.read(256).trimmed();
    }
    struct stat ns {};
    const bool haveNamespace = ::stat("/proc/self/ns/pid", &ns) == 0 && ns.st_ino != 0;
    self.known = !boot.isEmpty() && haveNamespace;
    if (!self.known) {
        boot.resize(32);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(boot.data()), 8);
    }
    self.writer.kernel =
        QCryptographicHash::hash(boot, QCryptographicHash::Sha256).toHex().left(kKernelDigits);
    self.writer.pidNamespace = haveNamespace ? quint64(ns.st_ino) : 1;
    return self;
}

}  // namespace

ThisResultWriter ThisWriter() {
    static const ThisResultWriter identified = Identify();
    ThisResultWriter self = identified;
    // Asked each time: a forked child writes under its own id.
    self.writer.pid = ::getpid();
    return self;
}

QByteArray RandomTagLetters() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray letters;
    for (qsizetype i = 0; i < kLetters; ++i) {
        letters += kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet) - 1)];
    }
    return letters;
}

QByteArray WriterTag(const ResultWriter& writer, const QByteArray& letters) {
    return writer.kernel + '-' + QByteArray::number(writer.pidNamespace) + '-' +
           QByteArray::number(writer.pid) + '-' + letters;
}

std::optional<ResultWriter> ParseWriterTag(const QByteArray& tag) {
    const QList<QByteArray> parts = tag.split('-');
    if (parts.size() != 4 || parts[0].size() != kKernelDigits || !AllOf(parts[0], IsLowerHex) ||
        parts[3].size() != kLetters || !AllOf(parts[3], IsLowerLetterOrDigit)) {
        return std::nullopt;
    }
    const auto pidNamespace = Decimal(parts[1], kMaxNamespaceDigits);
    const auto pid = Decimal(parts[2], kMaxPidDigits);
    if (!pidNamespace || !pid || *pid > quint64(kPidMaxLimit)) {
        return std::nullopt;
    }
    return ResultWriter{parts[0], *pidNamespace, qint64(*pid)};
}

bool IsEndedWriter(const ResultWriter& writer) {
    const ThisResultWriter self = ThisWriter();
    if (!self.known || writer.kernel != self.writer.kernel ||
        writer.pidNamespace != self.writer.pidNamespace || writer.pid == ::getpid()) {
        return false;
    }
    return ::kill(pid_t(writer.pid), 0) != 0 && errno == ESRCH;
}
