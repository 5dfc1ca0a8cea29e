// SPDX-License-Identifier: LicenseRef-proprietary
#include "DiskRequest_unix.h"

#include <QDataStream>
#include <QIODevice>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace platform {

namespace {

// The largest frame: the biggest text a read may ask for, with room for the rest.
constexpr quint32 kMaxFrame = 64U * 1024 * 1024;

template <typename Write>
QByteArray encoded(Write write)
{
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    write(out);
    return frame;
}

template <typename T, typename Read>
std::optional<T> decoded(const QByteArray &frame, Read read)
{
    QDataStream in(frame);
    in.setVersion(QDataStream::Qt_6_4);
    T value;
    read(in, value);
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return value;
}

// recv() and send() until `size` bytes are through, as a short transfer on a stream is normal.
template <typename Transfer>
bool transferAll(char *data, size_t size, Transfer transfer)
{
    while (size > 0) {
        const ssize_t done = transfer(data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= size_t(done);
    }
    return true;
}

} // namespace

QByteArray encodeRequest(const DiskRequest &request)
{
    return encoded(
        [&](QDataStream &out) { out << quint8(request.operation) << request.path << request.limit << request.volume; });
}

std::optional<DiskRequest> decodeRequest(const QByteArray &frame)
{
    std::optional<DiskRequest> request = decoded<DiskRequest>(frame, [](QDataStream &in, DiskRequest &r) {
        quint8 operation = 0;
        in >> operation >> r.path >> r.limit >> r.volume;
        r.operation = DiskRequest::Operation(operation);
    });
    if (request
        && (quint8(request->operation) < quint8(DiskRequest::Operation::SetAttributes)
            || quint8(request->operation) > quint8(DiskRequest::Operation::Handshake)))
        return std::nullopt;
    return request;
}

QByteArray encodeAnswer(const DiskAnswer &answer)
{
    return encoded([&](QDataStream &out) { out << qint32(answer.status) << answer.name << answer.bytes; });
}

std::optional<DiskAnswer> decodeAnswer(const QByteArray &frame)
{
    return decoded<DiskAnswer>(frame, [](QDataStream &in, DiskAnswer &a) {
        qint32 status = 0;
        in >> status >> a.name >> a.bytes;
        a.status = Status(status);
    });
}

DiskAnswer perform(const DiskRequest &request, FileFunctions &files)
{
    const VolumeEntry file{request.path, request.volume};
    DiskAnswer answer;
    switch (request.operation) {
    case DiskRequest::Operation::SetAttributes:
        answer.status = files.setAttributes(file, FileAttributes::Normal);
        break;
    case DiskRequest::Operation::DeleteFile:
        answer.status = files.deleteFile(file);
        break;
    case DiskRequest::Operation::Lookup: {
        Result<QString> found = files.lookup(file);
        answer.status = found.status;
        answer.name = std::move(found.value);
        break;
    }
    case DiskRequest::Operation::ReadPrefix: {
        Result<QByteArray> read = files.readPrefix(file, qsizetype(request.limit));
        answer.status = read.status;
        answer.bytes = std::move(read.value);
        break;
    }
    case DiskRequest::Operation::Handshake:
        answer.status = Status::Ok;
        break;
    }
    return answer;
}

bool sendFrame(int socket, const QByteArray &payload)
{
    if (quint64(payload.size()) > kMaxFrame)
        return false;
    QByteArray frame(sizeof(quint32), Qt::Uninitialized);
    const auto size = quint32(payload.size());
    std::memcpy(frame.data(), &size, sizeof size);
    frame += payload;
    // MSG_NOSIGNAL: a helper that has gone is a failed call, not a SIGPIPE.
    return transferAll(frame.data(), size_t(frame.size()),
                       [socket](char *data, size_t n) { return ::send(socket, data, n, MSG_NOSIGNAL); });
}

std::optional<QByteArray> receiveFrame(int socket)
{
    const auto receive = [socket](char *data, size_t n) { return ::recv(socket, data, n, 0); };
    quint32 size = 0;
    if (!transferAll(reinterpret_cast<char *>(&size), sizeof size, receive) || size > kMaxFrame)
        return std::nullopt;
    QByteArray payload(qsizetype(size), Qt::Uninitialized);
    if (!transferAll(payload.data(), size, receive))
        return std::nullopt;
    return payload;
}

} // namespace platform
