#pragma once
// The datagram loop shared by the NEXRA readers: each datagram of the wanted
// type is read whole into the caller's buffer, length field included, and
// handed to the handler; other types are read and dropped, datagrams larger
// than the buffer are passed over with one seek. readDatagramsInChunks, for
// readers that go on to the end of the file, reads the file in large chunks
// and walks the datagrams in place; readDatagrams reads each datagram on its
// own and leaves the file right after the one the handler stopped at. A
// length too small for a datagram leaves the file at its end.
#include <QDebug>
#include <QIODevice>
#include <QtGlobal>

#include <cstring>

#include "cnexrautils.h"

namespace nexra {

enum class Next { Continue, Stop };

// Smallest datagram that holds its length and its type.
constexpr quint32 minimumDatagramLength = 8;

// Bytes asked of the file per read by readDatagramsInChunks: large enough
// that the reads cost no more than one plain sequential read of the file,
// small enough that the part of the buffer in use stays in the cache.
constexpr qint64 defaultChunkSize = qint64(1) << 20;

// handler(const quint8 *datagram, quint32 length) -> Next; datagram points
// into buffer and [datagram, datagram + length) holds the datagram. The file
// is read at least chunkSize bytes at a time (more where a datagram needs
// them); its position afterwards lies anywhere past the last datagram
// handled. A chunk size of 0 reads exactly the bytes of each datagram.
template <typename Handler>
void readDatagramsInChunks(QIODevice &file, quint8 *buffer, quint32 capacity, const char *type,
                           const char *tooBigMessage, Handler &&handler,
                           qint64 chunkSize = defaultChunkSize)
{
    char *bytes = reinterpret_cast<char *>(buffer);
    qint64 filled = 0; // buffer[0, filled) holds file bytes read so far
    qint64 next = 0;   // start of the next datagram within them

    // True when at least wanted (<= capacity) bytes from next on are in the
    // buffer, reading more from the file if needed. Bytes before next are
    // done with: the rest moves to the front so that a whole datagram fits.
    auto have = [&](qint64 wanted) {
        if (filled - next >= wanted)
            return true;
        if (next > 0) {
            std::memmove(bytes, bytes + next, size_t(filled - next));
            filled -= next;
            next = 0;
        }
        while (filled < wanted) {
            const qint64 ask = qMin(qMax(chunkSize, wanted - filled), qint64(capacity) - filled);
            const qint64 n = file.read(bytes + filled, ask);
            if (n <= 0)
                break;
            filled += n;
        }
        return filled >= wanted;
    };

    while (have(4)) {
        const quint32 length = readU32(buffer + next);
        if (length > capacity) {
            // Larger than the buffer, so it reaches past the bytes read.
            qDebug().nospace() << tooBigMessage << length;
            const qint64 start = file.pos() - (filled - next);
            filled = next = 0;
            if (!file.seek(start + qint64(length)))
                return;
            continue;
        }
        if (length < minimumDatagramLength) {
            // The framing is lost: the file ends here for every reader,
            // including one that goes on from where this one stops.
            qDebug().nospace() << "datagram length too small " << length;
            file.seek(file.size());
            return;
        }
        if (!have(length)) {
            qDebug() << "cannot read all data for datagram";
            return;
        }
        const quint8 *datagram = buffer + next;
        next += length;
        if (std::memcmp(datagram + 4, type, 4) != 0)
            continue;
        if (handler(datagram, length) == Next::Stop)
            return;
    }
}

// Reads datagram by datagram and leaves the file right after the one the
// handler stopped at. handler(quint32 length) -> Next; buffer[0, length)
// holds the datagram.
template <typename Handler>
void readDatagrams(QIODevice &file, quint8 *buffer, quint32 capacity, const char *type,
                   const char *tooBigMessage, Handler &&handler)
{
    readDatagramsInChunks(
        file, buffer, capacity, type, tooBigMessage,
        [&handler](const quint8 *, quint32 length) { return handler(length); }, 0);
}

} // namespace nexra
