// SPDX-License-Identifier: LicenseRef-proprietary
#pragma once

#include "FileFunctions.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace platform {

// One call that reaches a volume, as the program hands it to a disk helper process, and
// that process's answer. On the wire each is one frame: a 32-bit length, then that many
// bytes of QDataStream.
struct DiskRequest {
    // Handshake asks nothing of a disk: whether the helper runs at all.
    enum class Operation : quint8 { SetAttributes = 1, DeleteFile, Lookup, ReadPrefix, Handshake };

    Operation operation = Operation::Lookup;
    QString path;     // the entry
    qint64 limit = 0; // ReadPrefix
    quint64 volume{}; // the volume the entry is to be on (VolumeEntry::volume)
};

struct DiskAnswer {
    Status status = Status::IoError;
    QString name;     // Lookup
    QByteArray bytes; // ReadPrefix
};

QByteArray encodeRequest(const DiskRequest &request);
std::optional<DiskRequest> decodeRequest(const QByteArray &frame);
QByteArray encodeAnswer(const DiskAnswer &answer);
std::optional<DiskAnswer> decodeAnswer(const QByteArray &frame);

// Makes the call, as the helper process does.
DiskAnswer perform(const DiskRequest &request, FileFunctions &files);

// Whole frames on a connected stream socket, waiting as long as it takes. False or nothing
// when the other side has gone or broke the framing.
bool sendFrame(int socket, const QByteArray &payload);
std::optional<QByteArray> receiveFrame(int socket);

} // namespace platform
